#include "app/engine_messages.h"

#include "app/app_fixture.h"
#include "app/folder_scan.h"
#include "support/image_builders.h"

namespace qm::app {
namespace {

using engine::ProcessOutcome;
using engine::ProcessResult;

TEST(ShowProcessResult, ShowsThePacketViewsAndMessagesWithTheFileNamedAndOnlyAnExcerptOfThePacket) {
  test::RecordingView view;
  ProcessResult written{ProcessOutcome::kWritten};
  written.PacketBefore = "<x>\xE9</x>";
  written.PacketAfter = "<x>\xE8</x>  ";
  ShowProcessResult(view, "/in/a.jpg", written);
  EXPECT_EQ(view.Caption(Control::txtXMP0), "'<x>\xC3\xA9</x>'");
  EXPECT_EQ(view.Caption(Control::lblLentxtXMP0), "xmp avant=8");
  EXPECT_EQ(view.Caption(Control::txtXMP1), "'<x>\xC3\xA8</x>  '");
  EXPECT_EQ(view.Caption(Control::lblLentxtXMP1), "xmp apr\xC3\xA8s=10");
  EXPECT_TRUE(view.Messages.empty());

  ProcessResult unparsable{ProcessOutcome::kPacketUnparsable};
  unparsable.PacketBefore = "<?xpacket begin=''?>\n<x>\n <b>Caf\xE9</c>" + std::string(1000, ' ');
  unparsable.ParseError = engine::XmpParseError{31, 3, 11, "<b>Caf\xE9</c>", "Start-end tags mismatch"};
  ShowProcessResult(view, "/in/b.jpg", unparsable);
  ShowProcessResult(view, "/in/c.jpg", ProcessResult{ProcessOutcome::kShortRead});
  ASSERT_EQ(view.Messages.size(), 2u);
  EXPECT_EQ(view.Caption(Control::lblLentxtXMP0), "xmp avant=1037");
  EXPECT_EQ(view.Caption(Control::lblLentxtXMP1), "xmp apr\xC3\xA8s=10") << "the after view stays";
  EXPECT_EQ(std::tie(view.Messages[0].Text, view.Messages[0].Title, view.Messages[0].Buttons),
            std::tuple("Parsing error:\n/in/b.jpg", "Quillmark", MessageButtons::kOk));
  EXPECT_EQ(view.Messages[0].Details,
            "Parsing error:<?xpacket begin=''?>\n<x>\n <b>Caf\xC3\xA9</c>" + std::string(400 - 37, ' ') +
                "..., Ligne: 3, position: 11 <b>Caf\xC3\xA9</c> Start-end tags mismatch");
  EXPECT_EQ(std::tie(view.Messages[1].Text, view.Messages[1].Title, view.Messages[1].Buttons),
            std::tuple("Error reading file ...\n/in/c.jpg", "Quillmark", MessageButtons::kOk));
}

class WrittenEntryTest : public test::BatchFixture {};

// The output is written and the input deleted, and the entry says what the engine saw: a packet that kept
// its old values, a file that is no JPEG image (and whether its bytes were written as read), image data that
// stops short.
TEST_F(WrittenEntryTest, AnEntrySaysWhatTheEngineSawOfItsFileAndWhyAPacketWasKeptAsRead) {
  const std::string tight = test::XmpPacket(test::Description(test::kDc), 0);  // no room for a title
  const std::string jpeg = test::Jpeg({test::App13(test::Irb(test::Iptc({{2, 5, "Vue"}})))});
  const std::string cut = jpeg.substr(0, jpeg.size() - 2);
  const struct {
    std::string File;
    std::string Reason;
  } cases[] = {
      {test::Jpeg({test::App13(test::Irb(test::Iptc({{2, 5, "Vue"}}))), test::App1Xmp(tight)}),
       "its XMP packet was kept as read: the synchronised packet is 61 bytes larger than its room"},
      {jpeg, ""},
      {"caption", "not a JPEG image, its bytes were written as read"},
      {"text " + test::Irb(test::Iptc({{2, 5, "Caf\x8E"}})), "not a JPEG image"},
      {cut, "the image data has no end marker"},
  };
  state_.SynchronizeXMP = true;
  state_.ActiveAccentTable = state_.MacToWindows;
  for (const auto& c : cases) {
    reports_.clear();
    std::filesystem::remove(output_ + "a.jpg");
    test::WriteFile(input_ + "a.jpg", c.File);
    ScanInputFolder(state_, view_);
    ASSERT_EQ(reports_.size(), 1u);
    EXPECT_EQ(reports_[0].Fate, AppState::EntryFate::kDeleted);
    EXPECT_EQ(reports_[0].Reason, c.Reason);
    EXPECT_EQ(test::ReadFile(output_ + "a.jpg").size(), c.File.size());
  }
  EXPECT_EQ(view_.Caption(Control::txtXMP1), view_.Caption(Control::txtXMP0));
}

}  // namespace
}  // namespace qm::app
