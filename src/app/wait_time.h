#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "app/app_state.h"
#include "app/main_view.h"

namespace qm::app {

// The decisions of the wait-time dialog: its arrows and its OK. The value of a text is the number it starts
// with, read as the settings file reads numbers (ReadLeadingNumber).

inline constexpr int kMinWait = 1;
inline constexpr int kMaxWait = 32000;

/// Which limit an arrow click reached; `Label1` shows it and hides for kNone.
enum class WaitLimit { kNone, kMin, kMax };

struct WaitStep {
  std::int16_t Value;
  WaitLimit Limit;
};

/// An arrow click on the text of the box: its value plus `step` (+1 up, -1 down), rounded half to even, and
/// always kept within 1..32000. The up arrow reports kMax when it reaches 32000, the down arrow kMin when it
/// reaches 1. A text of letters, or one whose number lies far outside the range ("99999"), gives a value
/// within the range too.
WaitStep StepWaitTime(std::string_view text, int step);

/// The caption of `Label1` for a limit: "Min wait time", "Max wait time", empty for none.
std::string WaitLimitCaption(WaitLimit limit);

/// The dialog's OK with the text as typed. A value outside 1..32000 shows "Invalid wait time: ", the text and
/// the range (critical icon, title AppTitle) and changes nothing. Otherwise stores the rounded value as `Wait`, shows
/// it on the main window, restarts `Countdown` from it and writes [Options] Wait. Returns whether the dialog
/// may close.
bool AcceptWaitTime(AppState& state, MainView& view, std::string_view text);

}  // namespace qm::app
