// POSIX only: FIFOs, file-size limits and unprivileged children.
#ifndef _WIN32

#include <sys/stat.h>

#include <fstream>
#include <set>

#include "app/app_fixture.h"
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

constexpr fs::perms kNoWrite = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read |
                               fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec;

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
  EXPECT_EQ(view.Messages.at(0).Text.rfind("Parsing error:", 0), 0u);
  EXPECT_EQ(state_.ScanProcessed, 3);
  EXPECT_EQ(Names(input_), (N{"bad1.jpg", "bad2.jpg"}));
  EXPECT_EQ(Names(output_), N{"good.jpg"});
  std::multiset<std::string> reasons;  // the parser's own words follow the fixed text in brackets
  for (const auto& r : reports_) reasons.insert(r.Reason.substr(0, 31));
  EXPECT_EQ(reasons,
            (std::multiset<std::string>{"", "error: the window is gone", "its XMP packet does not parse ("}));
}

TEST_F(ScanTest, TheArchiveKeepsTheLatestCopyAndALinkIsReadThroughButOnlyTheLinkIsMovedOrDeleted) {
  WriteFile(archive_ + "photo.jpg", "older");
  WriteFile(input_ + "photo.jpg", "newer");
  const fs::path target = dir_.Path() / "elsewhere.jpg";
  WriteFile(target, "linked");
  fs::create_symlink(target, input_ + "archived.jpg");
  state_.UseArchive = true;
  ScanInputFolder(state_, view_);
  EXPECT_EQ(ReadFile(archive_ + "photo.jpg"), "newer");
  EXPECT_EQ(ReadFile(output_ + "photo.jpg"), "newer");
  EXPECT_TRUE(fs::is_symlink(archive_ + "archived.jpg"));
  EXPECT_EQ(reports_.at(0).Fate, AppState::EntryFate::kArchived);

  fs::create_symlink(target, input_ + "deleted.jpg");
  state_.UseArchive = false;
  ScanInputFolder(state_, view_);
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

TEST_F(ScanTest, AVanishedFileIsPassedOverAndInputsStayWhenTheOutputFolderDisappears) {
  Put(input_, {"a.jpg", "b.jpg", "c.jpg", "d.jpg"});
  state_.UseArchive = true;
  view_.OnPendingEvents = [this] {
    if (state_.ScanProcessed != 1 || !fs::exists(output_)) return;
    fs::remove_all(output_);
    fs::remove(input_ + Names(input_).front());  // listed already, gone before its turn
  };
  ScanInputFolder(state_, view_);
  EXPECT_EQ(state_.ScanProcessed, 3);
  EXPECT_EQ(reports_.size(), 3u);
  EXPECT_EQ(Names(archive_).size(), 1u);
  EXPECT_EQ(Names(input_).size(), 2u);
  for (std::size_t i = 1; i < reports_.size(); ++i) EXPECT_FALSE(reports_[i].OutputWritten);
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

// With the archive option or without, what cannot be written to for a process that permission bits hold: a
// folder, or one of the two copies.
class LockTest : public ScanTest, public testing::WithParamInterface<std::pair<bool, const char*>> {};

TEST_P(LockTest, AnInputThatCannotLeaveStaysAndItsOutputIsWritten) {
  WriteFile(input_ + "photo.jpg", "newer");
  WriteFile(archive_ + "photo.jpg", "older");
  for (const std::string& folder : {input_, archive_, output_}) fs::permissions(folder, fs::perms::all);
  fs::permissions(dir_.Path() / GetParam().second, kNoWrite);
  state_.UseArchive = GetParam().first;
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
                         testing::Values(std::pair{true, "archive/photo.jpg"}, std::pair{true, "archive"},
                                         std::pair{true, "in"}, std::pair{false, "in"},
                                         std::pair{false, "in/photo.jpg"}));

TEST_F(ScanTest, AFileStillBeingWrittenWaitsForTheNextScan) {
  std::ofstream writer(input_ + "arriving.jpg", std::ios::binary);
  writer << "first half, " << std::flush;
  ScanInputFolder(state_, view_);
  EXPECT_EQ(state_.ScanProcessed, 0);
  EXPECT_EQ(Names(output_), N{});
  ASSERT_EQ(reports_.size(), 1u);
  EXPECT_EQ(reports_[0].Reason, "it is still being written");

  writer << "second half";
  writer.close();
  ScanInputFolder(state_, view_);
  EXPECT_EQ(ReadFile(output_ + "arriving.jpg"), "first half, second half");
  EXPECT_EQ(Names(input_), N{});
}

}  // namespace
}  // namespace qm::app

#endif  // _WIN32
