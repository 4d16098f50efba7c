#include "engine/process_image.h"
#include "engine/temporary_files.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

#include "engine/image_edit.h"
#include "engine/image_file.h"
#include "engine/xmp_document.h"
#include "engine/xmp_packet.h"
#include "support/image_builders.h"
#include "support/temp_dir.h"

#if !defined(_WIN32)
#include <fcntl.h>
#include <linux/fiemap.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace qm::engine {
namespace {

using namespace std::string_literals;
using namespace std::string_view_literals;
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
      {2, 90, recode("S\x8Ete")}, {2, 122, "w1"}, {2, 122, "w2"}, {2, 85, "p1"}, {2, 85, "p2"}})));
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
    test::WriteFile(in_ + std::string(name), input);
    return Process(name);
  }
  ProcessResult Process(std::string_view name) { return ProcessImage(name, settings_, fields_, buffer_); }
  std::string Output() const { return test::ReadFile(out_ + "a.jpg"); }
  // What is left once the caller is done: its mark in the folder goes then.
  std::size_t FilesInOutput() const {
    ReleaseOwnTemporaryMarks();
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
};

class ProcessImageModes
    : public ProcessImageTest,
      public testing::WithParamInterface<std::tuple<const coding::AccentTable*, bool, bool>> {};

