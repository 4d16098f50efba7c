#include "engine/image_edit.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "engine/iptc_block.h"
#include "engine/iptc_digest.h"
#include "engine/jpeg_segments.h"
#include "engine/xmp_document.h"
#include "engine/xmp_packet.h"
#include "engine/xmp_sync.h"

namespace qm::engine {
namespace {

// The least segment length that holds a packet: the two length bytes, the 29-byte namespace and the opening
// instruction's "<?xpacket begin=" and "?>". A shorter segment found by the packet search ends before the
// packet it seems to hold.
constexpr std::size_t kSmallestXmpSegment = 2 + 29 + 16 + 2;

std::string Bytes(std::size_t count) { return std::to_string(count) + (count == 1 ? " byte" : " bytes"); }

}  // namespace

ProcessResult EditImage(std::span<std::uint8_t> image, const ProcessSettings& settings, IptcFields& fields,
                        OutputPlan& plan) {
  fields.Clear();
  plan = OutputPlan();
  const bool is_jpeg = IsJpeg(image);
  const coding::AccentTable identity = coding::IdentityTable();
  const coding::AccentTable& table = settings.ActiveAccentTable ? *settings.ActiveAccentTable : identity;

  IptcLists lists;
  bool values_are_utf8 = false;
  std::string iptc_note;
  if (const auto resource = FindIptcResource(image, is_jpeg)) {
    const auto digest = FindCurrentIptcDigest(image, *resource);
    const IptcWalk walk = RecodeIptcBlock(image, *resource, table, fields, lists);
    values_are_utf8 = walk.DeclaresUtf8;
    plan.ChangedEnd = walk.ChangedEnd;
    if (digest && walk.ChangedEnd > 0) {
      plan.ChangedEnd = std::max(plan.ChangedEnd, RenewIptcDigest(image, *resource, *digest));
    }
    if (walk.End == IptcWalkEnd::kDatasetPastEnd || walk.End == IptcWalkEnd::kHeaderPastEnd) {
      iptc_note = "the IPTC block at offset " + std::to_string(resource->Signature) +
                  " runs past the end of its data at offset " + std::to_string(walk.Offset) +
                  "; it was read up to there";
    }
  }
  ProcessResult result{ProcessOutcome::kWritten, iptc_note};
  const auto keep_packet = [&result, &iptc_note](const std::string& why) {
    result.Outcome = ProcessOutcome::kWrittenPacketKept;
    result.Detail = iptc_note.empty() ? why : why + "; " + iptc_note;
  };
  if (!settings.SynchronizeXMP && !settings.RemoveXMP) return result;

  const auto segment = FindXmpSegment(image, is_jpeg);
  if (!segment) return result;
  const std::string where = "the XMP segment at offset " + std::to_string(segment->Start);
  // A segment too short to hold a packet, or a packet too large to be one, is neither read, rewritten nor cut
  // out: the file keeps it as it is.
  if (segment->Length < kSmallestXmpSegment) {
    keep_packet(where + " is " + Bytes(segment->Length) + " long, too short to hold a packet");
    return result;
  }
  const std::string_view room = PacketText(image, *segment);
  if (room.size() > kLargestPacket) {
    keep_packet("the packet at offset " + std::to_string(segment->RoomBegin()) + " is " + Bytes(room.size()) +
                " long, more than the " + std::to_string(kLargestPacket >> 20) +
                " MB a packet may hold; it was not read");
    return result;
  }
  // A length that runs past the end of the file: the packet is read up to the end, but neither rewritten nor
  // cut out, which would take the rest of the file with it.
  const bool whole = segment->End() <= image.size();
  const std::string past_end = where + " claims " + Bytes(segment->Length + 2) + ", " +
                               std::to_string(image.size() - segment->Start) + " remain";

  if (settings.SynchronizeXMP) {
    result.PacketBefore = std::string(room);
    XmpDocument local;
    XmpDocument& document = settings.Document ? *settings.Document : local;
    if (auto error = document.Load(WithoutTrailingPadding(room))) {
      result.Outcome = ProcessOutcome::kPacketUnparsable;
      result.Detail = where + ": the packet does not parse at line " + std::to_string(error->Line) +
                      ", position " + std::to_string(error->Position) + ": " + error->Reason;
      result.ParseError = std::move(*error);
      return result;
    }
    SynchronizeXmp(document, fields, lists, values_are_utf8);
    FittedPacket fitted = FitPacket(document.Xml(), RoomSize(*segment));
    if (fitted.Fits && whole) {
      std::memcpy(image.data() + segment->RoomBegin(), fitted.Text.data(), fitted.Text.size());
      plan.ChangedEnd = std::max(plan.ChangedEnd, segment->RoomBegin() + fitted.Text.size());
      result.PacketAfter = std::move(fitted.Text);
    } else {
      result.PacketAfter = result.PacketBefore;
      const std::size_t size = RoomSize(*segment);
      if (!whole) {
        keep_packet(past_end);
      } else if (fitted.Text.size() > size) {
        keep_packet("the synchronised packet is " + Bytes(fitted.Text.size() - size) +
                    " larger than its room");
      } else {
        keep_packet("the synchronised packet is " + Bytes(size - fitted.Text.size()) +
                    " smaller than its room and has no closing <?xpacket end=...?> to pad before");
      }
    }
  }
  if (settings.RemoveXMP) {
    if (!is_jpeg) {
      // The "segment" of a file searched whole runs from 33 bytes before the packet to the end of the file:
      // taking it out would take the rest of a picture or a video with it.
      keep_packet("the file is no JPEG image: its packet lies in no segment that could be taken out");
    } else if (whole) {
      plan.CutBegin = segment->Start;
      plan.CutEnd = segment->End();
      // A packet that did not fit is gone with its segment: the output is what was asked for.
      result.Outcome = ProcessOutcome::kWritten;
      result.Detail = iptc_note;
    } else {
      keep_packet(past_end);
    }
  }
  return result;
}

std::vector<std::uint8_t> OutputBytes(std::span<const std::uint8_t> image, const OutputPlan& plan) {
  std::vector<std::uint8_t> out(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(plan.CutBegin));
  out.insert(out.end(), image.begin() + static_cast<std::ptrdiff_t>(std::max(plan.CutBegin, plan.CutEnd)),
             image.end());
  return out;
}

}  // namespace qm::engine
