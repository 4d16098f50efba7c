#include "engine/process_image.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>

#include "coding/windows1252.h"
#include "engine/image_edit.h"
#include "engine/xmp_document.h"
#include "support/image_builders.h"
#include "support/recording_view.h"
#include "support/temp_dir.h"

namespace qm::engine {
namespace {

using app::Control;
using test::App13;
using test::App1Exif;
using test::App1Xmp;
using test::Description;
using test::Iptc;
using test::Irb;
using test::Jpeg;
using test::kDc;
using test::kPhotoshop;
using test::XmpPacket;
using namespace std::string_literals;
using namespace std::string_view_literals;

const coding::AccentTable kMacToWindows = coding::BuildMacToWindows();
const coding::AccentTable kWindowsToMac = coding::BuildWindowsToMac();
const coding::AccentTable kIdentity = coding::IdentityTable();

// The IPTC block of the usual test image, with its values as given (Macintosh coding) or recoded.
std::string Block(const coding::AccentTable& table) {
  const auto recode = [&table](std::string v) {
    for (char& c : v) c = static_cast<char>(table[static_cast<unsigned char>(c)]);
    return v;
  };
  return App13(Irb(Iptc({{1, 90, "\x1B%A"},
                         {2, 0, "\x00\x04"s},
                         {2, 5, recode("Vue d'\x88t\x8E")},
                         {2, 25,
                          recode("\x8E"
                                 "t\x8E")},
                         {2, 25, "b"},
                         {2, 90,
                          recode("Orl\x8E"
                                 "ans")},
                         {2, 120, recode("Caf\x8E \x88 Paris")}})));
}

const std::string kPacket = XmpPacket(
    Description(kDc,
                "\n  <dc:title><rdf:Alt><rdf:li xml:lang='x-default'>Old</rdf:li></rdf:Alt></dc:title>\n ") +
        "\n " + Description(kPhotoshop, "<photoshop:City>Old</photoshop:City>"),
    400);

std::string Image(const coding::AccentTable& table, const std::string& packet = kPacket) {
  return Jpeg({App1Exif(), Block(table), App1Xmp(packet)});
}

ProcessSettings Settings() {
  ProcessSettings settings;
  settings.ActiveAccentTable = &kMacToWindows;
  return settings;
}

class ProcessImageTest : public testing::Test {
 protected:
  ProcessResult Run(std::string_view name = "a.jpg") {
    settings_.InputFolder = in_;
    settings_.OutputFolder = out_;
    settings_.Document = document_.get();
    return ProcessImage(name, settings_, fields_, buffer_, view_);
  }
  void Input(const std::string& bytes, const std::string& name = "a.jpg") {
    test::WriteFile(in_ + name, bytes);
  }
  std::string Output(const std::string& name = "a.jpg") const { return test::ReadFile(out_ + name); }
  bool OutputExists(const std::string& name = "a.jpg") const { return std::filesystem::exists(out_ + name); }
  std::size_t FilesInOutput() const {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(out_)) ++count;
    return count;
  }

