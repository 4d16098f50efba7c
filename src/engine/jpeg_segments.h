#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "engine/image_bytes.h"

// The engine never walks the chain of JPEG segments: it finds the two metadata segments it works on by
// scanning the bytes for their marker pairs. A file that does not begin like a JPEG file is searched whole
// ("whole-file mode"), as if one segment without marker and length ran from its first byte to six bytes
// before its end. Each search reads the image from its start no further than it must, so a file whose
// metadata lie near the start is read only there.

namespace qm::engine {

/// Whether the image is handled as JPEG: byte 0 is 0xFF or byte 1 is 0xD8 (either suffices). A byte the image
/// is too short to have counts as neither.
bool IsJpeg(ImageBytes& image);
bool IsJpeg(std::span<const std::uint8_t> image);

/// Where the IPTC resource (the "8BIM" image resource 0x0404) lies.
struct IptcResource {
  /// Offset of its "8BIM" signature.
  std::size_t Signature = 0;
  /// One past the last byte of the APP13 segment the signature was found in, cut at the end of the image; the
  /// image's size in whole-file mode. A block that runs on past this point continues in the APP13 segments
  /// that directly follow, each after its own "Photoshop 3.0" header.
  std::size_t SegmentEnd = 0;
  /// Offset of the 0xFF 0xED pair of that segment; 0 in whole-file mode.
  std::size_t SegmentStart = 0;
};

/// The first IPTC resource: in JPEG mode, each 0xFF 0xED pair at offset s, in order, is searched from s+4 to
/// s+L (L from its length field) for "8BIM" 0x04 0x04, and the first match is taken; in whole-file mode the
/// file from offset 4 is searched. The search ends with nothing as soon as a tested offset comes within six
/// bytes of the end, so a signature in the last six bytes is never found. Linear in the image size whatever
/// the lengths say.
std::optional<IptcResource> FindIptcResource(ImageBytes& image, bool is_jpeg);
std::optional<IptcResource> FindIptcResource(std::span<const std::uint8_t> image, bool is_jpeg);

/// An APP1 segment whose payload holds an XMP packet.
struct XmpSegment {
  /// Offset of its 0xFF marker byte; in whole-file mode, 33 bytes before the packet.
  std::size_t Start = 0;
  /// L: the segment length field (two length bytes and payload); N - Start - 6 in whole-file mode.
  std::size_t Length = 0;

  /// Offset of the packet, after the 29-byte namespace header.
  std::size_t RoomBegin() const { return Start + 33; }
  /// One past the segment's last byte (Start + 2 + L); may lie beyond the image when the length field lies.
  std::size_t End() const { return Start + 2 + Length; }
};

/// The first APP1 segment (0xFF 0xE1 in JPEG mode, any offset in whole-file mode) whose bytes 33 to 48 read
/// "<?xpacket begin=". The search ends with nothing at the first candidate that lies within 49 bytes of the
/// end. Other APP1 segments (camera data) are passed over.
std::optional<XmpSegment> FindXmpSegment(ImageBytes& image, bool is_jpeg);
std::optional<XmpSegment> FindXmpSegment(std::span<const std::uint8_t> image, bool is_jpeg);

}  // namespace qm::engine
