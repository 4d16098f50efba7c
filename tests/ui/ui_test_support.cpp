#include "ui_test_support.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <memory>

namespace qm::test {

OpenedUrls::OpenedUrls(const char* scheme) : scheme_(scheme) {
  QDesktopServices::setUrlHandler(scheme_, this, "Open");
}

OpenedUrls::~OpenedUrls() { QDesktopServices::unsetUrlHandler(scheme_); }

void ExpectNothingOverlapsOrClips(const QWidget* parent) {
  QList<const QWidget*> shown;
  for (const QWidget* child : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (child->isVisibleTo(parent)) shown.push_back(child);
  }
  for (int i = 0; i < shown.size(); ++i) {
    for (int j = i + 1; j < shown.size(); ++j) {
      EXPECT_FALSE(shown[i]->geometry().intersects(shown[j]->geometry()))
          << shown[i]->objectName().toStdString() << " overlaps " << shown[j]->objectName().toStdString();
    }
    const QWidget* w = shown[i];
    int needed = 0;
    if (qobject_cast<const QCheckBox*>(w) || qobject_cast<const QRadioButton*>(w))
      needed = w->sizeHint().width();
    if (const auto* button = qobject_cast<const QPushButton*>(w)) {
      needed = button->fontMetrics().boundingRect(QRect(), 0, button->text()).width();
    }
    if (const auto* label = qobject_cast<const QLabel*>(w); label != nullptr && !label->wordWrap()) {
      needed = label->sizeHint().width();
    }
    EXPECT_LE(needed, w->width()) << w->objectName().toStdString() << " clips its caption";
    if (qobject_cast<const QGroupBox*>(w) != nullptr) ExpectNothingOverlapsOrClips(w);
  }
}

}  // namespace qm::test

namespace {

// One QApplication for every test of the program, on the offscreen platform unless one was chosen.
class QtEnvironment : public testing::Environment {
 public:
  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    application_ = std::make_unique<QApplication>(argc_, argv_);
  }
  void TearDown() override { application_.reset(); }

 private:
  int argc_ = 1;
  char name_[9] = "ui_tests";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QApplication> application_;
};

const testing::Environment* const kQtEnvironment = testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace
