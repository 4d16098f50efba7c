#include "recording_view.h"

namespace qm::test {

using app::Answer;
using app::Control;

namespace {

template <typename T>
T Lookup(const std::map<Control, T>& map, Control c, T unset) {
  const auto it = map.find(c);
  return it == map.end() ? unset : it->second;
}

}  // namespace

bool RecordingView::IsEnabled(Control c) const { return Lookup(Enabled, c, true); }
bool RecordingView::IsVisible(Control c) const { return Lookup(Visible, c, false); }
bool RecordingView::IsChecked(Control c) const { return Lookup(Checked, c, false); }
std::string RecordingView::Caption(Control c) const { return Lookup(Captions, c, std::string()); }

std::vector<std::string> RecordingView::MessageTexts() const {
  std::vector<std::string> texts;
  for (const auto& m : Messages) texts.push_back(m.Text);
  return texts;
}

Answer RecordingView::ShowMessage(const app::Message& message) {
  Messages.push_back(message);
  Log.push_back("message " + message.Text);
  if (!Answers.empty()) {
    const Answer answer = Answers.front();
    Answers.pop_front();
    return answer;
  }
  return message.Buttons == app::MessageButtons::kYesNo ? Answer::kNo : Answer::kOk;
}

void RecordingView::Beep() {
  ++Beeps;
  Log.push_back("beep");
}

void RecordingView::SetEnabled(Control control, bool enabled) {
  Enabled[control] = enabled;
  Log.push_back("enable " + app::ControlName(control) + (enabled ? " 1" : " 0"));
}

void RecordingView::SetVisible(Control control, bool visible) {
  Visible[control] = visible;
  Log.push_back("visible " + app::ControlName(control) + (visible ? " 1" : " 0"));
}

void RecordingView::SetCaption(Control control, std::string_view text) {
  Captions[control] = std::string(text);
  Log.push_back("caption " + app::ControlName(control) + " " + std::string(text));
}

void RecordingView::SetChecked(Control control, bool checked) {
  Checked[control] = checked;
  Log.push_back("check " + app::ControlName(control) + (checked ? " 1" : " 0"));
}

void RecordingView::SetWindowCaption(std::string_view text) {
  WindowCaption = std::string(text);
  Log.push_back("window " + WindowCaption);
}

void RecordingView::SetStatusText(int panel, std::string_view text) {
  if (panel >= 1 && panel <= 2) StatusText[panel] = std::string(text);
  Log.push_back("status" + std::to_string(panel) + " " + std::string(text));
}

void RecordingView::SetProgressValue(int value) {
  ProgressValue = value;
  Log.push_back("progress " + std::to_string(value));
}

void RecordingView::SetProgressMaximum(int maximum) {
  ProgressMaximum = maximum;
  Log.push_back("progress-max " + std::to_string(maximum));
}

void RecordingView::SetRunFace(app::RunFace face) {
  Face = face;
  Log.push_back(face == app::RunFace::kIdle ? "face idle" : "face running");
}

void RecordingView::SetTimerInterval(int milliseconds) {
  TimerInterval = milliseconds;
  Log.push_back("timer-interval " + std::to_string(milliseconds));
}

void RecordingView::SetTimerEnabled(bool enabled) {
  TimerEnabled = enabled;
  Log.push_back(enabled ? "timer on" : "timer off");
}

void RecordingView::ProcessPendingEvents() {
  Log.push_back("events");
  if (OnPendingEvents) OnPendingEvents();
}

}  // namespace qm::test
