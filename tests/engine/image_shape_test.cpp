#include "engine/image_shape.h"

#include <gtest/gtest.h>

#include <string>

#include "support/image_builders.h"

namespace qm::engine {
namespace {

using namespace std::string_literals;

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
      {"a second image after it", sound + sound, ImageShape::kJpeg},
      {"a maker's trailer without markers", sound + std::string(70000, 'M'), ImageShape::kJpeg},
      {"a trailer of other segments", sound + Data(70000) + "\xFF\xE1\x00\x10trailer"s, ImageShape::kJpeg},
      {"a scan header that is not sound", kStart + "\xFF\xDA\x00\x09\x01"s + Data(500), ImageShape::kJpeg},
      {"image data cut short", kStart + kScan + Data(500), ImageShape::kNoEndMarker},
      {"image data cut in a marker pair", kStart + kScan + Data(500) + "\xFF"s, ImageShape::kNoEndMarker},
      {"a thumbnail's end marker before the cut scan", kStart + thumbnail + kScan + Data(500),
       ImageShape::kNoEndMarker},
      {"a long scan cut short: the tail is image data only", kStart + kScan + Data(200000),
       ImageShape::kNoEndMarker},
      {"a long scan that ends well", kStart + kScan + Data(200000) + kEnd, ImageShape::kJpeg},
  };
  for (const Case& c : cases) {
    const auto bytes = test::Bytes(c.File);
    const std::span<const std::uint8_t> file(bytes);
    const std::size_t tail = std::min(file.size(), kShapeTailBytes);
    EXPECT_EQ(JudgeImageShape(file.first(std::min<std::size_t>(file.size(), 3)), file.last(tail)), c.Shape)
        << c.What;
  }
}

}  // namespace
}  // namespace qm::engine
