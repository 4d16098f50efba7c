#include "engine/xmp_packet.h"

#include <gtest/gtest.h>

namespace qm::engine {
namespace {

TEST(FitPacket, PadsBeforeTheTrailerToTheRoomOrGivesNothing) {
  const std::string head = "<?xpacket begin=''?>\n<x>a\r\nb\rc</x>\r\n";
  const std::string lf = "<?xpacket begin=''?>\n<x>a\nb\rc</x>\n";
  for (const auto& [text, room, fitted] : {
           std::tuple<std::string, std::size_t, std::optional<std::string>>{
               head + "<?xpacket end='w'?>\n", 80,
               lf + std::string(80 - lf.size() - 20, ' ') + "<?xpacket end='w'?>\n"},
           {head + "<?xpacket end='w' ?>\n", 80,
            lf + std::string(80 - lf.size() - 21, ' ') + "<?xpacket end='w' ?>\n"},
           {head + "<?xpacket end='w'?>\n", lf.size() + 19, std::nullopt},
           {head + "<?xpacket end='w'?>\n<!-- after -->\n", 200, std::nullopt},
           {head, 200, std::nullopt},
           {head, lf.size(), lf},
       }) {
    EXPECT_EQ(FitPacket(text, room), fitted) << text;
  }
}

}  // namespace
}  // namespace qm::engine
