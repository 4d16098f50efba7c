#include "engine/xmp_document.h"

#include <gtest/gtest.h>

#include "engine/xmp_packet.h"

namespace qm::engine {
namespace {

using namespace std::string_literals;

std::string RoundTrip(const std::string& packet) {
  XmpDocument document;
  const auto error = document.Load(packet);
  EXPECT_FALSE(error) << error->Reason;
  return document.Xml();
}

TEST(XmpDocument, WritesTextsAndValuesBackAsTheyWereReadAndOnlyTheMarkupChanges) {
  const std::string body =
      "<x:xmpmeta xmlns:x='adobe:ns:meta/'>\r\n <r>\r\n  <li lang='x'>Caf&#233; &amp; th\xC3\xA9 &lt;b&gt; "
      "&u;\r\n"
      " line</li>\t\n<![CDATA[<raw> & ]]><!-- note --><?app data?><e/><g a='&#10;&quot;' b='  two  '/>\n "
      "</r>\n"
      "</x:xmpmeta>";
  EXPECT_EQ(
      RoundTrip("<?xpacket begin='\xEF\xBB\xBF' id='W5M'?>\n" + body + "\n   \n   \n<?xpacket end='w'?>"),
      "<?xpacket begin='\xEF\xBB\xBF' id='W5M'?>\n" + body + "\n<?xpacket end='w'?>\n");
  // Attributes all take the quote most of the packet uses; whitespace between them becomes one space.
  EXPECT_EQ(RoundTrip("<?xml version='1.0'?><a\n  x='1' y=\"it's\"></a>"),
            "<?xml version='1.0'?>\n<a x='1' y='it&apos;s'/>\n");
  EXPECT_EQ(RoundTrip("<a x=\"1\" y='\"q\"' z=\"3\"/>"), "<a x=\"1\" y=\"&quot;q&quot;\" z=\"3\"/>\n");
  // Only tags count: quotes in texts, comments and instructions do not tip the balance, so a second pass
  // writes what the first wrote.
  const std::string texts = "<?a u=\"1\" v=\"2\"?>\n<a x='1'><b>u=\"=\" v=\"=\"</b><!-- w=\"=\" --></a>\n";
  EXPECT_EQ(RoundTrip(texts), texts);
}

TEST(XmpDocument, RefusesWhatDoesNotParseAndSaysWhereAndWhy) {
  const std::string doctype = "DOCTYPE and entity declarations are not allowed in an XMP packet";
  for (const auto& [packet, line, position, source, reason] :
       {std::tuple{"<a>\r\n   <b></c>  \r\n</a>"s, 2, 9, "<b></c>"s, "Start-end tags mismatch"s},
        {"<?xpacket begin=''?>\n   ", 2, 4, "", "No document element found"},
        {"<a/>\n junk <b/>", 2, 2, "junk <b/>", "Text is not allowed outside the document element"},
        {"<a>x\0y</a>"s, 1, 5, "<a>x\0y</a>"s, "A zero byte is not allowed in an XMP packet"},
        {"<?xpacket?>\n<!DOCTYPE a [<!ENTITY e 'x'>]>\n<a>&e;</a>", 2, 1, "<!DOCTYPE a [<!ENTITY e 'x'>]>",
         doctype},
        {"<a>\n <!ENTITY e 'x'>\n</a>", 2, 2, "<!ENTITY e 'x'>", doctype},
        // Of a long line, the 160 bytes around the error.
        {"<a>" + std::string(500, 'x') + "</b>" + std::string(500, 'y') + "</a>", 1, 506,
         "..." + std::string(78, 'x') + "</b>" + std::string(78, 'y') + "...", "Start-end tags mismatch"}}) {
    XmpDocument document;
    const auto error = document.Load(packet);
    ASSERT_TRUE(error) << packet;
    EXPECT_EQ(std::tie(error->Line, error->Position, error->SourceText, error->Reason),
              std::tie(line, position, source, reason));
    EXPECT_EQ(document.Xml(), "");
  }
}

TEST(XmpDocument, SelectsByNamespaceNameWhateverThePrefix) {
  for (const auto& [packet, matches] :
       {std::pair{"<r xmlns:dc='http://purl.org/dc/elements/1.1/'><dc:title/></r>", true},
        {"<r xmlns:purl='http://purl.org/dc/elements/1.1/'><purl:title/></r>", true},
        {"<r><title xmlns='http://purl.org/dc/elements/1.1/'/></r>", true},
        {"<r xmlns:dc='http://purl.org/dc/elements/1.0/'><dc:title/></r>", false},
        {"<r><dc:title/></r>", false},
        {"<r xmlns:dc='http://purl.org/dc/elements/1.1/'><dc:title xmlns:dc='other'/></r>", false}}) {
    XmpDocument document;
    ASSERT_FALSE(document.Load(packet));
    EXPECT_EQ(static_cast<bool>(NamespaceScope(document.DocumentElement()).SelectChild("dc:title")), matches)
        << packet;
  }
  // An attribute without a prefix is in no namespace; the xmlns prefix is never a declared one.
  XmpDocument document;
  ASSERT_FALSE(document.Load(
      "<r xmlns:ps='http://ns.adobe.com/photoshop/1.0/' xmlns:xmlns='http://ns.adobe.com/photoshop/1.0/' "
      "City='a' xmlns:City='c' ps:City='b'/>"));
  EXPECT_STREQ(NamespaceScope(document.DocumentElement()).SelectAttribute("photoshop:City").value(), "b");
}

TEST(FitPacket, PadsBeforeTheTrailerToTheRoomOrSaysItDoesNotFit) {
  const std::string head = "<?xpacket begin=''?>\n<x>a\r\nb\rc</x>\r\n";
  const std::string lf = "<?xpacket begin=''?>\n<x>a\nb\rc</x>\n";
  for (const auto& [text, room, fitted, fits] : {
           std::tuple<std::string, std::size_t, std::string, bool>{
               head + "<?xpacket end='w'?>\n", 80,
               lf + std::string(80 - lf.size() - 20, ' ') + "<?xpacket end='w'?>\n", true},
           {head + "<?xpacket end='w' ?>\n", 80,
            lf + std::string(80 - lf.size() - 21, ' ') + "<?xpacket end='w' ?>\n", true},
           {head + "<?xpacket end='w'?>\n", lf.size() + 19, lf + "<?xpacket end='w'?>\n", false},
           {head + "<?xpacket end='w'?>\n<!-- after -->\n", 200, lf + "<?xpacket end='w'?>\n<!-- after -->\n",
            false},
           {head, 200, lf, false},
           {head, lf.size(), lf, true},
       }) {
    const FittedPacket result = FitPacket(text, room);
    EXPECT_EQ(std::tie(result.Text, result.Fits), std::tie(fitted, fits)) << text;
  }
}

}  // namespace
}  // namespace qm::engine
