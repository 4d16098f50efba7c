#pragma once

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/main_view.h"

namespace qm::test {

/// A MainView that records every call, keeps the state each control was left in, and answers message boxes
/// from a script. Unscripted questions answer No, unscripted OK boxes answer OK.
class RecordingView : public app::MainView {
 public:
  /// Every call in order, one line each: "beep", "message Unknown input folder\n/x", "enable cmdRun 0", ...
  std::vector<std::string> Log;
  std::vector<app::Message> Messages;

  std::map<app::Control, bool> Enabled;
  std::map<app::Control, bool> Visible;
  std::map<app::Control, std::string> Captions;
  std::map<app::Control, bool> Checked;
  std::string WindowCaption;
  std::string StatusText[3];
  int ProgressValue = -1;
  int ProgressMaximum = -1;
  app::RunFace Face = app::RunFace::kIdle;
  int TimerInterval = 0;
  bool TimerEnabled = false;
  int Beeps = 0;

  /// Answers to give to the next message boxes, in order.
  std::deque<app::Answer> Answers;
  /// Called from ProcessPendingEvents, to let a test act between two images of a scan.
  std::function<void()> OnPendingEvents;

  /// Whether the control is enabled; a control never set counts as enabled, as in a fresh window.
  bool IsEnabled(app::Control c) const;
  /// Whether the control is visible; never set counts as hidden, as the guide's elements start.
  bool IsVisible(app::Control c) const;
  bool IsChecked(app::Control c) const;
  std::string Caption(app::Control c) const;
  /// The texts of the messages shown, in order.
  std::vector<std::string> MessageTexts() const;

  app::Answer ShowMessage(const app::Message& message) override;
  void Beep() override;
  void SetEnabled(app::Control control, bool enabled) override;
  void SetVisible(app::Control control, bool visible) override;
  void SetCaption(app::Control control, std::string_view text) override;
  void SetChecked(app::Control control, bool checked) override;
  void SetWindowCaption(std::string_view text) override;
  void SetStatusText(int panel, std::string_view text) override;
  void SetProgressValue(int value) override;
  void SetProgressMaximum(int maximum) override;
  void SetRunFace(app::RunFace face) override;
  void SetTimerInterval(int milliseconds) override;
  void SetTimerEnabled(bool enabled) override;
  void ProcessPendingEvents() override;
};

}  // namespace qm::test
