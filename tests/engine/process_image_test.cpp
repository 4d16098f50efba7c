#include "engine/process_image.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>

#include "coding/windows1252.h"
#include "engine/image_file.h"
#include "engine/xmp_document.h"
#include "support/image_builders.h"
#include "support/recording_view.h"
#include "support/temp_dir.h"

namespace qm::engine {
namespace {

using namespace std::string_literals;
using namespace std::string_view_literals;
using app::Control;
using test::App1Exif;
using test::App1Xmp;
using test::Description;
using test::Jpeg;

const coding::AccentTable kMacToWindows = coding::BuildMacToWindows();
const coding::AccentTable kWindowsToMac = coding::BuildWindowsToMac();
const coding::AccentTable kIdentity = coding::IdentityTable();

// The IPTC segment of the test image, its values recoded through the table.
std::string Block(const coding::AccentTable& table) {
  const auto recode = [&table](std::string v) {
    for (char& c : v) c = static_cast<char>(table[static_cast<unsigned char>(c)]);
    return v;
  };
  // clang-format off
  return test::App13(test::Irb(test::Iptc({{1, 90, "\x1B%A"}, {2, 0, "\x00\x04"s},
      {2, 5, recode("Vue d'\x88t\x8E")}, {2, 25, recode("\x8Et\x8E")}, {2, 25, "b"},
      {2, 90, recode("S\x8Ete")}})));
  // clang-format on
}

const std::string kPacket = test::XmpPacket(
    Description(test::kDc,
                "<dc:title><rdf:Alt><rdf:li xml:lang='x-default'>Old</rdf:li></rdf:Alt></dc:title>") +
        Description(test::kPhotoshop, "<photoshop:City>Old</photoshop:City>"),
    400);

std::string Image(const coding::AccentTable& table, const std::string& packet = kPacket) {
  return Jpeg({App1Exif(), Block(table), App1Xmp(packet)});
}

class ProcessImageTest : public testing::Test {
 protected:
  ProcessResult Run(const std::string& input, std::string_view name = "a.jpg") {
    test::WriteFile(in_ + std::string(name.substr(0, name.find('\0'))), input);
    return Process(name);
  }
  ProcessResult Process(std::string_view name) {
    return ProcessImage(name, settings_, fields_, buffer_, view_);
  }
  std::string Output() const { return test::ReadFile(out_ + "a.jpg"); }
  std::size_t FilesInOutput() const {
    const std::filesystem::directory_iterator files(out_);
    return static_cast<std::size_t>(std::distance(begin(files), end(files)));
  }

