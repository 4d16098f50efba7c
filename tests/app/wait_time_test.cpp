#include "app/wait_time.h"

#include <gtest/gtest.h>

#include "app/app_fixture.h"
#include "app/ini_file.h"
#include "app/number_reading.h"

namespace qm::app {
namespace {

// The dialog below and the settings file (startup_test.cpp) read their numbers through these two functions;
// here are the texts neither of them holds.
TEST(NumberReading, ReadsTheLeadingNumberAndRoundsHalvesToEvenWithinSixteenBits) {
  const struct {
    const char* Text;
    double Value;
  } numbers[] = {{" 1 2\t3", 123}, {"\n9", 9}, {"-7", -7}, {"+4", 4},  {".5", 0.5},
                 {"1.2.3", 1.2},   {"5-3", 5}, {"-", 0},   {"1,5", 1}, {"1e3", 1}};
  for (const auto& n : numbers) EXPECT_DOUBLE_EQ(ReadLeadingNumber(n.Text), n.Value) << '"' << n.Text << '"';
  EXPECT_EQ(RoundToInt16(1.5), 2);
  EXPECT_EQ(RoundToInt16(-2.5), -2);
  EXPECT_EQ(RoundToInt16(-99999), -32768);
  EXPECT_EQ(RoundToInt16(ReadLeadingNumber(std::string(400, '9'))), 32767);
}

TEST(StepWaitTime, StaysWithinOneTo32000AndReportsOnlyTheLimitItsArrowReached) {
  const struct {
    std::string Text;
    int Step;
    int Value;
    WaitLimit Limit;
  } cases[] = {{"10", 1, 11, WaitLimit::kNone},      {"2", -1, 1, WaitLimit::kMin},
               {"31999", 1, 32000, WaitLimit::kMax}, {"32000", -1, 31999, WaitLimit::kNone},
               {"abc", 1, 1, WaitLimit::kNone},      {"99999", -1, 32000, WaitLimit::kNone},
               {"-99999", -1, 1, WaitLimit::kMin},   {std::string(40, '9'), 1, 32000, WaitLimit::kMax}};
  for (const auto& c : cases) {
    const WaitStep step = StepWaitTime(c.Text, c.Step);
    EXPECT_EQ(step.Value, c.Value) << '"' << c.Text << "\" " << c.Step;
    EXPECT_EQ(step.Limit, c.Limit) << '"' << c.Text << "\" " << c.Step;
  }
}

using AcceptWaitTimeTest = test::AppFixture;

TEST_F(AcceptWaitTimeTest, AValueWithinTheLimitsIsRoundedStoredShownAndRestartsTheCountdown) {
  const std::pair<const char*, int> cases[] = {{"32000", 32000}, {"1", 1}, {"1.5", 2}, {" 3 0", 30}};
  for (const auto& [text, wait] : cases) {
    ASSERT_TRUE(AcceptWaitTime(state_, view_, text)) << text;
    EXPECT_EQ(state_.Wait, wait);
    EXPECT_EQ(state_.Countdown, wait);
    EXPECT_EQ(view_.Caption(Control::lblMaxAttente), std::to_string(wait) + " sec.");  // as start-up shows it
    EXPECT_EQ(ReadIniValue(state_.IniPath, "Options", "Wait"), std::to_string(wait));
  }
  EXPECT_TRUE(view_.Messages.empty());
}

TEST_F(AcceptWaitTimeTest, AnyOtherValueIsShownAsTypedAndChangesNothing) {
  state_.Wait = 7;
  state_.Countdown = 4;
  std::vector<std::string> messages;
  for (const std::string text : {"32001", "0", "0.4", "", "-5", "32000.5", "\xC3\xA9t\xC3\xA9"}) {
    EXPECT_FALSE(AcceptWaitTime(state_, view_, text)) << text;
    messages.push_back("Invalid wait time: " + text + "\nGive a number of seconds from 1 to 32000.");
  }
  EXPECT_EQ(view_.MessageTexts(), messages);
  EXPECT_TRUE(view_.Messages[0].Title == "Quillmark 1.0.0" &&
              view_.Messages[0].Icon == MessageIcon::kCritical);
  EXPECT_EQ(state_.Wait, 7);
  EXPECT_EQ(state_.Countdown, 4);
  EXPECT_FALSE(std::filesystem::exists(state_.IniPath));
  EXPECT_TRUE(view_.Captions.empty());
}

}  // namespace
}  // namespace qm::app
