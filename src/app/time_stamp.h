#pragma once

#include <chrono>
#include <string>

namespace qm::app {

/// The local date and time as a run's start and the status bar show them: "12/06/2026 - 14:05"; empty when
/// the time has no local form.
std::string FormatStamp(std::chrono::system_clock::time_point time);

}  // namespace qm::app
