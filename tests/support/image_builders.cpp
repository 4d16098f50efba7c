#include "image_builders.h"

#include <cassert>

namespace qm::test {
namespace {

void AppendU16(std::string& out, std::size_t value) {
  assert(value <= 0xFFFF && "a 16-bit length field");
  out.push_back(static_cast<char>(value >> 8));
  out.push_back(static_cast<char>(value & 0xFF));
}

}  // namespace

std::string Iptc(std::initializer_list<Dataset> datasets) {
  std::string out;
  for (const Dataset& d : datasets) {
    out.push_back('\x1C');
    out.push_back(static_cast<char>(d.Record));
    out.push_back(static_cast<char>(d.Number));
    AppendU16(out, d.Value.size());
    out += d.Value;
  }
  return out;
}

std::string Irb(std::string_view data, std::string_view name, std::uint16_t number) {
  std::string out = "8BIM";
  AppendU16(out, number);
  out.push_back(static_cast<char>(name.size()));
  out += name;
  if (name.size() % 2 == 0) out.push_back('\0');
  out.append(2, '\0');
  AppendU16(out, data.size());
  out += data;
  if (data.size() % 2 != 0) out.push_back('\0');
  return out;
}

std::string Segment(std::uint8_t marker, std::string_view payload) {
  std::string out = "\xFF";
  out.push_back(static_cast<char>(marker));
  AppendU16(out, payload.size() + 2);
  out += payload;
  return out;
}

std::string App13(std::string_view resources) {
  return Segment(0xED, std::string("Photoshop 3.0", 14) + std::string(resources));
}

std::string App1Exif() {
  // A big-endian TIFF header with one IFD entry, Artist = "Jos\x8E" (a byte the tables change).
  const std::string tiff("MM\0\x2A\0\0\0\x08\0\x01\x01\x3B\0\x02\0\0\0\x05\0\0\0\x1A\0\0\0\0Jos\x8E\0", 31);
  return Segment(0xE1, std::string("Exif\0\0", 6) + tiff);
}

std::string App1Xmp(std::string_view packet) {
  return Segment(0xE1, std::string("http://ns.adobe.com/xap/1.0/", 29) + std::string(packet));
}

std::string ImageData() {
  std::string out = Segment(0xDA, std::string("\x03\x01\x00\x02\x11\x03\x11\x00\x3F\x00", 10));
  out += std::string("\x8E\x88\xD5\x27\xFF\x00\x1C\x02\x05\x00\x01", 11);
  out += std::string("8BIM\x04\x04\xFF\xD0<?xpacket begin=\x8D\xE9\xFF\x00\x00", 28);
  out += "\xFF\xD9";
  return out;
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
      "<?xpacket begin='\xEF\xBB\xBF' id='W5M0MpCehiHzreSzNTczkc9d'?>\n"
      "<x:xmpmeta xmlns:x='adobe:ns:meta/' x:xmptk='Image::ExifTool 12.57'>\n"
      "<rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'>\n";
  out += descriptions;
  out += "\n</rdf:RDF>\n</x:xmpmeta>\n";
  for (std::size_t done = 0; done < padding; done += 100) {
    out.append(std::min<std::size_t>(100, padding - done), ' ');
    out.push_back('\n');
  }
  return out + "<?xpacket end='w'?>";
}

std::vector<std::uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

std::string Text(std::span<const std::uint8_t> bytes) { return {bytes.begin(), bytes.end()}; }

}  // namespace qm::test
