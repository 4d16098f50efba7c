#pragma once

#include <string>
#include <string_view>

namespace qm::cli {

/// A file name as the command line prints it: its valid UTF-8 unchanged, and each byte of a control
/// character (C0, DEL, C1) or of a sequence that is not UTF-8 written as the text "\xNN", so that a name can
/// neither split a line nor drive the terminal, and the result is always valid UTF-8.
std::string PrintableName(std::string_view name);

}  // namespace qm::cli
