#include "app/folder_scan.h"

#include <fstream>
#include <set>
#include <thread>

#include "app/app_fixture.h"
#include "app/file_operations.h"
#include "app/platform_paths.h"
#include "engine/temporary_files.h"
#include "support/image_builders.h"

#if !defined(_WIN32)
#include <sys/stat.h>

#include "app/forked_child.h"
#endif

namespace qm::app {
namespace {

namespace fs = std::filesystem;
using test::Names;
using test::ReadFile;
using test::WriteFile;
using N = std::vector<std::string>;

constexpr fs::perms kNoWrite = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read |
                               fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec;

class ScanTest : public test::BatchFixture {
 protected:
  /// "name: reason" of the entries kept and told (not repeats), in order.
  N Told() const {
    N told;
    for (const auto& r : reports_) {
      if (!r.Repeat && r.Fate == AppState::EntryFate::kKept) told.push_back(r.Name + ": " + r.Reason);
    }
    return told;
  }
};

TEST_F(ScanTest, DotNamesAndFoldersStayAndNeverReachTheEngine) {
  fs::create_directory(input_ + "folder");
  fs::permissions(input_ + "folder", kNoWrite);
  Put(input_, {".DS_Store", "._photo.jpg"});
  // Set aside by a Quillmark of an earlier version, whose process id is in use or from another machine: it
  // cannot be told gone.
  fs::create_directory(input_ + ".quillmark-1-aside");
  Put(input_ + ".quillmark-1-aside" + kFolderSeparator, {"waiting.jpg"});
  ScanInputFolder(state_, view_);
  ScanInputFolder(state_, view_);
  EXPECT_EQ(state_.ScanProcessed, 0);
  EXPECT_EQ(Names(input_), (N{".DS_Store", "._photo.jpg", ".quillmark-1-aside", "folder"}));
  EXPECT_EQ(Names(output_), N{});
  EXPECT_EQ(reports_.size(), 2u);
  EXPECT_EQ(Told(), (N{".quillmark-1-aside: a folder of originals set aside by a Quillmark that cannot be told "
                       "gone, left alone: " + input_ + ".quillmark-1-aside"}));
}

#if !defined(_WIN32)

TEST_F(ScanTest, SpecialFilesStayAndNeverReachTheEngineAndLinksAreToldOnce) {
  ASSERT_EQ(::mkfifo((input_ + "fifo").c_str(), 0666), 0);
  // A link to a private file, and one to the archive's copy of the same name: neither target is ever read,
  // moved or replaced.
  WriteFile(dir_.Path() / "private.jpg", "root's eyes only");
  fs::permissions(dir_.Path() / "private.jpg", fs::perms::owner_read | fs::perms::owner_write);
  fs::create_symlink(dir_.Path() / "private.jpg", input_ + "private.jpg");
  WriteFile(archive_ + "self.jpg", "archived original");
  fs::create_symlink(archive_ + "self.jpg", input_ + "self.jpg");
  state_.UseArchive = true;
  ScanInputFolder(state_, view_);
  ScanInputFolder(state_, view_);
  EXPECT_EQ(state_.ScanProcessed, 0);
  EXPECT_EQ(Names(input_), (N{"fifo", "private.jpg", "self.jpg"}));
  EXPECT_EQ(Names(output_), N{});
  EXPECT_EQ(ReadFile(archive_ + "self.jpg"), "archived original");
  EXPECT_EQ(reports_.size(), 4u);
  N told = Told();
  std::sort(told.begin(), told.end());
  EXPECT_EQ(told, (N{"private.jpg: it is a symbolic link, which is left alone",
                     "self.jpg: it is a symbolic link, which is left alone"}));
}

#endif

// A window whose second message box fails: an error that is not the scan's own, in the middle of an image.
class FailingView : public test::RecordingView {
 public:
  Answer ShowMessage(const Message& message) override {
    if (!Messages.empty()) throw std::runtime_error("the window is gone");
    return RecordingView::ShowMessage(message);
  }
};

TEST_F(ScanTest, AFailedImageStaysAndIsNotProcessedAgainUntilItChanges) {
  const std::string bad = test::Jpeg({test::App1Xmp(test::XmpPacket("<rdf:Description></rdf:Descr>"))});
  WriteFile(input_ + "bad1.jpg", bad);
  WriteFile(input_ + "bad2.jpg", bad);
  WriteFile(input_ + "good.jpg", test::Jpeg({}));
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

  // The unparsable one is left alone while it stays as it is: no message, no count, one quiet report.
  reports_.clear();
  test::RecordingView quiet;
  ScanInputFolder(state_, quiet);
  EXPECT_EQ(quiet.Messages.size(), 1u);  // the one that failed with an error is tried again
  EXPECT_EQ(state_.ScanProcessed, 1);
  ASSERT_EQ(reports_.size(), 2u);
  EXPECT_EQ(std::count_if(reports_.begin(), reports_.end(), [](auto& r) { return r.Repeat; }), 1);
  std::ofstream(input_ + "bad1.jpg", std::ios::app) << "changed";
  std::ofstream(input_ + "bad2.jpg", std::ios::app) << "changed";
  ScanInputFolder(state_, quiet);
  EXPECT_EQ(state_.ScanProcessed, 2);
}

// Its output is written, but the archive's read-only copy of the name stays: only the move is tried again,
// and only while the output is still there (Clear output folder may have removed it meanwhile).
TEST_F(ScanTest, AnInputThatCannotLeaveIsNotRewrittenAtEveryScanAndLeavesOnlyWithItsOutput) {
  WriteFile(input_ + "locked.jpg", test::Jpeg({}));
  WriteFile(archive_ + "locked.jpg", "an older copy");
  fs::permissions(archive_ + "locked.jpg", fs::perms::owner_read);
  state_.UseArchive = true;
  ScanInputFolder(state_, view_);
  const FileIdentity output = IdentifyFile(output_ + "locked.jpg");
  ScanInputFolder(state_, view_);
  EXPECT_EQ(state_.ScanProcessed, 0);
  EXPECT_EQ(IdentifyFile(output_ + "locked.jpg"), output);
  EXPECT_EQ(Told(), N{"locked.jpg: it cannot be moved into the archive folder (replace: the file there is "
                      "read-only)"});
  EXPECT_EQ(reports_.size(), 2u);
  fs::remove(output_ + "locked.jpg");
  fs::permissions(archive_ + "locked.jpg", fs::perms::owner_all);
  ScanInputFolder(state_, view_);
  EXPECT_EQ(state_.ScanProcessed, 1);
  EXPECT_EQ(Names(input_), N{});
  EXPECT_EQ(ReadFile(output_ + "locked.jpg"), test::Jpeg({}));
  EXPECT_EQ(reports_.back().Fate, AppState::EntryFate::kArchived);
}

TEST_F(ScanTest, ReasonsToKeepAnInputWithoutProcessingIt) {
  Put(input_, {"big.jpg", "hard.jpg", "archived.jpg", "read-only.jpg"});
  fs::resize_file(input_ + "big.jpg", (std::uintmax_t{2} << 20) + 1);
  fs::create_hard_link(input_ + "hard.jpg", output_ + "hard.jpg");
  fs::create_hard_link(input_ + "archived.jpg", archive_ + "archived.jpg");
  WriteFile(output_ + "read-only.jpg", "kept");
  fs::permissions(output_ + "read-only.jpg", fs::perms::owner_read);
  state_.MaxFileMB = 2;
  state_.UseArchive = true;
  ScanInputFolder(state_, view_);
  Put(input_, {"no-archive.jpg"});
  state_.ArchiveFolder.clear();  // an archive option without its folder
  ScanInputFolder(state_, view_);
  EXPECT_EQ(state_.ScanProcessed, 0);
  EXPECT_EQ(Names(input_).size(), 5u);
  EXPECT_EQ(ReadFile(output_ + "read-only.jpg"), "kept");
  N told = Told();
  std::sort(told.begin(), told.end());
  EXPECT_EQ(told, (N{"archived.jpg: it is the archive folder's file of that name too (a hard link)",
                     "big.jpg: it is larger than the limit of 2 MB (MaxFileMB)",
                     "hard.jpg: it is the output folder's file of that name too (a hard link)",
                     "no-archive.jpg: no archive folder is set",
                     "read-only.jpg: the output folder holds a read-only file of that name, which stays"}));
}

TEST_F(ScanTest, TheArchiveKeepsTheLatestCopyButNotWhenItBecomesTheInputOrOutputFolderDuringTheRun) {
  WriteFile(archive_ + "photo.jpg", "older");
  WriteFile(output_ + "photo.jpg", "older");
  WriteFile(input_ + "photo.jpg", "newer");
  state_.UseArchive = true;
  ScanInputFolder(state_, view_);
  EXPECT_EQ(ReadFile(archive_ + "photo.jpg"), "newer");
  EXPECT_EQ(ReadFile(output_ + "photo.jpg"), "newer");
  EXPECT_TRUE(reports_.at(0).Reason.ends_with("; it replaced an earlier output of that name"));

  Put(input_, {"a.jpg", "b.jpg"});
  reports_.clear();
  view_.OnPendingEvents = [this] { state_.ArchiveFolder = output_; };
  ScanInputFolder(state_, view_);
  EXPECT_EQ(Names(input_), (N{"a.jpg", "b.jpg"}));
  for (const auto& r : reports_)
    EXPECT_EQ(r.Reason, "the archive folder is also the input or the output folder");
}

TEST_F(ScanTest, AVanishedFileIsPassedOverAndAVanishedOutputFolderIsToldOnceAndKeepsEveryInput) {
  Put(input_, {"a.jpg", "b.jpg", "c.jpg", "d.jpg"});
  view_.OnPendingEvents = [this] {
    if (state_.ScanProcessed != 1 || !fs::exists(output_)) return;
    fs::remove_all(output_);
    fs::remove(input_ + Names(input_).front());  // listed already, gone before its turn
  };
  ScanInputFolder(state_, view_);
  ScanInputFolder(state_, view_);
  EXPECT_EQ(Names(input_).size(), 3u);
  EXPECT_EQ(view_.MessageTexts(), N{"Unknown output folder\n" + output_});
  EXPECT_EQ(state_.LastScanEnd, AppState::ScanEnd::kFolderProblem);
  for (const auto& r : reports_) EXPECT_FALSE(r.OutputWritten);
}

TEST_F(ScanTest, AnOutputFolderForgottenDuringAScanEndsItAndNothingGoesToTheCurrentFolder) {
  Put(input_, {"a.jpg", "b.jpg", "c.jpg"});
  const fs::path here = fs::current_path();
  fs::current_path(dir_.Path());
  view_.OnPendingEvents = [this] {
    if (state_.ScanProcessed == 1) state_.OutputFolder.clear();  // an unknown folder reported and forgotten
  };
  ScanInputFolder(state_, view_);
  fs::current_path(here);
  EXPECT_EQ(Names(dir_.Path().string()), (N{"archive", "in", "out"}));
  EXPECT_EQ(Names(input_).size() + Names(output_).size(), 3u);
}

TEST_F(ScanTest, AnInputFolderHeldByAnotherQuillmarkIsToldOnceAndLeftAlone) {
  Put(input_, {"a.jpg"});
  {
    FolderLock other(input_);
    ScanInputFolder(state_, view_);
    ScanInputFolder(state_, view_);
  }
  EXPECT_EQ(state_.LastScanEnd, AppState::ScanEnd::kBusy);
  EXPECT_EQ(view_.MessageTexts(),
            N{"Another Quillmark is working on the input folder; it is left to it\n" + input_});
  EXPECT_EQ(Names(input_), N{"a.jpg"});
  EXPECT_EQ(view_.StatusText[2], "");
}

#if !defined(_WIN32)

TEST_F(ScanTest, AnInputFolderThatCannotBeListedIsToldOnceAndLeftAlone) {
  Put(input_, {"a.jpg"});
  fs::permissions(input_, fs::perms::owner_write | fs::perms::owner_exec);
  const int told = test::RunInChild({.Unprivileged = true}, [this] {
    ScanInputFolder(state_, view_);
    ScanInputFolder(state_, view_);
    return view_.Messages.size() == 1 && view_.Messages[0].Details == "Permission denied" &&
                   state_.LastScanEnd == AppState::ScanEnd::kFolderProblem
               ? 0
               : 1;
  });
  fs::permissions(input_, fs::perms::owner_all);
  EXPECT_EQ(told, 0);
}

// A full disk: the input stays, the failure is told once with the output's name, and the file is written
// again only once something may have changed: a minute later, or the output folder's content.
TEST_F(ScanTest, AnOutputThatCannotBeWrittenLeavesItsInputInPlaceAndIsTriedAgainWhenItMaySucceed) {
  WriteFile(input_ + "small.jpg", std::string(1000, 's'));
  WriteFile(input_ + "big.jpg", std::string(256 * 1024, 'b'));
  const int failed = test::RunInChild({.FileSizeLimit = 64 * 1024}, [this] {
    ScanInputFolder(state_, view_);
    const int first = state_.ScanProcessed;
    ScanInputFolder(state_, view_);
    const int again = state_.ScanProcessed;
    now_ += std::chrono::seconds(61);
    ScanInputFolder(state_, view_);
    const int later = state_.ScanProcessed;
    WriteFile(output_ + "elsewhere.jpg", "freed room");
    ScanInputFolder(state_, view_);
    const bool told_once = Told() == N{"big.jpg: the output could not be written (cannot write the output " +
                                       output_ + "big.jpg: File too large)"};
    return told_once && first == 2 && again == 0 && later == 1 && state_.ScanProcessed == 1 ? 0 : 1;
  });
  EXPECT_EQ(failed, 0);
  EXPECT_EQ(Names(input_), N{"big.jpg"});
  EXPECT_EQ(ReadFile(input_ + "big.jpg").size(), 256u * 1024);
  EXPECT_EQ(Names(output_), (N{"elsewhere.jpg", "small.jpg"}));  // nothing half-written under any name
}

// A run killed while an input waited set aside, in a folder this desk may no longer write to: each scan
// names it, with the path where it waits, until it can go back.
TEST_F(ScanTest, AnOriginalSetAsideThatCannotBePutBackIsNamedByEveryScanUntilItIs) {
  std::string aside;
  ASSERT_EQ(test::RunInChild({},
                             [&] {
                               aside = input_ + engine::OwnTemporaryPrefix(input_).value() + "aside/";
                               fs::create_directory(aside);
                               WriteFile(aside + "a.jpg", "original");
                               WriteFile(input_ + ".aside", aside);
                               return 0;
                             }),
            0);
  aside = ReadFile(input_ + ".aside");
  fs::remove(input_ + ".aside");
  fs::permissions(input_, kNoWrite);
  const int told = test::RunInChild({.Unprivileged = true}, [&] {
    ScanInputFolder(state_, view_);
    ScanInputFolder(state_, view_);
    return Told() == N{"a.jpg: a Quillmark that was stopped left it set aside as " + aside +
                       "a.jpg, and it cannot be put back (rename: Permission denied)"} &&
                   reports_.size() == 2 && reports_[1].Repeat
               ? 0
               : 1;
  });
  fs::permissions(input_, fs::perms::all);
  EXPECT_EQ(told, 0);
  ScanInputFolder(state_, view_);  // put back, and processed by the next scan
  ScanInputFolder(state_, view_);
  EXPECT_EQ(ReadFile(output_ + "a.jpg"), "original");
  EXPECT_EQ(Names(input_), N{});
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

#endif

// Names of any script, a device's name (which Windows takes for the device unless told otherwise), a name
// ending with a dot (which it would cut), in folders deeper than 260 characters (its old limit).
TEST_F(ScanTest, AnyNameInFoldersOfAnyDepthIsProcessed) {
  std::string deep = dir_.Path().string();
  while (deep.size() < 300) deep += kFolderSeparator + std::string(40, 'd');
  for (std::string* folder : {&input_, &archive_, &output_}) {
    *folder = deep + kFolderSeparator + std::string(1, (*folder)[folder->size() - 3]) + kFolderSeparator;
    fs::create_directories(platform::PathOf(*folder));
  }
  state_.InputFolder = input_;
  state_.ArchiveFolder = archive_;
  state_.OutputFolder = output_;
  state_.UseArchive = true;
  const N names = {"Caf\xC3\xA9 \xE5\x86\x99\xE7\x9C\x9F \xF0\x9F\x93\xB7.jpg", "aux.jpg", "com1", "ends with a dot."};
  for (const std::string& name : names) WriteFile(input_ + name, name);
  ScanInputFolder(state_, view_);
  EXPECT_EQ(state_.ScanProcessed, 4);
  EXPECT_EQ(Names(input_), N{});
  EXPECT_EQ(Names(archive_), names);
  EXPECT_EQ(Names(output_), names);
  for (const std::string& name : names) EXPECT_EQ(ReadFile(output_ + name), name);
}

TEST_F(ScanTest, AnInputRewrittenWhileItWasProcessedStaysAndItsOutputIsDropped) {
  Put(input_, {"a.jpg", "b.jpg"});
  bool edited = false;
  view_.OnPendingEvents = [&] {  // the first image is written, the second not yet read
    if (state_.ScanProcessed != 1 || std::exchange(edited, true)) return;
    for (const char* name : {"a.jpg", "b.jpg"}) std::ofstream(input_ + name, std::ios::app) << " edited";
  };
  ScanInputFolder(state_, view_);
  ASSERT_EQ(Names(input_).size(), 1u);
  const std::string kept = Names(input_).front();
  EXPECT_EQ(Names(output_), N{kept == "a.jpg" ? "b.jpg" : "a.jpg"});
  EXPECT_EQ(ReadFile(output_ + Names(output_).front()), Names(output_).front() + " edited");
  EXPECT_EQ(Told(), N{kept + ": it changed while it was processed; the new version waits for the next scan"});
}

// A writer that closes the file between chunks (as ">>", many uploaders and shares do): no lease can see
// it, only the settle time.
TEST_F(ScanTest, AFileWrittenInChunksWaitsUntilItHasBeenLeftAloneForTheSettleTime) {
  state_.Now = [] { return std::chrono::system_clock::now(); };
  state_.Settle = 1;
  const std::string whole = "first chunk, second chunk, third chunk";
  std::thread writer([&] {
    for (std::size_t at = 0; at < whole.size(); at += 13) {
      std::ofstream(input_ + "arriving.jpg", std::ios::app) << whole.substr(at, 13);
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
  });
  for (int i = 0; i < 30 && !fs::exists(output_ + "arriving.jpg"); ++i) {
    ScanInputFolder(state_, view_);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  writer.join();
  EXPECT_EQ(ReadFile(output_ + "arriving.jpg"), whole);
  EXPECT_EQ(Names(input_), N{});
  EXPECT_EQ(Told().front(), "arriving.jpg: it is still being written");

  // A writer that holds the file open waits too, whatever the time, and the scan says when to look again.
  state_.Settle = 0;
  std::ofstream open_writer(input_ + "open.jpg", std::ios::binary);
  open_writer << "first half, " << std::flush;
  ScanInputFolder(state_, view_);
  EXPECT_EQ(Names(input_), N{"open.jpg"});
  ASSERT_TRUE(state_.SettleWake.has_value());
  EXPECT_GT(*state_.SettleWake, std::chrono::system_clock::now());
}

}  // namespace
}  // namespace qm::app
