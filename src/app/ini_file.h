#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace qm::app {

// A settings file in the INI format: "[Section]" lines open sections, "key=value" lines hold settings.
// Section and key names match without regard to ASCII case; values come back without surrounding blanks.
// Lines that begin with ";" or "#" are comments. When a section or key occurs twice, the first one counts. LF
// and CRLF files are both read, and a rewritten file keeps its own line ends.

/// The value of `key` in `section` of the INI text, trimmed of blanks and tabs, or nothing when the section
/// or key is missing.
std::optional<std::string> FindIniValue(std::string_view text, std::string_view section,
                                        std::string_view key);

/// The INI text with one key set: an existing key line keeps everything up to its "=" and gets the new value;
/// a missing key is added after the last setting of its section; a missing section is appended with the key.
/// Every other byte of the text is kept.
std::string ReplaceIniValue(std::string_view text, std::string_view section, std::string_view key,
                            std::string_view value);

/// Reads one value from the file. A missing, unreadable or binary file (one holding a zero byte), or anything
/// that is not a regular file, reads as empty, as does a missing section or key.
std::string ReadIniValue(const std::filesystem::path& file, std::string_view section, std::string_view key);

/// Writes one value into the file, creating the file, its folder, the section or the key when missing. The
/// file is replaced through a temporary file beside it, so a crash never leaves it half written; it keeps its
/// permissions, and a symbolic link stays a link: the file it points to is the one rewritten. A binary file
/// is replaced by a fresh one. Returns false when nothing could be written (`why` then says why, when given),
/// or when the value holds a line break (which would split the line).
bool WriteIniValue(const std::filesystem::path& file, std::string_view section, std::string_view key,
                   std::string_view value, std::string* why = nullptr);

}  // namespace qm::app
