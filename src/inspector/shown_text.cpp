#include "inspector/shown_text.h"

namespace qm::inspector {

ShownText::ShownText(std::string_view field_text) : stored_(field_text) {
  shown_.reserve(stored_.size());
  offsets_.reserve(stored_.size() + 1);
  for (std::size_t i = 0; i < stored_.size(); ++i) {
    offsets_.push_back(i);
    const char c = stored_[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < stored_.size() && stored_[i + 1] == '\n') ++i;
      shown_ += '\n';
    } else {
      shown_ += c;
    }
  }
  offsets_.push_back(stored_.size());
}

std::string_view ShownText::Stored(std::size_t begin, std::size_t end) const {
  const std::size_t last = shown_.size();
  if (end > last) end = last;
  if (begin >= end) return {};
  return std::string_view(stored_).substr(offsets_[begin], offsets_[end] - offsets_[begin]);
}

}  // namespace qm::inspector
