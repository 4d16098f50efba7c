#include "image_builders.h"

#include <algorithm>

namespace qm::test {
namespace {

std::string U16(std::size_t value) {
  return {static_cast<char>(value >> 8), static_cast<char>(value & 0xFF)};
}

}  // namespace

std::string Iptc(std::initializer_list<Dataset> datasets) {
  std::string out;
  for (const Dataset& d : datasets) {
    out += {'\x1C', static_cast<char>(d.Record), static_cast<char>(d.Number)};
    out += U16(d.Value.size()) + d.Value;
  }
  return out;
}

std::string Irb(std::string_view data, std::string_view name, std::uint16_t number) {
  std::string out = "8BIM" + U16(number) + static_cast<char>(name.size()) + std::string(name);
  if (name.size() % 2 == 0) out.push_back('\0');
  out += std::string(2, '\0') + U16(data.size()) + std::string(data);
  return data.size() % 2 == 0 ? out : out + '\0';
}

std::string Segment(std::uint8_t marker, std::string_view payload) {
  return std::string{'\xFF', static_cast<char>(marker)} + U16(payload.size() + 2) + std::string(payload);
}

std::string App13(std::string_view resources) {
  return Segment(0xED, std::string("Photoshop 3.0", 14) + std::string(resources));
}

std::string App1Exif() {
  // A big-endian TIFF header with one entry, Artist = "Jos\x8E".
  return Segment(
      0xE1,
      std::string("Exif\0\0MM\0\x2A\0\0\0\x08\0\x01\x01\x3B\0\x02\0\0\0\x05\0\0\0\x1A\0\0\0\0Jos\x8E\0", 37));
}

std::string App1Xmp(std::string_view packet) {
  return Segment(0xE1, std::string("http://ns.adobe.com/xap/1.0/", 29) + std::string(packet));
}

std::string ImageData() {
  return Segment(0xDA, std::string("\x03\x01\x00\x02\x11\x03\x11\x00\x3F\x00", 10)) +
         std::string(
             "\x8E\x88\xD5\x27\xFF\x00\x1C\x02\x05\x00\x01"
             "8BIM\x04\x04\xFF\xD0<?xpacket begin=\x8D\xE9\xFF\x00\x00\xFF\xD9",
             42);
}

std::string Jpeg(std::initializer_list<std::string> segments) {
  std::string out = "\xFF\xD8";
  for (const std::string& s : segments) out += s;
  return out + ImageData();
}

std::string Description(std::string_view attributes, std::string_view children) {
  return "<rdf:Description rdf:about='' " + std::string(attributes) + ">" + std::string(children) +
         "</rdf:Description>";
}

std::string XmpPacket(std::string_view descriptions, std::size_t padding) {
  std::string out =
      "<?xpacket begin='\xEF\xBB\xBF' id='W5M0MpCehiHzreSzNTczkc9d'?>\n<x:xmpmeta xmlns:x='adobe:ns:meta/' "
      "x:xmptk='Image::ExifTool 12.57'>\n<rdf:RDF "
      "xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'>\n" +
      std::string(descriptions) + "\n</rdf:RDF>\n</x:xmpmeta>\n";
  for (std::size_t done = 0; done < padding; done += 100)
    out += std::string(std::min<std::size_t>(100, padding - done), ' ') + '\n';
  return out + "<?xpacket end='w'?>";
}

std::vector<std::uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

std::string Text(std::span<const std::uint8_t> bytes) { return {bytes.begin(), bytes.end()}; }

}  // namespace qm::test
