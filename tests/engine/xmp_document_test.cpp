#include "engine/xmp_document.h"

#include <gtest/gtest.h>

#include "support/image_builders.h"

namespace qm::engine {
namespace {

using namespace std::string_literals;

std::string RoundTrip(const std::string& packet) {
  XmpDocument document;
  const auto error = document.Load(packet);
  EXPECT_FALSE(error) << error->Reason;
  return document.Xml();
}

TEST(XmpDocument, WritesTextsAndValuesBackAsTheyWereRead) {
  const std::string body =
      "<x:xmpmeta xmlns:x='adobe:ns:meta/'>\r\n <rdf:RDF>\r\n  <rdf:li xml:lang='x-default'>Caf&#233; &amp; "
      "th\xC3\xA9 &lt;b&gt; &unknown;\r\n line</rdf:li>\t\n<![CDATA[<raw> & ]]><!-- note --><?app data?>"
      "<e/><f></f><g a='&#10;&quot;' b='  two  spaces  '/>\n </rdf:RDF>\n</x:xmpmeta>";
  const std::string packet = "<?xpacket begin='\xEF\xBB\xBF' id='W5M0MpCehiHzreSzNTczkc9d'?>\n" + body +
                             "\n   \n   \n<?xpacket end='w'?>";
  EXPECT_EQ(RoundTrip(packet), "<?xpacket begin='\xEF\xBB\xBF' id='W5M0MpCehiHzreSzNTczkc9d'?>\n" +
                                   std::string(body).replace(body.find("<f></f>"), 7, "<f/>") +
                                   "\n<?xpacket end='w'?>\n");
}

TEST(XmpDocument, WritesEveryAttributeBetweenThePacketsUsualQuotes) {
  EXPECT_EQ(RoundTrip("<?xml version='1.0'?><a x='1' y=\"say 'hi'\" z='say \"yo\"'/>"),
            "<?xml version='1.0'?>\n<a x='1' y='say &apos;hi&apos;' z='say \"yo\"'/>\n");
  EXPECT_EQ(RoundTrip("<a x=\"1\" y='it\"s' z=\"3\"/>"), "<a x=\"1\" y=\"it&quot;s\" z=\"3\"/>\n");
  EXPECT_EQ(RoundTrip("<a\n   x='1'\n   y='2'/>"), "<a x='1' y='2'/>\n");
}

struct ErrorCase {
  std::string Packet;
  int Line;
  int Position;
  std::string SourceText;
  std::string Reason;
};

class XmpDocumentErrors : public testing::TestWithParam<ErrorCase> {};

TEST_P(XmpDocumentErrors, SayWhereAndWhy) {
  XmpDocument document;
  const auto error = document.Load(GetParam().Packet);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->Line, GetParam().Line);
  EXPECT_EQ(error->Position, GetParam().Position);
  EXPECT_EQ(error->SourceText, GetParam().SourceText);
  EXPECT_EQ(error->Reason, GetParam().Reason);
  EXPECT_FALSE(document.DocumentElement());
  EXPECT_EQ(document.Xml(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Packets, XmpDocumentErrors,
    testing::Values(
        ErrorCase{"<a>\r\n   <b></c>  \r\n</a>", 2, 9, "<b></c>", "Start-end tags mismatch"},
        ErrorCase{"<a>\n  <b x=1></b>\n</a>", 2, 8, "<b x=1></b>", "Error parsing element attribute"},
        ErrorCase{"", 1, 1, "", "No document element found"},
        ErrorCase{"<?xpacket begin=''?>\n   ", 2, 4, "", "No document element found"},
        ErrorCase{"<a/>\n junk <b/>", 2, 2, "junk <b/>", "Text is not allowed outside the document element"},
        ErrorCase{"<a>x\0y</a>"s, 1, 5, "<a>x\0y</a>"s, "A zero byte is not allowed in an XMP packet"},
        ErrorCase{"<?xpacket?>\n<!DOCTYPE a [<!ENTITY e 'x'>]>\n<a>&e;</a>", 2, 1,
                  "<!DOCTYPE a [<!ENTITY e 'x'>]>",
                  "DOCTYPE and entity declarations are not allowed in an XMP packet"},
        ErrorCase{"<a>\n <!ENTITY e 'x'>\n</a>", 2, 2, "<!ENTITY e 'x'>",
                  "DOCTYPE and entity declarations are not allowed in an XMP packet"}));

TEST(XmpDocument, ALoadReplacesTheWholeDocument) {
  XmpDocument document;
  ASSERT_FALSE(document.Load("<a><b/></a>"));
  ASSERT_FALSE(document.Load("<c/>"));
  EXPECT_EQ(document.Xml(), "<c/>\n");
  EXPECT_TRUE(document.Load("<d>"));
  EXPECT_EQ(document.Xml(), "");
}

TEST(XmpDocument, SetTextAndSetValueEscapeMarkup) {
  XmpDocument document;
  ASSERT_FALSE(document.Load("<a x='1'><b>old<c/></b></a>"));
  document.SetText(document.DocumentElement().first_child(), "R&D <\"x\"> 'y'");
  document.SetValue(document.DocumentElement().first_attribute(), "R&D <'x'>");
  EXPECT_EQ(document.Xml(), "<a x='R&amp;D &lt;&apos;x&apos;&gt;'><b>R&amp;D &lt;\"x\"&gt; 'y'</b></a>\n");
  document.SetText(document.DocumentElement().first_child(), "");
  EXPECT_EQ(document.Xml(), "<a x='R&amp;D &lt;&apos;x&apos;&gt;'><b/></a>\n");
}

struct SelectionCase {
  std::string Packet;
  bool Matches;
};

class XmpSelection : public testing::TestWithParam<SelectionCase> {};

TEST_P(XmpSelection, MatchesByNamespaceNameWhateverThePrefix) {
  XmpDocument document;
  ASSERT_FALSE(document.Load(GetParam().Packet));
  const pugi::xml_node found = SelectChild(document.DocumentElement(), "dc:title");
  EXPECT_EQ(static_cast<bool>(found), GetParam().Matches);
}

INSTANTIATE_TEST_SUITE_P(
    Packets, XmpSelection,
    testing::Values(SelectionCase{"<r xmlns:dc='http://purl.org/dc/elements/1.1/'><dc:title/></r>", true},
                    SelectionCase{"<r xmlns:purl='http://purl.org/dc/elements/1.1/'><purl:title/></r>", true},
                    SelectionCase{"<r><title xmlns='http://purl.org/dc/elements/1.1/'/></r>", true},
                    SelectionCase{"<r xmlns:dc='http://purl.org/dc/elements/1.0/'><dc:title/></r>", false},
                    SelectionCase{"<r><dc:title/></r>", false},
                    SelectionCase{"<r xmlns:dc='http://purl.org/dc/elements/1.1/'><dc:Title/></r>", false},
                    SelectionCase{"<r xmlns:dc='http://purl.org/dc/elements/1.1/'>"
                                  "<dc:title xmlns:dc='other'/></r>",
                                  false}));

TEST(XmpSelection, AttributesNeedAPrefixBoundToTheNamespace) {
  XmpDocument document;
  ASSERT_FALSE(document.Load("<r xmlns:ps='http://ns.adobe.com/photoshop/1.0/' City='a' ps:City='b'/>"));
  EXPECT_STREQ(SelectAttribute(document.DocumentElement(), "photoshop:City").value(), "b");
  EXPECT_FALSE(SelectAttribute(document.DocumentElement(), "photoshop:State"));
}

TEST(XmpDocument, CreateXmpDocumentGivesAnEmptyDocument) {
  const auto document = CreateXmpDocument();
  ASSERT_NE(document, nullptr);
  EXPECT_EQ(document->Xml(), "");
}

}  // namespace
}  // namespace qm::engine
