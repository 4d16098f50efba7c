#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qm::inspector {

/// The field text as a text box shows it. A toolkit's text box turns each line break (CR LF, or a lone CR or
/// LF inside a value) into one break of its own, so positions in the box drift from positions in the text;
/// this keeps the shown characters with the offset of the bytes behind each, so that a selection in the box
/// leads back to the stored bytes, a line break to both its CR and its LF.
class ShownText {
 public:
  explicit ShownText(std::string_view field_text);

  /// The text with every line break as one "\n", still in the Windows coding.
  const std::string& Shown() const { return shown_; }

  /// The stored bytes behind the shown characters [begin, end). Positions past the end count as the end; an
  /// empty or reversed range gives "".
  std::string_view Stored(std::size_t begin, std::size_t end) const;

 private:
  std::string stored_;
  std::string shown_;
  std::vector<std::size_t>
      offsets_;  // offsets_[i]: where shown character i starts in stored_; one extra at end
};

}  // namespace qm::inspector
