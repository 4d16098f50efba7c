#include "app/engine_messages.h"

#include "coding/windows1252.h"

namespace qm::app {
namespace {

// A packet can be as large as 16 MB: a message carries its start only.
constexpr std::size_t kPacketExcerpt = 400;

void ShowPacket(MainView& view, Control text_box, Control label, std::string_view caption,
                std::string_view packet) {
  view.SetCaption(text_box, "'" + coding::EncodeUtf8Bytes(packet) + "'");
  view.SetCaption(label, std::string(caption) + std::to_string(packet.size()));
}

std::string ParseErrorDetails(std::string_view packet, const engine::XmpParseError& error) {
  const std::string excerpt = coding::EncodeUtf8Bytes(packet.substr(0, kPacketExcerpt)) +
                              (packet.size() > kPacketExcerpt ? "..." : "");
  return "Parsing error:" + excerpt + ", Ligne: " + std::to_string(error.Line) +
         ", position: " + std::to_string(error.Position) + " " + coding::EncodeUtf8Bytes(error.SourceText) +
         " " + error.Reason;
}

}  // namespace

void ShowShortReadMessage(MessageSink& sink, std::string_view path) {
  sink.ShowMessage({"Error reading file ...\n" + std::string(path), kProgramName, MessageIcon::kNone,
                    MessageButtons::kOk});
}

void ShowProcessResult(MainView& view, std::string_view path, const engine::ProcessResult& result) {
  if (result.PacketBefore && view.ShowsPackets()) {
    ShowPacket(view, Control::txtXMP0, Control::lblLentxtXMP0, "xmp avant=", *result.PacketBefore);
  }
  if (result.PacketAfter && view.ShowsPackets()) {
    ShowPacket(view, Control::txtXMP1, Control::lblLentxtXMP1, "xmp apr\xC3\xA8s=", *result.PacketAfter);
  }
  if (result.Outcome == engine::ProcessOutcome::kShortRead) ShowShortReadMessage(view, path);
  if (result.Outcome == engine::ProcessOutcome::kPacketUnparsable && result.ParseError) {
    Message message{"Parsing error:\n" + std::string(path), kProgramName, MessageIcon::kNone,
                    MessageButtons::kOk};
    message.Details = ParseErrorDetails(result.PacketBefore.value_or(""), *result.ParseError);
    view.ShowMessage(message);
  }
}

std::string WrittenOutputNote(const engine::ProcessResult& result) {
  std::string note;
  if (result.Shape == engine::ImageShape::kNotJpeg) {
    note = result.WrittenAsRead ? "not a JPEG image, its bytes were written as read" : "not a JPEG image";
  } else if (result.Shape == engine::ImageShape::kNoEndMarker) {
    note = "the image data has no end marker";
  }
  if (result.Outcome == engine::ProcessOutcome::kWrittenPacketKept) {
    note += (note.empty() ? "" : "; ") + ("its XMP packet was kept as read: " + result.Detail);
  }
  return note;
}

}  // namespace qm::app
