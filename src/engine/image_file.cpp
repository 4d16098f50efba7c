#include "engine/image_file.h"

#include "engine/image_bytes.h"
#include "engine/image_shape.h"

#include <algorithm>
#include <atomic>
#include <new>
#include <optional>
#include <utility>

namespace qm::engine {
namespace {

// A file up to this size is read whole when it is opened.
constexpr std::uint64_t kReadWholeUpTo = std::uint64_t{1} << 20;
// An output with this many bytes to write starts on its way to the device as soon as it is written; smaller
// ones wait for their group's flush, which writes many of them in a few large requests.
constexpr std::uint64_t kWriteBackFrom = std::uint64_t{1} << 20;

// A fresh temporary name beside `path`, or nothing when this process cannot mark names there as its own
// (`why` gives the system's reason).
std::optional<std::filesystem::path> TemporaryPath(const std::filesystem::path& path, int attempt,
                                                   std::string& why) {
  static std::atomic<unsigned> counter{0};
  const std::optional<std::string> prefix = OwnTemporaryPrefix(path.parent_path().string() + "/", &why);
  if (!prefix) return std::nullopt;
  return path.parent_path() / (*prefix + std::to_string(counter++) + "-" + std::to_string(attempt) + ".tmp");
}

// The system calls would read such a path only up to the zero byte, and write somewhere else.
bool HoldsZeroByte(const std::filesystem::path& path) {
  return path.native().find(std::filesystem::path::value_type{}) != std::filesystem::path::string_type::npos;
}

std::string Failed(const std::string& what, const std::filesystem::path& output,
                   const std::error_code& error) {
  return "cannot " + what + " the output " + output.string() + ": " + platform::ErrorText(error);
}

// Asks the system for what the searches read first, all at once, so that the device serves it together
// rather than one wait after the other: the first piece and the last bytes; on a file system whose copy
// shares the blocks (and so reads none), nothing more. Elsewhere the copy reads a small file through anyway:
// it is asked for whole, one request to the device where three (its start, its end, the rest for the copy)
// cost three. Returns whether the file is to be read whole.
bool AdviseFirstReads(const platform::File& file, std::uint64_t size) {
  if (size <= kReadWholeUpTo && !platform::MayShareBlocks(file)) {
    platform::AdviseSoonRead(file, 0, 0);
    return true;
  }
  platform::AdviseSoonRead(file, 0, ImageBytes::kFirstPiece);
  if (size > ImageBytes::kFirstPiece) {
    const std::uint64_t tail = std::min<std::uint64_t>(size - ImageBytes::kFirstPiece, kShapeEndBytes);
    platform::AdviseSoonRead(file, size - tail, tail);
  }
  return false;
}

}  // namespace

InputImageFile::Status InputImageFile::Open(const std::filesystem::path& path, bool follow_links) {
  path_ = path;
  if (HoldsZeroByte(path)) {
    detail_ = "the path holds a zero byte";
    return Status::kNothingToRead;
  }
  // A link is never followed unless asked: its target may be a file that the output folder's readers should
  // not see.
  std::error_code error;
  file_ = platform::OpenForReading(path, follow_links, error);
  if (error) {
    detail_ = "cannot open " + path.string() + ": " + platform::ErrorText(error);
    return Status::kNothingToRead;
  }
  if (platform::Describe(file_, info_) || !info_.Regular || info_.Size < 1) {
    detail_ = path.string() + ": not a regular file with content";
    file_.Close();
    return Status::kNothingToRead;
  }
  // Beyond what is asked for, the system's read-ahead would read a good part of a large file for nothing.
  if (!AdviseFirstReads(file_, info_.Size)) platform::AdviseReads(file_, false);
  return Status::kRead;
}

void ReadSoon(const std::filesystem::path& path) {
  if (!platform::TakesReadAdvice() || HoldsZeroByte(path)) return;
  std::error_code error;
  const platform::File file = platform::OpenForReading(path, false, error);
  platform::FileInfo info;
  if (!error && !platform::Describe(file, info) && info.Regular && info.Size > 0) AdviseFirstReads(file, info.Size);
}

InputImageFile::Status InputImageFile::Read(const std::filesystem::path& path,
                                            std::vector<std::uint8_t>& buffer, std::uint64_t max_size,
                                            bool follow_links) {
  if (const Status opened = Open(path, follow_links); opened != Status::kRead) return opened;
  if (max_size > 0 && info_.Size > max_size) {
    detail_ = std::to_string(info_.Size) + " bytes";
    return Status::kTooLarge;
  }
  const auto size = static_cast<std::size_t>(info_.Size);
  try {
    if (buffer.size() < size) buffer.resize(size);
  } catch (const std::bad_alloc&) {
    detail_ = path.string() + ": " + std::to_string(size) + " bytes do not fit in memory";
    return Status::kNothingToRead;
  }
  std::error_code error;
  if (const std::size_t done = ReadAt(0, std::span(buffer.data(), size), error); done < size) {
    detail_ = path.string() + ": read " + std::to_string(done) + " of " + std::to_string(size) + " bytes";
    return Status::kShortRead;
  }
  return Status::kRead;
}

std::size_t InputImageFile::ReadAt(std::uint64_t offset, std::span<std::uint8_t> into,
                                   std::error_code& error) const {
  return platform::ReadAt(file_, offset, into, error);
}

bool InputImageFile::Unchanged(std::string& why) const {
  platform::FileInfo now;
  if (const std::error_code error = platform::Describe(file_, now)) {
    why = path_.string() + ": " + platform::ErrorText(error);
    return false;
  }
  if (now == info_) return true;
  why = path_.string() + " changed while it was read: " +
        (now.Size != info_.Size
             ? "it held " + std::to_string(info_.Size) + " bytes, now " + std::to_string(now.Size)
             : std::string("it was written again"));
  return false;
}

namespace {

// A stretch [Begin, End) of offsets.
struct Stretch {
  std::uint64_t Begin;
  std::uint64_t End;
};

// The output is the input without the plan's cut, its edits laid over: output offsets below the cut are the
// input's, those from the cut on lie `Cut()` bytes further in the input.
struct Layout {
  std::uint64_t CutBegin;
  std::uint64_t CutEnd;
  std::uint64_t Size;  // the input's

