#include "app/ini_file.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace qm::app {
namespace {

using test::ReadFile;
using test::WriteFile;

TEST(IniFile, FindsValuesWithoutRegardToCaseAndTrimmed) {
  const std::string text =
      "; settings\n[folders]\n  input =  /photos/in/  \nINPUT=second\n[Options]\r\nWait\t=\t15\r\n# note=1\n";
  EXPECT_EQ(FindIniValue(text, "Folders", "Input"), "/photos/in/");
  EXPECT_EQ(FindIniValue(text, "OPTIONS", "wait"), "15");
  EXPECT_EQ(FindIniValue(text, "Options", "# note"), std::nullopt);
  EXPECT_EQ(FindIniValue(text, "Options", "Input"), std::nullopt);
  EXPECT_EQ(FindIniValue(text, "Missing", "Input"), std::nullopt);
  EXPECT_EQ(FindIniValue("Input=/x\n[Folders]\n", "Folders", "Input"), std::nullopt);
}

// The key and its section are found whatever their case; a key's line keeps every byte but its value.
TEST(IniFile, ReplacesAKeyInPlaceOrAddsItAfterItsSectionsLastSettingOrAMissingSectionInTheFilesLineEnds) {
  const struct {
    const char* Before;
    const char* Section;
    const char* After;
  } cases[] = {
      {"; by hand\r\n[Folders]\r\nInput=/a/\r\n  KEY = /old/  \r\nOutput=/c/\r\n\r\n[Options]\r\nWait=3",
       "folders", "; by hand\r\n[Folders]\r\nInput=/a/\r\n  KEY =v\r\nOutput=/c/\r\n\r\n[Options]\r\nWait=3"},
      {"[Folders]\r\nInput=/a/\r\n\r\n[Options]\r\nWait=3\r\n", "Folders",
       "[Folders]\r\nInput=/a/\r\nKey=v\r\n\r\n[Options]\r\nWait=3\r\n"},
      {"[Options]\nWait=3", "Options", "[Options]\nWait=3\nKey=v\n"},
      {"[Options]", "Options", "[Options]\nKey=v\n"},
      // A last line cut after its carriage return gets a whole line end before the new line.
      {"[Options]\r\nWait=3\r", "Options", "[Options]\r\nWait=3\r\nKey=v\r\n"},
      {"[Folders]\r", "Options", "[Folders]\r\n[Options]\nKey=v\n"},
      {"", "Folders", "[Folders]\nKey=v\n"},
      {"[Folders]\r\nInput=/a/", "Options", "[Folders]\r\nInput=/a/\r\n[Options]\r\nKey=v\r\n"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ReplaceIniValue(c.Before, c.Section, "Key", "v"), c.After) << c.Before;
}

TEST(IniFile, FileWritesCreateWhatIsMissingReadBackAndRefuseALineBreak) {
  test::TempDir dir;
  const auto file = dir.Path() / "sub" / "Quillmark.ini";
  EXPECT_EQ(ReadIniValue(file, "Folders", "Input"), "");
  ASSERT_TRUE(WriteIniValue(file, "Folders", "Input", "/in/"));
  ASSERT_TRUE(WriteIniValue(file, "Options", "Wait", "10"));
  ASSERT_TRUE(WriteIniValue(file, "folders", "input", "/other/"));
  EXPECT_FALSE(WriteIniValue(file, "Folders", "Input", "/a/\n[Options]\nWait=1"));
  EXPECT_EQ(ReadFile(file), "[Folders]\nInput=/other/\n[Options]\nWait=10\n");
  EXPECT_EQ(ReadIniValue(file, "Options", "Wait"), "10");
  EXPECT_FALSE(std::filesystem::exists(file.string() + ".tmp"));
}

#if !defined(_WIN32)

TEST(IniFile, ALinkStaysALinkAndTheFileKeepsItsPermissions) {
  test::TempDir dir;
  const auto file = dir.Path() / "sub" / "Quillmark.ini";
  ASSERT_TRUE(WriteIniValue(file, "Options", "Wait", "10"));
  namespace fs = std::filesystem;
  fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
  const auto link = dir.Path() / "linked.ini";
  fs::create_symlink(fs::path("sub") / "Quillmark.ini", link);
  ASSERT_TRUE(WriteIniValue(link, "Options", "Wait", "5"));
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadIniValue(file, "Options", "Wait"), "5");
  EXPECT_EQ(fs::status(file).permissions(), fs::perms::owner_read | fs::perms::owner_write);
}

#endif

TEST(IniFile, BinaryOrStrangeFilesReadEmptyAndNeverBreakAWrite) {
  test::TempDir dir;
  const auto file = dir.Path() / "Quillmark.ini";
  WriteFile(file, std::string("[Options]\nWait=5\n\0\xFF\xFE", 21));
  EXPECT_EQ(ReadIniValue(file, "Options", "Wait"), "");
  ASSERT_TRUE(WriteIniValue(file, "Options", "Wait", "7"));
  EXPECT_EQ(ReadFile(file), "[Options]\nWait=7\n");

  const auto folder = dir.Path() / "folder.ini";
  std::filesystem::create_directory(folder);
  EXPECT_EQ(ReadIniValue(folder, "Options", "Wait"), "");
  EXPECT_FALSE(WriteIniValue(folder, "Options", "Wait", "7"));
}

}  // namespace
}  // namespace qm::app
