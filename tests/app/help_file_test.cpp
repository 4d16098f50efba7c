#include "app/help_file.h"

#include <gtest/gtest.h>

#include "app/app_fixture.h"

namespace qm::app {
namespace {

namespace fs = std::filesystem;

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
