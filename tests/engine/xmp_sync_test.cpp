// The XMP packet: read and written back as it was, fitted to its room, and synchronised from the IPTC fields.
#include "engine/xmp_sync.h"

#include <gtest/gtest.h>

#include "engine/xmp_document.h"
#include "engine/xmp_packet.h"
#include "support/image_builders.h"

namespace qm::engine {
namespace {

using namespace std::string_literals;
using test::Description;
using test::XmpPacket;

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

const std::string kDc(test::kDc);
const std::string kPhotoshop(test::kPhotoshop);
const std::string kTitle =
    "<dc:title><rdf:Alt><rdf:li xml:lang='x-default'>Old</rdf:li><rdf:li "
    "xml:lang='fr'>Vieux</rdf:li></rdf:Alt>"
    "</dc:title>";

// The packet after synchronisation, which a second pass with the same fields must leave as it is.
std::string SyncPacket(const std::string& packet, const IptcFields& fields, const IptcLists& lists = {}) {
  XmpDocument document;
  EXPECT_FALSE(document.Load(packet));
  SynchronizeXmp(document, fields, lists, false);
  const std::string once = document.Xml();
  EXPECT_FALSE(document.Load(once));
  SynchronizeXmp(document, fields, lists, false);
  EXPECT_EQ(document.Xml(), once) << "a second pass changed the packet";
  return once;
}

// The same for the descriptions of a packet; a packet left alone comes back as Expected(body).
std::string Sync(const std::string& body, const IptcFields& fields, const IptcLists& lists = {}) {
  return SyncPacket(XmpPacket(body, 0), fields, lists);
}

std::string Expected(const std::string& body) { return XmpPacket(body, 0) + "\n"; }

// A description as the document writes it when it has no children.
std::string Empty(const std::string& attributes) {
  return "<rdf:Description rdf:about='' " + attributes + "/>";
}

using Field = std::string IptcFields::*;

IptcFields With(std::initializer_list<std::pair<Field, std::string>> values) {
  IptcFields fields;
  for (const auto& [field, value] : values) fields.*field = value;
  return fields;
}

const IptcFields kVue = With({{&IptcFields::ObjectName, "Vue"}});

// Control characters other than tab, line feed and carriage return, which XML 1.0 forbids, are left out.
TEST(SynchronizeXmp, CreatesEveryRowInOrderLastWithTheBagsAfterTheOthersAndNoLanguage) {
  using F = IptcFields;
  // clang-format off
  const IptcFields f = With({{&F::ObjectName, "t"}, {&F::Byline, "Anne; Bruno"}, {&F::Caption, "c"},
      {&F::Copyright, "r"}, {&F::CaptionWriter, "w"}, {&F::Category, "SPO"}, {&F::CreatedDate, "20031225"},
      {&F::City, "S\xE9te"}, {&F::ProvinceState, "s"}, {&F::Country, "n"}, {&F::Credit, "cr"},
      {&F::Source, "s\x01o\x1F"}, {&F::Headline, "R&D <b>"}, {&F::SpecialInstructions, "i\tj\r\nk"},
      {&F::OriginalTransmissionReference, "o"}, {&F::Priority, "5"}, {&F::BylineTitle, "p"}});
  const std::pair<const char*, const char*> simple_rows[] = {{"CaptionWriter", "w"}, {"Category", "SPO"},
      {"DateCreated", "2003-12-25"}, {"City", "S\xC3\xA9te"}, {"State", "s"}, {"Country", "n"},
      {"Credit", "cr"}, {"Source", "so"}, {"Headline", "R&amp;D &lt;b&gt;"}, {"Instructions", "i\tj\r\nk"},
      {"TransmissionReference", "o"}, {"Urgency", "5"}, {"AuthorsPosition", "p"}};
  // clang-format on
  std::string simple;
  for (const auto& [p, v] : simple_rows)
    simple += "<photoshop:" + std::string(p) + ">" + v + "</photoshop:" + p + ">";
  const auto item = [](const std::string& p, const std::string& c, const std::string& items) {
    return "<" + p + "><rdf:" + c + ">" + items + "</rdf:" + c + "></" + p + ">";
  };
  const std::string both = kDc + " " + kPhotoshop;
  EXPECT_EQ(Sync(Description(both, "\n"), f, {{"k1", "", "k2"}, {"s1", "\x01"}}),
            Expected(Description(
                both, "\n" + item("dc:title", "Alt", "<rdf:li>t</rdf:li>") +
                          item("dc:creator", "Seq", "<rdf:li>Anne; Bruno</rdf:li>") +
                          item("dc:description", "Alt", "<rdf:li>c</rdf:li>") +
                          item("dc:rights", "Alt", "<rdf:li>r</rdf:li>") + simple +
                          item("dc:subject", "Bag", "<rdf:li>k1</rdf:li><rdf:li/><rdf:li>k2</rdf:li>") +
                          item("photoshop:SupplementalCategories", "Bag", "<rdf:li>s1</rdf:li><rdf:li/>"))));
  EXPECT_EQ(IptcDateToXmp("2003"), "2003--");
}

TEST(SynchronizeXmp, ReplacesTheFirstItemOrRemovesWhatIptcDoesNotHold) {
  EXPECT_EQ(Sync(Description(kDc, kTitle), kVue),
            Expected(Description(kDc, std::string(kTitle).replace(kTitle.find("Old"), 3, "Vue"))));
  // Elements of the expected shape go; other shapes and other properties stay; bags are rebuilt.
  const std::string kept = "<dc:format>f</dc:format><dc:rights>plain, not an Alt</dc:rights>";
  const std::string bag = "<dc:subject><rdf:Bag><rdf:li>x</rdf:li><rdf:li>y</rdf:li></rdf:Bag></dc:subject>";
  EXPECT_EQ(
      Sync(Description(kDc, kTitle + bag + kept) +
               Description(kPhotoshop,
                           "<photoshop:City>P</photoshop:City><photoshop:Credit>c</photoshop:Credit>"),
           {}, {{"a"}, {}}),
      Expected(Description(kDc, kept + "<dc:subject><rdf:Bag><rdf:li>a</rdf:li></rdf:Bag></dc:subject>") +
               Empty(kPhotoshop)));
  EXPECT_EQ(Sync(Description(kDc, bag), {}, {}), Expected(Empty(kDc)));
  // Bags already last in a description that takes a new property stay last.
  const std::string keywords = "<dc:subject><rdf:Bag><rdf:li>k</rdf:li></rdf:Bag></dc:subject>";
  const std::string categories =
      "<photoshop:SupplementalCategories><rdf:Bag><rdf:li>s</rdf:li></rdf:Bag>"
      "</photoshop:SupplementalCategories>";
  EXPECT_EQ(Sync(Description(kDc + " " + kPhotoshop, keywords + categories),
                 With({{&IptcFields::City, "Paris"}}), {{"k"}, {"s"}}),
            Expected(Description(kDc + " " + kPhotoshop,
                                 "<photoshop:City>Paris</photoshop:City>" + keywords + categories)));
}

// One property per name: the description that holds it (element or attribute, which is updated or removed in
// place) takes the value, else the first in its namespace; a later one holding it too loses it, as do further
// elements of the name.
TEST(SynchronizeXmp, WritesEachPropertyWhereItIsHeldElseIntoTheFirstDescription) {
  const auto city = [](const std::string& value) { return "<photoshop:City>" + value + "</photoshop:City>"; };
  const IptcFields fields = With({{&IptcFields::City, "it's"}, {&IptcFields::ObjectName, "Vue"}});
  const std::string plain = Description(kPhotoshop), empty = Empty(kPhotoshop);
  for (const auto& [before, after] : {
           std::pair{plain + Description(kPhotoshop, city("Old")),
                     empty + Description(kPhotoshop, city("it's"))},
           {Description(kPhotoshop + " photoshop:City='Old' photoshop:State='X' photoshop:City='Older'") +
                plain,
            Empty(kPhotoshop + " photoshop:City='it&apos;s'") + empty},
           {plain + Description(kPhotoshop, "\n"),
            Description(kPhotoshop, city("it's")) + Description(kPhotoshop, "\n")},
           {Description(kPhotoshop, city("A") + city("A")) + Description(kPhotoshop, city("B") + city("B")),
            Description(kPhotoshop, city("it's")) + empty},
           // A title of another shape gives way.
           {Description(kDc, "<dc:title>plain</dc:title>"),
            Description(kDc, "<dc:title><rdf:Alt><rdf:li>Vue</rdf:li></rdf:Alt></dc:title>")},
           // The namespace is its name: the usual prefix bound to another name is another namespace, and
           // a new property takes the prefix that is bound to it.
           {Description("xmlns:dc='http://example.com/dc/' " + kPhotoshop, "<dc:title>x</dc:title>"),
            Description("xmlns:dc='http://example.com/dc/' " + kPhotoshop,
                        "<dc:title>x</dc:title>" + city("it's"))},
           {Description("xmlns:dc='http://example.com/dc/' xmlns:purl='http://purl.org/dc/elements/1.1/'"),
            Description("xmlns:dc='http://example.com/dc/' xmlns:purl='http://purl.org/dc/elements/1.1/'",
                        "<purl:title><rdf:Alt><rdf:li>Vue</rdf:li></rdf:Alt></purl:title>")},
       }) {
    EXPECT_EQ(Sync(before, fields), Expected(after)) << before;
  }
  // Namespaces declared on an enclosing element; where no prefix bound to the name can be used, the new
  // property declares a free one.
  const auto declaring = [](const std::string& declarations, const std::string& descriptions) {
    std::string packet = XmpPacket(descriptions, 0);
    return packet.insert(packet.find("<rdf:RDF ") + 9, declarations + " ");
  };
  const std::string title = "<rdf:Alt><rdf:li>Vue</rdf:li></rdf:Alt>";
  // No wrapping element: no description.
  const std::string rdf_only = "<rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'>" +
                               Description(kDc, kTitle) + "</rdf:RDF>";
  for (const auto& [before, after] : {
           std::pair{declaring(kDc, Description(kPhotoshop)),
                     declaring(kDc, Description(kPhotoshop, "<dc:title>" + title + "</dc:title>"))},
           {declaring(kDc, Description("xmlns:dc='http://example.com/dc/'")),
            declaring(kDc, Description("xmlns:dc='http://example.com/dc/'",
                                       "<dc1:title xmlns:dc1='http://purl.org/dc/elements/1.1/'>" + title +
                                           "</dc1:title>"))},
           {XmpPacket(Description("xmlns='http://purl.org/dc/elements/1.1/'"), 0),
            XmpPacket(
                Description("xmlns='http://purl.org/dc/elements/1.1/'",
                            "<dc:title xmlns:dc='http://purl.org/dc/elements/1.1/'>" + title + "</dc:title>"),
                0)},
           {rdf_only, rdf_only},
       }) {
    EXPECT_EQ(SyncPacket(before, kVue), after + "\n") << before;
  }
}

}  // namespace
}  // namespace qm::engine
