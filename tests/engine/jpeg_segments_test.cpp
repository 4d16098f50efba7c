#include "engine/jpeg_segments.h"

#include <gtest/gtest.h>

#include <random>

#include "engine/image_file.h"
#include "support/image_builders.h"
#include "support/temp_dir.h"

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

void ExpectSameAsTheRule(const std::string& image, bool jpeg, ImageBytes& bytes) {
  const auto iptc = FindIptcResource(bytes, jpeg);
  ASSERT_EQ(iptc ? std::optional(iptc->Signature) : std::nullopt, NaiveIptcSearch(image, jpeg))
      << testing::PrintToString(image.substr(0, 200));
  const auto xmp = FindXmpSegment(bytes, jpeg);
  ASSERT_EQ(xmp ? std::optional(xmp->Start) : std::nullopt, NaiveXmpSearch(image, jpeg));
}

// The searches on the image in memory and, every tenth time, on a file read in pieces of `piece` bytes
// (growing as the reads go on), so that matches and candidates fall across the pieces' edges.
class SearchesTest : public testing::Test {
 protected:
  void ExpectSameAsTheRule(const std::string& image, bool jpeg, std::size_t piece) {
    const auto bytes = Bytes(image);
    ImageBytes in_memory{std::span(bytes)};
    qm::engine::ExpectSameAsTheRule(image, jpeg, in_memory);
    if (image.empty() || ++count_ % 10 != 0) return;
    // A new file each time: ext4 flushes a file that is cut and written again.
    const std::filesystem::path path = dir_.Path() / std::to_string(count_);
    test::WriteFile(path, image);
    InputImageFile file;
    ASSERT_EQ(file.Open(path), InputImageFile::Status::kRead);
    ImageBytes from_file(file, buffer_, piece);
    qm::engine::ExpectSameAsTheRule(image, jpeg, from_file);
    std::filesystem::remove(path);
  }

  test::TempDir dir_;
  std::vector<std::uint8_t> buffer_;
  int count_ = 0;
};

TEST_F(SearchesTest, GiveWhatTheByteByByteRuleGivesOnRandomImagesInMemoryAndReadInPieces) {
  std::mt19937 random(20261206);
  // clang-format off
  const std::string pieces[] = {"\xFF", "\xED", "\xE1", "\xD8", "\0"s, "8BIM\x04\x04", "8BI", "<?xpacket begin=",
                                "\x01", "\x00\x20"s, std::string(30, 'z')};
  // clang-format on
  for (int round = 0; round < 20000; ++round) {
    std::string image;
    for (int i = static_cast<int>(random() % 40); i > 0; --i) image += pieces[random() % std::size(pieces)];
    ExpectSameAsTheRule(image, true, 1 + round % 23);
    ExpectSameAsTheRule(image, false, 1 + round % 23);
  }
  // Long segments far apart: candidates that cannot reach the next signature are skipped, the others not.
  for (int round = 0; round < 40; ++round) {
    std::string image(200000 + random() % 100000, '\0');
    for (int i = 0; i < 60; ++i) {
      image.replace(random() % (image.size() - 4), 4, {'\xFF', '\xED', char(random()), char(random())});
    }
    for (int i = round % 4; i > 0; --i) image.replace(random() % (image.size() - 6), 6, "8BIM\x04\x04");
    ExpectSameAsTheRule(image, true, 4096 + round);
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
