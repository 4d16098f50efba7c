#include "engine/image_bytes.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "engine/image_file.h"

namespace qm::engine {
namespace {

// What the buffer holds at most: the largest piece, and what is kept of the one before it.
constexpr std::size_t kBufferSize = 2 * ImageBytes::kLargestPiece;

}  // namespace

ImageBytes::ImageBytes(std::span<std::uint8_t> image)
    : size_(image.size()), memory_(image.data()), writable_(image.data()) {}

ImageBytes::ImageBytes(std::span<const std::uint8_t> image) : size_(image.size()), memory_(image.data()) {}

ImageBytes::ImageBytes(const InputImageFile& file, std::vector<std::uint8_t>& buffer, std::size_t first_piece)
    : size_(static_cast<std::size_t>(file.Size())),
      file_(&file),
      buffer_(&buffer),
      first_piece_(std::clamp<std::size_t>(first_piece, 1, kLargestPiece)) {
  if (buffer.size() < kBufferSize) buffer.resize(kBufferSize);
}

std::span<const std::uint8_t> ImageBytes::From(std::size_t offset) {
  if (offset >= size_) return {};
  if (file_ == nullptr) return {memory_ + offset, size_ - offset};
  if (offset < begin_ || offset >= end_) Load(offset, 1);
  return {buffer_->data() + (offset - begin_), end_ - offset};
}

std::span<const std::uint8_t> ImageBytes::Get(std::size_t offset, std::size_t count) {
  assert(count <= kLargestGet && "a larger read goes through Copy");
  if (offset >= size_) return {};
  count = std::min(count, size_ - offset);
  if (file_ == nullptr) return {memory_ + offset, count};
  if (offset < begin_ || offset >= end_ || count > end_ - offset) Load(offset, count);
  return {buffer_->data() + (offset - begin_), count};
}

std::uint8_t ImageBytes::At(std::size_t offset) {
  const auto byte = Get(offset, 1);
  return byte.empty() ? 0 : byte[0];
}

void ImageBytes::Copy(std::size_t offset, std::span<std::uint8_t> out) {
  assert(offset <= size_ && out.size() <= size_ - offset && "a copy ends within the image");
  if (out.empty()) return;
  if (file_ == nullptr) {
    std::memcpy(out.data(), memory_ + offset, out.size());
  } else if (offset >= begin_ && offset < end_ && out.size() <= end_ - offset) {
    std::memcpy(out.data(), buffer_->data() + (offset - begin_), out.size());
  } else if (out.size() <= kLargestGet) {
    std::memcpy(out.data(), Get(offset, out.size()).data(), out.size());
  } else {
    ReadFile(offset, out);  // straight into place: the buffer keeps what the searches read
  }
}

std::size_t ImageBytes::Find(std::size_t from, std::size_t end, std::string_view needle) {
  const std::size_t length = needle.size();
  end = std::min(end, size_);
  if (length == 0 || length > kLargestGet) return kNotFound;
  while (from < end && end - from >= length) {
    const std::span<const std::uint8_t> here = From(from);
    // Offsets whose first byte is at hand; a match may run on past what is at hand.
    const std::size_t count = std::min(here.size(), end - length - from + 1);
    const void* hit = std::memchr(here.data(), static_cast<unsigned char>(needle[0]), count);
    if (hit == nullptr) {
      from += count;
      continue;
    }
    const std::size_t at =
        from + static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - here.data());
    const std::span<const std::uint8_t> candidate =
        at - from + length <= here.size() ? here.subspan(at - from, length) : Get(at, length);
    if (std::memcmp(candidate.data(), needle.data(), length) == 0) return at;
    from = at + 1;
  }
  return kNotFound;
}

void ImageBytes::Write(std::size_t offset, std::span<const std::uint8_t> bytes) {
  assert(offset <= size_ && bytes.size() <= size_ - offset && "an edit lies within the image");
  if (bytes.empty()) return;
  if (file_ == nullptr) {
    assert(writable_ != nullptr && "this image is read only");
    std::memcpy(writable_ + offset, bytes.data(), bytes.size());
  }
  edits_.push_back({offset, std::vector<std::uint8_t>(bytes.begin(), bytes.end())});
  // What is at hand shows it too.
  const std::size_t from = std::max(offset, begin_);
  const std::size_t to = std::min(offset + bytes.size(), end_);
  if (file_ != nullptr && from < to) {
    std::memcpy(buffer_->data() + (from - begin_), bytes.data() + (from - offset), to - from);
  }
}

void ImageBytes::Load(std::size_t offset, std::size_t count) {
  std::uint8_t* const buffer = buffer_->data();
  const std::size_t want_end = std::min(size_, offset + count);
  const std::size_t aligned = offset - offset % first_piece_;
  // A read that goes on from what is at hand keeps the piece that holds `offset` and what follows; the pieces
  // then grow: the first two are of the first size, then each is twice the one before.
  std::size_t keep = aligned;
  if (end_ > begin_ && offset >= begin_ && offset <= end_) {
    keep = std::max(begin_, aligned);
    ++reads_in_a_row_;
  } else {
    begin_ = end_ = aligned;
    reads_in_a_row_ = 0;
  }
  const int doublings = std::min(std::max(reads_in_a_row_ - 1, 0), 20);
  const std::size_t piece = std::min(kLargestPiece, first_piece_ << doublings);
  // A search that goes this far is likely to go on to the end: the system may read ahead of it from now on.
  if (piece == kLargestPiece && !reading_through_) {
    reading_through_ = true;
    file_->ReadingThrough();
  }
  std::size_t read_end = std::min(size_, std::max(want_end, end_ + piece));
  if (read_end - keep > kBufferSize) {  // nothing worth keeping fits beside it
    begin_ = end_ = keep = aligned;
    read_end = std::min(size_, std::max(want_end, aligned + piece));
  }
  if (keep > begin_) {
    std::memmove(buffer, buffer + (keep - begin_), end_ - keep);
    begin_ = keep;
  }
  ReadFile(end_, std::span(buffer + (end_ - begin_), read_end - end_));
  end_ = read_end;
}

void ImageBytes::ReadFile(std::size_t offset, std::span<std::uint8_t> into) {
  std::error_code error;
  const std::size_t got = file_->ReadAt(offset, into, error);
  if (got < into.size()) {
    std::fill(into.begin() + static_cast<std::ptrdiff_t>(got), into.end(), std::uint8_t{0});
    if (failure_.empty()) {
      failure_ = file_->Path().string() + ": read " + std::to_string(got) + " of " +
                 std::to_string(into.size()) + " bytes at offset " + std::to_string(offset) +
                 (error ? ": " + error.message() : "");
    }
  }
  LayEdits(offset, into);
}

void ImageBytes::LayEdits(std::size_t offset, std::span<std::uint8_t> into) const {
  const std::size_t end = offset + into.size();
  for (const ImageEdit& edit : edits_) {
    const std::size_t from = std::max(offset, edit.Offset);
    const std::size_t to = std::min(end, edit.End());
    if (from < to)
      std::memcpy(into.data() + (from - offset), edit.Bytes.data() + (from - edit.Offset), to - from);
  }
}

}  // namespace qm::engine
