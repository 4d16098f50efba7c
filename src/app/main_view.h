#pragma once

#include <string>
#include <string_view>

namespace qm::app {

/// The controls of the main window that the core sets. Rows of like controls are consecutive enumerators in
/// index order (0 input, 1 archive, 2 output); `Indexed` reaches row i. The hint labels have no index 4.
enum class Control {
  cmdRun,
  cmdQuit,
  mnuExit,
  mnuWaitTime,
  cmdBrowse0,
  cmdBrowse1,
  cmdBrowse2,
  cmdFiles0,
  cmdFiles1,
  cmdFiles2,
  cmdReprocess,
  cmdClearOutput,
  lbllblFolder0,
  lbllblFolder1,
  lbllblFolder2,
  lblFolder0,
  lblFolder1,
  lblFolder2,
  optUseArchive0,
  optUseArchive1,
  optAccents0,
  optAccents1,
  optAccents2,
  chkAutomatic,
  chkSynchronizeXMP,
  chkRemoveXMP,
  lblMaxAttente,
  lblBulle0,
  lblBulle1,
  lblBulle2,
  lblBulle3,
  lblBulle5,
  LineBulle0,
  LineBulle1,
  LineBulle2,
  LineBulle3,
  LineBulle4,
  LineBulle5,
  txtXMP0,
  txtXMP1,
  lblLentxtXMP0,
  lblLentxtXMP1,
};

/// Row `index` of the control array that starts at `first` (`Indexed(Control::cmdBrowse0, 2)` is
/// cmdBrowse(2)).
constexpr Control Indexed(Control first, int index) {
  return static_cast<Control>(static_cast<int>(first) + index);
}

/// The control's object name in the window, with the row in brackets for arrays: "cmdRun", "cmdBrowse(2)".
std::string ControlName(Control control);

/// The bare program name: the title of the messages that carry no version (read error, parse error).
inline constexpr const char* kProgramName = "Quillmark";

enum class MessageIcon { kNone, kExclamation, kQuestion, kCritical };
enum class MessageButtons { kOk, kYesNo };
enum class Answer { kOk, kYes, kNo };

/// A modal message box. Texts are UTF-8; a line break is "\n".
struct Message {
  std::string Text;
  std::string Title;
  MessageIcon Icon = MessageIcon::kNone;
  MessageButtons Buttons = MessageButtons::kOk;
  /// Long detail (a packet's excerpt, a parser's or the system's reason), shown on demand beside the text;
  /// empty when there is none. The text stays short and names the file or folder it is about.
  std::string Details;
  /// For a question: the answer that Enter gives. Destructive questions default to No.
  Answer Default = Answer::kYes;
};

/// What any part of the core may ask of the user: a message box and the beep. The inspector's reader and the
/// engine need no more than this.
class MessageSink {
 public:
  virtual ~MessageSink() = default;
  /// Shows the message modally and returns the button pressed.
  virtual Answer ShowMessage(const Message& message) = 0;
  virtual void Beep() = 0;
};

/// The two faces of the Run button: idle (the product picture, tooltip "Process images") and running (the
/// STOP picture, no tooltip).
enum class RunFace { kIdle, kRunning };

/// The port through which the core drives the main window. The Qt window implements it with its widgets, the
/// command line with its streams, tests with a recorder. Texts are UTF-8.
///
/// A setter only changes what the control shows: it never runs the core's handler of that control. When the
/// core changes a control whose change has effects (an option button at start-up), it calls the handler
/// itself.
class MainView : public MessageSink {
 public:
  virtual void SetEnabled(Control control, bool enabled) = 0;
  virtual void SetVisible(Control control, bool visible) = 0;
  /// The caption of a label or the content of a text box.
  virtual void SetCaption(Control control, std::string_view text) = 0;
  /// Whether the view shows the XMP packets of the image in hand (a window does; a console has no room for
  /// them, and is spared converting each one).
  virtual bool ShowsPackets() const { return true; }
  /// Checks a check box, or selects an option button (false clears it).
  virtual void SetChecked(Control control, bool checked) = 0;
  virtual void SetWindowCaption(std::string_view text) = 0;
  /// Status bar panel 1 (the run) or 2 (the latest scan).
  virtual void SetStatusText(int panel, std::string_view text) = 0;
  virtual void SetProgressValue(int value) = 0;
  virtual void SetProgressMaximum(int maximum) = 0;
  virtual void SetRunFace(RunFace face) = 0;
  /// The one-second scan timer: its interval in milliseconds (0 before the first run) and whether it ticks.
  virtual void SetTimerInterval(int milliseconds) = 0;
  virtual void SetTimerEnabled(bool enabled) = 0;
  /// Lets the window system handle what is pending (clicks, ticks, repaints) and returns.
  virtual void ProcessPendingEvents() = 0;
};

}  // namespace qm::app
