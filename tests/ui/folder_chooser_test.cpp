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
  // Highlights `path` in the tree and returns its index there.
  static QModelIndex Highlight(frmDossier& chooser, const QString& path) {
    auto* tree = Find<QTreeView>(&chooser, "dirList");
    const QModelIndex index = qobject_cast<QFileSystemModel*>(tree->model())->index(path);
    tree->setCurrentIndex(index);
    return index;
  }

  test::TempDir dir_;
  app::AppState state_;
  test::RecordingView view_;
};

TEST_F(FolderChooserTest, OkStoresTheFolderLastOpenedNotTheOneHighlighted) {
  frmDossier chooser(state_, view_);
  EXPECT_EQ(chooser.CurrentDirectory(), Path("a"));
  test::ExpectNothingOverlapsOrClips(&chooser);

  auto* tree = Find<QTreeView>(&chooser, "dirList");
  const QModelIndex c = Highlight(chooser, Path("a/c"));
  EXPECT_EQ(chooser.CurrentDirectory(), Path("a"));
  tree->expand(c);
  EXPECT_EQ(chooser.CurrentDirectory(), Path("a/c"));
  Highlight(chooser, Path("a/b"));
  QTest::keyClick(tree, Qt::Key_Return);  // activating opens too
  EXPECT_EQ(chooser.CurrentDirectory(), Path("a/b"));

  QTest::mouseClick(Find<QPushButton>(&chooser, "cmdOK"), Qt::LeftButton);
  EXPECT_EQ(state_.OutputFolder, (dir_.Path() / "a" / "b").string() + "/");
  EXPECT_EQ(chooser.result(), QDialog::Accepted);

  // The root, already expanded on the way to a, is opened again with Enter and keeps its single separator.
  frmDossier root(state_, view_);
  Highlight(root, "/");
  QTest::keyClick(Find<QTreeView>(&root, "dirList"), Qt::Key_Return);
  root.cmdOK_Click();
  EXPECT_EQ(app::ReadIniValue(state_.IniPath, "Folders", "Output"), "/");
}

TEST_F(FolderChooserTest, CancelChangesNothing) {
  test::WriteFile(state_.IniPath, "[Folders]\nOutput=/old/\n");
  frmDossier chooser(state_, view_);
  chooser.show();
  Find<QTreeView>(&chooser, "dirList")->expand(Highlight(chooser, Path("a/b")));
  QTest::mouseClick(Find<QPushButton>(&chooser, "cmdAnnuler"), Qt::LeftButton);
  EXPECT_FALSE(chooser.isVisible());
  EXPECT_EQ(test::ReadFile(state_.IniPath), "[Folders]\nOutput=/old/\n");
  EXPECT_EQ(state_.OutputFolder, dir_.Folder("a"));
  EXPECT_TRUE(view_.Log.empty());
}

TEST_F(FolderChooserTest, AMissingFolderOrAnUnreadableDriveLeavesTheCurrentDirectory) {
  state_.OutputFolder = (dir_.Path() / "gone").string() + "/";
  frmDossier missing(state_, view_);
  EXPECT_EQ(missing.CurrentDirectory(), QDir::currentPath());
  missing.drvList_Change(Find<QComboBox>(&missing, "drvList")->count());
  EXPECT_EQ(missing.CurrentDirectory(), QDir::currentPath());
}

}  // namespace
}  // namespace qm::ui
