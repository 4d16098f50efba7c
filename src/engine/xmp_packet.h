#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "engine/jpeg_segments.h"

namespace qm::engine {

/// The packet as 8-bit text, one character per byte: the room from 33 bytes after the segment's first byte
/// through its last byte (L - 31 bytes), cut at the end of the image. Empty when the length leaves no room.
std::string_view PacketText(std::span<const std::uint8_t> image, const XmpSegment& segment);

/// The number of bytes the room holds when the segment lies whole inside the image: L - 31, or 0 for a length
/// too small to hold any.
std::size_t RoomSize(const XmpSegment& segment);

/// The largest packet that is read. XMP packets stored in files are small; a file that is no JPEG image is
/// searched whole, and the room of a packet found in a video or a layered picture can run to hundreds of
/// megabytes of other data.
inline constexpr std::size_t kLargestPacket = 16u << 20;

/// The packet without the bytes after its closing "<?xpacket end=...?>" instruction when they are all NUL
/// bytes or white space: some writers pad the room so, after the packet, and fitting makes them padding. Any
/// other packet is returned whole.
std::string_view WithoutTrailingPadding(std::string_view packet);

/// The serialised packet for a room of exactly `room` bytes, when it fits.
struct FittedPacket {
  /// The text with its carriage return and line feed pairs made line feeds, then, when it fits, spaces just
  /// before the closing "<?xpacket end=" instruction (which ends the text, followed by one line feed) until
  /// it fills the room, in place of whatever padding the packet had.
  std::string Text;
  /// Whether the text fills the room: it did not exceed it, and it ends with that instruction or was exactly
  /// the room's size.
  bool Fits = false;
};
FittedPacket FitPacket(std::string text, std::size_t room);

}  // namespace qm::engine
