#include "app/maintenance.h"

#include <gtest/gtest.h>

#include "app/app_fixture.h"
#include "app/file_operations.h"

namespace qm::app {
namespace {

namespace fs = std::filesystem;
using test::Names;
using test::ReadFile;
using test::WriteFile;
using N = std::vector<std::string>;

class MaintenanceTest : public test::BatchFixture {};

TEST_F(MaintenanceTest, AnsweringNoToEitherQuestionChangesNothing) {
  Put(input_, {"photo.jpg"});
  Put(archive_, {"photo.jpg", "b.jpg"});
  Put(output_, {"c.jpg"});
  cmdClearOutput_Click(state_, view_);
  cmdReprocess_Click(state_, view_);
  EXPECT_EQ(view_.MessageTexts(),
            (N{"Remove all images in output folder\n" + output_ + "\n1 file",
               "Move all images from archive folder to input folder\n" + archive_ + "\n2 files"}));
  for (const Message& m : view_.Messages) {
    EXPECT_EQ(std::tie(m.Title, m.Icon, m.Buttons, m.Default),
              std::tuple("Quillmark 1.0.0", MessageIcon::kQuestion, MessageButtons::kYesNo, Answer::kNo));
  }
  EXPECT_EQ(Names(input_), N{"photo.jpg"});
  EXPECT_EQ(Names(archive_), (N{"b.jpg", "photo.jpg"}));
  EXPECT_EQ(Names(output_), N{"c.jpg"});
}

TEST_F(MaintenanceTest, AnsweringYesClearsTheOutputFolderAndMovesTheArchiveBackButNeverOverAWaitingInput) {
  Put(output_, {"a.jpg", "notes.txt", ".DS_Store", "locked.jpg"});
  fs::permissions(output_ + "locked.jpg", fs::perms::owner_read);  // silently kept, as a read-only file is
  fs::create_directory(output_ + "folder");
  WriteFile(archive_ + "photo.jpg", "archived");
  WriteFile(input_ + "photo.jpg", "waiting");
  Put(archive_, {"b.jpg"});
  view_.Answers = {Answer::kYes, Answer::kYes};
  cmdClearOutput_Click(state_, view_);
  cmdReprocess_Click(state_, view_);
  EXPECT_EQ(view_.Messages.size(), 2u);
  EXPECT_EQ(Names(output_), (N{".DS_Store", "folder", "locked.jpg"}));
  EXPECT_EQ(ReadFile(input_ + "photo.jpg"), "waiting");
  EXPECT_EQ(Names(input_), (N{"b.jpg", "photo.jpg"}));
  EXPECT_EQ(Names(archive_), N{"photo.jpg"});
  for (const auto& r : reports_) {
    if (r.Name == "photo.jpg") {
      EXPECT_EQ(r.Reason, "a file of that name waits in the input folder");
    }
  }
}

// While the question waits, the window goes on: a tick can begin a scan, or another Quillmark take the
// folder.
class BusyDuringQuestion : public test::RecordingView {
 public:
  explicit BusyDuringQuestion(std::function<void()> meanwhile) : meanwhile_(std::move(meanwhile)) {}
  Answer ShowMessage(const Message& message) override {
    if (message.Buttons == MessageButtons::kYesNo) meanwhile_();
    return RecordingView::ShowMessage(message);
  }

 private:
  std::function<void()> meanwhile_;
};

TEST_F(MaintenanceTest, WhatBeganWhileTheQuestionWaitedIsLeftAloneAfterYes) {
  Put(output_, {"a.jpg"});
  Put(archive_, {"b.jpg"});
  BusyDuringQuestion scanning([this] { state_.FolderOperation = true; });
  scanning.Answers = {Answer::kYes};
  cmdClearOutput_Click(state_, scanning);
  state_.FolderOperation = false;
  std::optional<FolderLock> other;
  BusyDuringQuestion locking([&] { other.emplace(input_); });
  locking.Answers = {Answer::kYes};
  cmdReprocess_Click(state_, locking);
  EXPECT_EQ(scanning.MessageTexts().back(),
            "Another folder operation is in progress; try again when it has ended.");
  EXPECT_EQ(locking.MessageTexts().back(),
            "Another Quillmark is working on the input folder; it is left to it\n" + input_);
  EXPECT_EQ(Names(output_), N{"a.jpg"});
  EXPECT_EQ(Names(archive_), N{"b.jpg"});
}

TEST_F(MaintenanceTest, MissingFoldersOrOverlappingFoldersAreRefused) {
  Put(archive_, {"photo.jpg"});
  view_.Answers = {Answer::kYes, Answer::kYes, Answer::kYes, Answer::kYes};
  state_.InputFolder = archive_;
  cmdReprocess_Click(state_, view_);
  state_.OutputFolder = archive_ + "./";
  cmdClearOutput_Click(state_, view_);
  state_.InputFolder = state_.OutputFolder;
  state_.ArchiveFolder.clear();
  cmdClearOutput_Click(state_, view_);
  EXPECT_EQ(view_.MessageTexts(), (N{"The input folder is also the archive folder\n" + archive_,
                                     "The output folder is also the input folder\n" + archive_ + "./",
                                     "The output folder is also the input folder\n" + archive_ + "./"}));
  view_.Messages.clear();
  state_.InputFolder = state_.OutputFolder = (dir_.Path() / "gone/").string();
  cmdReprocess_Click(state_, view_);
  cmdClearOutput_Click(state_, view_);
  EXPECT_EQ(view_.Messages.size(), 0u);
  EXPECT_EQ(Names(archive_), N{"photo.jpg"});
}

}  // namespace
}  // namespace qm::app
