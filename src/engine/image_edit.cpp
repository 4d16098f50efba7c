#include "engine/image_edit.h"

#include <algorithm>
#include <optional>
#include <string>

#include "engine/block_data.h"
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

// What recoding the IPTC values leaves to the XMP steps.
struct IptcOutcome {
  IptcLists Lists;
  bool ValuesAreUtf8 = false;
  /// How the block runs past the end of its data, when it does.
  std::string Note;
};

// Recodes the values of the image's first IPTC resource, renews the digest when it was current before, and
// fills the fields.
IptcOutcome RecodeIptc(ImageBytes& image, bool is_jpeg, const coding::AccentTable& table,
                       IptcFields& fields) {
  IptcOutcome out;
  const auto resource = FindIptcResource(image, is_jpeg);
  if (!resource) return out;
  BlockData data(image, *resource, is_jpeg);
  const auto digest = FindCurrentIptcDigest(data);
  const IptcWalk walk = RecodeIptcBlock(data, table, fields, out.Lists);
  out.ValuesAreUtf8 = walk.DeclaresUtf8;
  if (digest && walk.ChangedEnd > 0) RenewIptcDigest(data, *digest);
  data.Commit();
  if (walk.End == IptcWalkEnd::kDatasetPastEnd || walk.End == IptcWalkEnd::kHeaderPastEnd) {
    out.Note = "the IPTC block at offset " + std::to_string(resource->Signature) +
               " runs past the end of its data at offset " + std::to_string(walk.Offset) +
               "; it was read up to there";
  }
  return out;
}

void KeepPacket(ProcessResult& result, const std::string& why, const IptcOutcome& iptc) {
  result.Outcome = ProcessOutcome::kWrittenPacketKept;
  result.Detail = iptc.Note.empty() ? why : why + "; " + iptc.Note;
}

// The packet's room as far as the image holds it: [begin, end).
std::pair<std::size_t, std::size_t> RoomIn(const XmpSegment& segment, std::size_t size) {
  const std::size_t begin = std::min(segment.RoomBegin(), size);
  return {begin, std::min(std::max(segment.End(), begin), size)};
}

// Why the segment is neither read, rewritten nor cut out (the file keeps it as it is), or nothing: a segment
// too short to hold a packet, or a packet too large to be one.
std::optional<std::string> Unusable(const XmpSegment& segment, std::size_t size) {
  if (segment.Length < kSmallestXmpSegment) {
    return "the XMP segment at offset " + std::to_string(segment.Start) + " is " + Bytes(segment.Length) +
           " long, too short to hold a packet";
  }
  const auto [begin, end] = RoomIn(segment, size);
  if (end - begin > kLargestPacket) {
    return "the packet at offset " + std::to_string(segment.RoomBegin()) + " is " + Bytes(end - begin) +
           " long, more than the " + std::to_string(kLargestPacket >> 20) +
           " MB a packet may hold; it was not read";
  }
  return std::nullopt;
}

// A length that runs past the end of the file: the packet is read up to the end, but neither rewritten nor
// cut out, which would take the rest of the file with it.
std::optional<std::string> PastTheEnd(const XmpSegment& segment, std::size_t size) {
  if (segment.End() <= size) return std::nullopt;
  return "the XMP segment at offset " + std::to_string(segment.Start) + " claims " +
         Bytes(segment.Length + 2) + ", " + std::to_string(size - segment.Start) + " remain";
}

