#include "app/help_file.h"

#include <gtest/gtest.h>

#include "support/recording_view.h"
#include "support/temp_dir.h"

namespace qm::app {
namespace {

using test::RecordingView;
using test::TempDir;
using test::WriteFile;

TEST(HelpFileTest, AnExistingPageIsOpenedWithoutAMessage) {
  TempDir dir;
  WriteFile(dir.Path() / "Quillmark.htm", "<html></html>");
  AppState state;
  RecordingView view;
  EXPECT_EQ(mnuHelp_Click(state, view, dir.Path()), dir.Path() / "Quillmark.htm");
  // An installed program finds the page in share/quillmark of its prefix.
  const auto bin = dir.Path() / "usr" / "bin";
  std::filesystem::create_directories(bin);
  std::filesystem::create_directories(dir.Path() / "usr" / "share" / "quillmark");
  WriteFile(dir.Path() / "usr" / "share" / "quillmark" / "Quillmark.htm", "<html></html>");
  EXPECT_EQ(mnuHelp_Click(state, view, bin), dir.Path() / "usr" / "share" / "quillmark" / "Quillmark.htm");
  EXPECT_TRUE(view.Log.empty());
}

TEST(HelpFileTest, AMissingPageBeepsThenNamesThePath) {
  TempDir dir;
  std::filesystem::create_directory(dir.Path() / "Quillmark.htm");  // a folder of that name is no page
  AppState state;
  state.AppVersion = "1.0.0";
  RecordingView view;
  EXPECT_EQ(mnuHelp_Click(state, view, dir.Path()), std::nullopt);
  const std::string path = (dir.Path() / "Quillmark.htm").string();
  EXPECT_EQ(view.Log, (std::vector<std::string>{"beep", "message Missing help file:\n" + path}));
  EXPECT_EQ(view.Messages[0].Title, "Quillmark 1.0.0");
  EXPECT_EQ(view.Messages[0].Icon, MessageIcon::kExclamation);
  EXPECT_EQ(view.Messages[0].Buttons, MessageButtons::kOk);
}

}  // namespace
}  // namespace qm::app
