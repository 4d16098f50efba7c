#include "engine/xmp_packet.h"

#include <algorithm>

namespace qm::engine {
namespace {

constexpr std::string_view kTrailerStart = "<?xpacket end=";

// Where the closing instruction starts in a text that ends with it: the last "<?xpacket end=", when only the
// instruction's own characters follow it.
std::optional<std::size_t> ClosingInstruction(std::string_view text) {
  if (!text.ends_with("?>")) return std::nullopt;
  const std::size_t at = text.rfind(kTrailerStart);
  if (at == std::string_view::npos) return std::nullopt;
  const std::string_view rest = text.substr(at, text.size() - at - 2);
  if (rest.find("?>") != std::string_view::npos || rest.find('<', 1) != std::string_view::npos)
    return std::nullopt;
  return at;
}

// Where the closing instruction starts in a serialised text: it is the text's last node, followed by the
// final line feed. Usually the last 20 characters.
std::optional<std::size_t> TrailerStart(std::string_view text) {
  if (!text.ends_with('\n')) return std::nullopt;
  return ClosingInstruction(text.substr(0, text.size() - 1));
}

}  // namespace

std::string_view PacketText(std::span<const std::uint8_t> image, const XmpSegment& segment) {
  const std::size_t begin = std::min(segment.RoomBegin(), image.size());
  const std::size_t end = std::min(std::max(segment.End(), begin), image.size());
  return {reinterpret_cast<const char*>(image.data()) + begin, end - begin};
}

std::size_t RoomSize(const XmpSegment& segment) { return segment.Length > 31 ? segment.Length - 31 : 0; }

std::string_view WithoutTrailingPadding(std::string_view packet) {
  const std::size_t last = packet.find_last_not_of(std::string_view(" \t\r\n\0", 5));
  if (last == std::string_view::npos || last + 1 == packet.size()) return packet;
  const std::string_view kept = packet.substr(0, last + 1);
  return ClosingInstruction(kept) ? kept : packet;
}

FittedPacket FitPacket(std::string text, std::size_t room) {
  std::size_t kept = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    text[kept++] = text[i];
  }
  text.resize(kept);
  if (text.size() == room) return {std::move(text), true};
  const auto trailer = TrailerStart(text);
  if (!trailer || text.size() > room) return {std::move(text), false};
  text.insert(*trailer, room - text.size(), ' ');
  return {std::move(text), true};
}

}  // namespace qm::engine