TEST_P(ProcessImageModes, ChangeOnlyIptcValuesAndThePacketOrCutOnlyItsSegment) {
  const auto [table, synchronize, remove] = GetParam();
  settings_.ActiveAccentTable = table;
  settings_.SynchronizeXMP = synchronize;
  settings_.RemoveXMP = remove;
  const ProcessResult result = Run(Image(kIdentity));
  ASSERT_EQ(result.Outcome, ProcessOutcome::kWritten);
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
    for (const char* joined : {"<photoshop:CaptionWriter>w1; w2<", "<photoshop:AuthorsPosition>p1; p2<"}) {
      EXPECT_NE(packet.find(joined), std::string::npos) << joined;
    }
    EXPECT_EQ(result.PacketAfter, packet);
  } else {
    EXPECT_EQ(output, expected);
  }
  EXPECT_EQ(result.PacketBefore, synchronize ? std::optional(kPacket) : std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(Options, ProcessImageModes,
                         testing::Combine(testing::Values(&kIdentity, &kMacToWindows, &kWindowsToMac),
                                          testing::Bool(), testing::Bool()));

// Each keeps its XMP segment as it is, writes the rest and says why.
TEST_F(ProcessImageTest, APacketThatCannotBeUsedOrRewrittenIsKeptAsReadAndTheRestIsWritten) {
  const std::string tight = test::XmpPacket(Description(test::kDc), 0);  // no room for the new title
  const std::string whole = Jpeg({Block(kIdentity), App1Xmp(kPacket + std::string(500, ' '))});
  const std::string cut = whole.substr(0, whole.find("<?xpacket end=") + 21);  // inside the segment
  const std::string short_segment = App1Xmp("<?xp") + "acket begin='' id='W5M0MpCehiHzreSzNTczkc9d'?>";
  const std::string huge =
      "8BPS" + std::string(29, '-') + "<?xpacket begin=" + std::string(kLargestPacket, ' ');
  // In both modes but the first: removal takes the tight packet away with its segment.
  const std::pair<std::string, std::string> cases[] = {
      {Image(kIdentity, tight), "the synchronised packet is 153 bytes larger than its room"},
      {cut, "the XMP segment at offset 112 claims 1480 bytes, 982 remain"},
      {Jpeg({short_segment, Block(kIdentity)}),
       "the XMP segment at offset 2 is 35 bytes long, too short to hold a packet"},
      {huge + "TAIL",
       "the packet at offset 33 is 16777232 bytes long, more than the 16 MB a packet may hold; "
       "it was not read"}};
  settings_.ActiveAccentTable = &kIdentity;
  for (const auto& [input, why] : cases) {
    for (const bool remove : {false, &input != &cases[0].first}) {
      settings_.SynchronizeXMP = !remove;
      settings_.RemoveXMP = remove;
      const ProcessResult result = Run(input);
      EXPECT_EQ(std::tie(result.Outcome, result.Detail), std::tuple(ProcessOutcome::kWrittenPacketKept, why));
      EXPECT_TRUE(Output() == input) << why;
      EXPECT_EQ(result.PacketAfter, result.PacketBefore) << why;
    }
  }
}

// NUL bytes and blanks after the closing instruction belong to the room: the packet synchronises and they
// become padding. Anything else there does not parse: nothing is written, and the result says where and why.
TEST_F(ProcessImageTest, APacketParsesWithNulBytesAndBlanksAfterItsTrailerAndNotWithAnythingElse) {
  settings_.SynchronizeXMP = settings_.RemoveXMP = true;
  for (const std::string& tail : {"\n <b>Caf\xE9</c>"s, "\0"s, "\0\0  \n\0"s}) {
    const ProcessResult result = Run(Image(kIdentity, kPacket + tail));
    EXPECT_EQ(result.PacketBefore, kPacket + tail);
    EXPECT_EQ(fields_.City, "S\xE9te");
    if (result.ParseError) {
      EXPECT_EQ(
          std::tie(result.Outcome, result.ParseError->Line, result.ParseError->Position,
                   result.ParseError->SourceText, result.ParseError->Reason),
          std::tuple(ProcessOutcome::kPacketUnparsable, 12, 11, "<b>Caf\xE9</c>", "Start-end tags mismatch"));
      EXPECT_EQ(FilesInOutput(), 0u);
      continue;
    }
    EXPECT_EQ(result.Outcome, ProcessOutcome::kWritten);
    EXPECT_TRUE(result.PacketAfter->ends_with("  <?xpacket end='w'?>\n")) << *result.PacketAfter;
    EXPECT_EQ(result.PacketAfter->size(), kPacket.size() + tail.size());
    EXPECT_NE(result.PacketAfter->find("<photoshop:City>S\xC3\xA9te</photoshop:City>"), std::string::npos);
  }
}

// Photoshop's MD5 of the IPTC data (resource 0x0425): renewed when it was current before the recoding,
// whether it covered the data's padding byte or not; left alone when it was stale or nothing changed.
TEST_F(ProcessImageTest, TheIptcDigestIsRenewedWhenItWasCurrent) {
  const std::string mac = test::Iptc({{2, 90, "S\x8Ete"}}), windows = test::Iptc({{2, 90, "S\xE9te"}});
  const auto image = [](const std::string& iptc, const std::string& digest) {
    return Jpeg({test::App13(test::Irb(iptc) + test::Irb("x", "", 0x03ED) + test::Irb(digest, "", 0x0425))});
  };
  // The MD5 of the data coded for the Macintosh and for Windows, then of the same with the padding byte; a
  // stale digest; a resource one byte short of a digest.
  const std::string md5[] = {"\x5E\x67\x7C\x75\x18\x36\xB3\x50\x3E\x26\x59\x46\x74\x03\xD5\xC0",
                             "\x84\x04\x41\x84\xBB\xAA\x10\x63\xEE\xAA\x20\xB0\xC0\x9E\xE0\x38",
                             "\xAF\x29\xDA\x61\xB5\x5B\x3E\xF0\xC3\x2F\x4B\xA4\x61\xB0\xDC\x22",
                             "\x96\xA4\x48\x14\xDE\x94\x83\x9F\x4F\xD8\x60\xBA\x76\x15\x59\x6E",
                             std::string(16, '\x11'),
                             md5[0].substr(0, 15)};
  for (const auto& [table, before, after] : {std::tuple{&kMacToWindows, 0, 1},
                                             {&kMacToWindows, 2, 3},
                                             {&kMacToWindows, 4, 4},
                                             {&kMacToWindows, 5, 5},
                                             {&kIdentity, 0, 0}}) {
    settings_.ActiveAccentTable = table;
    ASSERT_EQ(Run(image(mac, md5[before])).Outcome, ProcessOutcome::kWritten);
    EXPECT_EQ(Output(), image(table == &kIdentity ? mac : windows, md5[after])) << before;
  }
}

TEST_F(ProcessImageTest, WholeFileModeFindsBothBlocksAnywhereKeepsThePacketAndTakesAUtf8BlockAsItIs) {
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
  // Taking the packet out of a file searched whole would take the rest of the file with it.
  settings_.SynchronizeXMP = false;
  settings_.RemoveXMP = true;
  EXPECT_EQ(Run(head + kPacket + "TAIL").Detail,
            "the file is no JPEG image: its packet lies in no segment that could be taken out");
  EXPECT_EQ(Output(), head + kPacket + "TAIL");
}

#if !defined(_WIN32)

TEST_F(ProcessImageTest, NothingToReadOrAShortReadWritesNothing) {
  EXPECT_EQ(Process("missing.jpg").Outcome, ProcessOutcome::kNothingToRead);
  test::WriteFile(in_ + "a.jpg", Jpeg({Block(kIdentity)}));
  EXPECT_EQ(Process("a.jpg\0.txt"sv).Outcome, ProcessOutcome::kNothingToRead);  // never "a.jpg"
  EXPECT_EQ(Run("", "empty.jpg").Outcome, ProcessOutcome::kNothingToRead);
  // A link is never followed, whatever it points to.
  test::WriteFile(dir_.Path() / "elsewhere.jpg", Jpeg({Block(kIdentity)}));
  std::filesystem::create_symlink(dir_.Path() / "elsewhere.jpg", in_ + "link.jpg");
  EXPECT_EQ(Process("link.jpg").Outcome, ProcessOutcome::kNothingToRead);
  // A kernel attribute file claims a page and holds a line: a real read that falls short of the size.
  const std::string attribute = "/sys/kernel/mm/transparent_hugepage/enabled";
  ASSERT_EQ(std::filesystem::file_size(attribute), 4096u) << "needs " << attribute << " to read short";
  settings_.InputFolder = "/sys/kernel/mm/transparent_hugepage/";
  EXPECT_EQ(Process("enabled").Outcome, ProcessOutcome::kShortRead);
  EXPECT_EQ(FilesInOutput(), 0u);
}

TEST_F(ProcessImageTest, AFailedWriteIsAnOutcomeAndLeavesTheSameNamedFileAsItWas) {
  // Short, then with a long tail; a file-size limit fails the writes part way. The reason names the output,
  // not its temporary file, so that it reads the same at every scan.
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
    EXPECT_EQ(result.Detail, "cannot write the output " + out_ + "a.jpg: File too large");
    EXPECT_EQ(Output(), "previous");
    EXPECT_EQ(FilesInOutput(), 1u) << "the temporary file is gone";
    PendingOutput pending;  // written in full, but in place only once finished
    settings_.Pending = &pending;
    EXPECT_EQ(Process("a.jpg").Outcome, ProcessOutcome::kWritten);
    EXPECT_EQ(Output(), "previous");
    EXPECT_EQ(pending.Finish(true), "");
    EXPECT_TRUE(pending.Replaced());
    EXPECT_EQ(pending.FreshBytes(), Output().size()) << "nothing is shared here: all of it is to be written";
    settings_.Pending = nullptr;
    EXPECT_EQ(Output(), Jpeg({Block(kMacToWindows), std::string(padding, '\0')}));
  }
  for (const std::string& folder : {out_ + "missing/", out_ + "\0/"s}) {
    settings_.OutputFolder = folder;
    EXPECT_EQ(Process("a.jpg").Outcome, ProcessOutcome::kOutputFailed);
  }
  EXPECT_EQ(FilesInOutput(), 1u);
}

