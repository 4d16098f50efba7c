#pragma once

#include <deque>
#include <vector>

#include "app/main_view.h"

class QWidget;

namespace qm::ui {

/// The one way the windows show a message box or beep. Normally a real QMessageBox; once a test scripts it,
/// nothing is shown: each message is recorded and answered from the script, then with No for a question and
/// OK otherwise, so no test ever waits on a dialog.
class MessageBox {
 public:
  /// Shows `message` modally over `parent` (the active window when null) and returns the button pressed;
  /// Enter gives the message's default answer. A text of more than a few short lines shows its beginning, and
  /// goes whole, before the message's own details, into a details area that scrolls. The box never reaches
  /// past the screen it opens on.
  static app::Answer Show(QWidget* parent, const app::Message& message);
  static void Beep();

  /// From now on answers from `answers` in order instead of showing boxes, and forgets what was recorded.
  static void Script(std::deque<app::Answer> answers = {});
  /// Back to real boxes.
  static void Unscript();
  /// The messages recorded since the script began, in order.
  static const std::vector<app::Message>& Shown();
  static int Beeps();
};

}  // namespace qm::ui
