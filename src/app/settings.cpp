#include "app/settings.h"

#include <algorithm>
#include <charconv>
#include <utility>

#include "app/ini_file.h"
#include "app/main_view.h"
#include "app/number_reading.h"

namespace qm::app {

std::string AppTitle(const AppState& state) { return std::string(kProgramName) + " " + state.AppVersion; }

std::string ReadSetting(const AppState& state, std::string_view section, std::string_view key) {
  // Never cut: a cut folder path could name one of its parents, which would then be used.
  return ReadIniValue(state.IniPath, section, key);
}

bool WriteSetting(AppState& state, std::string_view section, std::string_view key, std::string_view value) {
  std::string why;
  if (WriteIniValue(state.IniPath, section, key, value, &why)) return true;
  if (state.SettingsSink != nullptr && !std::exchange(state.SettingsUnwritableTold, true)) {
    Message message{"The settings cannot be saved; changes hold until Quillmark ends\n" + state.IniPath.string(),
                    AppTitle(state), MessageIcon::kExclamation, MessageButtons::kOk};
    message.Details = why;
    state.SettingsSink->ShowMessage(message);
  }
  return false;
}

int WholeNumberFromSetting(std::string_view value, int fallback, int min, int max) {
  long long number = 0;
  const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), number);
  if (value.empty() || end != value.data() + value.size()) return fallback;
  if (ec == std::errc::result_out_of_range) return value.front() == '-' ? min : max;
  return static_cast<int>(std::clamp<long long>(number, min, max));
}

std::int16_t WaitFromSetting(std::string_view value) {
  if (value.empty()) return 10;
  return RoundToInt16(ReadLeadingNumber(value));
}

}  // namespace qm::app
