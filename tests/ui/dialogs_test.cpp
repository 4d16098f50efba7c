// The small dialogs: the message box, the about box, the wait time and the folder chooser.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <functional>

#include "support/recording_view.h"
#include "support/temp_dir.h"
#include "ui/about_box.h"
#include "ui/folder_chooser.h"
#include "ui/message_box.h"
#include "ui/wait_time_dialog.h"
#include "ui_test_support.h"

namespace qm::ui {
namespace {

using test::Find;

// Shows the real box of `message`, lets `look` see it, then presses Enter in it.
app::Answer ShowAndPressEnter(const app::Message& message, const std::function<void(QMessageBox&)>& look) {
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    look(*box);
    QTest::keyClick(box, Qt::Key_Return);
  });
  return MessageBox::Show(nullptr, message);
}

TEST(MessageBoxTest, ARealBoxFitsTheScreenWithALongTextInItsDetailsAndEnterGivesTheDefaultAnswer) {
  std::string packet = "Parsing error:<?xpacket begin=\"\"?><x:xmpmeta><b>bold?</b><rdf:Bag>";
  for (int i = 0; i < 300; ++i) packet += "<rdf:li>keyword " + std::to_string(i) + "</rdf:li>\n";
  app::Message message{packet, "Quillmark 1.0.0", app::MessageIcon::kQuestion, app::MessageButtons::kYesNo};
  message.Details = "line 3, position 5: end tag expected";
  message.Default = app::Answer::kNo;
  const auto look = [&](QMessageBox& box) {
    const QRect screen = box.screen()->availableGeometry();
    EXPECT_TRUE(screen.contains(box.frameGeometry())) << box.height() << " pixels tall";
    EXPECT_TRUE(box.text().startsWith("Parsing error:<?xpacket begin=\"\"?><x:xmpmeta><b>bold?</b>"));
    EXPECT_EQ(box.detailedText().toStdString(), packet + "\n\n" + message.Details);
    EXPECT_EQ(box.icon(), QMessageBox::Question);
    for (QPushButton* button : box.findChildren<QPushButton*>()) {
      if (box.buttonRole(button) == QMessageBox::ActionRole) button->click();  // Show Details...
    }
    QCoreApplication::processEvents();
    EXPECT_TRUE(screen.contains(box.frameGeometry())) << box.height() << " pixels tall with its details";
  };
  EXPECT_EQ(ShowAndPressEnter(message, look), app::Answer::kNo);
  message.Default = app::Answer::kYes;
  EXPECT_EQ(ShowAndPressEnter(message, [](QMessageBox&) {}), app::Answer::kYes);
}

TEST(AboutBoxTest, ShowsThePictureAndCreditsLinksToTheHelpPageAndClosesOnEnter) {
  app::AppState state;
  state.AppVersion = "1.2.3";
  test::OpenedUrls opened("file");
  frmAbout about(state, "/opt/quill mark/Quillmark.htm");
  EXPECT_EQ(Find<QLabel>(&about, "lblCredit")->text(),
            "Quillmark 1.2.3\nmodify accents in IPTC fields\nfor press desks and photo agencies");
  EXPECT_EQ(Find<QLabel>(&about, "Image1")->pixmap().size(), QSize(50, 50));
  test::ExpectNothingOverlapsOrClips(&about);
  about.lblLink_Click();
  EXPECT_EQ(opened.Urls, QList<QUrl>{QUrl::fromLocalFile("/opt/quill mark/Quillmark.htm")});
  about.show();
  QTest::keyClick(&about, Qt::Key_Return);  // OK is the default button
  EXPECT_FALSE(about.isVisible());
}

// The state a dialog works on, with its settings file, and a view of what it has the core show.
class DialogTest : public testing::Test {
 protected:
  DialogTest() { state_.IniPath = dir_.Path() / "Quillmark.ini"; }

  test::TempDir dir_;
  app::AppState state_;
  test::RecordingView view_;
};

using WaitTimeDialogTest = DialogTest;

TEST_F(WaitTimeDialogTest, TypingReplacesTheValueArrowsAndArrowKeysStepItAndOkStoresAValidOne) {
  state_.Wait = 10;
  frmTempo dialog(state_, view_);
  dialog.show();
  const auto press = [&dialog](const char* name) {
    QTest::mouseClick(Find<QAbstractButton>(&dialog, name), Qt::LeftButton);
  };
  test::ExpectNothingOverlapsOrClips(&dialog);
  auto* text = Find<QLineEdit>(&dialog, "Text1");
  auto* limit = Find<QLabel>(&dialog, "Label1");
  EXPECT_EQ(text->selectedText(), "10");
  QTest::keyClicks(text, "5");
  QTest::keyClick(text, Qt::Key_Up);
  EXPECT_EQ(text->text(), "6");
  QTest::keyClick(text, Qt::Key_Down);
  EXPECT_EQ(text->text(), "5");
  text->setText("2");
  press("UpDown1Down");
  EXPECT_EQ(text->text(), "1");
  EXPECT_TRUE(limit->isVisible() && limit->text() == "Min wait time");
  press("UpDown1Up");
  EXPECT_EQ(text->text(), "2");
  EXPECT_FALSE(limit->isVisible());
  EXPECT_FALSE(std::filesystem::exists(state_.IniPath));  // the arrows store nothing

  text->setText("32001");
  press("cmdOK");
  EXPECT_EQ(view_.MessageTexts(),
            std::vector<std::string>{"Invalid wait time: 32001\nGive a number of seconds from 1 to 32000."});
  EXPECT_TRUE(dialog.isVisible());  // until a valid value or Cancel
  text->setText("2.5");
  press("cmdOK");
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(state_.Wait, 2);
}

class FolderChooserTest : public DialogTest {
 protected:
  FolderChooserTest() {
    state_.FolderIndex = 2;
    state_.OutputFolder = dir_.Folder("a");
    dir_.Folder("a/b/e");
    dir_.Folder("a/c");
  }
  QString Path(const char* relative) const {
    return QDir::cleanPath(QString::fromStdString((dir_.Path() / relative).string()));
  }
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
  auto* tree = Find<QTreeView>(&chooser, "dirList");
  tree->setCurrentIndex(qobject_cast<QFileSystemModel*>(tree->model())->index(Path("a/b")));
  QTest::mouseClick(Find<QPushButton>(&chooser, "cmdAnnuler"), Qt::LeftButton);
  EXPECT_FALSE(chooser.isVisible());
  EXPECT_EQ(test::ReadFile(state_.IniPath), "[Folders]\nOutput=/old/\n");
  EXPECT_TRUE(view_.Log.empty());
}

}  // namespace
}  // namespace qm::ui
