#include "engine/image_edit.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "coding/windows1252.h"
#include "engine/iptc_block.h"
#include "engine/jpeg_segments.h"
#include "engine/xmp_document.h"
#include "engine/xmp_packet.h"
#include "engine/xmp_sync.h"

namespace qm::engine {
namespace {

using app::Control;

void ShowPacket(app::MainView& view, Control text_box, Control label, std::string_view caption,
                std::string_view packet) {
  view.SetCaption(text_box, "'" + coding::EncodeUtf8Bytes(packet) + "'");
  view.SetCaption(label, std::string(caption) + std::to_string(packet.size()));
}

std::string ParseErrorText(std::string_view packet, const XmpParseError& error) {
  return "Parsing error:" + coding::EncodeUtf8Bytes(packet) + ", Ligne: " + std::to_string(error.Line) +
         ", position: " + std::to_string(error.Position) + " " + coding::EncodeUtf8Bytes(error.SourceText) +
         " " + error.Reason;
}

}  // namespace

ProcessResult EditImage(std::span<std::uint8_t> image, const ProcessSettings& settings, IptcFields& fields,
                        app::MainView& view, OutputPlan& plan) {
  fields.Clear();
  plan = OutputPlan();
  const bool is_jpeg = IsJpeg(image);
  const coding::AccentTable identity = coding::IdentityTable();
  const coding::AccentTable& table = settings.ActiveAccentTable ? *settings.ActiveAccentTable : identity;

  IptcLists lists;
  bool values_are_utf8 = false;
  std::string iptc_note;
  if (const auto resource = FindIptcResource(image, is_jpeg)) {
    const IptcWalk walk = RecodeIptcBlock(image, *resource, table, fields, lists);
    values_are_utf8 = walk.DeclaresUtf8;
    plan.ChangedEnd = walk.ChangedEnd;
    if (walk.End == IptcWalkEnd::kDatasetPastEnd || walk.End == IptcWalkEnd::kHeaderPastEnd) {
      iptc_note = "the IPTC block at offset " + std::to_string(resource->Signature) +
                  " runs past the end of its data at offset " + std::to_string(walk.Offset) +
                  "; it was read up to there";
    }
  }
  ProcessResult result{ProcessOutcome::kWritten, iptc_note};
  if (!settings.SynchronizeXMP && !settings.RemoveXMP) return result;

  const auto segment = FindXmpSegment(image, is_jpeg);
  if (!segment) return result;
  // A length that runs past the end of the file: the packet is read up to the end, but neither rewritten nor
  // cut out, which would take the rest of the file with it.
  const bool whole = segment->End() <= image.size();
  const std::string where = "the XMP segment at offset " + std::to_string(segment->Start);
  const std::string past_end = where + " claims " + std::to_string(segment->Length + 2) + " bytes, " +
                               std::to_string(image.size() - segment->Start) + " remain; the packet was kept";

  if (settings.SynchronizeXMP) {
    const std::string packet(PacketText(image, *segment));
    ShowPacket(view, Control::txtXMP0, Control::lblLentxtXMP0, "xmp avant=", packet);
    XmpDocument local;
    XmpDocument& document = settings.Document ? *settings.Document : local;
    if (const auto error = document.Load(packet)) {
      view.ShowMessage({ParseErrorText(packet, *error), app::kProgramName, app::MessageIcon::kNone,
                        app::MessageButtons::kOk});
      return {ProcessOutcome::kPacketUnparsable, where + ": the packet does not parse at line " +
                                                     std::to_string(error->Line) + ", position " +
                                                     std::to_string(error->Position) + ": " + error->Reason};
    }
    SynchronizeXmp(document, fields, lists, values_are_utf8);
    const auto fitted = FitPacket(document.Xml(), RoomSize(*segment));
    if (fitted && whole) {
      std::memcpy(image.data() + segment->RoomBegin(), fitted->data(), fitted->size());
      plan.ChangedEnd = std::max(plan.ChangedEnd, segment->RoomBegin() + fitted->size());
      ShowPacket(view, Control::txtXMP1, Control::lblLentxtXMP1, "xmp apr\xC3\xA8s=", *fitted);
    } else {
      ShowPacket(view, Control::txtXMP1, Control::lblLentxtXMP1, "xmp apr\xC3\xA8s=", packet);
      result.Outcome = ProcessOutcome::kWrittenPacketKept;
      result.Detail = !whole ? past_end
                             : where + ": the synchronised packet does not fit its room of " +
                                   std::to_string(RoomSize(*segment)) + " bytes; the packet was kept as read";
    }
  }
  if (settings.RemoveXMP) {
    if (whole) {
      plan.CutBegin = segment->Start;
      plan.CutEnd = segment->End();
      // A packet that did not fit is gone with its segment: the output is what was asked for.
      result = {ProcessOutcome::kWritten, iptc_note};
    } else {
      result.Outcome = ProcessOutcome::kWrittenPacketKept;
      result.Detail = past_end;
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
