// POSIX only: FIFOs, writers in other processes, file-size limits and unprivileged children.
#ifndef _WIN32

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/batch_fixture.h"
#include "app/batch_run.h"
#include "app/forked_child.h"
#include "support/image_builders.h"

namespace qm::app {
namespace {

namespace fs = std::filesystem;
using test::Names;
using test::ReadFile;
using test::WriteFile;
using N = std::vector<std::string>;
using Fate = AppState::EntryFate;

constexpr fs::perms kReadOnly = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
constexpr fs::perms kNoWrite =
    kReadOnly | fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec;

class ScanTest : public test::BatchFixture {};

TEST_F(ScanTest, DotNamesFoldersAndSpecialFilesStayAndNeverReachTheEngine) {
  fs::create_directory(input_ + "folder");
  fs::permissions(input_ + "folder", kNoWrite);
  Put(input_, {".DS_Store", "._photo.jpg"});
  ASSERT_EQ(::mkfifo((input_ + "fifo").c_str(), 0666), 0);
  fs::create_directory_symlink(archive_, input_ + "to-folder");
  fs::create_symlink(input_ + "nowhere", input_ + "dangling");
  ScanInputFolder(state_, view_);
  EXPECT_EQ(state_.ScanProcessed, 0);
  EXPECT_EQ(Names(input_), (N{".DS_Store", "._photo.jpg", "dangling", "fifo", "folder", "to-folder"}));
  EXPECT_EQ(Names(output_), N{});
  EXPECT_TRUE(reports_.empty());
}

// A window whose second message box fails: an error that is not the scan's own, in the middle of an image.
class FailingView : public test::RecordingView {
 public:
  Answer ShowMessage(const Message& message) override {
    if (!Messages.empty()) throw std::runtime_error("the window is gone");
    return RecordingView::ShowMessage(message);
  }
};

TEST_F(ScanTest, AnUnparsablePacketOrAnErrorKeepsOnlyThatImageInPlace) {
  const std::string bad = test::Jpeg({test::App1Xmp(test::XmpPacket("<rdf:Description></rdf:Descr>"))});
  WriteFile(input_ + "bad1.jpg", bad);
  WriteFile(input_ + "bad2.jpg", bad);
  Put(input_, {"good.jpg"});
  state_.UseArchive = true;
  state_.SynchronizeXMP = true;
  FailingView view;
  ScanInputFolder(state_, view);
  EXPECT_EQ(view.Messages.at(0).Title, "Quillmark");
  EXPECT_EQ(view.Messages.at(0).Text.rfind("Parsing error:", 0), 0u);
  EXPECT_EQ(state_.ScanProcessed, 3);
  EXPECT_EQ(Names(input_), (N{"bad1.jpg", "bad2.jpg"}));
  EXPECT_EQ(Names(output_), N{"good.jpg"});
  N reasons;
  for (const auto& r : reports_) reasons.push_back(r.Reason);
  std::sort(reasons.begin(), reasons.end());
  ASSERT_EQ(reasons.size(), 3u);
  EXPECT_EQ(reasons[0], "");
  EXPECT_EQ(reasons[1], "error: the window is gone");
  EXPECT_EQ(reasons[2].rfind("its XMP packet does not parse (", 0), 0u) << reasons[2];
}

TEST_F(ScanTest, TheArchiveKeepsTheLatestCopyOfEachName) {
  WriteFile(archive_ + "photo.jpg", "older");
  WriteFile(input_ + "photo.jpg", "newer");
  state_.UseArchive = true;
  ScanInputFolder(state_, view_);
  EXPECT_EQ(ReadFile(archive_ + "photo.jpg"), "newer");
  EXPECT_EQ(ReadFile(output_ + "photo.jpg"), "newer");
  EXPECT_EQ(Names(input_), N{});
  EXPECT_EQ(reports_.at(0).Fate, Fate::kArchived);
}

TEST_F(ScanTest, WithoutTheArchiveOnlyInputsThatCannotBeDeletedStay) {
  Put(input_, {"a.jpg", "locked.jpg", "c.jpg"});
  fs::permissions(input_ + "locked.jpg", kReadOnly);
  ScanInputFolder(state_, view_);
  EXPECT_EQ(Names(input_), N{"locked.jpg"});
  EXPECT_EQ(Names(output_), (N{"a.jpg", "c.jpg", "locked.jpg"}));
  EXPECT_EQ(state_.ScanProcessed, 3);
  for (const auto& r : reports_) {
    EXPECT_EQ(r.Fate, r.Name == "locked.jpg" ? Fate::kKept : Fate::kDeleted) << r.Name;
  }
}

TEST_F(ScanTest, ALinkIsReadThroughButOnlyTheLinkIsMovedOrDeleted) {
  const fs::path target = dir_.Path() / "elsewhere.jpg";
  WriteFile(target, "linked");
  fs::create_symlink(target, input_ + "archived.jpg");
  state_.UseArchive = true;
  ScanInputFolder(state_, view_);
  fs::create_symlink(target, input_ + "deleted.jpg");
  state_.UseArchive = false;
  ScanInputFolder(state_, view_);
  EXPECT_TRUE(fs::is_symlink(archive_ + "archived.jpg"));
  EXPECT_EQ(ReadFile(output_ + "archived.jpg"), "linked");
  EXPECT_EQ(ReadFile(output_ + "deleted.jpg"), "linked");
  EXPECT_EQ(Names(input_), N{});
  EXPECT_EQ(ReadFile(target), "linked");
}

TEST_F(ScanTest, WithTheArchiveOptionButNoArchiveFolderInputsStay) {
  Put(input_, {"a.jpg"});
  state_.UseArchive = true;
  state_.ArchiveFolder.clear();
  ScanInputFolder(state_, view_);
  EXPECT_EQ(Names(input_), N{"a.jpg"});
  EXPECT_EQ(reports_.at(0).Reason, "no archive folder is set");
  EXPECT_EQ(state_.ScanProcessed, 1);
}

TEST_F(ScanTest, InputsStayWhenTheOutputFolderDisappearsDuringTheScan) {
  Put(input_, {"a.jpg", "b.jpg", "c.jpg"});
  state_.UseArchive = true;
  view_.OnPendingEvents = [this] {
    if (state_.ScanProcessed == 1) fs::remove_all(output_);
  };
  ScanInputFolder(state_, view_);
  EXPECT_EQ(state_.ScanProcessed, 3);
  EXPECT_EQ(Names(archive_).size(), 1u);
  EXPECT_EQ(Names(input_).size(), 2u);
  for (std::size_t i = 1; i < reports_.size(); ++i) EXPECT_FALSE(reports_[i].OutputWritten);
}

TEST_F(ScanTest, AFileThatVanishesAfterTheListingIsPassedOver) {
  Put(input_, {"a.jpg", "b.jpg", "c.jpg"});
  view_.OnPendingEvents = [this] {
    if (state_.ScanProcessed != 1) return;
    for (const std::string& name : Names(input_)) fs::remove(input_ + name);
  };
  ScanInputFolder(state_, view_);
  EXPECT_EQ(state_.ScanProcessed, 1);
  EXPECT_EQ(Names(output_).size(), 1u);
  EXPECT_EQ(reports_.size(), 1u);
}

TEST_F(ScanTest, AnOutputThatCannotBeWrittenLeavesItsInputInPlace) {
  WriteFile(input_ + "small.jpg", std::string(1000, 's'));
  WriteFile(input_ + "big.jpg", std::string(256 * 1024, 'b'));
  const int processed = test::RunInChild({.FileSizeLimit = 64 * 1024}, [this] {
    ScanInputFolder(state_, view_);
    return state_.ScanProcessed;
  });
  EXPECT_EQ(processed, 2);
  EXPECT_EQ(Names(input_), N{"big.jpg"});
  EXPECT_EQ(ReadFile(input_ + "big.jpg").size(), 256u * 1024);
  EXPECT_EQ(Names(output_), N{"small.jpg"});  // nothing half-written under any name
}

struct Lock {
  bool UseArchive;
  const char* Folder;  // made read-only, or nullptr
  bool ReadOnlyArchiveCopy;
};

class LockTest : public ScanTest, public testing::WithParamInterface<Lock> {};

TEST_P(LockTest, AnInputThatCannotLeaveStaysAndItsOutputIsWritten) {
  WriteFile(input_ + "photo.jpg", "newer");
  WriteFile(archive_ + "photo.jpg", "older");
  for (const std::string& folder : {input_, archive_, output_}) fs::permissions(folder, fs::perms::all);
  if (GetParam().ReadOnlyArchiveCopy) fs::permissions(archive_ + "photo.jpg", kReadOnly);
  if (GetParam().Folder != nullptr) fs::permissions(dir_.Path() / GetParam().Folder, kNoWrite);
  state_.UseArchive = GetParam().UseArchive;
  now_ = std::chrono::system_clock::now() +
         std::chrono::minutes(1);  // the files are older than the quiet period
  const int processed = test::RunInChild({.Unprivileged = true}, [this] {
    ScanInputFolder(state_, view_);
    return state_.ScanProcessed;
  });
  EXPECT_EQ(processed, 1);
  EXPECT_EQ(ReadFile(input_ + "photo.jpg"), "newer");
  EXPECT_EQ(ReadFile(output_ + "photo.jpg"), "newer");
  EXPECT_EQ(ReadFile(archive_ + "photo.jpg"), "older");
}

INSTANTIATE_TEST_SUITE_P(Locks, LockTest,
                         testing::Values(Lock{true, nullptr, true}, Lock{true, "archive", false},
                                         Lock{true, "in", false}, Lock{false, "in", false}));

TEST_F(ScanTest, AFileStillBeingWrittenWaitsForTheNextScan) {
  int go[2];
  ASSERT_EQ(::pipe(go), 0);
  const std::string file = input_ + "arriving.jpg";
  const pid_t writer = ::fork();
  if (writer == 0) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    char c = 0;
    const bool ok = ::write(fd, "first half, ", 12) == 12 && ::read(go[0], &c, 1) == 1 &&
                    ::write(fd, "second half", 11) == 11;
    ::_exit(ok && ::close(fd) == 0 ? 0 : 1);
  }
  for (int i = 0; i < 5000 && ReadFile(file).size() < 12; ++i) ::usleep(1000);
  ScanInputFolder(state_, view_);
  EXPECT_EQ(state_.ScanProcessed, 0);
  EXPECT_EQ(Names(output_), N{});
  ASSERT_EQ(reports_.size(), 1u);
  EXPECT_EQ(reports_[0].Reason, "it is still being written");

  ASSERT_EQ(::write(go[1], "!", 1), 1);
  int status = 0;
  ASSERT_EQ(::waitpid(writer, &status, 0), writer);
  ScanInputFolder(state_, view_);
  EXPECT_EQ(ReadFile(output_ + "arriving.jpg"), "first half, second half");
  EXPECT_EQ(Names(input_), N{});
}

}  // namespace
}  // namespace qm::app

#endif  // _WIN32
