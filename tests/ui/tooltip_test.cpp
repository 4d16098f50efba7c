#include "ui/tooltip.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <memory>

namespace qm::ui {
namespace {

class TooltipTest : public testing::Test {
 protected:
  void SetUp() override {
    form_ = std::make_unique<QWidget>();
    form_->resize(300, 200);
    // Away from the corner, where the mouse of the offscreen platform sits.
    box_ = new QPlainTextEdit(form_.get());
    box_->setGeometry(10, 10, 200, 100);
    button_ = new QPushButton("OK", form_.get());
    button_->setGeometry(10, 150, 80, 30);
    form_->show();
  }
  // The mouse comes to rest over `widget`; true when the tip window then shows.
  static bool EnterShows(QWidget* widget, QLabel* window) {
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), widget->mapToGlobal(QPointF(5, 5)));
    QApplication::sendEvent(widget, &enter);
    return QTest::qWaitFor([&] { return window->isVisible(); }, 2000);
  }

  std::unique_ptr<QWidget> form_;
  QPlainTextEdit* box_ = nullptr;
  QPushButton* button_ = nullptr;
};

// Dropping the object takes its tip window along: the inspector window's character tip test checks it.
TEST_F(TooltipTest, DoesNothingBeforeCreateAndOnceTheFormTookTheTipWindow) {
  cTooltip tip;
  EXPECT_FALSE(tip.AddTool(box_, "text"));
  tip.MaxTipWidth(240);
  EXPECT_EQ(tip.hWnd(), nullptr);
  EXPECT_EQ(tip.ToolCount() + tip.MaxTipWidth() + tip.DelayTime(cTooltip::kAutopop), 0);

  tip.Create(form_.get());
  tip.AddTool(box_);
  form_.reset();
  EXPECT_EQ(tip.hWnd(), nullptr);
  EXPECT_EQ(tip.ToolCount(), 0);
}

TEST_F(TooltipTest, ToolsAreKeyedByWidgetWithDefaultTextsFromTheToolCount) {
  cTooltip tip;
  EXPECT_TRUE(tip.Create(form_.get()));
  tip.ToolText(box_, "kept nowhere");
  EXPECT_TRUE(tip.AddTool(box_));
  EXPECT_FALSE(tip.AddTool(box_, "second"));
  EXPECT_TRUE(tip.AddTool(button_, ""));
  EXPECT_EQ(tip.ToolText(box_) + tip.ToolText(button_), "Tool1Tool2");
  EXPECT_TRUE(tip.RemoveTool(box_));
  EXPECT_FALSE(tip.RemoveTool(box_));
  tip.ToolText(button_, QString::fromUtf16(u"cut\0here", 8));
  EXPECT_EQ(tip.ToolText(button_), "cut");
  delete button_;  // a widget that goes takes its tool along
  EXPECT_EQ(tip.ToolCount(), 0);
}

TEST_F(TooltipTest, ShowsWhereTheMouseRestsWrapsAtTheWidthAndHidesAfterTheAutopopDelay) {
  cTooltip tip;
  tip.Create(form_.get());
  tip.DelayTime(cTooltip::kInitial, 10);
  tip.DelayTime(6, 300);  // only the two low bits of a kind count: 6 is the autopop delay
  tip.BackColor(QColor(0xFF, 0xFF, 0xE1));
  tip.AddTool(box_, QStringLiteral("\xE9 = 233 / E9\r\n\xB6 = 13 / D"));
  tip.AddTool(button_, "several short words that cannot stand on one line of the tip");
  QLabel* window = tip.hWnd();

  ASSERT_TRUE(EnterShows(box_, window));
  EXPECT_EQ(window->text(), QStringLiteral("\xE9 = 233 / E9\n\xB6 = 13 / D"));
  EXPECT_EQ(window->palette().color(QPalette::Window), QColor(0xFF, 0xFF, 0xE1));
  EXPECT_TRUE(QTest::qWaitFor([&] { return !window->isVisible(); }, 3000));

  tip.MaxTipWidth(120);
  ASSERT_TRUE(EnterShows(button_, window));
  EXPECT_LE(window->contentsRect().width(), 120);
  EXPECT_GE(window->contentsRect().height(), 3 * window->fontMetrics().height());
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(button_, &leave);
  EXPECT_FALSE(window->isVisible());
}

}  // namespace
}  // namespace qm::ui
