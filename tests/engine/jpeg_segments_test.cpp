#include "engine/jpeg_segments.h"

#include <gtest/gtest.h>

#include <random>

#include "support/image_builders.h"

namespace qm::engine {
namespace {

using namespace std::string_literals;
using test::Bytes;

TEST(IsJpeg, EitherOfTheFirstTwoBytesSuffices) {
  for (const std::string& jpeg : {"\xFF\0"s, "\0\xD8"s, "\xFF"s})
    EXPECT_TRUE(IsJpeg(Bytes(jpeg))) << testing::PrintToString(jpeg);
  for (const std::string& other : {"\0\0"s, "\xD8"s, ""s})
    EXPECT_FALSE(IsJpeg(Bytes(other))) << testing::PrintToString(other);
}

// The searches as stated: one byte and one candidate at a time, quadratic.
std::optional<std::size_t> NaiveIptcSearch(const std::string& b, bool jpeg) {
  const auto n = static_cast<long>(b.size());
  const auto at = [&](long i) {
    return i < n ? static_cast<unsigned char>(b[static_cast<std::size_t>(i)]) : 0;
  };
  for (long s = 0; s <= n - 2; ++s) {
    if (jpeg && !(at(s) == 0xFF && at(s + 1) == 0xED)) continue;
    const long length = jpeg ? at(s + 2) * 256 + at(s + 3) : n - s - 6;
    for (long c = s + 4; c <= s + length; ++c) {
      if (c + 6 >= n) return std::nullopt;
      if (b.compare(static_cast<std::size_t>(c), 6, "8BIM\x04\x04") == 0) return c;
    }
  }
  return std::nullopt;
}

std::optional<std::size_t> NaiveXmpSearch(const std::string& b, bool jpeg) {
  for (long s = 0, n = static_cast<long>(b.size()); s <= n - 2; ++s) {
    if (jpeg && b.compare(static_cast<std::size_t>(s), 2, "\xFF\xE1") != 0) continue;
    if (s + 49 >= n) return std::nullopt;
    if (b.compare(static_cast<std::size_t>(s + 33), 16, "<?xpacket begin=") == 0) return s;
  }
  return std::nullopt;
}

void ExpectSameAsTheRule(const std::string& image, bool jpeg) {
  const auto bytes = Bytes(image);
  const auto iptc = FindIptcResource(bytes, jpeg);
  ASSERT_EQ(iptc ? std::optional(iptc->Signature) : std::nullopt, NaiveIptcSearch(image, jpeg))
      << testing::PrintToString(image.substr(0, 200));
  const auto xmp = FindXmpSegment(bytes, jpeg);
  ASSERT_EQ(xmp ? std::optional(xmp->Start) : std::nullopt, NaiveXmpSearch(image, jpeg));
}

TEST(Searches, GiveWhatTheByteByByteRuleGivesOnRandomImages) {
  std::mt19937 random(20261206);
  // clang-format off
  const std::string pieces[] = {"\xFF", "\xED", "\xE1", "\xD8", "\0"s, "8BIM\x04\x04", "8BI", "<?xpacket begin=",
                                "\x01", "\x00\x20"s, std::string(30, 'z')};
  // clang-format on
  for (int round = 0; round < 20000; ++round) {
    std::string image;
    for (int i = static_cast<int>(random() % 40); i > 0; --i) image += pieces[random() % std::size(pieces)];
    ExpectSameAsTheRule(image, true);
    ExpectSameAsTheRule(image, false);
  }
  // Long segments far apart: candidates that cannot reach the next signature are skipped, the others not.
  for (int round = 0; round < 40; ++round) {
    std::string image(200000 + random() % 100000, '\0');
    for (int i = 0; i < 60; ++i) {
      image.replace(random() % (image.size() - 4), 4, {'\xFF', '\xED', char(random()), char(random())});
    }
    for (int i = round % 4; i > 0; --i) image.replace(random() % (image.size() - 6), 6, "8BIM\x04\x04");
    ExpectSameAsTheRule(image, true);
  }
}

TEST(FindIptcResource, ACandidateExactlyTheLargestLengthBeforeTheSignatureReachesIt) {
  for (const std::size_t distance : {65535, 65536}) {
    std::string image(200000, '\0');
    image.replace(0, 6, "\xFF\xD8\xFF\xED\x00\x10"s);
    image.replace(150000 - distance, 4, "\xFF\xED\xFF\xFF").replace(150000, 6, "8BIM\x04\x04");
    const auto found = FindIptcResource(Bytes(image), true);
    EXPECT_EQ(found.has_value(), distance == 65535);
  }
}

}  // namespace
}  // namespace qm::engine