// Reads the packet, synchronises it with the fields and writes it back into its room when it fits there;
// otherwise keeps it as read and says why. False when it does not parse: nothing may be written then.
bool SynchronizePacket(ImageBytes& image, const XmpSegment& segment, const ProcessSettings& settings,
                       const IptcFields& fields, const IptcOutcome& iptc, ProcessResult& result) {
  const auto [begin, end] = RoomIn(segment, image.size());
  std::string room(end - begin, '\0');
  image.Copy(begin, std::span(reinterpret_cast<std::uint8_t*>(room.data()), room.size()));
  result.PacketBefore = room;
  XmpDocument local;
  XmpDocument& document = settings.Document ? *settings.Document : local;
  if (auto error = document.Load(WithoutTrailingPadding(room))) {
    result.Outcome = ProcessOutcome::kPacketUnparsable;
    result.Detail = "the XMP segment at offset " + std::to_string(segment.Start) +
                    ": the packet does not parse at line " + std::to_string(error->Line) + ", position " +
                    std::to_string(error->Position) + ": " + error->Reason;
    result.ParseError = std::move(*error);
    return false;
  }
  SynchronizeXmp(document, fields, iptc.Lists, iptc.ValuesAreUtf8);
  FittedPacket fitted = FitPacket(document.Xml(), RoomSize(segment));
  const auto past_end = PastTheEnd(segment, image.size());
  if (fitted.Fits && !past_end) {
    image.Write(segment.RoomBegin(),
                std::span(reinterpret_cast<const std::uint8_t*>(fitted.Text.data()), fitted.Text.size()));
    result.PacketAfter = std::move(fitted.Text);
    return true;
  }
  result.PacketAfter = result.PacketBefore;
  const std::size_t size = RoomSize(segment);
  if (past_end) {
    KeepPacket(result, *past_end, iptc);
  } else if (fitted.Text.size() > size) {
    KeepPacket(result,
               "the synchronised packet is " + Bytes(fitted.Text.size() - size) + " larger than its room",
               iptc);
  } else {
    KeepPacket(result,
               "the synchronised packet is " + Bytes(size - fitted.Text.size()) +
                   " smaller than its room and has no closing <?xpacket end=...?> to pad before",
               iptc);
  }
  return true;
}

// Plans the output without the segment, where the segment can be taken out whole.
void PlanRemoval(const XmpSegment& segment, bool is_jpeg, std::size_t size, const IptcOutcome& iptc,
                 OutputPlan& plan, ProcessResult& result) {
  if (!is_jpeg) {
    // The "segment" of a file searched whole runs from 33 bytes before the packet to the end of the file:
    // taking it out would take the rest of a picture or a video with it.
    KeepPacket(result, "the file is no JPEG image: its packet lies in no segment that could be taken out",
               iptc);
  } else if (const auto past_end = PastTheEnd(segment, size)) {
    KeepPacket(result, *past_end, iptc);
  } else {
    plan.CutBegin = segment.Start;
    plan.CutEnd = segment.End();
    // A packet that did not fit is gone with its segment: the output is what was asked for.
    result.Outcome = ProcessOutcome::kWritten;
    result.Detail = iptc.Note;
  }
}

}  // namespace

ProcessResult EditImage(ImageBytes& image, const ProcessSettings& settings, IptcFields& fields,
                        OutputPlan& plan) {
  fields.Clear();
  plan = OutputPlan();
  const bool is_jpeg = IsJpeg(image);
  const coding::AccentTable identity = coding::IdentityTable();
  const IptcOutcome iptc =
      RecodeIptc(image, is_jpeg, settings.ActiveAccentTable ? *settings.ActiveAccentTable : identity, fields);
  ProcessResult result{ProcessOutcome::kWritten, iptc.Note};
  if (settings.SynchronizeXMP || settings.RemoveXMP) {
    if (const auto segment = FindXmpSegment(image, is_jpeg)) {
      if (const auto why = Unusable(*segment, image.size())) {
        KeepPacket(result, *why, iptc);
      } else if (!settings.SynchronizeXMP ||
                 SynchronizePacket(image, *segment, settings, fields, iptc, result)) {
        if (settings.RemoveXMP) PlanRemoval(*segment, is_jpeg, image.size(), iptc, plan, result);
      }
    }
  }
  for (const ImageEdit& edit : image.Edits()) plan.ChangedEnd = std::max(plan.ChangedEnd, edit.End());
  return result;
}

ProcessResult EditImage(std::span<std::uint8_t> image, const ProcessSettings& settings, IptcFields& fields,
                        OutputPlan& plan) {
  ImageBytes bytes(image);
  return EditImage(bytes, settings, fields, plan);
}

std::vector<std::uint8_t> OutputBytes(std::span<const std::uint8_t> image, const OutputPlan& plan) {
  std::vector<std::uint8_t> out(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(plan.CutBegin));
  out.insert(out.end(), image.begin() + static_cast<std::ptrdiff_t>(std::max(plan.CutBegin, plan.CutEnd)),
             image.end());
  return out;
}

}  // namespace qm::engine
