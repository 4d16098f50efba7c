#include "app/ini_file.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace qm::app {
namespace {

using test::ReadFile;
using test::TempDir;
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

TEST(IniFile, ReplacesOneKeyInPlaceKeepingEveryOtherByte) {
  const std::string before =
      "; written by hand\r\n[Folders]\r\nInput=/a/\r\n  Archive = /old/  "
      "\r\nOutput=/c/\r\n\r\n[Options]\r\nWait=3";
  const std::string after = ReplaceIniValue(before, "folders", "ARCHIVE", "/new/");
  EXPECT_EQ(after,
            "; written by hand\r\n[Folders]\r\nInput=/a/\r\n  Archive "
            "=/new/\r\nOutput=/c/\r\n\r\n[Options]\r\nWait=3");
}

TEST(IniFile, AddsAMissingKeyAfterTheSectionsLastSettingInTheFilesLineEnds) {
  EXPECT_EQ(
      ReplaceIniValue("[Folders]\r\nInput=/a/\r\n\r\n[Options]\r\nWait=3\r\n", "Folders", "Output", "/o/"),
      "[Folders]\r\nInput=/a/\r\nOutput=/o/\r\n\r\n[Options]\r\nWait=3\r\n");
  EXPECT_EQ(ReplaceIniValue("[Options]\nWait=3", "Options", "Accents", "0"),
            "[Options]\nWait=3\nAccents=0\n");
  EXPECT_EQ(ReplaceIniValue("[Options]", "Options", "Accents", "0"), "[Options]\nAccents=0\n");
  // A last line cut after its carriage return still gets a whole line end before the new key.
  const std::string cut = ReplaceIniValue("[Options]\r\nWait=3\r", "Options", "Accents", "0");
  EXPECT_EQ(FindIniValue(cut, "Options", "Wait"), "3");
  EXPECT_EQ(FindIniValue(cut, "Options", "Accents"), "0");
  EXPECT_EQ(ReplaceIniValue("[Folders]\r", "Options", "Wait", "1"), "[Folders]\r\n[Options]\nWait=1\n");
}

TEST(IniFile, AppendsAMissingSection) {
  EXPECT_EQ(ReplaceIniValue("", "Folders", "UseArchive", "0"), "[Folders]\nUseArchive=0\n");
  EXPECT_EQ(ReplaceIniValue("[Folders]\r\nInput=/a/", "Options", "Wait", "10"),
            "[Folders]\r\nInput=/a/\r\n[Options]\r\nWait=10\r\n");
}

TEST(IniFile, FileWritesCreateWhatIsMissingAndReadBack) {
  TempDir dir;
  const auto file = dir.Path() / "sub" / "Quillmark.ini";
  EXPECT_EQ(ReadIniValue(file, "Folders", "Input"), "");
  ASSERT_TRUE(WriteIniValue(file, "Folders", "Input", "/in/"));
  ASSERT_TRUE(WriteIniValue(file, "Options", "Wait", "10"));
  ASSERT_TRUE(WriteIniValue(file, "folders", "input", "/other/"));
  EXPECT_EQ(ReadFile(file), "[Folders]\nInput=/other/\n[Options]\nWait=10\n");
  EXPECT_EQ(ReadIniValue(file, "Options", "Wait"), "10");
  EXPECT_FALSE(std::filesystem::exists(file.string() + ".tmp"));
}

TEST(IniFile, BinaryOrStrangeFilesReadEmptyAndNeverBreakAWrite) {
  TempDir dir;
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

TEST(IniFile, RefusesAValueThatWouldSplitItsLine) {
  TempDir dir;
  const auto file = dir.Path() / "Quillmark.ini";
  WriteFile(file, "[Folders]\nInput=/a/\n");
  EXPECT_FALSE(WriteIniValue(file, "Folders", "Input", "/a/\n[Options]\nWait=1"));
  EXPECT_EQ(ReadFile(file), "[Folders]\nInput=/a/\n");
}

}  // namespace
}  // namespace qm::app
