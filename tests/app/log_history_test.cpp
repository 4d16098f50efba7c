#include "app/log_history.h"

#include <gtest/gtest.h>

#include "app/json_log.h"
#include "support/temp_dir.h"

namespace qm::app {
namespace {

using EntryFate = AppState::EntryFate;

// Written by the log writer and read back across a rotation: the newest first, scan lines and a line cut by a
// crash passed over, the older file read only for what the newer one lacks.
TEST(LogHistory, TheLatestEntriesComeBackNewestFirstAcrossARotation) {
  test::TempDir dir;
  const std::filesystem::path log = dir.Path() / "state" / "Quillmark.log";
  RotateLog(log, 1);  // makes the folder; nothing to rotate yet
  JsonLog writer(log);
  const auto now = std::chrono::system_clock::now();
  AppState::EntryReport report{"old.jpg", EntryFate::kArchived, true, true};
  writer.Entry(report, now);
  writer.Scan({}, now);
  RotateLog(log, 1);
  report = {"caf\xC3\xA9\n.jpg", EntryFate::kKept, true, false, "its XMP packet does not parse"};
  writer.Entry(report, now);
  report = {"caf\xE9\\.jpg", EntryFate::kKept, true, false, "its XMP packet does not parse"};
  writer.Entry(report, now);
  report = {"new.jpg", EntryFate::kDeleted, true, true};
  writer.Entry(report, now);
  test::WriteFile(log, test::ReadFile(log) + "{\"time\":\"2026-12-06T14:05:03.120+01:00\",\"event\":\"entr");

  std::vector<LoggedEntry> entries = ReadLatestEntries(log, 3);
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].Report.Name, "new.jpg");
  EXPECT_EQ(entries[1].Report.Name, "caf\xE9\\.jpg");  // not UTF-8: escaped in the log, whole again here
  entries.erase(entries.begin() + 1);
  EXPECT_EQ(entries[1].Report.Name, "caf\xC3\xA9\n.jpg");
  EXPECT_EQ(entries[1].Report.Fate, EntryFate::kKept);
  EXPECT_EQ(entries[1].Report.Reason, "its XMP packet does not parse");
  EXPECT_FALSE(entries[1].Report.OutputWritten);
  entries = ReadLatestEntries(log, 10);
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[3].Report.Name, "old.jpg");
  EXPECT_EQ(entries[3].Report.Fate, EntryFate::kArchived);
  EXPECT_TRUE(entries[3].Report.OutputWritten);
  EXPECT_EQ(entries[3].Time.size(), 29u);
  EXPECT_TRUE(ReadLatestEntries(dir.Path() / "none.log", 10).empty());
}

}  // namespace
}  // namespace qm::app
