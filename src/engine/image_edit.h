#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/image_bytes.h"
#include "engine/iptc_fields.h"
#include "engine/process_image.h"

namespace qm::engine {

/// How the output is made of the edited image (ImageBytes keeps the edits).
struct OutputPlan {
  /// The output is the image without the bytes [CutBegin, CutEnd) (the removed XMP segment); empty when
  /// equal.
  std::size_t CutBegin = 0;
  std::size_t CutEnd = 0;
  /// One past the last byte the edits changed: from here on the image holds the input file's bytes.
  std::size_t ChangedEnd = 0;
};

/// ProcessImage on an image, without the opening and the writing around it: empties and fills `fields`,
/// recodes the IPTC values (renewing the IPTC digest that was current), then synchronises the XMP packet in
/// its room or plans its removal (from a JPEG image only), as the settings say. The image is read as far as
/// the searches need, and the edits are made in it. Returns kWritten or
/// kWrittenPacketKept when the output is ready to be written as `plan` says, kPacketUnparsable when nothing
/// may be written. The folders, the size limit and Pending of the settings are not used.
ProcessResult EditImage(ImageBytes& image, const ProcessSettings& settings, IptcFields& fields,
                        OutputPlan& plan);
/// The same on an image held in memory, edited in place.
ProcessResult EditImage(std::span<std::uint8_t> image, const ProcessSettings& settings, IptcFields& fields,
                        OutputPlan& plan);

/// The output the plan gives of an image edited in memory: the image without its cut.
std::vector<std::uint8_t> OutputBytes(std::span<const std::uint8_t> image, const OutputPlan& plan);

}  // namespace qm::engine
