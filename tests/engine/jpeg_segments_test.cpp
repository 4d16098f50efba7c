#include "engine/jpeg_segments.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "support/image_builders.h"

namespace qm::engine {
namespace {

using namespace std::string_literals;

using test::App13;
using test::App1Exif;
using test::App1Xmp;
using test::Bytes;
using test::Iptc;
using test::Irb;
using test::Jpeg;
using test::Segment;
using test::XmpPacket;

std::optional<std::size_t> FindSignature(const std::string& image) {
  const auto bytes = Bytes(image);
  const auto found = FindIptcResource(bytes, IsJpeg(bytes));
  if (!found) return std::nullopt;
  return found->Signature;
}

struct IsJpegCase {
  std::string Head;
  bool Jpeg;
};

class IsJpegTest : public testing::TestWithParam<IsJpegCase> {};

TEST_P(IsJpegTest, EitherOfTheFirstTwoBytesSuffices) {
  EXPECT_EQ(IsJpeg(Bytes(GetParam().Head)), GetParam().Jpeg);
}

INSTANTIATE_TEST_SUITE_P(Heads, IsJpegTest,
                         testing::Values(IsJpegCase{"\xFF\xD8", true},
                                         IsJpegCase{std::string("\xFF\0", 2), true},
                                         IsJpegCase{std::string("\0\xD8", 2), true},
                                         IsJpegCase{std::string("\0\0", 2), false}, IsJpegCase{"\xFF", true},
                                         IsJpegCase{"\xD8", false}, IsJpegCase{"", false},
                                         IsJpegCase{"\xD8\xFF", false}));

TEST(FindIptcResource, PassesOverAnApp13WithoutTheResourceToALaterOne) {
  const std::string first = App13(Irb("thumbnail", "", 0x040C));
  const std::string image = Jpeg({App1Exif(), first, App13(Irb(Iptc({{2, 5, "x"}})))});
  const std::size_t second = 2 + App1Exif().size() + first.size();
  const auto bytes = Bytes(image);
  const auto found = FindIptcResource(bytes, true);
  ASSERT_TRUE(found);
  EXPECT_EQ(found->Signature, second + 4 + 14);
  EXPECT_EQ(found->SegmentEnd, second + App13(Irb(Iptc({{2, 5, "x"}}))).size());
}

TEST(FindIptcResource, ALengthReachingTheEndOfTheFileEndsTheWholeSearch) {
  // The first APP13 claims to run to the end of the file: its range is searched up to six bytes before the
  // end, then the search ends without looking at the second APP13.
  std::string lying = "\xFF\xED\xFF\xF0";
  const std::string image = "\xFF\xD8" + lying + App13(Irb(Iptc({{2, 5, "x"}}))) + "\xFF\xD9";
  EXPECT_EQ(FindSignature(image), 2u + lying.size() + 4 + 14) << "the signature lies inside the lying range";
  const std::string no_signature = "\xFF\xD8" + lying + Segment(0xED, std::string(40, 'a')) + "\xFF\xD9";
  EXPECT_FALSE(FindSignature(no_signature));
}

TEST(FindIptcResource, ACandidateExactlyTheLargestLengthBeforeTheSignatureReachesIt) {
  const std::size_t signature = 150000;
  for (const std::size_t distance : {std::size_t{65535}, std::size_t{65536}}) {
    std::string image(200000, '\0');
    image.replace(0, 6, "\xFF\xD8\xFF\xED\x00\x10"s);  // an early candidate that does not reach it
    image.replace(signature - distance, 4, "\xFF\xED\xFF\xFF");
    image.replace(signature, 6, "8BIM\x04\x04");
    const auto found = FindSignature(image);
    EXPECT_EQ(found, distance == 65535 ? std::optional<std::size_t>(signature) : std::nullopt) << distance;
  }
}

TEST(FindIptcResource, ASignatureEndingAtTheLastByteIsNotFound) {
  const std::string head = "\xFF\xD8\xFF\xED\x00\x10"s;
  EXPECT_FALSE(FindSignature(head + "abcd8BIM\x04\x04"));
  EXPECT_EQ(FindSignature(head + "abcd8BIM\x04\x04x"), 10u);
}

TEST(FindIptcResource, WholeFileModeSearchesFromOffsetFour) {
  EXPECT_EQ(FindSignature(std::string("\0\0\0\0"
                                      "8BIM\x04\x04\0\0\0\0\0\0",
                                      16)),
            4u);
  EXPECT_FALSE(
      FindSignature(std::string("\0\0\0"
                                "8BIM\x04\x04\0\0\0\0\0\0\0",
                                16)));
  EXPECT_EQ(FindSignature(std::string(1000, 'z') + "8BIM\x04\x04" + std::string(9, '\0')), 1000u);
}

TEST(FindXmpSegment, PassesOverCameraDataToThePacket) {
  const std::string xmp = App1Xmp(XmpPacket(""));
  const std::string image = Jpeg({App1Exif(), App13(Irb(Iptc({}))), xmp});
  const auto bytes = Bytes(image);
  const auto found = FindXmpSegment(bytes, true);
  ASSERT_TRUE(found);
  EXPECT_EQ(found->Start, 2 + App1Exif().size() + App13(Irb(Iptc({}))).size());
  EXPECT_EQ(found->Length, xmp.size() - 2);
  EXPECT_EQ(image.substr(found->RoomBegin(), found->End() - found->RoomBegin()), XmpPacket(""));
}

TEST(FindXmpSegment, APacketHeaderEndingAtTheLastByteIsNotFound) {
  // s + 49 must lie inside the file.
  const std::string segment = "\xFF\xE1\x00\x40"s + std::string(29, 'h') + "<?xpacket begin=";
  EXPECT_FALSE(FindXmpSegment(Bytes("\xFF\xD8" + segment), true));
  const auto found = FindXmpSegment(Bytes("\xFF\xD8" + segment + "'"), true);
  ASSERT_TRUE(found);
  EXPECT_EQ(found->Start, 2u);
  EXPECT_EQ(found->Length, 0x40u);
}

TEST(FindXmpSegment, WholeFileModeTakesTheFirstPacketAtOffset33OrLater) {
  const std::string image = std::string(40, 'a') + "<?xpacket begin='' ?><x/><?xpacket end='w'?>1234";
  const auto found = FindXmpSegment(Bytes(image), false);
  ASSERT_TRUE(found);
  EXPECT_EQ(found->Start, 7u);
  EXPECT_EQ(found->Length, image.size() - 7 - 6);
  EXPECT_EQ(found->End(), image.size() - 4) << "the last four bytes are never part of the room";
  EXPECT_FALSE(
      FindXmpSegment(Bytes(std::string(32, 'a') + "<?xpacket begin=" + std::string(20, ' ')), false));
}

// The searches as stated, one byte and one candidate at a time; quadratic, for comparison on small inputs.
std::optional<std::size_t> NaiveIptcSearch(const std::string& b, bool jpeg) {
  const auto n = static_cast<long>(b.size());
  const auto at = [&](long i) { return static_cast<unsigned char>(b[static_cast<std::size_t>(i)]); };
  for (long s = 0; s <= n - 2; ++s) {
    if (jpeg && !(at(s) == 0xFF && at(s + 1) == 0xED)) continue;
    const long length = jpeg ? (s + 2 < n ? at(s + 2) : 0) * 256 + (s + 3 < n ? at(s + 3) : 0) : n - s - 6;
    for (long c = s + 4; c <= s + length; ++c) {
      if (c + 6 >= n) return std::nullopt;
      if (b.compare(static_cast<std::size_t>(c), 6, "8BIM\x04\x04") == 0) return c;
    }
  }
  return std::nullopt;
}

std::optional<std::size_t> NaiveXmpSearch(const std::string& b, bool jpeg) {
  const auto n = static_cast<long>(b.size());
  for (long s = 0; s <= n - 2; ++s) {
    if (jpeg && !(b[s] == '\xFF' && b[s + 1] == '\xE1')) continue;
    if (s + 49 >= n) return std::nullopt;
    if (b.compare(static_cast<std::size_t>(s + 33), 16, "<?xpacket begin=") == 0) return s;
  }
  return std::nullopt;
}

TEST(Searches, AgreeWithTheByteByByteRuleOnRandomImages) {
  std::mt19937 random(20261206);
  const std::string pieces[] = {"\xFF",
                                "\xED",
                                "\xE1",
                                "\xD8",
                                std::string(1, '\0'),
                                "8BIM\x04\x04",
                                "8BI",
                                "<?xpacket begin=",
                                "\x01",
                                "\x00\x20",
                                "zzzzzzzzzzzzzzzzzzzzzzzzzzzzzz"};
  for (int round = 0; round < 20000; ++round) {
    std::string image;
    const int count = static_cast<int>(random() % 40);
    for (int i = 0; i < count; ++i) image += pieces[random() % std::size(pieces)];
    const auto bytes = Bytes(image);
    for (bool jpeg : {true, false}) {
      const auto iptc = FindIptcResource(bytes, jpeg);
      const auto expected = NaiveIptcSearch(image, jpeg);
      ASSERT_EQ(iptc.has_value(), expected.has_value()) << testing::PrintToString(image) << " jpeg " << jpeg;
      if (iptc) {
        ASSERT_EQ(iptc->Signature, *expected) << testing::PrintToString(image);
      }
      const auto xmp = FindXmpSegment(bytes, jpeg);
      const auto expected_xmp = NaiveXmpSearch(image, jpeg);
      ASSERT_EQ(xmp.has_value(), expected_xmp.has_value()) << testing::PrintToString(image);
      if (xmp) {
        ASSERT_EQ(xmp->Start, *expected_xmp) << testing::PrintToString(image);
      }
    }
  }
}

TEST(Searches, AgreeWithTheRuleOnLargeImagesWithLongSegmentsAndFewSignatures) {
  std::mt19937 random(7);
  for (int round = 0; round < 40; ++round) {
    std::string image(200000 + random() % 100000, '\0');
    for (int i = 0; i < 60; ++i) {
      const std::size_t at = random() % (image.size() - 4);
      image.replace(at, 4,
                    {'\xFF', '\xED', static_cast<char>(random() % 256), static_cast<char>(random() % 256)});
    }
    for (int i = static_cast<int>(random() % 4); i > 0; --i)
      image.replace(random() % (image.size() - 6), 6, "8BIM\x04\x04");
    for (int i = static_cast<int>(random() % 3); i > 0; --i) {
      image.replace(random() % (image.size() - 60), 2, "\xFF\xE1")
          .replace(random() % (image.size() - 20), 16, "<?xpacket begin=");
    }
    const auto bytes = Bytes(image);
    const auto iptc = FindIptcResource(bytes, true);
    const auto expected = NaiveIptcSearch(image, true);
    ASSERT_EQ(iptc.has_value(), expected.has_value()) << "round " << round;
    if (iptc) {
      ASSERT_EQ(iptc->Signature, *expected) << "round " << round;
    }
    const auto xmp = FindXmpSegment(bytes, true);
    ASSERT_EQ(xmp.has_value(), NaiveXmpSearch(image, true).has_value()) << "round " << round;
  }
}

}  // namespace
}  // namespace qm::engine
