#include "app/batch_run.h"

#include "app/app_fixture.h"
#include "app/folder_scan.h"
#include "app/ini_file.h"
#include "app/maintenance.h"
#include "app/startup.h"

namespace qm::app {
namespace {

using test::Names;
using N = std::vector<std::string>;

class BatchRunTest : public test::BatchFixture {
 protected:
  // Loads the window from a settings file that starts automatically.
  void LoadAutomatic(const std::string& output) {
    WriteIniValue(state_.IniPath, "Folders", "Input", input_);
    WriteIniValue(state_.IniPath, "Folders", "Output", output);
    WriteIniValue(state_.IniPath, "Options", "Automatic", "1");
    WriteIniValue(state_.IniPath, "Options", "Settle", "0");
    Form_Load(state_, view_, state_.IniPath);
  }
};

TEST_F(BatchRunTest, ARunLocksTheFolderControlsCountsOverItsScansAndAStopRestoresTheIdleState) {
  Put(input_, {"a.jpg", "b.jpg", "c.jpg"});
  cmdRun_Click(state_, view_);
  EXPECT_TRUE(state_.Running);
  for (Control c : {Control::cmdBrowse0, Control::cmdBrowse1, Control::cmdBrowse2, Control::mnuExit,
                    Control::cmdQuit, Control::mnuWaitTime}) {
    EXPECT_FALSE(view_.IsEnabled(c)) << ControlName(c);
  }
  EXPECT_TRUE(view_.IsEnabled(Control::cmdClearOutput));
  EXPECT_EQ(view_.TimerInterval, 1000);  // the countdown's ticks are seconds
  EXPECT_TRUE(view_.TimerEnabled);

  Put(input_, {"d.jpg", "e.jpg"});
  now_ += std::chrono::minutes(1);
  ScanInputFolder(state_, view_);
  EXPECT_EQ(view_.StatusText[1], "Since: 12/06/2026 - 14:05 - processed: 5");
  EXPECT_EQ(view_.StatusText[2], "Last: 12/06/2026 - 14:06 - processed: 2");
  EXPECT_EQ(Names(output_), (N{"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg"}));
  EXPECT_EQ(Names(input_), N{});

  cmdRun_Click(state_, view_);
  EXPECT_FALSE(state_.Running || view_.TimerEnabled);
  EXPECT_EQ(view_.StatusText[1] + view_.StatusText[2], "");
  EXPECT_EQ(view_.ProgressValue, 0);
  EXPECT_EQ(view_.Caption(Control::lblMaxAttente), "10 sec.");
  EXPECT_TRUE(view_.IsEnabled(Control::cmdBrowse0) && view_.IsEnabled(Control::cmdQuit));
  EXPECT_FALSE(view_.IsEnabled(Control::cmdBrowse1));  // it belongs to the archive option, which is off

  Put(input_, {"f.jpg"});
  now_ += std::chrono::minutes(61);
  cmdRun_Click(state_, view_);
  EXPECT_EQ(view_.StatusText[1], "Since: 12/06/2026 - 15:07 - processed: 1");
}

TEST_F(BatchRunTest, OneFolderForInputAndOutputIsRefused) {
  Put(input_, {"only-copy.jpg"});
  state_.OutputFolder = input_ + "./";
  cmdRun_Click(state_, view_);
  EXPECT_EQ(view_.MessageTexts(), N{"The input folder is also the output folder\n" + input_});
  EXPECT_FALSE(state_.Running);
  ScanInputFolder(state_, view_);
  EXPECT_EQ(test::ReadFile(input_ + "only-copy.jpg"), "only-copy.jpg");
}

// Six ticks after a start, for each wait: the countdown and the progress bar after each, and the scans.
TEST_F(BatchRunTest, TicksCountTheWaitDownAndScanWhenItHasRunOut) {
  const std::string minimum = "-32768 sec. 0, ";
  for (const auto& [wait, schedule, scans] :
       {std::tuple{3, std::string("3 sec. 0, 2 sec. 1, 1 sec. 2, 3 sec. 0, 2 sec. 1, 1 sec. 2, "), 1},
        {1, "1 sec. 0, 1 sec. 0, 1 sec. 0, 1 sec. 0, 1 sec. 0, 1 sec. 0, ", 5},
        {0, "0 sec. 0, 0 sec. 0, 0 sec. 0, 0 sec. 0, 0 sec. 0, 0 sec. 0, ", 6},
        {-32768, minimum + minimum + minimum + minimum + minimum + minimum, 6}}) {
    state_.Wait = static_cast<std::int16_t>(wait);
    view_.Log.clear();
    cmdRun_Click(state_, view_);
    std::string shown;
    for (int tick = 0; tick < 6; ++tick) {
      Timer1_Timer(state_, view_);
      shown += view_.Caption(Control::lblMaxAttente) + " " + std::to_string(view_.ProgressValue) + ", ";
    }
    EXPECT_EQ(shown, schedule) << wait;
    EXPECT_EQ(Logged("status2 Last:"), 1 + scans) << wait;
    cmdRun_Click(state_, view_);
  }
}

TEST_F(BatchRunTest, ATickDuringAScanNeitherScansNorShiftsTheSchedule) {
  state_.Wait = 3;
  cmdRun_Click(state_, view_);
  for (int tick = 0; tick < 3; ++tick) Timer1_Timer(state_, view_);
  Put(input_, {"a.jpg", "b.jpg"});
  view_.OnPendingEvents = [this] { Timer1_Timer(state_, view_); };
  Timer1_Timer(state_, view_);
  EXPECT_EQ(Logged("status2 Last:"), 2);
  EXPECT_EQ(state_.ScanProcessed, 2);
  EXPECT_EQ(view_.Caption(Control::lblMaxAttente), "3 sec.");
  EXPECT_EQ(state_.Countdown, 2);
}

TEST_F(BatchRunTest, FolderCommandsDuringAScanAreRefused) {
  Put(input_, {"a.jpg"});
  Put(output_, {"old.jpg"});
  view_.Answers = {Answer::kYes, Answer::kYes, Answer::kYes, Answer::kYes};  // should a question slip through
  view_.OnPendingEvents = [this] {
    if (state_.ScanProcessed != 1 || !view_.Messages.empty()) return;
    cmdClearOutput_Click(state_, view_);
    cmdReprocess_Click(state_, view_);
  };
  state_.UseArchive = true;
  ScanInputFolder(state_, view_);
  EXPECT_EQ(view_.MessageTexts(),
            N(2, "Another folder operation is in progress; try again when it has ended."));
  EXPECT_EQ(Names(output_), (N{"a.jpg", "old.jpg"}));
  EXPECT_EQ(Names(archive_), N{"a.jpg"});
}

TEST_F(BatchRunTest, TheAutomaticRunStartsOnTheFirstActivationOnly) {
  LoadAutomatic(output_);
  Put(input_, {"a.jpg"});
  Form_Activate(state_, view_);
  EXPECT_TRUE(state_.Running);
  EXPECT_EQ(view_.Face, RunFace::kRunning);
  EXPECT_EQ(Names(output_), N{"a.jpg"});
  Form_Activate(state_, view_);  // a dialog closed
  EXPECT_TRUE(state_.Running);
}

// A share mounted after the desk started: the run starts anyway, tells each missing folder once without a
// beep, keeps it, and takes the inputs once the folder is there.
TEST_F(BatchRunTest, AnAutomaticStartWaitsForAFolderThatIsNotThereYetAndKeepsItsSetting) {
  struct Case {
    const char* Missing;
    const char* Key;
    std::string* Folder;
    Control Label;
  };
  for (const Case& c : {Case{"input", "Input", &input_, Control::lblFolder0},
                        Case{"archive", "Archive", &archive_, Control::lblFolder1},
                        Case{"output", "Output", &output_, Control::lblFolder2}}) {
    SCOPED_TRACE(c.Missing);
    state_ = AppState();
    state_.IniPath = dir_.Path() / "Quillmark.ini";
    state_.Now = [this] { return now_; };
    view_ = test::RecordingView();
    const std::string folder = *c.Folder;
    std::filesystem::remove_all(folder);
    WriteIniValue(state_.IniPath, "Folders", "Archive", archive_);
    WriteIniValue(state_.IniPath, "Folders", "UseArchive", "1");
    LoadAutomatic(output_);
    if (folder != input_) Put(input_, {"a.jpg"});
    Form_Activate(state_, view_);
    state_.Countdown = 0;
    Timer1_Timer(state_, view_);  // the scan after the wait
    EXPECT_TRUE(state_.Running && view_.TimerEnabled && view_.IsEnabled(Control::cmdRun));
    EXPECT_EQ(view_.MessageTexts(), N{std::string("Unknown ") + c.Missing + " folder\n" + folder});
    EXPECT_EQ(view_.Beeps, 0);
    EXPECT_EQ(view_.Caption(c.Label), folder);
    EXPECT_FALSE(view_.IsVisible(Control::lblBulle0) ||
                 view_.IsVisible(Control::lblBulle2));  // it was chosen
    EXPECT_EQ(ReadIniValue(state_.IniPath, "Folders", c.Key), folder);

    std::filesystem::create_directories(folder);
    if (folder == input_) Put(input_, {"a.jpg"});
    state_.Countdown = 0;
    Timer1_Timer(state_, view_);
    EXPECT_EQ(Names(output_), N{"a.jpg"});
    EXPECT_EQ(Names(archive_), N{"a.jpg"});
    EXPECT_EQ(view_.Messages.size(), 1u);
    cmdRun_Click(state_, view_);
    for (const std::string* f : {&input_, &archive_, &output_}) {
      std::filesystem::remove_all(*f);
      std::filesystem::create_directories(*f);
    }
  }
}

// By hand, or with a folder never set, nothing waits: the unknown folder is reported and no run starts.
TEST_F(BatchRunTest, AnAutomaticStartWithoutAnInputFolderSetStartsNothingAndShowsNoBox) {
  WriteIniValue(state_.IniPath, "Options", "Automatic", "1");
  WriteIniValue(state_.IniPath, "Folders", "Output", output_);
  Form_Load(state_, view_, state_.IniPath);
  Form_Activate(state_, view_);
  EXPECT_EQ(view_.MessageTexts(),
            N{"No input folder selected\nChoose one with the Select button of the Input row."});
  EXPECT_EQ(view_.Beeps, 0);
  EXPECT_FALSE(state_.Running || view_.TimerEnabled);
}

}  // namespace
}  // namespace qm::app
