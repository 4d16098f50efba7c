#include <gtest/gtest.h>

#include "app/batch_fixture.h"
#include "app/batch_run.h"

namespace qm::app {
namespace {

namespace fs = std::filesystem;
using test::Names;
using test::ReadFile;
using test::WriteFile;
using N = std::vector<std::string>;

class MaintenanceTest : public test::BatchFixture {};

TEST_F(MaintenanceTest, ClearOutputDeletesEveryPlainFileAndSilentlyKeepsReadOnlyOnes) {
  Put(output_, {"a.jpg", "notes.txt", ".DS_Store", "locked.jpg"});
  fs::permissions(output_ + "locked.jpg", fs::perms::owner_read);
  fs::create_directory(output_ + "folder");
  view_.Answers = {Answer::kYes};
  cmdClearOutput_Click(state_, view_);
  ASSERT_EQ(view_.Messages.size(), 1u);
  EXPECT_EQ(view_.Messages[0].Text, "Remove all images in output folder");
  EXPECT_EQ(view_.Messages[0].Title, "Quillmark 1.0.0");
  EXPECT_EQ(view_.Messages[0].Icon, MessageIcon::kQuestion);
  EXPECT_EQ(view_.Messages[0].Buttons, MessageButtons::kYesNo);
  EXPECT_EQ(Names(output_), (N{".DS_Store", "folder", "locked.jpg"}));
}

TEST_F(MaintenanceTest, ReprocessMovesTheArchiveBackOverSameNamedInputs) {
  WriteFile(archive_ + "photo.jpg", "archived");
  WriteFile(input_ + "photo.jpg", "waiting");
  Put(archive_, {"b.jpg"});
  view_.Answers = {Answer::kYes};
  cmdReprocess_Click(state_, view_);
  EXPECT_EQ(view_.MessageTexts(), N{"Move all images from archive folder to input folder"});
  EXPECT_EQ(ReadFile(input_ + "photo.jpg"), "archived");
  EXPECT_EQ(Names(input_), (N{"b.jpg", "photo.jpg"}));
  EXPECT_EQ(Names(archive_), N{});
}

class AnswerNoTest : public MaintenanceTest,
                     public testing::WithParamInterface<void (*)(AppState&, MainView&)> {};

TEST_P(AnswerNoTest, AnsweringNoChangesNothing) {
  Put(input_, {"photo.jpg"});
  Put(archive_, {"photo.jpg", "b.jpg"});
  Put(output_, {"c.jpg"});
  GetParam()(state_, view_);
  EXPECT_EQ(view_.Messages.size(), 1u);
  EXPECT_EQ(Names(input_), N{"photo.jpg"});
  EXPECT_EQ(Names(archive_), (N{"b.jpg", "photo.jpg"}));
  EXPECT_EQ(Names(output_), N{"c.jpg"});
}

INSTANTIATE_TEST_SUITE_P(Commands, AnswerNoTest, testing::Values(&cmdClearOutput_Click, &cmdReprocess_Click));

TEST_F(MaintenanceTest, AMissingFolderMakesTheCommandsDoNothing) {
  Put(archive_, {"photo.jpg"});
  state_.InputFolder = (dir_.Path() / "gone/").string();
  state_.OutputFolder = (dir_.Path() / "gone/").string();
  view_.Answers = {Answer::kYes, Answer::kYes};
  cmdReprocess_Click(state_, view_);
  cmdClearOutput_Click(state_, view_);
  EXPECT_TRUE(view_.Messages.empty());
  EXPECT_EQ(Names(archive_), N{"photo.jpg"});
}

TEST_F(MaintenanceTest, ReprocessIntoTheArchiveFolderItselfIsRefused) {
  Put(archive_, {"photo.jpg"});
  state_.InputFolder = archive_;
  view_.Answers = {Answer::kYes, Answer::kYes};
  cmdReprocess_Click(state_, view_);
  EXPECT_EQ(view_.MessageTexts(), N{"The input folder is also the archive folder\n" + archive_});
  EXPECT_EQ(ReadFile(archive_ + "photo.jpg"), "photo.jpg");
}

}  // namespace
}  // namespace qm::app