#endif

TEST_F(ProcessImageTest, AFolderUnderTheOutputNameIsKept) {
  std::filesystem::create_directory(out_ + "a.jpg");
  test::WriteFile(out_ + "a.jpg/inside.jpg", "kept");
  EXPECT_EQ(Run(Jpeg({Block(kIdentity)})).Outcome, ProcessOutcome::kOutputFailed);
  EXPECT_EQ(test::ReadFile(out_ + "a.jpg/inside.jpg"), "kept");
  EXPECT_EQ(FilesInOutput(), 1u);
}

#if !defined(_WIN32)

TEST_F(ProcessImageTest, ALinkUnderTheOutputNameIsReplacedNotFollowed) {
  test::WriteFile(in_ + "a.jpg", Jpeg({Block(kIdentity)}));
  EXPECT_FALSE(Process("a.jpg").ReplacedOutput);
  test::WriteFile(dir_.Path() / "target.jpg", "target");
  std::filesystem::remove(out_ + "a.jpg");
  std::filesystem::create_symlink(dir_.Path() / "target.jpg", out_ + "a.jpg");
  EXPECT_TRUE(Process("a.jpg").ReplacedOutput);
  EXPECT_FALSE(std::filesystem::is_symlink(out_ + "a.jpg"));
  EXPECT_EQ(Output(), Jpeg({Block(kMacToWindows)}));
  EXPECT_EQ(test::ReadFile(dir_.Path() / "target.jpg"), "target");
  EXPECT_EQ(FilesInOutput(), 1u);
}

// The bytes of the file whose blocks another file shares.
std::uint64_t SharedBytes(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  constexpr std::size_t kExtents = 256;
  std::vector<std::uint8_t> space(sizeof(fiemap) + kExtents * sizeof(fiemap_extent));
  auto* map = reinterpret_cast<fiemap*>(space.data());
  map->fm_length = FIEMAP_MAX_OFFSET;
  map->fm_flags = FIEMAP_FLAG_SYNC;
  map->fm_extent_count = kExtents;
  std::uint64_t shared = 0;
  if (fd >= 0 && ::ioctl(fd, FS_IOC_FIEMAP, map) == 0) {
    for (std::uint32_t i = 0; i < map->fm_mapped_extents; ++i) {
      if (map->fm_extents[i].fe_flags & FIEMAP_EXTENT_SHARED) shared += map->fm_extents[i].fe_length;
    }
  }
  if (fd >= 0) ::close(fd);
  return shared;
}

