#include "app/wait_time.h"

#include <gtest/gtest.h>

#include "app/ini_file.h"
#include "support/recording_view.h"
#include "support/temp_dir.h"

namespace qm::app {
namespace {

using test::RecordingView;
using test::TempDir;

struct StepCase {
  const char* Text;
  int Step;
  int Value;
  WaitLimit Limit;
};

class StepWaitTimeTest : public testing::TestWithParam<StepCase> {};

TEST_P(StepWaitTimeTest, StaysWithinTheLimits) {
  const StepCase& c = GetParam();
  const WaitStep step = StepWaitTime(c.Text, c.Step);
  EXPECT_EQ(step.Value, c.Value) << '"' << c.Text << "\" " << c.Step;
  EXPECT_EQ(step.Limit, c.Limit) << '"' << c.Text << "\" " << c.Step;
}

INSTANTIATE_TEST_SUITE_P(
    Arrows, StepWaitTimeTest,
    testing::Values(StepCase{"10", 1, 11, WaitLimit::kNone}, StepCase{"10", -1, 9, WaitLimit::kNone},
                    StepCase{"1", -1, 1, WaitLimit::kMin}, StepCase{"2", -1, 1, WaitLimit::kMin},
                    StepCase{"3", -1, 2, WaitLimit::kNone}, StepCase{"31999", 1, 32000, WaitLimit::kMax},
                    StepCase{"32000", 1, 32000, WaitLimit::kMax},
                    StepCase{"32000", -1, 31999, WaitLimit::kNone}, StepCase{"", 1, 1, WaitLimit::kNone},
                    StepCase{"abc", 1, 1, WaitLimit::kNone}, StepCase{"", -1, 1, WaitLimit::kMin},
                    StepCase{"1.5", 1, 2, WaitLimit::kNone}, StepCase{"12 s", 1, 13, WaitLimit::kNone},
                    StepCase{"99999", 1, 32000, WaitLimit::kMax},
                    StepCase{"99999", -1, 32000, WaitLimit::kNone},
                    StepCase{"-99999", 1, 1, WaitLimit::kNone}, StepCase{"-99999", -1, 1, WaitLimit::kMin},
                    StepCase{"9999999999999999999999999999999", 1, 32000, WaitLimit::kMax}));

class AcceptWaitTimeTest : public testing::Test {
 protected:
  AcceptWaitTimeTest() {
    state_.IniPath = dir_.Path() / "Quillmark.ini";
    state_.AppVersion = "1.0.0";
  }

  TempDir dir_;
  AppState state_;
  RecordingView view_;
};

struct AcceptCase {
  const char* Text;
  int Wait;
  const char* Label;
  int Maximum;
};

class AcceptWaitTimeValid : public AcceptWaitTimeTest, public testing::WithParamInterface<AcceptCase> {};

TEST_P(AcceptWaitTimeValid, StoresShowsAndRestartsTheCountdown) {
  const AcceptCase& c = GetParam();
  ASSERT_TRUE(AcceptWaitTime(state_, view_, c.Text));
  EXPECT_EQ(state_.Wait, c.Wait);
  EXPECT_EQ(state_.Countdown, c.Wait);
  EXPECT_EQ(view_.Caption(Control::lblMaxAttente), c.Label);
  EXPECT_EQ(view_.ProgressMaximum, c.Maximum);
  EXPECT_EQ(ReadIniValue(state_.IniPath, "Options", "Wait"), std::to_string(c.Wait));
  EXPECT_TRUE(view_.Messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Texts, AcceptWaitTimeValid,
                         testing::Values(AcceptCase{"32000", 32000, "32000 sec.", 31999},
                                         AcceptCase{"1", 1, "1 sec.", 1}, AcceptCase{"1.5", 2, "2 sec.", 1},
                                         AcceptCase{"2.5", 2, "2 sec.", 1},
                                         AcceptCase{"12 x", 12, "12 sec.", 11},
                                         AcceptCase{" 3 0", 30, "30 sec.", 29}));

class AcceptWaitTimeInvalid : public AcceptWaitTimeTest, public testing::WithParamInterface<const char*> {};

TEST_P(AcceptWaitTimeInvalid, ShowsTheTextAsTypedAndChangesNothing) {
  state_.Wait = 7;
  state_.Countdown = 4;
  EXPECT_FALSE(AcceptWaitTime(state_, view_, GetParam()));
  ASSERT_EQ(view_.Messages.size(), 1u);
  EXPECT_EQ(view_.Messages[0].Text, std::string("Invalid wait time: ") + GetParam());
  EXPECT_EQ(view_.Messages[0].Title, "Quillmark 1.0.0");
  EXPECT_EQ(view_.Messages[0].Icon, MessageIcon::kCritical);
  EXPECT_EQ(state_.Wait, 7);
  EXPECT_EQ(state_.Countdown, 4);
  EXPECT_FALSE(std::filesystem::exists(state_.IniPath));
  EXPECT_EQ(view_.Caption(Control::lblMaxAttente), "");
}

INSTANTIATE_TEST_SUITE_P(Texts, AcceptWaitTimeInvalid,
                         testing::Values("32001", "0", "0.4", "", "abc", "-5", "99999", "32000.5",
                                         "\xC3\xA9t\xC3\xA9"));

}  // namespace
}  // namespace qm::app
