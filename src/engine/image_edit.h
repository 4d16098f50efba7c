#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/iptc_fields.h"
#include "engine/process_image.h"

namespace qm::engine {

/// Which bytes of the edited image make the output, and which of them are still the input's.
struct OutputPlan {
  /// The output is the image without the bytes [CutBegin, CutEnd) (the removed XMP segment); empty when
  /// equal.
  std::size_t CutBegin = 0;
  std::size_t CutEnd = 0;
  /// One past the last byte the edit changed: from here on the image holds the input file's bytes.
  std::size_t ChangedEnd = 0;
};

/// ProcessImage on an image held in memory, without the file reading and writing around it: empties and fills
/// `fields`, recodes the IPTC values in place (renewing the IPTC digest that was current), then synchronises
/// the XMP packet in place or plans its removal (from a JPEG image only), as the settings say. Returns
/// kWritten or kWrittenPacketKept when the output is ready to be written as `plan` says, kPacketUnparsable
/// when nothing may be written. The folders and DurableOutput of the settings are not used.
ProcessResult EditImage(std::span<std::uint8_t> image, const ProcessSettings& settings, IptcFields& fields,
                        OutputPlan& plan);

/// The output the plan gives: the image without its cut.
std::vector<std::uint8_t> OutputBytes(std::span<const std::uint8_t> image, const OutputPlan& plan);

}  // namespace qm::engine
