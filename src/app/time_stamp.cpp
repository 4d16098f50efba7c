#include "app/time_stamp.h"

#include <ctime>

namespace qm::app {

std::string FormatStamp(std::chrono::system_clock::time_point time) {
  const std::time_t t = std::chrono::system_clock::to_time_t(time);
  std::tm local{};
#ifdef _WIN32
  if (::localtime_s(&local, &t) != 0) return {};
#else
  if (::localtime_r(&t, &local) == nullptr) return {};
#endif
  char text[32];
  const std::size_t n = std::strftime(text, sizeof text, "%m/%d/%Y - %H:%M", &local);
  return std::string(text, n);
}

}  // namespace qm::app