  std::uint64_t Cut() const { return CutEnd - CutBegin; }
  std::uint64_t OutputSize() const { return Size - Cut(); }
  // Calls `visit(input offset, output offset, count)` for the pieces of the output stretch that the cut
  // divides.
  template <typename Visit>
  void Pieces(Stretch output, const Visit& visit) const {
    if (output.Begin < CutBegin) {
      const std::uint64_t end = std::min(output.End, CutBegin);
      visit(output.Begin, output.Begin, end - output.Begin);
      output.Begin = end;
    }
    if (output.Begin < output.End) visit(output.Begin + Cut(), output.Begin, output.End - output.Begin);
  }
};

Layout LayoutOf(const OutputPlan& plan, std::uint64_t size) {
  const std::uint64_t begin = std::min<std::uint64_t>(plan.CutBegin, size);
  return {begin, std::clamp<std::uint64_t>(plan.CutEnd, begin, size), size};
}

// The output stretches that the edits touch, widened to whole blocks and merged, in order. An edit's bytes
// inside the cut go with it.
std::vector<Stretch> TouchedBlocks(const std::vector<ImageEdit>& edits, const Layout& layout,
                                   std::uint64_t block) {
  std::vector<Stretch> touched;
  const auto touch = [&](std::uint64_t begin, std::uint64_t end) {
    if (begin < end)
      touched.push_back(
          {begin / block * block, std::min(layout.OutputSize(), (end + block - 1) / block * block)});
  };
  for (const ImageEdit& edit : edits) {
    touch(edit.Offset, std::min<std::uint64_t>(edit.End(), layout.CutBegin));
    const std::uint64_t after = std::max<std::uint64_t>(edit.Offset, layout.CutEnd);
    if (after < edit.End()) touch(after - layout.Cut(), edit.End() - layout.Cut());
  }
  std::sort(touched.begin(), touched.end(), [](Stretch a, Stretch b) { return a.Begin < b.Begin; });
  std::vector<Stretch> merged;
  for (const Stretch& stretch : touched) {
    if (!merged.empty() && stretch.Begin <= merged.back().End) {
      merged.back().End = std::max(merged.back().End, stretch.End);
    } else {
      merged.push_back(stretch);
    }
  }
  return merged;
}

// Makes the output of the input in the new file: the blocks the edits touch are written whole, as edited;
// everything else is the input's, copied by the file system, which shares the blocks where it can. So a
// clone's edited blocks are the only new ones, and no block is shared first and copied on the write after.
// `fresh` counts the bytes that the output does not share with the input: those its flush has to write.
std::error_code Fill(ImageBytes& image, const platform::File& in, const platform::File& out,
                     const Layout& layout, std::uint64_t& fresh) {
  platform::AdviseReads(in, true);  // a copy that is not shared reads the file through
  platform::CopyWay way = platform::CopyWay::kNothing;
  if (image.Edits().empty() && layout.Cut() == 0) {
    const std::error_code error = platform::CopyWhole(in, out, layout.Size, &way);
    fresh = way > platform::CopyWay::kShared ? layout.Size : 0;
    return error;
  }
  if (const std::error_code error = platform::SetSize(out, layout.OutputSize())) return error;
  const auto copy = [&](Stretch stretch) {
    std::error_code error;
    layout.Pieces(stretch, [&](std::uint64_t from, std::uint64_t to, std::uint64_t count) {
      if (!error) error = platform::CopyRange(in, from, out, to, count, &way);
      if (way > platform::CopyWay::kShared) fresh += count;
    });
    return error;
  };
  std::vector<std::uint8_t> bytes;
  std::uint64_t at = 0;
  for (const Stretch& touched : TouchedBlocks(image.Edits(), layout, platform::BlockSize(out))) {
    if (const std::error_code error = copy({at, touched.Begin})) return error;
    bytes.resize(static_cast<std::size_t>(touched.End - touched.Begin));
    layout.Pieces(touched, [&](std::uint64_t from, std::uint64_t to, std::uint64_t count) {
      image.Copy(static_cast<std::size_t>(from),
                 std::span(bytes.data() + (to - touched.Begin), static_cast<std::size_t>(count)));
    });
    if (const std::error_code error = platform::WriteAt(out, touched.Begin, bytes)) return error;
    fresh += bytes.size();
    at = touched.End;
  }
  return copy({at, layout.OutputSize()});
}

}  // namespace

OutputWrite WriteOutputImage(const std::filesystem::path& path, const OutputPlan& plan, ImageBytes& image,
                             const InputImageFile& input, PendingOutput* pending) {
  if (HoldsZeroByte(path)) return {"the output path holds a zero byte"};
  PendingOutput output;
  output.path_ = path;
  platform::File file;
  std::error_code error;
  for (int attempt = 0; attempt < 100 && !file.IsOpen(); ++attempt) {
    std::string why;
    const std::optional<std::filesystem::path> temporary = TemporaryPath(path, attempt, why);
    if (!temporary) return {"cannot write the output " + path.string() + ": " + why};
    file = platform::CreateNew(*temporary, error);
    if (file.IsOpen()) output.temporary_ = *temporary;
    if (error && error != std::errc::file_exists) return {Failed("create", path, error)};
  }
  if (!file.IsOpen()) return {Failed("create", path, error)};

  const Layout layout = LayoutOf(plan, input.Size());
  if (error = Fill(image, input.Handle(), file, layout, output.fresh_); error) {
    output.Discard();
    return {Failed("write", path, error)};
  }
  // The input may have been written to since its metadata were read: the output would then hold some of each
  // version.
  if (std::string why; !input.Unchanged(why) || image.Failed()) {
    output.Discard();
    return {why.empty() ? image.Failure() : why, true};
  }
  // An output that waits for its group's flush starts on its way to the device now, while the next images are
  // read and written, so that the flush finds little left to do. One that shares its input's blocks has
  // little to write anyway.
  if (pending != nullptr && output.fresh_ >= kWriteBackFrom) platform::StartWriteBack(file);
  // The close is the last chance to hear of a failed write (a full share).
  if (error = file.Close(); error) {
    output.Discard();
    return {Failed("write", path, error)};
  }
  if (pending != nullptr) {
    *pending = std::move(output);
    return {};
  }
  OutputWrite written{output.Finish(false)};
  written.Replaced = output.Replaced();
  return written;
}

std::string PendingOutput::Flush() {
  if (temporary_.empty()) return "no output is waiting";
  const std::error_code error = platform::FlushFile(temporary_);
  if (!error) return {};
  const std::string failure = Failed("flush", path_, error);
  Discard();
  return failure;
}

std::string PendingOutput::Finish(bool flush) {
  if (temporary_.empty()) return "no output is waiting";
  if (flush) {
    if (std::string failure = Flush(); !failure.empty()) return failure;
  }
  if (const std::error_code error = platform::PutInPlace(temporary_, path_, replaced_)) {
    const std::string failure =
        "cannot put the output " + path_.string() + " in place: " + platform::ErrorText(error);
    Discard();
    return failure;
  }
  temporary_.clear();
  return {};
}

void PendingOutput::Discard() {
  if (!temporary_.empty()) platform::RemoveFile(temporary_);
  temporary_.clear();
}

PendingOutput::PendingOutput(PendingOutput&& other) noexcept { *this = std::move(other); }

PendingOutput& PendingOutput::operator=(PendingOutput&& other) noexcept {
  if (this != &other) {
    Discard();
    temporary_ = std::exchange(other.temporary_, {});
    path_ = std::move(other.path_);
    replaced_ = other.replaced_;
    fresh_ = other.fresh_;
  }
  return *this;
}

PendingOutput::~PendingOutput() { Discard(); }

}  // namespace qm::engine
