#include "cli/options.h"

#include <charconv>
#include <span>
#include <string_view>
#include <system_error>

#include "app/folder_choice.h"
#include "app/platform_paths.h"
#include "app/settings.h"
#include "app/wait_time.h"
#include "coding/accent_tables.h"
#include "platform/file_services.h"

namespace qm::cli {
namespace {

struct Choice {
  std::string_view Word;
  int Value;
};

constexpr Choice kAfterChoices[] = {{"delete", 0}, {"archive", 1}};
constexpr Choice kAccentChoices[] = {{"mac-to-windows", 0}, {"windows-to-mac", 1}, {"none", 2}};
constexpr Choice kXmpChoices[] = {{"keep", 0}, {"sync", 1}, {"remove", 2}};

std::string Expected(std::span<const Choice> choices) {
  std::string text;
  for (std::size_t i = 0; i < choices.size(); ++i) {
    if (i > 0) text += i + 1 == choices.size() ? " or " : ", ";
    text += choices[i].Word;
  }
  return text;
}

std::optional<int> Pick(std::span<const Choice> choices, std::string_view word) {
  for (const Choice& c : choices) {
    if (c.Word == word) return c.Value;
  }
  return std::nullopt;
}

std::string Quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

// Reads one option's value into the options; returns what is wrong with it, or nothing.
std::string TakeValue(std::string_view name, const std::string& value, Options& options) {
  const auto choose = [&](std::span<const Choice> choices, auto store) -> std::string {
    const std::optional<int> picked = Pick(choices, value);
    if (!picked) return std::string(name) + ": expected " + Expected(choices) + ", found " + Quoted(value);
    store(*picked);
    return {};
  };
  const auto folder = [&](std::optional<std::string>& into) -> std::string {
    if (value.empty()) return std::string(name) + ": expected a folder, found nothing";
    into = value;
    return {};
  };
  const auto file = [&](std::optional<std::filesystem::path>& into) -> std::string {
    if (value.empty()) return std::string(name) + ": expected a file, found nothing";
    into = platform::PathOf(value);
    return {};
  };
  if (name == "--ini") return file(options.Ini);
  if (name == "--log") return file(options.Log);
  if (name == "--input") return folder(options.Input);
  if (name == "--archive") return folder(options.Archive);
  if (name == "--output") return folder(options.Output);
  if (name == "--after") return choose(kAfterChoices, [&](int v) { options.UseArchive = v == 1; });
  if (name == "--accents") {
    return choose(kAccentChoices, [&](int v) { options.Accents = static_cast<std::int16_t>(v); });
  }
  if (name == "--xmp") {
    return choose(kXmpChoices, [&](int v) {
      options.SynchronizeXMP = v == 1;
      options.RemoveXMP = v == 2;
    });
  }
  // A whole number within limits: --wait (the wait-time dialog's), --settle, --max-file-mb.
  const auto whole = [&](int min, int max, const char* unit, auto store) -> std::string {
    int number = 0;
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), number);
    if (ec != std::errc() || end != value.data() + value.size() || number < min || number > max) {
      return std::string(name) + ": expected " + unit + " from " + std::to_string(min) + " to " +
             std::to_string(max) + ", found " + Quoted(value);
    }
    store(number);
    return {};
  };
  if (name == "--settle") {
    return whole(0, app::kMaxSettle, "whole seconds", [&](int v) { options.Settle = v; });
  }
  if (name == "--max-file-mb") {
    return whole(0, app::kMaxFileMB, "megabytes", [&](int v) { options.MaxFileMB = v; });
  }
  return whole(app::kMinWait, app::kMaxWait, "whole seconds",
               [&](int v) { options.Wait = static_cast<std::int16_t>(v); });
}

bool TakesValue(std::string_view name) {
  for (const std::string_view n : {"--ini", "--input", "--archive", "--output", "--after", "--accents", "--xmp",
                                   "--wait", "--settle", "--max-file-mb", "--log"}) {
    if (n == name) return true;
  }
  return false;
}

std::string AbsoluteFolderSetting(const std::string& folder) {
  std::error_code ec;
  std::string text = platform::TextOf(std::filesystem::absolute(platform::PathOf(folder), ec));
  return app::FolderSetting(ec ? folder : text);
}

}  // namespace

ParsedOptions ParseOptions(const std::vector<std::string>& arguments) {
  ParsedOptions parsed;
  Options& options = parsed.Value;
  bool options_ended = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    const bool positional = options_ended || argument.size() < 2 || argument[0] != '-';
    if (positional) {
      if (options.Command.empty()) {
        options.Command = argument;
      } else {
        options.Arguments.push_back(argument);
      }
      continue;
    }
    if (argument == "--") {
      options_ended = true;
      continue;
    }
    if (argument == "--help" || argument == "-h") {
      options.Help = true;
      continue;
    }
    if (argument == "--version") {
      options.Version = true;
      continue;
    }
    if (argument == "--yes" || argument == "-y") {
      options.Yes = true;
      continue;
    }
    if (argument == "--raw") {
      options.Raw = true;
      continue;
    }
    const std::size_t equals = argument.find('=');
    const std::string name = argument.substr(0, equals);
    if (!TakesValue(name)) {
      parsed.Error = "unknown option " + Quoted(name);
      return parsed;
    }
    std::string value;
    if (equals != std::string::npos) {
      value = argument.substr(equals + 1);
    } else if (i + 1 < arguments.size()) {
      value = arguments[++i];
    } else {
      parsed.Error = name + ": a value is missing";
      return parsed;
    }
    if (std::string error = TakeValue(name, value, options); !error.empty()) {
      parsed.Error = std::move(error);
      return parsed;
    }
  }
  return parsed;
}

void ApplyOptions(const Options& options, app::AppState& state) {
  if (options.Input) state.InputFolder = AbsoluteFolderSetting(*options.Input);
  if (options.Archive) state.ArchiveFolder = AbsoluteFolderSetting(*options.Archive);
  if (options.Output) state.OutputFolder = AbsoluteFolderSetting(*options.Output);
  if (options.Settle) state.Settle = *options.Settle;
  if (options.MaxFileMB) state.MaxFileMB = *options.MaxFileMB;
  if (options.UseArchive) state.UseArchive = *options.UseArchive;
  if (options.SynchronizeXMP) state.SynchronizeXMP = *options.SynchronizeXMP;
  if (options.RemoveXMP) state.RemoveXMP = *options.RemoveXMP;
  if (options.Wait) state.Wait = *options.Wait;
  if (options.Accents) {
    state.Accents = *options.Accents;
    state.ActiveAccentTable =
        coding::SelectAccentTable(state.Accents, state.MacToWindows, state.WindowsToMac);
  }
}

}  // namespace qm::cli
