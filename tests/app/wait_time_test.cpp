#include "app/wait_time.h"

#include <gtest/gtest.h>

#include "app/app_fixture.h"
#include "app/ini_file.h"

namespace qm::app {
namespace {

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
    messages.push_back("Invalid wait time: " + text);
  }
  EXPECT_EQ(view_.MessageTexts(), messages);
  EXPECT_EQ(view_.Messages[0].Title, "Quillmark 1.0.0");
  EXPECT_EQ(view_.Messages[0].Icon, MessageIcon::kCritical);
  EXPECT_EQ(state_.Wait, 7);
  EXPECT_EQ(state_.Countdown, 4);
  EXPECT_FALSE(std::filesystem::exists(state_.IniPath));
  EXPECT_TRUE(view_.Captions.empty());
}

}  // namespace
}  // namespace qm::app
