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
  bool IsEnabled(app::Control c) const { return Lookup(Enabled, c, true); }
  /// Whether the control is visible; never set counts as hidden, as the guide's elements start.
  bool IsVisible(app::Control c) const { return Lookup(Visible, c, false); }
  bool IsChecked(app::Control c) const { return Lookup(Checked, c, false); }
  std::string Caption(app::Control c) const { return Lookup(Captions, c, std::string()); }
  /// The texts of the messages shown, in order.
  std::vector<std::string> MessageTexts() const {
    std::vector<std::string> texts;
    for (const auto& m : Messages) texts.push_back(m.Text);
    return texts;
  }

  app::Answer ShowMessage(const app::Message& message) override {
    Messages.push_back(message);
    Log.push_back("message " + message.Text);
    if (Answers.empty()) {
      return message.Buttons == app::MessageButtons::kYesNo ? app::Answer::kNo : app::Answer::kOk;
    }
    const app::Answer answer = Answers.front();
    Answers.pop_front();
    return answer;
  }
  void Beep() override { Record(Beeps, Beeps + 1, "beep"); }
  void SetEnabled(app::Control c, bool on) override { Keep(Enabled, "enable ", c, on); }
  void SetVisible(app::Control c, bool on) override { Keep(Visible, "visible ", c, on); }
  void SetChecked(app::Control c, bool on) override { Keep(Checked, "check ", c, on); }
  void SetCaption(app::Control c, std::string_view text) override {
    Record(Captions[c], std::string(text), "caption " + app::ControlName(c) + " " + std::string(text));
  }
  void SetWindowCaption(std::string_view t) override {
    Record(WindowCaption, std::string(t), "window " + std::string(t));
  }
  void SetStatusText(int panel, std::string_view text) override {
    if (panel >= 1 && panel <= 2) StatusText[panel] = std::string(text);
    Log.push_back("status" + std::to_string(panel) + " " + std::string(text));
  }
  void SetProgressValue(int v) override { Record(ProgressValue, v, "progress " + std::to_string(v)); }
  void SetProgressMaximum(int maximum) override {
    Record(ProgressMaximum, maximum, "progress-max " + std::to_string(maximum));
  }
  void SetRunFace(app::RunFace face) override {
    Record(Face, face, face == app::RunFace::kIdle ? "face idle" : "face running");
  }
  void SetTimerInterval(int ms) override {
    Record(TimerInterval, ms, "timer-interval " + std::to_string(ms));
  }
  void SetTimerEnabled(bool on) override { Record(TimerEnabled, on, on ? "timer on" : "timer off"); }
  void ProcessPendingEvents() override {
    Log.push_back("events");
    if (OnPendingEvents) OnPendingEvents();
  }

 private:
  template <typename T>
  static T Lookup(const std::map<app::Control, T>& state, app::Control c, T unset) {
    const auto it = state.find(c);
    return it == state.end() ? unset : it->second;
  }
  template <typename T>
  void Record(T& field, const T& value, std::string line) {
    field = value;
    Log.push_back(std::move(line));
  }
  void Keep(std::map<app::Control, bool>& state, const char* verb, app::Control c, bool on) {
    Record(state[c], on, verb + app::ControlName(c) + (on ? " 1" : " 0"));
  }
};

}  // namespace qm::test
