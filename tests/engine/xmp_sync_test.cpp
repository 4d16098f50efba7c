#include "engine/xmp_sync.h"

#include <gtest/gtest.h>

#include "support/image_builders.h"

namespace qm::engine {
namespace {

using test::Description;
using test::kDc;
using test::kPhotoshop;
using test::XmpPacket;

// The packet after synchronisation; a packet the synchronisation leaves alone comes back as XmpPacket(body,
// 0) followed by the line feed that ends every top-level node.
std::string Sync(const std::string& body, const IptcFields& fields, const IptcLists& lists = {},
                 bool values_are_utf8 = false) {
  XmpDocument document;
  const auto error = document.Load(XmpPacket(body, 0));
  EXPECT_FALSE(error) << error->Reason;
  SynchronizeXmp(document, fields, lists, values_are_utf8);
  return document.Xml();
}

std::string Expected(const std::string& body) { return XmpPacket(body, 0) + "\n"; }

IptcFields With(std::string IptcFields::*field, std::string value) {
  IptcFields fields;
  fields.*field = std::move(value);
  return fields;
}

const std::string kTitle =
    "<dc:title><rdf:Alt><rdf:li xml:lang='x-default'>Old</rdf:li><rdf:li "
    "xml:lang='fr'>Vieux</rdf:li></rdf:Alt>"
    "</dc:title>";

TEST(SynchronizeXmp, ReplacesOnlyTheFirstItemOfAnAlternative) {
  EXPECT_EQ(Sync(Description(kDc, kTitle), With(&IptcFields::ObjectName, "Vue")),
            Expected(Description(kDc,
                                 "<dc:title><rdf:Alt><rdf:li xml:lang='x-default'>Vue</rdf:li><rdf:li "
                                 "xml:lang='fr'>Vieux</rdf:li></rdf:Alt></dc:title>")));
}

TEST(SynchronizeXmp, AnEmptyFieldRemovesTheWholePropertyAndAddsNothing) {
  const std::string dc = "<rdf:Description rdf:about='' " + std::string(kDc) + "/>";
  EXPECT_EQ(Sync(Description(kDc, kTitle), IptcFields()), Expected(dc));
  const std::string other = Description(kDc, "<dc:format>image/jpeg</dc:format>");
  EXPECT_EQ(Sync(other, IptcFields()), Expected(other));
}

TEST(SynchronizeXmp, WithoutIptcEveryMappedPropertyInElementFormGoesAndTheRestStays) {
  const std::string kept_dc = "<dc:format>image/jpeg</dc:format><dc:rights>plain, not an Alt</dc:rights>";
  const std::string kept_ps = "<photoshop:ColorMode>3</photoshop:ColorMode>";
  const std::string body =
      Description(kDc, kTitle + "<dc:creator><rdf:Seq><rdf:li>A</rdf:li></rdf:Seq></dc:creator>" + kept_dc +
                           "<dc:subject><rdf:Bag><rdf:li>k</rdf:li></rdf:Bag></dc:subject>") +
      Description(kPhotoshop, "<photoshop:City>Paris</photoshop:City>" + kept_ps +
                                  "<photoshop:Credit>AFP</"
                                  "photoshop:Credit><photoshop:DateCreated>2003-12-25</photoshop:DateCreated>"
                                  "<photoshop:SupplementalCategories><rdf:Bag><rdf:li>s</rdf:li></rdf:Bag>"
                                  "</photoshop:SupplementalCategories>");
  EXPECT_EQ(Sync(body, IptcFields()), Expected(Description(kDc, kept_dc) + Description(kPhotoshop, kept_ps)));
}

TEST(SynchronizeXmp, CreatesEveryRowInOrderWithTheSelectionPrefixesAndNoLanguage) {
  IptcFields f;
  f.ObjectName = "t";
  f.Byline = "b";
  f.Caption = "c";
  f.Copyright = "r";
  f.CaptionWriter = "w";
  f.Category = "SPO";
  f.CreatedDate = "20031225";
  f.City =
      "Orl\xE9"
      "ans";
  f.ProvinceState = "s";
  f.Country = "n";
  f.Credit = "cr";
  f.Source = "so";
  f.Headline = "h";
  f.SpecialInstructions = "i";
  f.OriginalTransmissionReference = "o";
  f.Priority = "5";
  f.BylineTitle = "p";
  const IptcLists lists{{"k1", "", "k2"}, {"s1"}};
  EXPECT_EQ(
      Sync(Description(std::string(kDc) + " " + std::string(kPhotoshop), "\n"), f, lists),
      Expected(Description(
          std::string(kDc) + " " + std::string(kPhotoshop),
          "\n<dc:title><rdf:Alt><rdf:li>t</rdf:li></rdf:Alt></dc:title><dc:creator><rdf:Seq><rdf:li>b</"
          "rdf:li>"
          "</rdf:Seq></dc:creator><dc:description><rdf:Alt><rdf:li>c</rdf:li></rdf:Alt></dc:description>"
          "<dc:rights><rdf:Alt><rdf:li>r</rdf:li></rdf:Alt></dc:rights><dc:subject><rdf:Bag><rdf:li>k1</"
          "rdf:li>"
          "<rdf:li/><rdf:li>k2</rdf:li></rdf:Bag></dc:subject><photoshop:CaptionWriter>w</"
          "photoshop:CaptionWriter>"
          "<photoshop:Category>SPO</photoshop:Category><photoshop:DateCreated>2003-12-25</"
          "photoshop:DateCreated>"
          "<photoshop:City>Orl\xC3\xA9"
          "ans</photoshop:City><photoshop:State>s</photoshop:State>"
          "<photoshop:Country>n</photoshop:Country><photoshop:Credit>cr</photoshop:Credit>"
          "<photoshop:Source>so</photoshop:Source><photoshop:Headline>h</photoshop:Headline>"
          "<photoshop:Instructions>i</photoshop:Instructions><photoshop:TransmissionReference>o"
          "</photoshop:TransmissionReference><photoshop:Urgency>5</photoshop:Urgency>"
          "<photoshop:AuthorsPosition>p</"
          "photoshop:AuthorsPosition><photoshop:SupplementalCategories><rdf:Bag>"
          "<rdf:li>s1</rdf:li></rdf:Bag></photoshop:SupplementalCategories>")));
}

TEST(SynchronizeXmp, ABagIsRebuiltFromTheListWhateverItHeld) {
  const std::string subject =
      "<dc:subject><rdf:Bag><rdf:li>x</rdf:li><rdf:li>y</rdf:li></rdf:Bag></dc:subject>";
  const std::string body = Description(kDc, subject + "<dc:format>f</dc:format>");
  EXPECT_EQ(Sync(body, IptcFields(), {{"a", "b"}, {}}),
            Expected(Description(kDc,
                                 "<dc:format>f</dc:format><dc:subject><rdf:Bag><rdf:li>a</rdf:li><rdf:li>b"
                                 "</rdf:li></rdf:Bag></dc:subject>")));
  EXPECT_EQ(Sync(body, IptcFields(), {}), Expected(Description(kDc, "<dc:format>f</dc:format>")));
}

TEST(SynchronizeXmp, JoinedBylinesGiveOneItemAndMarkupIsEscaped) {
  IptcFields f;
  f.Byline = "Anne; Bruno";
  f.Headline = "R&D <b> \"q\"";
  const std::string out = Sync(Description(std::string(kDc) + " " + std::string(kPhotoshop)), f);
  EXPECT_NE(out.find("<dc:creator><rdf:Seq><rdf:li>Anne; Bruno</rdf:li></rdf:Seq></dc:creator>"),
            std::string::npos);
  EXPECT_NE(out.find("<photoshop:Headline>R&amp;D &lt;b&gt; \"q\"</photoshop:Headline>"), std::string::npos);
}

TEST(SynchronizeXmp, ValuesOfAUtf8BlockAreNotEncodedTwice) {
  const IptcFields f = With(&IptcFields::City,
                            "Orl\xC3\xA9"
                            "ans");
  EXPECT_NE(Sync(Description(kPhotoshop), f, {{"\xC3\xA9t\xC3\xA9"}, {}}, true)
                .find("<photoshop:City>Orl\xC3\xA9"
                      "ans</photoshop:City>"),
            std::string::npos);
  EXPECT_NE(Sync(Description(kPhotoshop), f)
                .find("<photoshop:City>Orl\xC3\x83\xC2\xA9"
                      "ans</photoshop:City>"),
            std::string::npos);
}

TEST(SynchronizeXmp, APropertyInAttributeFormIsUpdatedOrRemovedInPlace) {
  IptcFields f;
  f.City =
      "Orl\xE9"
      "ans";
  const std::string attributes = std::string(kPhotoshop) + " photoshop:City='Old' photoshop:State='X'";
  EXPECT_EQ(Sync(Description(attributes, "\n"), f),
            Expected(Description(std::string(kPhotoshop) + " photoshop:City='Orl\xC3\xA9"
                                                           "ans'",
                                 "\n")));
  f.City = "it's";
  EXPECT_NE(Sync(Description(attributes), f).find("photoshop:City='it&apos;s'"), std::string::npos);
}

TEST(SynchronizeXmp, OnlyDescriptionsDeclaringTheUsualPrefixesAreChanged) {
  const IptcFields f = With(&IptcFields::ObjectName, "Vue");
  const std::string other_prefix =
      Description("xmlns:purl='http://purl.org/dc/elements/1.1/'",
                  "<purl:title><rdf:Alt><rdf:li>Old</rdf:li></rdf:Alt></purl:title>");
  EXPECT_EQ(Sync(other_prefix, f), Expected(other_prefix));

  // The last description that declares the prefix is the one changed; an element matches by namespace.
  const std::string first = Description(kDc, "<dc:format>f</dc:format>");
  const std::string second = Description(std::string(kDc) + " xmlns:purl='http://purl.org/dc/elements/1.1/'",
                                         "<purl:title><rdf:Alt><rdf:li>Old</rdf:li></rdf:Alt></purl:title>");
  EXPECT_EQ(
      Sync(first + second, f),
      Expected(first + Description(std::string(kDc) + " xmlns:purl='http://purl.org/dc/elements/1.1/'",
                                   "<purl:title><rdf:Alt><rdf:li>Vue</rdf:li></rdf:Alt></purl:title>")));
}

TEST(SynchronizeXmp, APacketWhoseDocumentElementIsRdfItselfIsLeftAlone) {
  const std::string packet = "<rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'>" +
                             Description(kDc, kTitle) + "</rdf:RDF>";
  XmpDocument document;
  ASSERT_FALSE(document.Load(packet));
  SynchronizeXmp(document, With(&IptcFields::ObjectName, "Vue"), {}, false);
  EXPECT_EQ(document.Xml(), packet + "\n");
}

TEST(IptcDateToXmp, CutsWithoutChecking) {
  EXPECT_EQ(IptcDateToXmp("20031225"), "2003-12-25");
  EXPECT_EQ(IptcDateToXmp("2003"), "2003--");
  EXPECT_EQ(IptcDateToXmp("20031"), "2003-1-");
  EXPECT_EQ(IptcDateToXmp("2003122599"), "2003-12-25");
  EXPECT_EQ(IptcDateToXmp(""), "--");
}

}  // namespace
}  // namespace qm::engine
