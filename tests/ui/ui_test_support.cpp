#include "ui_test_support.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDesktopServices>
#include <memory>

namespace qm::test {

OpenedUrls::OpenedUrls(const char* scheme) : scheme_(scheme) { QDesktopServices::setUrlHandler(scheme_, this, "Open"); }

OpenedUrls::~OpenedUrls() { QDesktopServices::unsetUrlHandler(scheme_); }

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
