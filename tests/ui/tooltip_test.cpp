#include "ui/tooltip.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyleHints>
#include <QTest>
#include <memory>

namespace qm::ui {
namespace {

class TooltipTest : public testing::Test {
 protected:
  void SetUp() override {
    form_ = std::make_unique<QWidget>();
    form_->resize(300, 200);
    box_ = new QPlainTextEdit(form_.get());
    box_->setGeometry(10, 10, 200, 100);
    button_ = new QPushButton("OK", form_.get());
    button_->setGeometry(10, 150, 80, 30);
    form_->show();
  }

  static void Enter(QWidget* widget) {
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), widget->mapToGlobal(QPointF(5, 5)));
    QApplication::sendEvent(widget, &enter);
  }

  std::unique_ptr<QWidget> form_;
  QPlainTextEdit* box_ = nullptr;
  QPushButton* button_ = nullptr;
};

TEST_F(TooltipTest, DoesNothingBeforeCreate) {
  cTooltip tip;
  EXPECT_EQ(tip.hWnd(), nullptr);
  EXPECT_FALSE(tip.AddTool(box_, "text"));
  EXPECT_FALSE(tip.RemoveTool(box_));
  tip.ToolText(box_, "text");
  tip.MaxTipWidth(240);
  tip.DelayTime(cTooltip::kAutopop, 32760);
  tip.Margin(cTooltip::kLeft, 4);
  tip.BackColor(Qt::red);
  EXPECT_EQ(tip.ToolCount(), 0);
  EXPECT_EQ(tip.ToolText(box_), "");
  EXPECT_EQ(tip.MaxTipWidth(), 0);
  EXPECT_EQ(tip.DelayTime(cTooltip::kAutopop), 0);
  EXPECT_EQ(tip.Margin(cTooltip::kLeft), 0);
  EXPECT_FALSE(tip.BackColor().isValid());
  EXPECT_FALSE(tip.ForeColor().isValid());
  EXPECT_EQ(tip.MaxTextLength(), 0);
}

TEST_F(TooltipTest, CreatesOneTipWindowOwnedByTheForm) {
  cTooltip tip;
  EXPECT_TRUE(tip.Create(form_.get()));
  QLabel* window = tip.hWnd();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->parentWidget(), form_.get());
  EXPECT_TRUE(window->windowFlags() & Qt::ToolTip);
  EXPECT_TRUE(tip.Create(form_.get()));
  EXPECT_EQ(tip.hWnd(), window);
  EXPECT_FALSE(window->isVisible());
}

TEST_F(TooltipTest, DefaultTextsCountTheToolsThereAreNow) {
  cTooltip tip;
  tip.Create(form_.get());
  EXPECT_TRUE(tip.AddTool(box_));
  EXPECT_TRUE(tip.AddTool(button_, ""));
  EXPECT_EQ(tip.ToolText(box_), "Tool1");
  EXPECT_EQ(tip.ToolText(button_), "Tool2");
  EXPECT_EQ(tip.ToolCount(), 2);

  EXPECT_TRUE(tip.RemoveTool(box_));
  EXPECT_FALSE(tip.RemoveTool(box_));
  auto* third = new QPushButton(form_.get());
  EXPECT_TRUE(tip.AddTool(third));
  EXPECT_EQ(tip.ToolText(third), "Tool2");
  EXPECT_EQ(tip.ToolText(box_), "");
}

TEST_F(TooltipTest, AControlGetsOneToolAndTextsOnlyForTools) {
  cTooltip tip;
  tip.Create(form_.get());
  EXPECT_FALSE(tip.AddTool(nullptr, "x"));
  tip.ToolText(box_, "kept nowhere");
  EXPECT_EQ(tip.ToolText(box_), "");
  EXPECT_EQ(tip.MaxTextLength(), 0);

  EXPECT_TRUE(tip.AddTool(box_, "first"));
  EXPECT_FALSE(tip.AddTool(box_, "second"));
  EXPECT_EQ(tip.ToolText(box_), "first");
  EXPECT_EQ(tip.ToolCount(), 1);
  EXPECT_EQ(tip.MaxTextLength(), 6);

  tip.ToolText(box_, QStringLiteral("a longer text\r\nover two lines"));
  EXPECT_EQ(tip.ToolText(box_), "a longer text\r\nover two lines");
  EXPECT_EQ(tip.MaxTextLength(), 30);
  tip.ToolText(box_, "ab");
  EXPECT_EQ(tip.MaxTextLength(), 30);
  tip.ToolText(box_, QString::fromUtf16(u"cut\0here", 8));
  EXPECT_EQ(tip.ToolText(box_), "cut");
}

TEST_F(TooltipTest, WidthDelaysAndMarginsKeepTheirEdgeRules) {
  cTooltip tip;
  tip.Create(form_.get());
  EXPECT_EQ(tip.MaxTipWidth(), -1);
  tip.MaxTipWidth(240);
  EXPECT_EQ(tip.MaxTipWidth(), 240);
  for (const std::int16_t none : {0, -5}) {
    tip.MaxTipWidth(none);
    EXPECT_EQ(tip.MaxTipWidth(), -1);
  }

  tip.DelayTime(6, 32760);  // only the two low bits of the kind count: 6 is the autopop delay
  EXPECT_EQ(tip.DelayTime(cTooltip::kAutopop), 32760);
  tip.DelayTime(cTooltip::kAutomatic, 1000);
  EXPECT_EQ(tip.DelayTime(cTooltip::kInitial), 1000);
  EXPECT_EQ(tip.DelayTime(cTooltip::kAutopop), 10000);
  EXPECT_EQ(tip.DelayTime(cTooltip::kReshow), 200);
  EXPECT_EQ(tip.DelayTime(cTooltip::kAutomatic), 1000);
  tip.DelayTime(cTooltip::kAutopop, -1);
  const int interval = QGuiApplication::styleHints()->mouseDoubleClickInterval();
  EXPECT_EQ(tip.DelayTime(cTooltip::kAutopop), 10 * interval);

  tip.Margin(cTooltip::kLeft, 4);
  tip.Margin(cTooltip::kBottom, 7);
  tip.Margin(5, 99);
  EXPECT_EQ(tip.Margin(5), 0);
  EXPECT_EQ(tip.Margin(-1), 0);
  EXPECT_EQ(tip.Margin(cTooltip::kLeft), 4);
  EXPECT_EQ(tip.Margin(cTooltip::kTop), 0);
  EXPECT_EQ(tip.Margin(cTooltip::kRight), 0);
  EXPECT_EQ(tip.Margin(cTooltip::kBottom), 7);
  const QMargins around = tip.hWnd()->contentsMargins();
  EXPECT_EQ(around.left() - around.right(), 4);
  EXPECT_EQ(around.bottom() - around.top(), 7);
}

TEST_F(TooltipTest, ShowsTheToolsTextWhenTheMouseRestsAndHidesAfterTheAutopopDelay) {
  cTooltip tip;
  tip.Create(form_.get());
  tip.DelayTime(cTooltip::kInitial, 10);
  tip.DelayTime(cTooltip::kAutopop, 300);
  tip.BackColor(QColor(0xFF, 0xFF, 0xE1));
  tip.ForeColor(Qt::darkBlue);
  tip.AddTool(box_, QStringLiteral("\xE9 = 233 / E9\r\n\xB6 = 13 / D"));
  tip.AddTool(button_, "button");

  Enter(box_);
  QLabel* window = tip.hWnd();
  ASSERT_TRUE(QTest::qWaitFor([&] { return window->isVisible(); }, 2000));
  EXPECT_EQ(window->text(), QStringLiteral("\xE9 = 233 / E9\n\xB6 = 13 / D"));
  EXPECT_EQ(window->palette().color(QPalette::Window), QColor(0xFF, 0xFF, 0xE1));
  EXPECT_EQ(window->palette().color(QPalette::WindowText), QColor(Qt::darkBlue));
  EXPECT_TRUE(QTest::qWaitFor([&] { return !window->isVisible(); }, 3000));

  Enter(button_);
  ASSERT_TRUE(QTest::qWaitFor([&] { return window->isVisible(); }, 2000));
  EXPECT_EQ(window->text(), "button");
}

TEST_F(TooltipTest, LeavingOrPressingHidesTheTip) {
  cTooltip tip;
  tip.Create(form_.get());
  tip.DelayTime(cTooltip::kInitial, 0);
  tip.DelayTime(cTooltip::kAutopop, 60000);
  tip.AddTool(box_, "tip");
  QLabel* window = tip.hWnd();

  Enter(box_);
  ASSERT_TRUE(QTest::qWaitFor([&] { return window->isVisible(); }, 2000));
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(box_, &leave);
  EXPECT_FALSE(window->isVisible());

  Enter(box_);
  ASSERT_TRUE(QTest::qWaitFor([&] { return window->isVisible(); }, 2000));
  QTest::mousePress(box_->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_FALSE(window->isVisible());
}

TEST_F(TooltipTest, LongLinesWrapAtTheMaximumWidth) {
  cTooltip tip;
  tip.Create(form_.get());
  tip.DelayTime(cTooltip::kInitial, 0);
  const QString words = QStringLiteral("several short words that cannot stand on one line of the tip");
  tip.AddTool(box_, words);
  QLabel* window = tip.hWnd();
  const QFontMetrics metrics(window->font());

  Enter(box_);
  ASSERT_TRUE(QTest::qWaitFor([&] { return window->isVisible(); }, 2000));
  EXPECT_GE(window->width(), metrics.horizontalAdvance(words));
  EXPECT_LT(window->height(), 2 * metrics.lineSpacing());

  tip.MaxTipWidth(120);
  EXPECT_LE(window->contentsRect().width(), 120);
  EXPECT_GE(window->contentsRect().height(), 3 * metrics.height());
}

TEST_F(TooltipTest, DroppingTheObjectRemovesItsTips) {
  auto tip = std::make_unique<cTooltip>();
  tip->Create(form_.get());
  tip->DelayTime(cTooltip::kInitial, 0);
  tip->AddTool(box_, "tip");
  QPointer<QLabel> window = tip->hWnd();
  Enter(box_);
  ASSERT_TRUE(QTest::qWaitFor([&] { return window->isVisible(); }, 2000));

  tip.reset();
  EXPECT_TRUE(window.isNull());
  Enter(box_);  // no filter of the dropped object is left behind
  QTest::qWait(20);
}

TEST_F(TooltipTest, OutlivingItsFormOrToolsIsHarmless) {
  cTooltip tip;
  tip.Create(form_.get());
  tip.AddTool(box_);
  tip.AddTool(button_);
  delete button_;
  EXPECT_EQ(tip.ToolCount(), 1);
  auto* again = new QPushButton(form_.get());
  EXPECT_TRUE(tip.AddTool(again));
  EXPECT_EQ(tip.ToolText(again), "Tool2");

  form_.reset();
  EXPECT_EQ(tip.hWnd(), nullptr);
  EXPECT_EQ(tip.ToolCount(), 0);
  EXPECT_FALSE(tip.AddTool(nullptr));
}

}  // namespace
}  // namespace qm::ui
