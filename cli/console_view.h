#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "app/app_state.h"
#include "app/main_view.h"
#include "cli/console.h"
#include "app/json_log.h"

namespace qm::cli {

/// The main window of the command line. Messages go to the standard error with their title; a question is
/// answered by --yes, else asked on the terminal, else answered No. The status texts and one line per entry
/// go to the standard output. On a terminal the standard error also carries a progress line. A stop signal
/// seen between two images asks the core to end the folder operation in progress.
class ConsoleView : public app::MainView {
 public:
  ConsoleView(app::AppState& state, Console& console, bool assume_yes);
  ~ConsoleView() override;
  ConsoleView(const ConsoleView&) = delete;
  ConsoleView& operator=(const ConsoleView&) = delete;

  /// From now on prints a line for every entry the core reports; an entry kept where it was is said to be
  /// kept in `folder` ("input", "output", "archive").
  void ListEntries(const char* folder);
  /// From now on also appends a line to `log` for every entry told and every scan. A line that cannot be
  /// written is said on the standard error, once until one can be written again.
  void SetLog(app::JsonLog* log) { log_ = log; }
  /// Notes how writing to the log went: a problem is said once, until a line can be written again.
  void Logged(const std::string& problem);
  /// Entries kept where they were, since the start and by the last complete scan.
  int KeptTotal() const { return kept_total_; }
  int KeptByLastScan() const { return kept_by_last_scan_; }
  bool TimerEnabled() const { return timer_enabled_; }
  /// Whether a question was asked, and the answer to the last one.
  bool Asked() const { return asked_; }
  app::Answer LastAnswer() const { return last_answer_; }

  app::Answer ShowMessage(const app::Message& message) override;
  void Beep() override;
  void SetEnabled(app::Control, bool) override {}
  void SetVisible(app::Control, bool) override {}
  bool ShowsPackets() const override { return false; }
  void SetCaption(app::Control control, std::string_view text) override;
  void SetChecked(app::Control, bool) override {}
  void SetWindowCaption(std::string_view) override {}
  void SetStatusText(int panel, std::string_view text) override;
  void SetProgressValue(int) override {}
  void SetProgressMaximum(int) override {}
  void SetRunFace(app::RunFace) override {}
  void SetTimerInterval(int) override {}
  void SetTimerEnabled(bool enabled) override;
  void ProcessPendingEvents() override;

 private:
  app::Answer Show(const app::Message& message);
  void PrintEntry(const app::AppState::EntryReport& report);
  void ShowProgress(const std::string& text);
  void ClearProgress();

  app::AppState& state_;
  Console& console_;
  bool assume_yes_;
  const char* kept_folder_ = "input";
  bool timer_enabled_ = false;
  bool asked_ = false;
  app::Answer last_answer_ = app::Answer::kNo;
  int kept_total_ = 0;
  int kept_in_scan_ = 0;
  int kept_by_last_scan_ = 0;
  bool progress_shown_ = false;
  app::JsonLog* log_ = nullptr;
  app::ScanCounts scan_counts_;
  bool log_failing_ = false;
  std::chrono::steady_clock::time_point operation_seen_{};
  std::chrono::steady_clock::time_point progress_drawn_{};
};

/// The line that tells what became of an entry: "a.jpg: written, archived", "b.jpg: not written, kept in the
/// input folder: its XMP packet does not parse", "c.jpg: written, deleted; its XMP packet was kept as read:
/// ..." for a written entry with a reason.
std::string EntryLine(const app::AppState::EntryReport& report, std::string_view kept_folder);

}  // namespace qm::cli