  test::TempDir dir_;
  std::string in_ = dir_.Folder("in");
  std::string out_ = dir_.Folder("out");
  std::shared_ptr<XmpDocument> document_ = CreateXmpDocument();
  ProcessSettings settings_{.InputFolder = in_,
                            .OutputFolder = out_,
                            .ActiveAccentTable = &kMacToWindows,
                            .Document = document_.get()};
  IptcFields fields_;
  std::vector<std::uint8_t> buffer_;
  test::RecordingView view_;
};

class ProcessImageModes
    : public ProcessImageTest,
      public testing::WithParamInterface<std::tuple<const coding::AccentTable*, bool, bool>> {};

TEST_P(ProcessImageModes, ChangeOnlyIptcValuesAndTheShownPacketOrCutOnlyItsSegment) {
  const auto [table, synchronize, remove] = GetParam();
  settings_.ActiveAccentTable = table;
  settings_.SynchronizeXMP = synchronize;
  settings_.RemoveXMP = remove;
  ASSERT_EQ(Run(Image(kIdentity)).Outcome, ProcessOutcome::kWritten);
  const std::string output = Output();
  const std::string expected = Image(*table);
  const std::size_t segment = 2 + App1Exif().size() + Block(kIdentity).size();
  const std::size_t room = segment + 33;
  // Each mode pins the whole file: the camera data and everything from SOS on stay as they were.
  if (remove) {
    EXPECT_EQ(output, expected.substr(0, segment) + test::ImageData());
  } else if (synchronize) {
    const std::string packet = output.substr(room, kPacket.size());
    EXPECT_EQ(output, expected.substr(0, room) + packet + expected.substr(room + kPacket.size()));
    EXPECT_EQ(packet.find(">Old<"), std::string::npos) << "the title and the city take the IPTC values";
    EXPECT_EQ(view_.Caption(Control::txtXMP0), "'" + coding::EncodeUtf8Bytes(kPacket) + "'");
    EXPECT_EQ(view_.Caption(Control::lblLentxtXMP0), "xmp avant=" + std::to_string(kPacket.size()));
    EXPECT_EQ(view_.Caption(Control::txtXMP1), "'" + coding::EncodeUtf8Bytes(packet) + "'");
    EXPECT_EQ(view_.Caption(Control::lblLentxtXMP1), "xmp apr\xC3\xA8s=" + std::to_string(kPacket.size()));
  } else {
    EXPECT_EQ(output, expected);
  }
  EXPECT_TRUE(view_.Messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Options, ProcessImageModes,
                         testing::Combine(testing::Values(&kIdentity, &kMacToWindows, &kWindowsToMac),
                                          testing::Bool(), testing::Bool()));

TEST_F(ProcessImageTest, APacketThatDoesNotParseIsReportedAndNothingIsWritten) {
  settings_.SynchronizeXMP = settings_.RemoveXMP = true;
  EXPECT_EQ(Run(Image(kIdentity,
                      "<?xpacket begin='\xEF\xBB\xBF'?>\n<x>\n <b>Caf\xE9</c>\n</x>\n<?xpacket end='w'?>"))
                .Outcome,
            ProcessOutcome::kPacketUnparsable);
  ASSERT_EQ(view_.Messages.size(), 1u);
  EXPECT_EQ(
      view_.Messages[0].Text,
      "Parsing error:<?xpacket begin='\xC3\xAF\xC2\xBB\xC2\xBF'?>\n<x>\n <b>Caf\xC3\xA9</c>\n</x>\n<?xpacket "
      "end='w'?>, Ligne: 3, position: 11 <b>Caf\xC3\xA9</c> Start-end tags mismatch");
  EXPECT_EQ(view_.Messages[0].Title, "Quillmark");
  EXPECT_EQ(FilesInOutput(), 0u);
  EXPECT_EQ(fields_.City, "S\xE9te");
}

TEST_F(ProcessImageTest, APacketThatCannotBeRewrittenIsKeptAsReadAndTheRestIsWritten) {
  settings_.SynchronizeXMP = true;
  const std::string tight = test::XmpPacket(Description(test::kDc), 0);  // no room for the new title
  EXPECT_EQ(Run(Image(kIdentity, tight)).Outcome, ProcessOutcome::kWrittenPacketKept);
  EXPECT_EQ(Output(), Image(kMacToWindows, tight));
  EXPECT_EQ(view_.Caption(Control::txtXMP1), view_.Caption(Control::txtXMP0));
  // A file cut short inside its XMP segment: neither rewritten nor cut out, which would take the rest along.
  const std::string whole = Jpeg({Block(kIdentity), App1Xmp(kPacket + std::string(500, ' '))});
  const std::size_t cut = whole.find("<?xpacket end=") + 21;
  for (const bool remove : {false, true}) {
    settings_.SynchronizeXMP = !remove;
    settings_.RemoveXMP = remove;
    const ProcessResult result = Run(whole.substr(0, cut));
    EXPECT_EQ(result.Outcome, ProcessOutcome::kWrittenPacketKept);
    EXPECT_NE(result.Detail.find("remain; the packet was kept"), std::string::npos) << result.Detail;
    EXPECT_EQ(Output(),
              Jpeg({Block(kMacToWindows), App1Xmp(kPacket + std::string(500, ' '))}).substr(0, cut));
  }
}

TEST_F(ProcessImageTest, WholeFileModeFindsBothBlocksAnywhereAndAUtf8BlockIsTakenAsItIs) {
  // Record 1 declares UTF-8: the E-acute (0xC3 0x89) is neither recoded (0x89 is a Macintosh letter) nor
  // encoded a second time in the packet.
  const std::string head =
      "not a jpeg " +
      test::Irb(test::Iptc({{1, 0, "\x00\x04"s}, {1, 90, "\x1B%G"}, {2, 90, "\xC3\x89vian"}})) +
      std::string(33, '-');
  settings_.SynchronizeXMP = true;
  EXPECT_EQ(Run(head + kPacket + "TAIL").Outcome, ProcessOutcome::kWritten);
  EXPECT_EQ(fields_.City, "\xC3\x89vian");
  EXPECT_NE(Output().find("<photoshop:City>\xC3\x89vian</photoshop:City>"), std::string::npos);
  EXPECT_TRUE(Output().ends_with("<?xpacket end='w'?>\nTAIL"));
  settings_.SynchronizeXMP = false;
  settings_.RemoveXMP = true;
  EXPECT_EQ(Run(head + kPacket + "TAIL", "a.jpg\0\0padding"sv).Outcome, ProcessOutcome::kWritten);
  EXPECT_EQ(Output(), head.substr(0, head.size() - 33) + "TAIL");
}

TEST_F(ProcessImageTest, NothingToReadOrAShortReadWritesNothing) {
  EXPECT_EQ(Process("missing.jpg").Outcome, ProcessOutcome::kNothingToRead);
  EXPECT_EQ(Run("", "empty.jpg").Outcome, ProcessOutcome::kNothingToRead);
  EXPECT_TRUE(view_.Messages.empty());
  // A kernel attribute file claims a page and holds a line: a real read that falls short of the size.
  const std::string attribute = "/sys/kernel/mm/transparent_hugepage/enabled";
  ASSERT_EQ(std::filesystem::file_size(attribute), 4096u) << "needs " << attribute << " to read short";
  settings_.InputFolder = "/sys/kernel/mm/transparent_hugepage/";
  EXPECT_EQ(Process("enabled").Outcome, ProcessOutcome::kShortRead);
  ASSERT_EQ(view_.Messages.size(), 1u);
  EXPECT_EQ(view_.Messages[0].Text, "Error reading file ...");
  EXPECT_EQ(view_.Messages[0].Title, "Quillmark");
  EXPECT_EQ(FilesInOutput(), 0u);
}

TEST_F(ProcessImageTest, AFailedWriteIsAnOutcomeAndLeavesTheSameNamedFileAsItWas) {
  // Written from memory, then with the kernel copy of a long tail; a file-size limit fails the writes part
  // way.
  for (const std::size_t padding : {0, 300000}) {
    test::WriteFile(out_ + "a.jpg", "previous");
    const std::string input = Jpeg({Block(kIdentity), std::string(padding, '\0')});
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit limit = saved;
    limit.rlim_cur = input.size() / 2;
    test::WriteFile(in_ + "a.jpg", input);
    setrlimit(RLIMIT_FSIZE, &limit);
    const ProcessResult result = Process("a.jpg");
    setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_EQ(result.Outcome, ProcessOutcome::kOutputFailed);
    EXPECT_NE(result.Detail.find("cannot write"), std::string::npos) << result.Detail;
    EXPECT_EQ(Output(), "previous");
    EXPECT_EQ(FilesInOutput(), 1u) << "the temporary file is gone";
    PendingOutput pending;  // written in full, but in place only once finished
    settings_.Pending = &pending;
    EXPECT_EQ(Process("a.jpg").Outcome, ProcessOutcome::kWritten);
    EXPECT_EQ(Output(), "previous");
    EXPECT_EQ(pending.Finish(true), "");
    settings_.Pending = nullptr;
    EXPECT_EQ(Output(), Jpeg({Block(kMacToWindows), std::string(padding, '\0')}));
  }
  for (const std::string& folder : {out_ + "missing/", out_ + "\0/"s}) {
    settings_.OutputFolder = folder;
    EXPECT_EQ(Process("a.jpg").Outcome, ProcessOutcome::kOutputFailed);
  }
  EXPECT_EQ(FilesInOutput(), 1u);
}

TEST_F(ProcessImageTest, AFolderUnderTheOutputNameIsKeptAndALinkIsReplacedNotFollowed) {
  std::filesystem::create_directory(out_ + "a.jpg");
  test::WriteFile(out_ + "a.jpg/inside.jpg", "kept");
  EXPECT_EQ(Run(Jpeg({Block(kIdentity)})).Outcome, ProcessOutcome::kOutputFailed);
  EXPECT_EQ(test::ReadFile(out_ + "a.jpg/inside.jpg"), "kept");
  EXPECT_EQ(FilesInOutput(), 1u);

  std::filesystem::remove_all(out_ + "a.jpg");
  test::WriteFile(dir_.Path() / "target.jpg", "target");
  std::filesystem::create_symlink(dir_.Path() / "target.jpg", out_ + "a.jpg");
  EXPECT_EQ(Process("a.jpg").Outcome, ProcessOutcome::kWritten);
  EXPECT_FALSE(std::filesystem::is_symlink(out_ + "a.jpg"));
  EXPECT_EQ(Output(), Jpeg({Block(kMacToWindows)}));
  EXPECT_EQ(test::ReadFile(dir_.Path() / "target.jpg"), "target");
  EXPECT_EQ(FilesInOutput(), 1u);
}

}  // namespace
}  // namespace qm::engine
