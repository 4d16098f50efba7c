#pragma once

#include <string>
#include <string_view>

#include "app/app_state.h"

namespace qm::app {

// How the front ends word an entry: its name, and what became of it.

/// A file name as the front ends show it: its valid UTF-8 unchanged, each byte of a control character (C0,
/// DEL, C1) or of a sequence that is not UTF-8 written as the text "\xNN", and a backslash doubled, so that a
/// name can neither split a line nor drive the terminal, two names never look alike ("a\x0A.jpg" with a
/// backslash is "a\\x0A.jpg"), and the result is always valid UTF-8. On Windows, where no name holds a
/// backslash and paths are full of them, a backslash stays single.
std::string PrintableName(std::string_view name);

/// What became of an entry, as the command line's line and the window's activity view say it: "written,
/// archived", "deleted", "moved to the input folder", "not written, kept in the input folder"; an entry kept
/// is said to be kept in the `kept_folder` folder ("input", "output", "archive"). The reason is not part of it.
std::string FateText(const AppState::EntryReport& report, std::string_view kept_folder);

}  // namespace qm::app
