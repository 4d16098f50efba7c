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

/// The serialised packet fitted to a room of exactly `room` bytes: carriage return and line feed pairs become
/// line feeds, then spaces go just before the closing "<?xpacket end=" instruction (which ends the text,
/// followed by one line feed) until the text fills the room, replacing whatever padding the packet had.
/// Nothing when it does not fit: longer than the room, or without that closing instruction and not exactly
/// the room's size.
std::optional<std::string> FitPacket(std::string text, std::size_t room);

}  // namespace qm::engine
