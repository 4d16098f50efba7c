#include "app/ini_file.h"

#include <cerrno>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

#include "app/platform_paths.h"

namespace qm::app {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

// One line of the text: its content without the line end, and where the whole line (end included) lies.
struct Line {
  std::string_view Content;
  std::size_t Begin = 0;
  std::size_t End = 0;  // one past the line end, or the text's end for a last line without one
};

std::vector<Line> SplitLines(std::string_view text) {
  std::vector<Line> lines;
  std::size_t begin = 0;
  while (begin < text.size()) {
    const std::size_t lf = text.find('\n', begin);
    const std::size_t end = lf == std::string_view::npos ? text.size() : lf + 1;
    std::string_view content = text.substr(begin, (lf == std::string_view::npos ? text.size() : lf) - begin);
    if (!content.empty() && content.back() == '\r') content.remove_suffix(1);
    lines.push_back({content, begin, end});
    begin = end;
  }
  return lines;
}

// The section name of a "[name]" line, or nothing for any other line.
std::optional<std::string_view> SectionName(std::string_view content) {
  content = Trim(content);
  if (content.empty() || content.front() != '[') return std::nullopt;
  const std::size_t close = content.find(']');
  if (close == std::string_view::npos) return std::nullopt;
  return Trim(content.substr(1, close - 1));
}

bool IsComment(std::string_view content) {
  content = Trim(content);
  return !content.empty() && (content.front() == ';' || content.front() == '#');
}

// Where a section's lines lie: the header line and one past its last line.
struct SectionSpan {
  std::size_t Header = 0;
  std::size_t EndLine = 0;
};

std::optional<SectionSpan> FindSection(const std::vector<Line>& lines, std::string_view section) {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const auto name = SectionName(lines[i].Content);
    if (!name || !SameName(*name, section)) continue;
    std::size_t end = i + 1;
    while (end < lines.size() && !SectionName(lines[end].Content)) ++end;
    return SectionSpan{i, end};
  }
  return std::nullopt;
}

// The index of the key's line within the section, or nothing.
std::optional<std::size_t> FindKey(const std::vector<Line>& lines, const SectionSpan& span,
                                   std::string_view key) {
  for (std::size_t i = span.Header + 1; i < span.EndLine; ++i) {
    const std::string_view content = lines[i].Content;
    if (IsComment(content)) continue;
    const std::size_t eq = content.find('=');
    if (eq == std::string_view::npos) continue;
    if (SameName(Trim(content.substr(0, eq)), key)) return i;
  }
  return std::nullopt;
}

// Ends the text's last line when it has no complete line end; a bare carriage return only needs its line
// feed.
void CompleteLastLine(std::string& out, std::string_view eol) {
  if (out.empty() || out.back() == '\n') return;
  out.append(out.back() == '\r' ? "\n" : eol);
}

std::string_view LineEndOf(std::string_view text) {
  const std::size_t lf = text.find('\n');
  if (lf != std::string_view::npos && lf > 0 && text[lf - 1] == '\r') return "\r\n";
  return "\n";
}

// Reads the whole file; nothing when it is missing, unreadable, not a regular file, or binary.
std::optional<std::string> ReadTextFile(const std::filesystem::path& file) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec)) return std::nullopt;
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  if (text.find('\0') != std::string::npos) return std::nullopt;
  return text;
}

}  // namespace

std::optional<std::string> FindIniValue(std::string_view text, std::string_view section,
                                        std::string_view key) {
  const std::vector<Line> lines = SplitLines(text);
  const auto span = FindSection(lines, section);
  if (!span) return std::nullopt;
  const auto index = FindKey(lines, *span, key);
  if (!index) return std::nullopt;
  const std::string_view content = lines[*index].Content;
  return std::string(Trim(content.substr(content.find('=') + 1)));
}

std::string ReplaceIniValue(std::string_view text, std::string_view section, std::string_view key,
                            std::string_view value) {
  const std::vector<Line> lines = SplitLines(text);
  const std::string_view eol = LineEndOf(text);
  std::string out;
  out.reserve(text.size() + section.size() + key.size() + value.size() + 8);

  const auto span = FindSection(lines, section);
  if (!span) {
    out.append(text);
    CompleteLastLine(out, eol);
    out.append("[").append(section).append("]").append(eol);
    out.append(key).append("=").append(value).append(eol);
    return out;
  }

  if (const auto index = FindKey(lines, *span, key)) {
    const Line& line = lines[*index];
    const std::size_t eq = line.Content.find('=');
    const std::string_view line_end =
        text.substr(line.Begin + line.Content.size(), line.End - line.Begin - line.Content.size());
    out.append(text.substr(0, line.Begin + eq + 1));
    out.append(value);
    out.append(line_end);
    out.append(text.substr(line.End));
    return out;
  }

  // A new key goes after the section's last non-blank line, so blank lines before the next section stay
  // there.
  std::size_t after = span->Header;
  for (std::size_t i = span->Header + 1; i < span->EndLine; ++i) {
    if (!Trim(lines[i].Content).empty()) after = i;
  }
  const Line& anchor = lines[after];
  out.append(text.substr(0, anchor.End));
  CompleteLastLine(out, eol);
  out.append(key).append("=").append(value).append(eol);
  out.append(text.substr(anchor.End));
  return out;
}

std::string ReadIniValue(const std::filesystem::path& file, std::string_view section, std::string_view key) {
  const auto text = ReadTextFile(file);
  if (!text) return {};
  return FindIniValue(*text, section, key).value_or(std::string());
}

namespace {

// The file a path finally names, through any symbolic links (a link's target may not exist yet).
std::filesystem::path FollowLinks(std::filesystem::path file) {
  std::error_code ec;
  for (int hop = 0; hop < 40 && std::filesystem::is_symlink(file, ec); ++hop) {
    const std::filesystem::path target = std::filesystem::read_symlink(file, ec);
    if (ec) break;
    file = target.is_absolute() ? target : file.parent_path() / target;
  }
  return file;
}

bool Write(const std::filesystem::path& file, const std::string& text) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.close();
  return !out.fail();
}

}  // namespace

bool WriteIniValue(const std::filesystem::path& link, std::string_view section, std::string_view key,
                   std::string_view value, std::string* why) {
  if (value.find_first_of("\r\n") != std::string_view::npos) return false;
  const std::filesystem::path file = FollowLinks(link);
  std::error_code ec;
  if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path(), ec);

  const std::string text = ReplaceIniValue(ReadTextFile(file).value_or(std::string()), section, key, value);
  const auto permissions = std::filesystem::status(file, ec).permissions();
  const bool existed = !ec;
  // A file made read-only keeps its settings: the rename below would replace it regardless.
  if (existed && !CanWrite(file)) {
    if (why != nullptr) *why = "the file is read-only";
    return false;
  }

  std::filesystem::path temp = file;
  temp += ".tmp";
  if (Write(temp, text)) {
    if (existed) std::filesystem::permissions(temp, permissions, ec);
    std::filesystem::rename(temp, file, ec);
    if (!ec) return true;
  }
  std::filesystem::remove(temp, ec);
  // The folder may refuse new files while the file itself stays writable: write it in place then.
  if (Write(file, text)) return true;
  if (why != nullptr) *why = std::generic_category().message(errno);
  return false;
}

}  // namespace qm::app
