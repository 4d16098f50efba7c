#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qm::inspector {

/// The field text in UTF-8, line breaks as stored. The values are Windows-1252 bytes, or UTF-8 when `utf8`
/// (their block declares it), in which case a byte that starts no well-formed sequence is read as
/// Windows-1252.
std::string DecodedText(std::string_view field_text, bool utf8);

/// The field text as a text box shows it. A toolkit's text box turns each line break (CR LF, or a lone CR or
/// LF inside a value) into one break of its own and counts a character beyond U+FFFF as two, so positions in
/// the box drift from positions in the text; this keeps the shown characters with the offset of the bytes
/// behind each, so that a selection in the box leads back to the stored bytes, a line break to both its CR
/// and its LF, a UTF-8 character to all of its bytes.
class ShownText {
 public:
  /// `utf8` as for DecodedText.
  explicit ShownText(std::string_view field_text, bool utf8 = false);

  /// The text in UTF-8 with every line break as one "\n".
  const std::string& Shown() const { return shown_; }

  /// The stored bytes behind the shown characters [begin, end), counted as the box counts them (UTF-16 code
  /// units). Positions past the end count as the end; an empty or reversed range gives "".
  std::string_view Stored(std::size_t begin, std::size_t end) const;

 private:
  std::string stored_;
  std::string shown_;
  std::vector<std::size_t> offsets_;  // offsets_[i]: where shown unit i starts in stored_; one extra at end
};

}  // namespace qm::inspector
