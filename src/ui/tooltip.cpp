#include "ui/tooltip.h"

#include <QAbstractScrollArea>
#include <QCursor>
#include <QEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QStyleHints>
#include <QToolTip>
#include <algorithm>
#include <limits>

namespace qm::ui {
namespace {

// Room between the frame and the text that the margins add to.
constexpr int kPadding = 2;
// The tip opens this far below the mouse, clear of the pointer, so it never covers the tool under it.
constexpr int kBelowCursor = 20;

int DoubleClickInterval() { return QGuiApplication::styleHints()->mouseDoubleClickInterval(); }

// Tips keep their line breaks whatever the platform's convention; a label breaks lines at "\n" only.
QString LabelText(QString text) {
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return text;
}

}  // namespace

cTooltip::cTooltip() {
  show_timer_.setSingleShot(true);
  pop_timer_.setSingleShot(true);
  connect(&show_timer_, &QTimer::timeout, this, &cTooltip::ShowTip);
  connect(&pop_timer_, &QTimer::timeout, this, &cTooltip::HideTip);
  SetDelay(kAutomatic, -1);
  const QPalette palette = QToolTip::palette();
  back_color_ = palette.color(QPalette::ToolTipBase);
  fore_color_ = palette.color(QPalette::ToolTipText);
}

cTooltip::~cTooltip() {
  for (Tool& tool : tools_) {
    if (tool.Widget) Watch(tool.Widget, false);
  }
  delete tip_.data();
}

bool cTooltip::Create(QWidget* frm) {
  if (Ready()) return true;
  tip_ = new QLabel(frm, Qt::ToolTip | Qt::FramelessWindowHint);
  tip_->setObjectName(QStringLiteral("cTooltip"));
  tip_->setWordWrap(true);
  tip_->setTextFormat(Qt::PlainText);
  tip_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  tip_->setFrameStyle(QFrame::Box | QFrame::Plain);
  tip_->setLineWidth(1);
  tip_->setIndent(0);
  tip_->setAutoFillBackground(true);
  tip_->setAttribute(Qt::WA_ShowWithoutActivating);
  tip_->setAttribute(Qt::WA_TransparentForMouseEvents);
  tip_->setFont(QToolTip::font());
  Layout();
  return true;
}

cTooltip::Tool* cTooltip::FindTool(const QWidget* ctrl) {
  const auto it = std::find_if(tools_.begin(), tools_.end(), [&](const Tool& t) { return t.Widget == ctrl; });
  return it == tools_.end() ? nullptr : &*it;
}

const cTooltip::Tool* cTooltip::FindTool(const QWidget* ctrl) const {
  return const_cast<cTooltip*>(this)->FindTool(ctrl);
}

bool cTooltip::AddTool(QWidget* ctrl, const QString& sText) {
  if (!Ready() || ctrl == nullptr || FindTool(ctrl) != nullptr) return false;
  const QString text = sText.isEmpty() ? QStringLiteral("Tool%1").arg(ToolCount() + 1) : sText;
  max_text_length_ = std::max(max_text_length_, static_cast<int>(text.size()) + 1);
  tools_.push_back({ctrl, text});
  Watch(ctrl, true);
  // A tool added under a resting mouse (as after a selection) shows without waiting for the mouse to
  // re-enter.
  if (ctrl->isVisible() && ctrl->rect().contains(ctrl->mapFromGlobal(QCursor::pos()))) Arm(ctrl, initial_ms_);
  return true;
}

bool cTooltip::RemoveTool(QWidget* ctrl) {
  if (!Ready() || ctrl == nullptr) return false;
  const auto it = std::find_if(tools_.begin(), tools_.end(), [&](const Tool& t) { return t.Widget == ctrl; });
  if (it == tools_.end()) return false;
  tools_.erase(it);
  Watch(ctrl, false);
  if (pending_ == ctrl) show_timer_.stop();
  if (shown_ == ctrl) HideTip();
  return true;
}

QColor cTooltip::BackColor() const { return Ready() ? back_color_ : QColor(); }

void cTooltip::BackColor(const QColor& clr) {
  if (!Ready()) return;
  back_color_ = clr;
  Layout();
}

int cTooltip::DelayTime(int dwType) const {
  if (!Ready()) return 0;
  switch (dwType & 3) {
    case kReshow:
      return reshow_ms_;
    case kAutopop:
      return autopop_ms_;
    default:
      return initial_ms_;
  }
}

void cTooltip::DelayTime(int dwType, int dwMilliSecs) {
  if (Ready()) SetDelay(dwType, dwMilliSecs);
}

void cTooltip::SetDelay(int kind, int dwMilliSecs) {
  const int base = DoubleClickInterval();
  switch (kind & 3) {
    case kAutomatic: {
      const int ms = dwMilliSecs < 0 ? base : dwMilliSecs;
      initial_ms_ = ms;
      reshow_ms_ = ms / 5;
      autopop_ms_ = ms > std::numeric_limits<int>::max() / 10 ? std::numeric_limits<int>::max() : ms * 10;
      break;
    }
    case kReshow:
      reshow_ms_ = dwMilliSecs < 0 ? base / 5 : dwMilliSecs;
      break;
    case kAutopop:
      autopop_ms_ = dwMilliSecs < 0 ? base * 10 : dwMilliSecs;
      if (pop_timer_.isActive()) pop_timer_.start(autopop_ms_);
      break;
    case kInitial:
      initial_ms_ = dwMilliSecs < 0 ? base : dwMilliSecs;
      break;
  }
}

QColor cTooltip::ForeColor() const { return Ready() ? fore_color_ : QColor(); }

void cTooltip::ForeColor(const QColor& clr) {
  if (!Ready()) return;
  fore_color_ = clr;
  Layout();
}

QLabel* cTooltip::hWnd() const { return tip_.data(); }

int cTooltip::Margin(int dwType) const {
  if (!Ready() || dwType < kLeft || dwType > kBottom) return 0;
  return margins_[dwType];
}

void cTooltip::Margin(int dwType, int cPixels) {
  if (!Ready()) return;
  if (dwType >= kLeft && dwType <= kBottom) margins_[dwType] = cPixels;
  Layout();
}

std::int16_t cTooltip::MaxTipWidth() const { return Ready() ? static_cast<std::int16_t>(max_tip_width_) : 0; }

void cTooltip::MaxTipWidth(std::int16_t cx) {
  if (!Ready()) return;
  max_tip_width_ = cx < 1 ? -1 : cx;
  Layout();
}

std::int16_t cTooltip::ToolCount() const {
  if (!Ready()) return 0;
  const auto alive =
      std::count_if(tools_.begin(), tools_.end(), [](const Tool& t) { return !t.Widget.isNull(); });
  return static_cast<std::int16_t>(std::min<std::ptrdiff_t>(alive, std::numeric_limits<std::int16_t>::max()));
}

QString cTooltip::ToolText(QWidget* ctrl) const {
  const Tool* tool = Ready() && ctrl != nullptr ? FindTool(ctrl) : nullptr;
  if (tool == nullptr) return QString();
  const auto nul = tool->Text.indexOf(QChar(u'\0'));
  return nul < 0 ? tool->Text : tool->Text.left(nul);
}

void cTooltip::ToolText(QWidget* ctrl, const QString& sText) {
  Tool* tool = Ready() && ctrl != nullptr ? FindTool(ctrl) : nullptr;
  if (tool == nullptr) return;
  tool->Text = sText;
  max_text_length_ = std::max(max_text_length_, static_cast<int>(sText.size()) + 1);
  if (shown_ == ctrl) Layout();
}

void cTooltip::Watch(QWidget* ctrl, bool on) {
  // Over a scrolling widget (a text box) the mouse events land on its viewport.
  auto* area = qobject_cast<QAbstractScrollArea*>(ctrl);
  for (QObject* target :
       {static_cast<QObject*>(ctrl), area ? static_cast<QObject*>(area->viewport()) : nullptr}) {
    if (target == nullptr) continue;
    if (on) {
      target->installEventFilter(this);
    } else {
      target->removeEventFilter(this);
    }
  }
  if (on) {
    connect(ctrl, &QObject::destroyed, this, [this] {
      tools_.erase(
          std::remove_if(tools_.begin(), tools_.end(), [](const Tool& t) { return t.Widget.isNull(); }),
          tools_.end());
      if (shown_.isNull()) HideTip();
    });
  } else {
    disconnect(ctrl, &QObject::destroyed, this, nullptr);
  }
}

QWidget* cTooltip::ToolOfWatched(const QObject* watched) const {
  for (const Tool& tool : tools_) {
    if (tool.Widget.isNull()) continue;
    if (tool.Widget == watched) return tool.Widget;
    auto* area = qobject_cast<QAbstractScrollArea*>(tool.Widget.data());
    if (area != nullptr && area->viewport() == watched) return tool.Widget;
  }
  return nullptr;
}

bool cTooltip::eventFilter(QObject* watched, QEvent* event) {
  QWidget* tool = Ready() ? ToolOfWatched(watched) : nullptr;
  if (tool == nullptr) return false;
  switch (event->type()) {
    case QEvent::MouseMove:
      if (static_cast<QMouseEvent*>(event)->buttons() != Qt::NoButton) break;  // a drag, not a rest
      [[fallthrough]];
    case QEvent::Enter:
      // The mouse must come to rest: every move starts the wait again, until the tip is up.
      if (shown_ != tool) Arm(tool, tip_->isVisible() ? reshow_ms_ : initial_ms_);
      break;
    case QEvent::Leave:
      if (watched == tool) {
        show_timer_.stop();
        if (shown_ == tool) HideTip();
      }
      break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::Hide:
    case QEvent::Wheel:
      show_timer_.stop();
      if (shown_ == tool) HideTip();
      break;
    default:
      break;
  }
  return false;
}

void cTooltip::Arm(QWidget* ctrl, int delay_ms) {
  pending_ = ctrl;
  show_timer_.start(std::max(delay_ms, 0));
}

void cTooltip::ShowTip() {
  if (!Ready() || pending_.isNull() || FindTool(pending_) == nullptr) return;
  shown_ = pending_;
  Layout();
  QPoint at = QCursor::pos() + QPoint(0, kBelowCursor);
  if (const QScreen* screen = QGuiApplication::screenAt(QCursor::pos())) {
    const QRect room = screen->availableGeometry();
    at.setX(std::clamp(at.x(), room.left(), std::max(room.left(), room.right() - tip_->width())));
    at.setY(std::clamp(at.y(), room.top(), std::max(room.top(), room.bottom() - tip_->height())));
  }
  tip_->move(at);
  tip_->show();
  tip_->raise();
  pop_timer_.start(autopop_ms_);
}

void cTooltip::HideTip() {
  pop_timer_.stop();
  shown_ = nullptr;
  if (Ready()) tip_->hide();
}

void cTooltip::Layout() {
  if (!Ready()) return;
  QPalette palette = tip_->palette();
  palette.setColor(QPalette::Window, back_color_);
  palette.setColor(QPalette::WindowText, fore_color_);
  tip_->setPalette(palette);
  tip_->setContentsMargins(kPadding + margins_[kLeft], kPadding + margins_[kTop], kPadding + margins_[kRight],
                           kPadding + margins_[kBottom]);

  const Tool* tool = shown_ ? FindTool(shown_) : nullptr;
  const QString text = tool ? LabelText(ToolText(tool->Widget)) : QString();
  tip_->setText(text);
  // Lines wrap at word boundaries within the maximum width; a word longer than it widens the tip.
  constexpr int kUnbounded = 1 << 20;
  const int wrap = max_tip_width_ > 0 ? max_tip_width_ : kUnbounded;
  const QRect needed =
      QFontMetrics(tip_->font())
          .boundingRect(QRect(0, 0, wrap, kUnbounded), Qt::AlignLeft | Qt::TextWordWrap, text);
  const QMargins around = tip_->contentsMargins();
  const int frame = 2 * tip_->frameWidth();
  tip_->setFixedSize(needed.width() + around.left() + around.right() + frame,
                     needed.height() + around.top() + around.bottom() + frame);
}

}  // namespace qm::ui
