#include "app/wait_time.h"

#include <algorithm>

#include "app/number_reading.h"
#include "app/settings.h"
#include "app/startup.h"

namespace qm::app {

WaitStep StepWaitTime(std::string_view text, int step) {
  // Clamp before rounding to 16 bits, so a typed 99999 or -99999 cannot overflow.
  const double stepped = std::clamp(ReadLeadingNumber(text) + step, double{kMinWait}, double{kMaxWait});
  const std::int16_t value = RoundToInt16(stepped);
  WaitLimit limit = WaitLimit::kNone;
  if (step > 0 && value >= kMaxWait) limit = WaitLimit::kMax;
  if (step < 0 && value <= kMinWait) limit = WaitLimit::kMin;
  return {value, limit};
}

std::string WaitLimitCaption(WaitLimit limit) {
  switch (limit) {
    case WaitLimit::kMin:
      return "Min wait time";
    case WaitLimit::kMax:
      return "Max wait time";
    case WaitLimit::kNone:
      break;
  }
  return {};
}

bool AcceptWaitTime(AppState& state, MainView& view, std::string_view text) {
  const double value = ReadLeadingNumber(text);
  if (!(value >= kMinWait && value <= kMaxWait)) {
    view.ShowMessage(
        {"Invalid wait time: " + std::string(text) + "\nGive a number of seconds from 1 to 32000.",
         AppTitle(state), MessageIcon::kCritical, MessageButtons::kOk});
    return false;
  }
  state.Wait = RoundToInt16(value);
  ShowWaitTime(state, view);
  state.Countdown = state.Wait;
  WriteSetting(state, kOptionsSection, "Wait", std::to_string(state.Wait));
  return true;
}

}  // namespace qm::app
