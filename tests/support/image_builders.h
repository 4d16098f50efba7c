#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Builders for the structures the engine reads, as raw bytes in a std::string:
//   Jpeg({App1Exif(), App13(Irb(Iptc({{2, 120, "Caf\x8E"}}))), App1Xmp(XmpPacket(Description(kDc)))})

namespace qm::test {

struct Dataset {
  int Record;
  int Number;
  std::string Value;
};

/// IIM datasets: 0x1C, record, number, 16-bit length, value.
std::string Iptc(std::initializer_list<Dataset> datasets);
/// An image resource: "8BIM", number, name padded to an even size, 4-byte size, data padded to even.
std::string Irb(std::string_view data, std::string_view name = "", std::uint16_t number = 0x0404);
/// 0xFF, the marker, the 16-bit length (payload + 2), the payload.
std::string Segment(std::uint8_t marker, std::string_view payload);
/// An APP13 segment: "Photoshop 3.0" and its zero byte, then the resources.
std::string App13(std::string_view resources);
/// An APP1 segment with Exif camera data holding a byte the accent tables change.
std::string App1Exif();
/// An APP1 segment: the 29-byte XMP namespace header, then the packet.
std::string App1Xmp(std::string_view packet);
/// SOS, entropy-coded data with stuffed 0xFF 0x00, a restart marker and bytes the tables change, EOI.
std::string ImageData();
/// SOI, the segments, ImageData().
std::string Jpeg(std::initializer_list<std::string> segments);

inline constexpr std::string_view kDc = "xmlns:dc='http://purl.org/dc/elements/1.1/'";
inline constexpr std::string_view kPhotoshop = "xmlns:photoshop='http://ns.adobe.com/photoshop/1.0/'";

/// An rdf:Description with the given attributes and children.
std::string Description(std::string_view attributes, std::string_view children = "");
/// A packet as ExifTool lays it out: xpacket header, x:xmpmeta and rdf:RDF around the descriptions, `padding`
/// spaces in lines of 100, the trailer <?xpacket end='w'?>.
std::string XmpPacket(std::string_view descriptions, std::size_t padding = 200);

std::vector<std::uint8_t> Bytes(std::string_view text);
std::string Text(std::span<const std::uint8_t> bytes);

}  // namespace qm::test
