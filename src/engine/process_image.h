#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/main_view.h"
#include "coding/accent_tables.h"
#include "engine/iptc_fields.h"

namespace qm::engine {

class XmpDocument;
class PendingOutput;

/// What became of one input file.
enum class ProcessOutcome {
  kWritten,            ///< the output file is complete under its final name
  kWrittenPacketKept,  ///< written; the XMP packet was left as read: it no longer fit its room after
                       ///< synchronisation, or its segment runs past the end of the file
  kNothingToRead,      ///< the file is empty or cannot be opened; no output, no message
  kTooLarge,           ///< the file is larger than the settings allow; not read, no output, no message
  kShortRead,          ///< the read fell short of the file's size; message shown, no output
  kPacketUnparsable,   ///< the XMP packet did not parse or was refused; message shown, no output
  kOutputFailed,       ///< the output could not be written; nothing was left under the final name
};

/// Whether the outcome left a complete output file, so the input may be archived or deleted.
constexpr bool OutputWritten(ProcessOutcome outcome) {
  return outcome == ProcessOutcome::kWritten || outcome == ProcessOutcome::kWrittenPacketKept;
}

struct ProcessResult {
  ProcessOutcome Outcome = ProcessOutcome::kNothingToRead;
  /// What went wrong, for logs: what, where, expected and found. Empty on success.
  std::string Detail;
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

/// Processes one file of the input folder into the output folder: converts its IPTC accents in place, then
/// synchronises or removes its XMP packet as the settings say, and writes the result under the same name. The
/// name is cut at its first NUL. `fields` is emptied and refilled with the image's IPTC values.
/// `image_buffer` is scratch space reused from one image to the next. The before and after views of the
/// packet and the two messages (short read, parse error) go to `view`. The output is written to a temporary
/// file in the output folder and renamed over the final name (at once, or when the caller finishes the
/// pending output), so a failure never leaves a partial file under that name.
ProcessResult ProcessImage(std::string_view file_name, const ProcessSettings& settings, IptcFields& fields,
                           std::vector<std::uint8_t>& image_buffer, app::MainView& view);

}  // namespace qm::engine