  test::TempDir dir_;
  std::string in_ = dir_.Folder("in");
  std::string out_ = dir_.Folder("out");
  std::shared_ptr<XmpDocument> document_ = CreateXmpDocument();
  ProcessSettings settings_ = Settings();
  IptcFields fields_;
  std::vector<std::uint8_t> buffer_;
  test::RecordingView view_;
};

struct Options {
  const coding::AccentTable* Table;
  bool Synchronize;
  bool Remove;
};

class ProcessImageInvariants : public ProcessImageTest, public testing::WithParamInterface<Options> {};

TEST_P(ProcessImageInvariants, HoldInEveryMode) {
  const Options& o = GetParam();
  settings_.ActiveAccentTable = o.Table;
  settings_.SynchronizeXMP = o.Synchronize;
  settings_.RemoveXMP = o.Remove;
  const std::string input = Image(kIdentity);
  Input(input);
  EXPECT_EQ(Run().Outcome, ProcessOutcome::kWritten);
  const std::string output = Output();
  EXPECT_TRUE(view_.Messages.empty());
  EXPECT_EQ(fields_.City, o.Table == &kMacToWindows ? "Orl\xE9"
                                                      "ans"
                          : o.Table == &kIdentity   ? "Orl\x8E"
                                                      "ans"
                                                    : "Orl\x8E"
                                                      "ans");

  // The image data, from SOS to the end, is never touched; neither is the camera data.
  const std::string image_data = test::ImageData();
  ASSERT_GE(output.size(), image_data.size());
  EXPECT_EQ(output.substr(output.size() - image_data.size()), image_data);
  EXPECT_EQ(output.substr(2, App1Exif().size()), App1Exif());

  // Only IPTC value bytes differ, as the table says; then only the packet's room.
  const std::string recoded = Image(*o.Table);
  const std::size_t segment = 2 + App1Exif().size() + Block(kIdentity).size();
  const std::size_t room = segment + 33;
  if (o.Remove) {
    EXPECT_EQ(output.size(), input.size() - App1Xmp(kPacket).size());
    EXPECT_EQ(output, recoded.substr(0, segment) + recoded.substr(segment + App1Xmp(kPacket).size()));
  } else if (o.Synchronize) {
    ASSERT_EQ(output.size(), input.size());
    EXPECT_EQ(output.substr(0, room), recoded.substr(0, room));
    EXPECT_EQ(output.substr(room + kPacket.size()), recoded.substr(room + kPacket.size()));
    EXPECT_NE(output.substr(room, kPacket.size()), kPacket);
  } else {
    EXPECT_EQ(output, recoded);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Options, ProcessImageInvariants,
    testing::Values(Options{&kIdentity, false, false}, Options{&kMacToWindows, false, false},
                    Options{&kWindowsToMac, false, false}, Options{&kIdentity, true, false},
                    Options{&kMacToWindows, true, false}, Options{&kMacToWindows, false, true},
                    Options{&kWindowsToMac, true, true}, Options{&kIdentity, false, true}));

TEST_F(ProcessImageTest, SynchronisingShowsBothViewsAndWritesTheFieldsIntoThePacket) {
  settings_.SynchronizeXMP = true;
  Input(Image(kIdentity));
  EXPECT_EQ(Run().Outcome, ProcessOutcome::kWritten);
  EXPECT_EQ(view_.Caption(Control::txtXMP0), "'" + coding::EncodeUtf8Bytes(kPacket) + "'");
  EXPECT_EQ(view_.Caption(Control::lblLentxtXMP0), "xmp avant=" + std::to_string(kPacket.size()));
  EXPECT_EQ(view_.Caption(Control::lblLentxtXMP1), "xmp apr\xC3\xA8s=" + std::to_string(kPacket.size()));

  const std::string output = Output();
  const std::size_t room = output.find("<?xpacket begin=");
  const std::string packet = output.substr(room, kPacket.size());
  EXPECT_EQ(view_.Caption(Control::txtXMP1), "'" + coding::EncodeUtf8Bytes(packet) + "'");
  EXPECT_NE(packet.find("<rdf:li xml:lang='x-default'>Vue d'\xC3\xA0t\xC3\xA9</rdf:li>"), std::string::npos);
  EXPECT_NE(packet.find("<photoshop:City>Orl\xC3\xA9"
                        "ans</photoshop:City>"),
            std::string::npos);
  EXPECT_NE(packet.find("<dc:subject><rdf:Bag><rdf:li>\xC3\xA9t\xC3\xA9</rdf:li><rdf:li>b</rdf:li>"),
            std::string::npos);
  EXPECT_TRUE(packet.ends_with("   <?xpacket end='w'?>\n"));
}

TEST_F(ProcessImageTest, AnImageWithoutPacketIsWrittenAndLeavesThePreviousViews) {
  settings_.SynchronizeXMP = true;
  view_.SetCaption(Control::txtXMP0, "'previous'");
  view_.SetCaption(Control::lblLentxtXMP1, "xmp apr\xC3\xA8s=8");
  const std::string input = Jpeg({Block(kIdentity)});
  Input(input);
  EXPECT_EQ(Run().Outcome, ProcessOutcome::kWritten);
  EXPECT_EQ(Output(), Jpeg({Block(kMacToWindows)}));
  EXPECT_EQ(view_.Caption(Control::txtXMP0), "'previous'");
  EXPECT_EQ(view_.Caption(Control::lblLentxtXMP1), "xmp apr\xC3\xA8s=8");
  EXPECT_TRUE(view_.Messages.empty());
}

TEST_F(ProcessImageTest, APacketThatDoesNotParseIsReportedAndNothingIsWritten) {
  settings_.SynchronizeXMP = true;
  settings_.RemoveXMP = true;
  const std::string packet =
      "<?xpacket begin='\xEF\xBB\xBF'?>\n<x:xmpmeta>\n <b>Caf\xE9</c>\n</x:xmpmeta>\n<?xpacket end='w'?>";
  Input(Image(kIdentity, packet));
  const ProcessResult result = Run();
  EXPECT_EQ(result.Outcome, ProcessOutcome::kPacketUnparsable);
  EXPECT_FALSE(OutputWritten(result.Outcome));
  ASSERT_EQ(view_.Messages.size(), 1u);
  EXPECT_EQ(view_.Messages[0].Text,
            "Parsing error:<?xpacket begin='\xC3\xAF\xC2\xBB\xC2\xBF'?>\n<x:xmpmeta>\n "
            "<b>Caf\xC3\xA9</c>\n</x:xmpmeta>\n<?xpacket end='w'?>, Ligne: 3, position: 11 "
            "<b>Caf\xC3\xA9</c> Start-end tags mismatch");
  EXPECT_EQ(view_.Messages[0].Title, "Quillmark");
  EXPECT_EQ(view_.Messages[0].Buttons, app::MessageButtons::kOk);
  EXPECT_EQ(view_.Caption(Control::lblLentxtXMP0), "xmp avant=" + std::to_string(packet.size()));
  EXPECT_EQ(view_.Caption(Control::txtXMP1), "");
  EXPECT_EQ(FilesInOutput(), 0u);
  EXPECT_EQ(fields_.City,
            "Orl\xE9"
            "ans")
      << "the fields are read all the same";
}

TEST_F(ProcessImageTest, APacketWithADoctypeIsRefusedLikeOneThatDoesNotParse) {
  settings_.SynchronizeXMP = true;
  Input(Image(kIdentity,
              "<?xpacket begin=''?>\n<!DOCTYPE x [<!ENTITY a 'aaaa'>]>\n<x>&a;</x>\n<?xpacket end='w'?>"));
  EXPECT_EQ(Run().Outcome, ProcessOutcome::kPacketUnparsable);
  ASSERT_EQ(view_.Messages.size(), 1u);
  EXPECT_TRUE(
      view_.Messages[0].Text.ends_with(", Ligne: 2, position: 1 <!DOCTYPE x [<!ENTITY a 'aaaa'>]> DOCTYPE "
                                       "and entity declarations are not allowed in "
                                       "an XMP packet"));
  EXPECT_EQ(FilesInOutput(), 0u);
}

TEST_F(ProcessImageTest, APacketThatNoLongerFitsIsKeptAsReadAndTheRestIsWritten) {
  settings_.SynchronizeXMP = true;
  const std::string packet = XmpPacket(Description(kDc), 0);
  Input(Image(kIdentity, packet));
  const ProcessResult result = Run();
  EXPECT_EQ(result.Outcome, ProcessOutcome::kWrittenPacketKept);
  EXPECT_TRUE(OutputWritten(result.Outcome));
  EXPECT_NE(result.Detail.find("does not fit its room of " + std::to_string(packet.size()) + " bytes"),
            std::string::npos);
  EXPECT_EQ(Output(), Image(kMacToWindows, packet));
  EXPECT_EQ(view_.Caption(Control::txtXMP1), view_.Caption(Control::txtXMP0));
}

TEST_F(ProcessImageTest, ASegmentRunningPastTheEndIsReadButNeitherRewrittenNorCut) {
  // A file cut short inside its XMP segment, whose packet still parses up to there.
  const std::string whole = Jpeg({Block(kIdentity), App1Xmp(kPacket + std::string(500, ' '))});
  const std::string cut = whole.substr(0, whole.find("<?xpacket end=") + 21);
  for (const bool remove : {false, true}) {
    settings_.SynchronizeXMP = !remove;
    settings_.RemoveXMP = remove;
    Input(cut);
    const ProcessResult result = Run();
    EXPECT_EQ(result.Outcome, ProcessOutcome::kWrittenPacketKept);
    EXPECT_NE(result.Detail.find("remain; the packet was kept"), std::string::npos) << result.Detail;
    EXPECT_EQ(Output(),
              Jpeg({Block(kMacToWindows), App1Xmp(kPacket + std::string(500, ' '))}).substr(0, cut.size()));
  }
}

TEST_F(ProcessImageTest, RemovalWithoutPacketWritesTheRecodedImage) {
  settings_.RemoveXMP = true;
  Input(Jpeg({App1Exif(), Block(kIdentity)}));
  EXPECT_EQ(Run().Outcome, ProcessOutcome::kWritten);
  EXPECT_EQ(Output(), Jpeg({App1Exif(), Block(kMacToWindows)}));
}

TEST_F(ProcessImageTest, WholeFileModeRecodesSynchronisesAndRemoves) {
  // Not a JPEG: the resource and the packet are found anywhere; the room runs to five bytes before the end.
  const std::string head = "not a jpeg " +
                           Irb(Iptc({{2, 90,
                                      "Orl\x8E"
                                      "ans"}})) +
                           std::string(33, '-');
  const std::string input = head + kPacket + "TAIL";
  settings_.SynchronizeXMP = true;
  Input(input, "b.tif");
  EXPECT_EQ(Run("b.tif").Outcome, ProcessOutcome::kWritten);
  const std::string output = Output("b.tif");
  ASSERT_EQ(output.size(), input.size());
  EXPECT_NE(output.find("<photoshop:City>Orl\xC3\xA9"
                        "ans</photoshop:City>"),
            std::string::npos);
  EXPECT_TRUE(output.ends_with("<?xpacket end='w'?>\nTAIL"));

  settings_.SynchronizeXMP = false;
  settings_.RemoveXMP = true;
  EXPECT_EQ(Run("b.tif").Outcome, ProcessOutcome::kWritten);
  const std::size_t length = input.size() - (head.size() - 33) - 6;
  EXPECT_EQ(Output("b.tif").size(), input.size() - length - 2);
  std::string expected = head.substr(0, head.size() - 33) + "TAIL";
  expected[expected.find("Orl") + 3] = '\xE9';
  EXPECT_EQ(Output("b.tif"), expected);
}

TEST_F(ProcessImageTest, TheNameIsCutAtItsFirstNul) {
  Input(Image(kIdentity));
  EXPECT_EQ(Run("a.jpg\0\0\0garbage"sv).Outcome, ProcessOutcome::kWritten);
  EXPECT_TRUE(OutputExists());
  EXPECT_EQ(FilesInOutput(), 1u);
}

TEST_F(ProcessImageTest, AMissingOrEmptyFileGivesNoOutputAndNoMessage) {
  EXPECT_EQ(Run("missing.jpg").Outcome, ProcessOutcome::kNothingToRead);
  Input("", "empty.jpg");
  EXPECT_EQ(Run("empty.jpg").Outcome, ProcessOutcome::kNothingToRead);
  std::filesystem::create_directory(in_ + "folder.jpg");
  EXPECT_EQ(Run("folder.jpg").Outcome, ProcessOutcome::kNothingToRead);
  EXPECT_EQ(FilesInOutput(), 0u);
  EXPECT_TRUE(view_.Messages.empty());
}

TEST_F(ProcessImageTest, AShortReadShowsItsMessageAndWritesNothing) {
  // Kernel attribute files claim a page and hold a line: a real read that falls short of the size.
  std::string folder;
  for (const char* candidate : {"/sys/kernel/mm/transparent_hugepage/", "/sys/power/", "/sys/kernel/"}) {
    for (const char* name : {"enabled", "state", "profiling"}) {
      std::error_code ec;
      if (folder.empty() && std::filesystem::file_size(std::string(candidate) + name, ec) == 4096 && !ec) {
        folder = candidate;
        settings_.InputFolder = folder;
        fields_.City = "stale";
        settings_.OutputFolder = out_;
        EXPECT_EQ(ProcessImage(name, settings_, fields_, buffer_, view_).Outcome, ProcessOutcome::kShortRead);
      }
    }
  }
  ASSERT_FALSE(folder.empty()) << "no kernel attribute file to read short from under /sys";
  ASSERT_EQ(view_.Messages.size(), 1u);
  EXPECT_EQ(view_.Messages[0].Text, "Error reading file ...");
  EXPECT_EQ(view_.Messages[0].Title, "Quillmark");
  EXPECT_EQ(fields_, IptcFields());
  EXPECT_EQ(FilesInOutput(), 0u);
}

TEST_F(ProcessImageTest, ASameNamedOutputIsReplaced) {
  test::WriteFile(out_ + "a.jpg", std::string(100000, 'x'));
  Input(Image(kIdentity));
  settings_.DurableOutput = true;
  EXPECT_EQ(Run().Outcome, ProcessOutcome::kWritten);
  EXPECT_EQ(Output(), Image(kMacToWindows));
  EXPECT_EQ(FilesInOutput(), 1u);
}

TEST_F(ProcessImageTest, AMissingOutputFolderIsAFailureNotASuccess) {
  Input(Image(kIdentity));
  const std::string missing = out_ + "missing/";
  settings_.InputFolder = in_;
  settings_.OutputFolder = missing;
  const ProcessResult result = ProcessImage("a.jpg", settings_, fields_, buffer_, view_);
  EXPECT_EQ(result.Outcome, ProcessOutcome::kOutputFailed);
  EXPECT_NE(result.Detail.find("cannot create"), std::string::npos);
  EXPECT_EQ(FilesInOutput(), 0u);
}

// A file-size limit makes the output's writes fail part way, as a full disk would.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    std::signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &saved_);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved_); }

 private:
  rlimit saved_{};
};

TEST_F(ProcessImageTest, AFailedWriteLeavesNoPartialFileAndTheOldOutputInPlace) {
  // Small enough to be written from memory, and big enough for the kernel copy of the tail.
  for (const std::size_t padding : {std::size_t{0}, std::size_t{300000}}) {
    const std::string input = Jpeg({Block(kIdentity), std::string(padding, '\0')});
    Input(input);
    test::WriteFile(out_ + "a.jpg", "previous");
    ProcessResult result;
    {
      FileSizeLimit limit(input.size() / 2);
      result = Run();
    }
    EXPECT_EQ(result.Outcome, ProcessOutcome::kOutputFailed) << padding;
    EXPECT_NE(result.Detail.find("cannot write"), std::string::npos) << result.Detail;
    EXPECT_EQ(Output(), "previous");
    EXPECT_EQ(FilesInOutput(), 1u) << "the temporary file is removed";
  }
}

TEST_F(ProcessImageTest, ALargeImageIsWrittenWithItsTailCopiedFromTheInput) {
  std::string filler(3'000'000, '\0');
  for (std::size_t i = 0; i < filler.size(); ++i) filler[i] = static_cast<char>((i * 7919) % 251);
  const std::string tail = "\xFF\xDA\x00\x02" + filler + "\xFF\xD9";
  for (const bool remove : {false, true}) {
    settings_.SynchronizeXMP = true;
    settings_.RemoveXMP = remove;
    Input("\xFF\xD8" + App1Xmp(kPacket) + Block(kIdentity) + tail);
    EXPECT_EQ(Run().Outcome, ProcessOutcome::kWritten);
    const std::string output = Output();
    EXPECT_TRUE(output.ends_with(Block(kMacToWindows) + tail));
    EXPECT_EQ(output.size(), remove ? 2 + Block(kIdentity).size() + tail.size()
                                    : 2 + App1Xmp(kPacket).size() + Block(kIdentity).size() + tail.size());
  }
  const std::size_t grown = buffer_.size();
  settings_.RemoveXMP = false;
  Input(Image(kIdentity));
  EXPECT_EQ(Run().Outcome, ProcessOutcome::kWritten);
  EXPECT_EQ(buffer_.size(), grown) << "the buffer is reused, never shrunk";
  EXPECT_EQ(Output().size(), Image(kIdentity).size());
}

TEST_F(ProcessImageTest, ProcessingAnOutputAgainConvertsItAgain) {
  Input(Jpeg({App13(Irb(Iptc({{2, 90, "\x8E"}})))}));
  Run();
  Input(Output());
  Run();
  EXPECT_EQ(Output(), Jpeg({App13(Irb(Iptc({{2, 90, "\xC8"}})))}));
}

TEST_F(ProcessImageTest, AUtf8BlockKeepsItsBytesAndGoesIntoThePacketAsItIs) {
  settings_.SynchronizeXMP = true;
  const std::string block = App13(Irb(Iptc({{1, 90, "\x1B%G"},
                                            {2, 90,
                                             "Orl\xC3\xA9"
                                             "ans"}})));
  Input(Jpeg({block, App1Xmp(kPacket)}));
  EXPECT_EQ(Run().Outcome, ProcessOutcome::kWritten);
  const std::string output = Output();
  EXPECT_EQ(output.substr(0, 2 + block.size()), "\xFF\xD8" + block);
  EXPECT_NE(output.find("<photoshop:City>Orl\xC3\xA9"
                        "ans</photoshop:City>"),
            std::string::npos);
}

TEST(EditImage, WorksOnAnImageInMemory) {
  auto image = test::Bytes(Image(kIdentity));
  ProcessSettings settings = Settings();
  settings.RemoveXMP = true;
  IptcFields fields;
  test::RecordingView view;
  OutputPlan plan;
  EXPECT_EQ(EditImage(image, settings, fields, view, plan).Outcome, ProcessOutcome::kWritten);
  const std::string recoded = Image(kMacToWindows);
  EXPECT_EQ(test::Text(OutputBytes(image, plan)),
            recoded.substr(0, plan.CutBegin) + recoded.substr(plan.CutEnd));
  EXPECT_EQ(plan.CutEnd - plan.CutBegin, App1Xmp(kPacket).size());
  EXPECT_EQ(plan.ChangedEnd, recoded.find("\xE0 Paris") + 1) << "one past the last recoded byte";
}

}  // namespace
}  // namespace qm::engine
