#pragma once

#include <QColor>
#include <QLabel>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <vector>

namespace qm::ui {

/// A tip window of our own that attaches a multi-line text to any widget of a window, with its own delays,
/// maximum width, margins and colours. The tip shows when the mouse rests over a tool's widget and hides
/// after the autopop delay, when the mouse leaves or when a button is pressed. One object owns one tip
/// window: Create makes it, and dropping the object destroys it with all its tools. Until Create, and after
/// the owner window took the tip window with it, every member but Create and hWnd does nothing and returns 0,
/// false or "".
class cTooltip : public QObject {
  Q_OBJECT

 public:
  /// Delay kinds; only the two low bits of a kind are used, so 6 is kAutopop.
  enum DelayKind : int { kAutomatic = 0, kReshow = 1, kAutopop = 2, kInitial = 3 };
  /// Margin sides.
  enum MarginSide : int { kLeft = 0, kTop = 1, kRight = 2, kBottom = 3 };

  cTooltip();
  ~cTooltip() override;
  cTooltip(const cTooltip&) = delete;
  cTooltip& operator=(const cTooltip&) = delete;

  /// Makes the tip window, owned by `frm` (which takes it along when it goes). Does nothing when it exists
  /// already. Returns whether the tip window exists.
  bool Create(QWidget* frm);
  /// Gives `ctrl` a tip with `sText`, or with "Tool" and the tool count plus one when the text is empty.
  /// Returns false, changing nothing, when `ctrl` is null or has a tool already.
  bool AddTool(QWidget* ctrl, const QString& sText = QString());
  /// Takes the tool of `ctrl` away; false when it has none.
  bool RemoveTool(QWidget* ctrl);

  QColor BackColor() const;
  void BackColor(const QColor& clr);
  /// The delay of a kind in milliseconds; the automatic kind reads as the initial delay.
  int DelayTime(int dwType) const;
  /// Sets one delay; the automatic kind sets all three from one value (initial, autopop ten times it, reshow
  /// a fifth). A negative value restores the kind's default, which derives from the double-click interval.
  void DelayTime(int dwType, int dwMilliSecs);
  QColor ForeColor() const;
  void ForeColor(const QColor& clr);
  /// The tip window, a label that shows the current tip; null before Create.
  QLabel* hWnd() const;
  /// One side of the space between the tip's edge and its text, in pixels; 0 for a side outside 0 to 3.
  int Margin(int dwType) const;
  /// Sets one side; a side outside 0 to 3 leaves the margins as they are.
  void Margin(int dwType, int cPixels);
  /// The width at which the tip's lines wrap, in pixels; -1 for no limit.
  std::int16_t MaxTipWidth() const;
  /// A width below 1 sets no limit.
  void MaxTipWidth(std::int16_t cx);
  std::int16_t ToolCount() const;
  /// The tip text of `ctrl`, up to its first NUL; "" when it has no tool.
  QString ToolText(QWidget* ctrl) const;
  /// Replaces the tip text of `ctrl`; a widget without a tool is left alone and the text is not kept.
  void ToolText(QWidget* ctrl, const QString& sText);
  /// The longest tool text given so far plus one; 0 at first.
  int MaxTextLength() const { return max_text_length_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Tool {
    QPointer<QWidget> Widget;
    QString Text;
  };

  bool Ready() const { return !tip_.isNull(); }
  Tool* FindTool(const QWidget* ctrl);
  const Tool* FindTool(const QWidget* ctrl) const;
  QWidget* ToolOfWatched(const QObject* watched) const;
  void Watch(QWidget* ctrl, bool on);
  void Arm(QWidget* ctrl, int delay_ms);
  void ShowTip();
  void HideTip();
  void Layout();
  void SetDelay(int kind, int dwMilliSecs);

  QPointer<QLabel> tip_;
  std::vector<Tool> tools_;
  int max_text_length_ = 0;
  int initial_ms_ = 0;
  int autopop_ms_ = 0;
  int reshow_ms_ = 0;
  int max_tip_width_ = -1;
  int margins_[4] = {0, 0, 0, 0};
  QColor back_color_;
  QColor fore_color_;
  QTimer show_timer_;
  QTimer pop_timer_;
  QPointer<QWidget> pending_;  // the tool whose tip shows when show_timer_ runs out
  QPointer<QWidget> shown_;    // the tool whose tip is up
};

}  // namespace qm::ui
