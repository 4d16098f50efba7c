#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Small builders for the structures the engine reads, as raw bytes in a std::string:
//   Jpeg({App1Exif(), App13(Irb(Iptc({{2, 120, "Caf\x8E"}}))), App1Xmp(XmpPacket(Description(kDc, ...)))})

namespace qm::test {

/// One IIM dataset: record, dataset number, value.
struct Dataset {
  int Record;
  int Number;
  std::string Value;
};

/// IIM datasets in the short form: 0x1C, record, number, 16-bit length, value.
std::string Iptc(std::initializer_list<Dataset> datasets);
/// One image resource "8BIM": number, name field padded to an even size, 4-byte size, data padded to even.
std::string Irb(std::string_view data, std::string_view name = "", std::uint16_t number = 0x0404);
/// A segment: 0xFF, the marker, the 16-bit length (payload + 2), the payload.
std::string Segment(std::uint8_t marker, std::string_view payload);
/// An APP13 segment: "Photoshop 3.0", its zero byte, then the resources.
std::string App13(std::string_view resources);
/// An APP1 segment with a small Exif block (camera data) whose bytes include accented-looking values.
std::string App1Exif();
/// An APP1 segment with the 29-byte XMP namespace header and the packet.
std::string App1Xmp(std::string_view packet);
/// Entropy-coded data as a camera writes it: an SOS segment, data with stuffed 0xFF 0x00 pairs, a restart
/// marker and bytes the accent tables would change, then EOI.
std::string ImageData();
/// A JPEG file: SOI, the segments in order, ImageData().
std::string Jpeg(std::initializer_list<std::string> segments);

inline constexpr std::string_view kDc = "xmlns:dc='http://purl.org/dc/elements/1.1/'";
inline constexpr std::string_view kPhotoshop = "xmlns:photoshop='http://ns.adobe.com/photoshop/1.0/'";

/// An rdf:Description with the given namespace declarations (or other attributes) and children.
std::string Description(std::string_view attributes, std::string_view children = "");
/// An XMP packet as ExifTool lays it out: the xpacket header, x:xmpmeta and rdf:RDF around the descriptions,
/// `padding` spaces in lines of 100, then the trailer <?xpacket end='w'?>.
std::string XmpPacket(std::string_view descriptions, std::size_t padding = 200);

std::vector<std::uint8_t> Bytes(std::string_view text);
std::string Text(std::span<const std::uint8_t> bytes);

}  // namespace qm::test
