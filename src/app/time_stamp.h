#pragma once

#include <chrono>
#include <ctime>
#include <optional>
#include <string>

namespace qm::app {

/// The local time of `t`, by the system's thread-safe call; none when the time has no local form.
std::optional<std::tm> LocalTime(std::time_t t);

/// The local date and time as a run's start and the status bar show them: "12/06/2026 - 14:05"; empty when
/// the time has no local form.
std::string FormatStamp(std::chrono::system_clock::time_point time);

}  // namespace qm::app
