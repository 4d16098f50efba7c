#include "ui/folder_chooser.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

#include "app/ini_file.h"
#include "support/recording_view.h"
#include "support/temp_dir.h"
#include "ui_test_support.h"

namespace qm::ui {
namespace {

using test::Find;
using test::ReadFile;
using test::RecordingView;
using test::TempDir;

class FolderChooserTest : public testing::Test {
 protected:
  FolderChooserTest() {
    state_.IniPath = dir_.Path() / "Quillmark.ini";
    state_.FolderIndex = 2;
    state_.OutputFolder = dir_.Folder("a");
    dir_.Folder("a/b");
    dir_.Folder("a/c");
  }
  QString Path(const char* relative) const {
    return QDir::cleanPath(QString::fromStdString((dir_.Path() / relative).string()));
  }
  QModelIndex Index(frmDossier& chooser, const QString& path) const {
    auto* model = qobject_cast<QFileSystemModel*>(Find<QTreeView>(&chooser, "dirList")->model());
    return model->index(path);
  }

  TempDir dir_;
  app::AppState state_;
  RecordingView view_;
};

TEST_F(FolderChooserTest, OkStoresTheFolderLastOpenedNotTheOneHighlighted) {
  frmDossier chooser(state_, view_);
  EXPECT_EQ(chooser.windowTitle(), "Quillmark - Output folder");
  EXPECT_EQ(chooser.CurrentDirectory(), Path("a"));
  test::ExpectNothingOverlapsOrClips(&chooser);

  auto* tree = Find<QTreeView>(&chooser, "dirList");
  tree->setCurrentIndex(Index(chooser, Path("a/c")));
  EXPECT_EQ(chooser.CurrentDirectory(), Path("a"));  // highlighted only
  tree->expand(Index(chooser, Path("a/c")));
  EXPECT_EQ(chooser.CurrentDirectory(), Path("a/c"));
  tree->setCurrentIndex(Index(chooser, Path("a/b")));
  QTest::keyClick(tree, Qt::Key_Return);  // activating opens too
  EXPECT_EQ(chooser.CurrentDirectory(), Path("a/b"));

  QTest::mouseClick(Find<QPushButton>(&chooser, "cmdOK"), Qt::LeftButton);
  const std::string stored = (dir_.Path() / "a" / "b").string() + "/";
  EXPECT_EQ(state_.OutputFolder, stored);
  EXPECT_EQ(app::ReadIniValue(state_.IniPath, "Folders", "Output"), stored);
  EXPECT_EQ(view_.Caption(app::Control::lblFolder2), stored);
  EXPECT_EQ(chooser.result(), QDialog::Accepted);
}

TEST_F(FolderChooserTest, ARootKeepsItsSingleSeparator) {
  frmDossier chooser(state_, view_);
  auto* tree = Find<QTreeView>(&chooser, "dirList");
  tree->setCurrentIndex(Index(chooser, "/"));  // already expanded on the way to a: opened again with Enter
  QTest::keyClick(tree, Qt::Key_Return);
  chooser.cmdOK_Click();
  EXPECT_EQ(state_.OutputFolder, "/");
  EXPECT_EQ(app::ReadIniValue(state_.IniPath, "Folders", "Output"), "/");
}

TEST_F(FolderChooserTest, CancelAndEscapeChangeNothing) {
  test::WriteFile(state_.IniPath, "[Folders]\nOutput=/old/\n");
  for (const bool escape : {false, true}) {
    frmDossier chooser(state_, view_);
    chooser.show();
    Find<QTreeView>(&chooser, "dirList")->expand(Index(chooser, Path("a/b")));
    if (escape) {
      QTest::keyClick(&chooser, Qt::Key_Escape);
    } else {
      QTest::mouseClick(Find<QPushButton>(&chooser, "cmdAnnuler"), Qt::LeftButton);
    }
    EXPECT_EQ(chooser.result(), QDialog::Rejected);
    EXPECT_FALSE(chooser.isVisible());
  }
  EXPECT_EQ(ReadFile(state_.IniPath), "[Folders]\nOutput=/old/\n");
  EXPECT_EQ(state_.OutputFolder, dir_.Folder("a"));
  EXPECT_TRUE(view_.Log.empty());
}

TEST_F(FolderChooserTest, AnEmptyOrMissingRowStartsAtTheCurrentDirectory) {
  state_.FolderIndex = 1;
  frmDossier empty(state_, view_);
  EXPECT_EQ(empty.windowTitle(), "Quillmark - Archive folder");
  EXPECT_EQ(empty.CurrentDirectory(), QDir::currentPath());

  state_.ArchiveFolder = (dir_.Path() / "gone").string() + "/";
  frmDossier missing(state_, view_);
  EXPECT_EQ(missing.CurrentDirectory(), QDir::currentPath());
  // A drive that cannot be opened leaves the tree where it was.
  missing.drvList_Change(Find<QComboBox>(&missing, "drvList")->count());
  EXPECT_EQ(missing.CurrentDirectory(), QDir::currentPath());
}

}  // namespace
}  // namespace qm::ui
