#include "cli/console_view.h"

#include <algorithm>
#include <istream>
#include <ostream>

#include "app/entry_text.h"

namespace qm::cli {
namespace {

using EntryFate = app::AppState::EntryFate;

// Lines after the first are indented under the title; each line is printed as a name is (a message names
// files, and its details may quote a packet), so that it cannot drive the terminal.
std::string Indented(std::string_view text) {
  std::string out;
  for (std::size_t begin = 0; begin <= text.size();) {
    const std::size_t end = std::min(text.find('\n', begin), text.size());
    if (begin > 0) out += "\n  ";
    out += app::PrintableName(text.substr(begin, end - begin));
    begin = end + 1;
  }
  return out;
}

bool IsYes(std::string line) {
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.pop_back();
  while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.erase(0, 1);
  for (char& c : line) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return line == "y" || line == "yes";
}

}  // namespace

std::string EntryLine(const app::AppState::EntryReport& report, std::string_view kept_folder) {
  // A written entry's reason tells what the user should know of its output.
  const char* before_reason = report.Fate == EntryFate::kKept ? ": " : "; ";
  std::string line = app::PrintableName(report.Name) + ": " + app::FateText(report, kept_folder);
  // A reason may name a file too.
  if (!report.Reason.empty() && report.Fate != EntryFate::kMovedToInput) {
    line += before_reason + app::PrintableName(report.Reason);
  }
  return line;
}

ConsoleView::ConsoleView(app::AppState& state, Console& console, bool assume_yes)
    : state_(state), console_(console), assume_yes_(assume_yes) {}

ConsoleView::~ConsoleView() { ClearProgress(); }

void ConsoleView::ListEntries(const char* folder) {
  kept_folder_ = folder;
  state_.OnEntry = [this](const app::AppState::EntryReport& report) { PrintEntry(report); };
}

void ConsoleView::PrintEntry(const app::AppState::EntryReport& report) {
  if (!report.Repeat) {
    ClearProgress();
    console_.Out << EntryLine(report, kept_folder_) << '\n' << std::flush;
  }
  if (report.Fate == EntryFate::kKept) {
    ++kept_total_;
    ++kept_in_scan_;
  }
  if (log_ == nullptr) return;
  scan_counts_.Written += report.OutputWritten;
  scan_counts_.Archived += report.Fate == EntryFate::kArchived;
  scan_counts_.Deleted += report.Fate == EntryFate::kDeleted;
  if (report.Repeat) {
    ++scan_counts_.Repeated;
    return;
  }
  scan_counts_.Kept += report.Fate == EntryFate::kKept;
  Logged(log_->Entry(report, state_.Now()));
}

void ConsoleView::Logged(const std::string& problem) {
  const bool told = log_failing_;
  log_failing_ = !problem.empty();
  if (!log_failing_ || told) return;
  ClearProgress();
  console_.Err << "quillmark-cli: the log " << app::PrintableName(log_->Path().string())
               << " cannot be written: " << problem << "; the work goes on, and each line tries it again\n"
               << std::flush;
}

app::Answer ConsoleView::ShowMessage(const app::Message& message) {
  const app::Answer answer = Show(message);
  if (message.Buttons == app::MessageButtons::kYesNo) {
    asked_ = true;
    last_answer_ = answer;
  }
  return answer;
}

app::Answer ConsoleView::Show(const app::Message& message) {
  ClearProgress();
  std::ostream& err = console_.Err;
  err << message.Title << ": " << Indented(message.Text);
  if (!message.Details.empty()) err << "\n  " << Indented(message.Details);
  if (message.Buttons == app::MessageButtons::kOk) {
    err << '\n' << std::flush;
    return app::Answer::kOk;
  }
  err << " [y/N] ";
  if (assume_yes_) {
    err << "yes (--yes)\n" << std::flush;
    return app::Answer::kYes;
  }
  if (!console_.InTerminal) {
    err << "no (no terminal; --yes answers yes)\n" << std::flush;
    return app::Answer::kNo;
  }
  err << std::flush;
  std::string line;
  // End of input, or a stop signal while waiting, answers No.
  if (!std::getline(console_.In, line)) {
    err << '\n' << std::flush;
    return app::Answer::kNo;
  }
  return IsYes(line) ? app::Answer::kYes : app::Answer::kNo;
}

void ConsoleView::Beep() {
  if (console_.ErrTerminal) console_.Err << '\a' << std::flush;
}

void ConsoleView::SetCaption(app::Control control, std::string_view text) {
  // During a run the label counts the wait down.
  if (control == app::Control::lblMaxAttente && timer_enabled_ && state_.Running) {
    ShowProgress("next scan in " + std::string(text));
  }
}

void ConsoleView::SetTimerEnabled(bool enabled) {
  timer_enabled_ = enabled;
  if (!enabled) ClearProgress();
}

void ConsoleView::SetStatusText(int panel, std::string_view text) {
  if (text.empty()) return;  // the Run command empties both panels before anything is known
  ClearProgress();
  console_.Out << text << '\n' << std::flush;
  if (panel == 2) {  // the scan's last word
    kept_by_last_scan_ = kept_in_scan_;
    kept_in_scan_ = 0;
    if (log_ != nullptr) {
      scan_counts_.Processed = state_.ScanProcessed;
      Logged(log_->Scan(scan_counts_, state_.Now()));
      scan_counts_ = {};
    }
  }
}

void ConsoleView::ProcessPendingEvents() {
  if (console_.StopRequested()) state_.Closing = true;
  if (!console_.ErrTerminal) return;
  const auto now = std::chrono::steady_clock::now();
  if (!state_.FolderOperation) {
    operation_seen_ = {};
    return;
  }
  if (operation_seen_ == std::chrono::steady_clock::time_point{}) operation_seen_ = now;
  // Only a long operation gets a progress line, redrawn ten times a second at most.
  using std::chrono::milliseconds;
  if (now - operation_seen_ < milliseconds(500) || now - progress_drawn_ < milliseconds(100)) return;
  progress_drawn_ = now;
  ShowProgress(state_.ScanProcessed > 0 ? "scanning: " + std::to_string(state_.ScanProcessed) + " processed"
                                        : std::string("working..."));
}

void ConsoleView::ShowProgress(const std::string& text) {
  if (!console_.ErrTerminal) return;
  console_.Err << "\r\033[K" << text << std::flush;
  progress_shown_ = true;
}

void ConsoleView::ClearProgress() {
  if (!progress_shown_) return;
  console_.Err << "\r\033[K" << std::flush;
  progress_shown_ = false;
}

}  // namespace qm::cli
