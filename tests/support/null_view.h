#pragma once

#include "app/main_view.h"

namespace qm::test {

/// A MainView that shows nothing and answers every message box with OK (or No to a question): for fuzz targets
/// and benchmarks, which run millions of images.
class NullView : public app::MainView {
 public:
  app::Answer ShowMessage(const app::Message& message) override {
    return message.Buttons == app::MessageButtons::kYesNo ? app::Answer::kNo : app::Answer::kOk;
  }
  void Beep() override {}
  void SetEnabled(app::Control, bool) override {}
  void SetVisible(app::Control, bool) override {}
  void SetCaption(app::Control, std::string_view) override {}
  void SetChecked(app::Control, bool) override {}
  void SetWindowCaption(std::string_view) override {}
  void SetStatusText(int, std::string_view) override {}
  void SetProgressValue(int) override {}
  void SetProgressMaximum(int) override {}
  void SetRunFace(app::RunFace) override {}
  void SetTimerInterval(int) override {}
  void SetTimerEnabled(bool) override {}
  void ProcessPendingEvents() override {}
};

}  // namespace qm::test
