#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "coding/accent_tables.h"
#include "engine/image_shape.h"
#include "engine/iptc_fields.h"
#include "engine/xmp_document.h"

namespace qm::engine {

class XmpDocument;
class PendingOutput;

/// What became of one input file.
enum class ProcessOutcome {
  kWritten,            ///< the output file is complete under its final name
  kWrittenPacketKept,  ///< written; the XMP packet was left as read: it no longer fit its room after
                       ///< synchronisation, its segment runs past the end of the file or is too short to
                       ///< hold a packet, the packet is larger than a packet may be, or it is to be removed
                       ///< from a file that is no JPEG image
  kNothingToRead,      ///< the file is empty or cannot be opened; no output, nothing to tell
  kTooLarge,           ///< the file is larger than the settings allow; not read, no output
  kShortRead,          ///< a read failed or fell short of the file's size; no output
  kPacketUnparsable,   ///< the XMP packet did not parse or was refused; no output
  kOutputFailed,       ///< the output could not be written; nothing was left under the final name
  kInputChanged,  ///< the file was written to while it was read and copied: the output would hold some of
                  ///< each version, and was dropped
};

/// Whether the outcome left a complete output file, so the input may be archived or deleted.
constexpr bool OutputWritten(ProcessOutcome outcome) {
  return outcome == ProcessOutcome::kWritten || outcome == ProcessOutcome::kWrittenPacketKept;
}

/// What became of one input file, with what the user is to see of it.
struct ProcessResult {
  ProcessOutcome Outcome = ProcessOutcome::kNothingToRead;
  /// What went wrong, for logs: what, where, expected and found. For kWrittenPacketKept, why the packet was
  /// kept, in words that follow "its XMP packet was kept as read: " ("the synchronised packet is 40 bytes
  /// larger than its room"). Otherwise empty on success, or a note on an IPTC block cut short.
  std::string Detail;
  /// With synchronisation, once the packet was read: the packet as read (its room's bytes, one character per
  /// byte) and as written back (the packet as read when it was kept). Nothing otherwise.
  std::optional<std::string> PacketBefore;
  std::optional<std::string> PacketAfter;
  /// kPacketUnparsable: where the packet fails to parse, and why.
  std::optional<XmpParseError> ParseError;
  /// Once the file was read: what its first and last bytes say of it (not a JPEG image, image data without
  /// an end marker). The output is written all the same.
  ImageShape Shape = ImageShape::kJpeg;
  /// For a written output: no byte was changed or left out, so the output holds the input's bytes as read.
  bool WrittenAsRead = false;
  /// The output took its name at once (no Pending) and replaced a file of that name: an earlier output.
  bool ReplacedOutput = false;
};

/// The settings one image is processed with, read afresh for each image.
struct ProcessSettings {
  std::string_view InputFolder;   ///< ends with the separator; the file's path is this folder + the name
  std::string_view OutputFolder;  ///< ends with the separator
  const coding::AccentTable* ActiveAccentTable = nullptr;
  bool SynchronizeXMP = false;
  bool RemoveXMP = false;
  /// The XML document of the run; required when SynchronizeXMP is on.
  XmpDocument* Document = nullptr;
  /// Files larger than this many bytes are not read (kTooLarge); 0: no limit.
  std::uint64_t MaxFileSize = 0;
  /// Where the written output is left unfinished, for a caller that flushes many outputs together before
  /// they take their names; without it, the output takes its name at once.
  PendingOutput* Pending = nullptr;
};

/// Processes one file of the input folder into the output folder: converts its IPTC accents in place (and
/// renews the IPTC digest that was current), then synchronises or removes its XMP packet as the settings
/// say, and writes the result under the same name. A name holding a zero byte is refused. `fields` is emptied and
/// refilled with the image's IPTC values. The file is read no further than the searches for its metadata
/// need, in pieces through `image_buffer`, scratch space reused from one image to the next (at most 2 MB);
/// memory does not grow with the file. Nothing is shown: the result carries what the user is to see (the
/// packet before and after, a parse error). The output is written to a temporary file in the output folder,
/// as a copy of the input that shares its blocks where the file system can, with the edits written over it,
/// and renamed over the final name (at once, or when the caller finishes the pending output), so a failure
/// never leaves a partial file under that name.
ProcessResult ProcessImage(std::string_view file_name, const ProcessSettings& settings, IptcFields& fields,
                           std::vector<std::uint8_t>& image_buffer);

}  // namespace qm::engine
