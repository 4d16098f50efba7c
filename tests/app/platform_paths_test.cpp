#include "app/platform_paths.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "app/app_fixture.h"
#include "app/help_file.h"
#include "app/option_handlers.h"
#include "app/startup.h"

#if !defined(_WIN32)
#include "app/forked_child.h"
#endif

namespace qm::app {
namespace {

namespace fs = std::filesystem;

// Where a user's settings go otherwise: under the folder that the environment variable names.
TEST(DefaultIniPath, BesideAWritableProgramOtherwiseInTheUsersConfigFolder) {
  test::TempDir dir;
  EXPECT_EQ(DefaultIniPath(dir.Path()), dir.Path() / "Quillmark.ini");
  const fs::path unwritable = dir.Path() / "not-there";
#if defined(_WIN32)
  const std::string saved = std::getenv("APPDATA") ? std::getenv("APPDATA") : "";
  test::SetEnvironment("APPDATA", "C:\\Users\\desk\\AppData\\Roaming");
  EXPECT_EQ(DefaultIniPath(unwritable), fs::path("C:\\Users\\desk\\AppData\\Roaming\\Quillmark\\Quillmark.ini"));
  test::SetEnvironment("APPDATA", saved.c_str());
#else
  const std::string saved_xdg = std::getenv("XDG_CONFIG_HOME") ? std::getenv("XDG_CONFIG_HOME") : "";
  test::SetEnvironment("XDG_CONFIG_HOME", "/cfg");
  EXPECT_EQ(DefaultIniPath(unwritable), fs::path("/cfg/Quillmark/Quillmark.ini"));
  // Installed under /usr: per user, even for root, who may write there.
  EXPECT_EQ(DefaultIniPath("/usr/bin"), fs::path("/cfg/Quillmark/Quillmark.ini"));
  test::SetEnvironment("XDG_CONFIG_HOME", "relative");  // ignored: the variable must hold an absolute path
  test::SetEnvironment("HOME", "/home/desk");
  EXPECT_EQ(DefaultIniPath(unwritable), fs::path("/home/desk/.config/Quillmark/Quillmark.ini"));
  test::SetEnvironment("XDG_CONFIG_HOME", saved_xdg.empty() ? nullptr : saved_xdg.c_str());
#endif
}

// A portable copy on a medium that may not be written: its own settings are read, and the first change that
// cannot be saved is said, once.
TEST(DefaultIniPath, AReadOnlyFileBesideAProgramInAReadOnlyFolderIsStillTheOneRead) {
  test::TempDir dir;
  const fs::path ini = dir.Path() / "Quillmark.ini";
  test::WriteFile(ini, "[Options]\nWait=5\n");
  fs::permissions(ini, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  fs::permissions(dir.Path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                  fs::perms::others_read | fs::perms::others_exec);
  const auto load = [&] {
    AppState state;
    test::RecordingView view;
    if (DefaultIniPath(dir.Path()) != ini) return 1;
    Form_Load(state, view, ini);
    chkAutomatic_Click(state, view, true);
    chkAutomatic_Click(state, view, false);
    return state.Wait == 5 && view.Messages.size() == 1 && view.Messages[0].Details == "the file is read-only"
               ? 0
               : 2;
  };
#if defined(_WIN32)
  const int status = load();  // the read-only attribute holds every user back
#else
  const int status = test::RunInChild({.Unprivileged = true}, load);  // permission bits do not hold root back
#endif
  EXPECT_EQ(status, 0);
  EXPECT_EQ(test::ReadFile(ini), "[Options]\nWait=5\n");
}

using HelpFileTest = test::AppFixture;

TEST_F(HelpFileTest, OpensThePageBesideTheProgramOrUnderItsPrefixOtherwiseBeepsAndNamesThePath) {
  const fs::path bin = dir_.Path() / "usr" / "bin";
  const fs::path share = dir_.Path() / "usr" / "share" / "quillmark";
  fs::create_directories(bin / "Quillmark.htm");  // a folder of that name is no page
  fs::create_directories(share);
  EXPECT_EQ(mnuHelp_Click(state_, view_, bin), std::nullopt);
  EXPECT_EQ(view_.Log, (std::vector<std::string>{
                           "beep", "message Missing help file:\n" + (bin / "Quillmark.htm").string()}));
  EXPECT_EQ(view_.Messages[0].Title, "Quillmark 1.0.0");
  EXPECT_EQ(view_.Messages[0].Icon, MessageIcon::kExclamation);

  test::WriteFile(share / "Quillmark.htm", "<html></html>");
  EXPECT_EQ(mnuHelp_Click(state_, view_, bin), share / "Quillmark.htm");
  test::WriteFile(dir_.Path() / "Quillmark.htm", "<html></html>");
  EXPECT_EQ(mnuHelp_Click(state_, view_, dir_.Path()), dir_.Path() / "Quillmark.htm");
  EXPECT_EQ(view_.Messages.size(), 1u);
}

}  // namespace
}  // namespace qm::app
