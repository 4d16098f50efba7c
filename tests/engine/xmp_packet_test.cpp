#include "engine/xmp_packet.h"

#include <gtest/gtest.h>

#include "support/image_builders.h"

namespace qm::engine {
namespace {

const std::string kTrailer = "<?xpacket end='w'?>\n";

TEST(FitPacket, SpacesBeforeTheTrailerFillTheRoomWhateverTheContentDid) {
  const std::string head = "<?xpacket begin=''?>\n<x>" + std::string(40, 'g') + "</x>\n";
  const auto fitted = FitPacket(head + kTrailer, 200);
  ASSERT_TRUE(fitted);
  EXPECT_EQ(*fitted, head + std::string(200 - head.size() - kTrailer.size(), ' ') + kTrailer);
  EXPECT_EQ(FitPacket(head + kTrailer, head.size() + kTrailer.size()), head + kTrailer);
}

TEST(FitPacket, TurnsCarriageReturnLineFeedIntoLineFeed) {
  const std::string lf = "<x>a\nb\rc\n</x>\n";
  EXPECT_EQ(FitPacket("<x>a\r\nb\rc\r\n</x>\r\n" + kTrailer, 40),
            lf + std::string(40 - lf.size() - kTrailer.size(), ' ') + kTrailer);
}

TEST(FitPacket, FindsATrailerOfAnotherLength) {
  EXPECT_EQ(FitPacket("<x/>\n<?xpacket end='w' ?>\n", 30),
            "<x/>\n" + std::string(4, ' ') + "<?xpacket end='w' ?>\n");
}

struct MisfitCase {
  std::string Text;
  std::size_t Room;
};

class FitPacketMisfits : public testing::TestWithParam<MisfitCase> {};

TEST_P(FitPacketMisfits, GiveNothing) { EXPECT_FALSE(FitPacket(GetParam().Text, GetParam().Room)); }

INSTANTIATE_TEST_SUITE_P(Texts, FitPacketMisfits,
                         testing::Values(MisfitCase{"<x/>\n" + kTrailer, 10}, MisfitCase{"<x/>\n<y/>\n", 40},
                                         MisfitCase{"<x/>\n" + kTrailer + "<!-- after -->\n", 80},
                                         MisfitCase{"<x/>\n<?xpacket begin=''?>\n", 80},
                                         MisfitCase{"<x/>\n", 0}));

TEST(FitPacket, ATextWithoutTrailerThatFillsTheRoomExactlyIsKept) {
  EXPECT_EQ(FitPacket("<x/>\n<y/>\n", 10), "<x/>\n<y/>\n");
}

TEST(PacketText, IsTheRoomCutAtTheEndOfTheImage) {
  const std::string segment = test::App1Xmp(test::XmpPacket("", 0));
  const auto image = test::Bytes("\xFF\xD8" + segment + "\xFF\xD9");
  const XmpSegment found{2, segment.size() - 2};
  EXPECT_EQ(PacketText(image, found), test::XmpPacket("", 0));
  EXPECT_EQ(RoomSize(found), test::XmpPacket("", 0).size());
  const XmpSegment lying{2, 0xFFFF};
  EXPECT_EQ(PacketText(image, lying), test::XmpPacket("", 0) + "\xFF\xD9");
  EXPECT_EQ(PacketText(image, XmpSegment{2, 20}), "");
  EXPECT_EQ(RoomSize(XmpSegment{2, 20}), 0u);
}

}  // namespace
}  // namespace qm::engine
