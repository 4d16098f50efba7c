#include "engine/jpeg_segments.h"

#include <gtest/gtest.h>

#include <random>

#include "engine/image_file.h"
#include "engine/image_shape.h"
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

// The start of a baseline JPEG image up to its scan's header (one component), and image data with stuffed
// bytes and a restart marker.
const std::string kStart = "\xFF\xD8\xFF\xDB\x00\x04\x01\x02\xFF\xC0\x00\x05\x08\x00\x01"s;
const std::string kScan = "\xFF\xDA\x00\x08\x01\x01\x00\x00\x3F\x00"s;
const std::string kData = "\x12\xFF\x00\x34\xFF\xD3\x56\x78\xFF\x00\x9A"s;
const std::string kEnd = "\xFF\xD9"s;

std::string Data(std::size_t size) {
  std::string data;
  while (data.size() < size) data += kData;
  return data;
}

struct Case {
  const char* What;
  std::string File;
  ImageShape Shape;
};

TEST(JudgeImageShape, OnlyImageDataThatRunsToTheEndIsCutAndOnlyAFileWithoutTheStartMarkersIsNoJpeg) {
  const std::string sound = kStart + kScan + Data(2000) + kEnd;
  const std::string thumbnail = "\xFF\xE1\x00\x20"s + kStart.substr(2) + kScan + kData + kEnd;
  const Case cases[] = {
      {"a text file", "caption", ImageShape::kNotJpeg},
      {"the start marker alone", "\xFF\xD8"s, ImageShape::kNotJpeg},
      {"a file that the engine takes as JPEG by its first byte", "\xFF\x00\xFF"s + kData,
       ImageShape::kNotJpeg},
      {"a sound image", sound, ImageShape::kJpeg},
      {"zeros after the image", sound + std::string(100000, '\0'), ImageShape::kJpeg},
      {"a few zeros after the image", sound + std::string(1000, '\0'), ImageShape::kJpeg},
      {"a trailer of other segments", sound + Data(70000) + "\xFF\xE1\x00\x10trailer"s, ImageShape::kJpeg},
      {"a scan header that is not sound", kStart + "\xFF\xDA\x00\x09\x01"s + Data(500), ImageShape::kJpeg},
      {"image data cut short", kStart + kScan + Data(500), ImageShape::kNoEndMarker},
      {"image data cut in a marker pair", kStart + kScan + Data(500) + "\xFF"s, ImageShape::kNoEndMarker},
      {"a thumbnail's end marker before the cut scan", kStart + thumbnail + kScan + Data(500),
       ImageShape::kNoEndMarker},
      {"a long scan cut short: the tail is image data only", kStart + kScan + Data(200000),
       ImageShape::kNoEndMarker},
      {"a long scan that ends well", kStart + kScan + Data(200000) + kEnd, ImageShape::kJpeg},
      {"a cut scan, then more zeros than are read first", kStart + kScan + Data(500) + std::string(10000, '\0'),
       ImageShape::kNoEndMarker},
  };
  for (const Case& c : cases) {
    const auto bytes = Bytes(c.File);
    const std::span<const std::uint8_t> file(bytes);
    const std::span<const std::uint8_t> head = file.first(std::min<std::size_t>(file.size(), 3));
    EXPECT_EQ(JudgeImageShape(head, file.last(std::min(file.size(), kShapeTailBytes))), c.Shape) << c.What;
    // Read from the end as the engine reads it: its last page first, which must never judge otherwise.
    std::size_t most = 0;
    const auto read_last = [&](std::size_t count) {
      most = std::max(most, count);
      const auto last = file.last(std::min(file.size(), count));
      return std::vector<std::uint8_t>(last.begin(), last.end());
    };
    EXPECT_EQ(JudgeImageShape(head, read_last), c.Shape) << c.What;
    if (c.File.ends_with(kEnd)) {
      EXPECT_EQ(most, kShapeEndBytes) << c.What;
    }
  }
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
    ASSERT_EQ(file.Open(path), InputImageFile::Status::kRead) << file.Detail();
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
