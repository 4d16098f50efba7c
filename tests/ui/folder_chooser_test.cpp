#include "ui/folder_chooser.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

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
    dir_.Folder("a/b/e");
    dir_.Folder("a/c");
  }
  QString Path(const char* relative) const {
    return QDir::cleanPath(QString::fromStdString((dir_.Path() / relative).string()));
  }
  static void Highlight(frmDossier& chooser, const QString& path) {
    auto* tree = Find<QTreeView>(&chooser, "dirList");
    tree->setCurrentIndex(qobject_cast<QFileSystemModel*>(tree->model())->index(path));
  }

  test::TempDir dir_;
  app::AppState state_;
  test::RecordingView view_;
};

TEST_F(FolderChooserTest, OkStoresTheHighlightedFolderThatADoubleClickOpensAndTheLineAboveShows) {
  frmDossier chooser(state_, view_);
  chooser.show();
  chooser.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&chooser));
  auto* tree = Find<QTreeView>(&chooser, "dirList");
  EXPECT_EQ(QApplication::focusWidget(), tree);
  EXPECT_EQ(chooser.CurrentDirectory(), Path("a"));
  test::ExpectNothingOverlapsOrClips(&chooser);

  // A real double-click on the closed folder c opens it, for good, and chooses it. The tree sorts itself
  // when it has listed a folder: c is persistent, and b comes before it.
  dir_.Folder("a/c/d");
  auto* model = qobject_cast<QFileSystemModel*>(tree->model());
  const QPersistentModelIndex c = model->index(Path("a/c"));
  ASSERT_TRUE(QTest::qWaitFor([&] {
    tree->scrollTo(c);
    return model->index(Path("a/b")).row() < c.row() &&
           tree->viewport()->rect().contains(tree->visualRect(c).center());
  }));
  // Through the window, which makes a double-click of two presses as a desktop does.
  QTest::mouseDClick(chooser.windowHandle(), Qt::LeftButton, {},
                     tree->viewport()->mapTo(&chooser, tree->visualRect(c).center()));
  EXPECT_TRUE(tree->isExpanded(c));
  EXPECT_EQ(chooser.CurrentDirectory(), Path("a/c"));
  // The keyboard's highlight is the choice too: b stands above c.
  QTest::keyClick(tree, Qt::Key_Up);
  EXPECT_EQ(chooser.CurrentDirectory(), Path("a/b"));
  EXPECT_EQ(Find<QLabel>(&chooser, "lblChoice")->text().toStdString(), dir_.Folder("a/b"));
  // Enter opens the closed folder b and keeps the dialog; OK's access key stores it.
  QTest::keyClick(tree, Qt::Key_Return);
  EXPECT_TRUE(chooser.isVisible() && tree->isExpanded(model->index(Path("a/b"))));
  EXPECT_EQ(state_.OutputFolder, dir_.Folder("a"));
  QTest::keyClick(tree, Qt::Key_O, Qt::AltModifier);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !chooser.isVisible(); }));  // an access key's click is animated
  EXPECT_EQ(state_.OutputFolder, dir_.Folder("a/b"));
  EXPECT_EQ(chooser.result(), QDialog::Accepted);
}

TEST_F(FolderChooserTest, CancelChangesNothingAndAMissingFolderOrUnreadableDriveLeaveTheCurrentDirectory) {
  test::WriteFile(state_.IniPath, "[Folders]\nOutput=/old/\n");
  state_.OutputFolder = (dir_.Path() / "gone").string() + "/";
  frmDossier chooser(state_, view_);
  chooser.show();
  EXPECT_EQ(chooser.CurrentDirectory(), QDir::currentPath());
  chooser.drvList_Change(Find<QComboBox>(&chooser, "drvList")->count());
  EXPECT_EQ(chooser.CurrentDirectory(), QDir::currentPath());
  Highlight(chooser, Path("a/b"));
  QTest::mouseClick(Find<QPushButton>(&chooser, "cmdAnnuler"), Qt::LeftButton);
  EXPECT_FALSE(chooser.isVisible());
  EXPECT_EQ(test::ReadFile(state_.IniPath), "[Folders]\nOutput=/old/\n");
  EXPECT_TRUE(view_.Log.empty());
}

}  // namespace
}  // namespace qm::ui