// Where the file system shares blocks between files, the output shares the input's but for the blocks the
// edits touch, written as edited: its bytes are those of the same edit in memory. Taking the packet out moves
// what follows, so there the bytes are copied.
TEST_F(ProcessImageTest, OnAFileSystemThatSharesBlocksTheOutputSharesAllButTheEditedBlocksWithItsInput) {
  // An XFS with shared blocks in a sparse file of 512 MB, its least, mounted through a loop device.
  const std::string image = (dir_.Path() / "xfs.img").string(), xfs = dir_.Folder("xfs");
  const std::string mount = "truncate -s 512M " + image + " && mkfs.xfs -q -m reflink=1 " + image +
                            " && mount -o loop " + image + " " + xfs;
  ASSERT_EQ(std::system((mount + " >/dev/null 2>&1").c_str()), 0) << mount << ": needs root and xfsprogs";
  const std::shared_ptr<void> unmount(nullptr, [&xfs](void*) {
    ReleaseOwnTemporaryMarks();  // they hold the output folder open
    EXPECT_EQ(std::system(("umount " + xfs).c_str()), 0);
  });
  const std::string in = dir_.Folder("xfs/in"), out = dir_.Folder("xfs/out");
  settings_.InputFolder = in;
  settings_.OutputFolder = out;
  std::string input = Image(kIdentity);
  std::mt19937 random(17);
  while (input.size() < (4u << 20)) input.push_back(static_cast<char>(random()));
  for (const bool remove : {false, true}) {
    settings_.SynchronizeXMP = !remove;
    settings_.RemoveXMP = remove;
    test::WriteFile(in + "a.jpg", input);
    ::sync();  // a clone of data still on their way to the device waits for them; these are there
    PendingOutput pending;
    settings_.Pending = &pending;
    ASSERT_EQ(Process("a.jpg").Outcome, ProcessOutcome::kWritten) << remove;
    settings_.Pending = nullptr;
    ASSERT_EQ(pending.Finish(true), "");
    std::vector<std::uint8_t> edited = test::Bytes(input);
    OutputPlan plan;
    IptcFields fields;
    ASSERT_EQ(EditImage(edited, settings_, fields, plan).Outcome, ProcessOutcome::kWritten);
    EXPECT_TRUE(test::ReadFile(out + "a.jpg") == test::Text(OutputBytes(edited, plan))) << remove;
    // What the output's flush has to write, which decides how many outputs are flushed together: the edited
    // blocks only, or all of it when the cut moved the rest off the blocks' edges.
    if (!remove) {
      EXPECT_GE(SharedBytes(out + "a.jpg"), input.size() - (64u << 10));
      EXPECT_GT(pending.FreshBytes(), 0u);
      EXPECT_LE(pending.FreshBytes(), 64u << 10);
    } else {
      EXPECT_EQ(pending.FreshBytes(), std::filesystem::file_size(out + "a.jpg"));
    }
  }
}

// Memory does not grow with the file: a 3 GB file whose metadata lie at its start, holes after them, is
// processed in a few megabytes (it used to be read whole), and its output keeps the holes.
TEST_F(ProcessImageTest, AHugeFileIsProcessedInLittleMemoryAndItsHolesStayHoles) {
  constexpr std::uint64_t kHuge = std::uint64_t{3} << 30;
  const std::string head = Image(kIdentity);
  test::WriteFile(in_ + "small.jpg", head);
  test::WriteFile(in_ + "a.jpg", head);
  std::filesystem::resize_file(in_ + "a.jpg", kHuge);
  settings_.SynchronizeXMP = true;
  ASSERT_EQ(Process("small.jpg").Outcome, ProcessOutcome::kWritten);
  const pid_t child = ::fork();
  if (child == 0) {
    rusage before{}, after{};
    ::getrusage(RUSAGE_SELF, &before);
    const bool written = Process("a.jpg").Outcome == ProcessOutcome::kWritten;
    ::getrusage(RUSAGE_SELF, &after);
    ::_exit(!written ? 1 : after.ru_maxrss - before.ru_maxrss > 64 * 1024 ? 2 : 0);
  }
  int status = -1;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_EQ(status, 0) << "1: not written, 2: it took more than 64 MB";
  struct stat st {};
  ASSERT_EQ(::stat((out_ + "a.jpg").c_str(), &st), 0);
  EXPECT_EQ(static_cast<std::uint64_t>(st.st_size), kHuge);
  EXPECT_LT(st.st_blocks * 512, 16 << 20);
  std::ifstream output(out_ + "a.jpg", std::ios::binary);
  std::string start(head.size(), '\0');
  output.read(start.data(), static_cast<std::streamsize>(start.size()));
  EXPECT_TRUE(start == test::ReadFile(out_ + "small.jpg"));
}

#endif

}  // namespace
}  // namespace qm::engine
