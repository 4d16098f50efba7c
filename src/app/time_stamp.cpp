#include "app/time_stamp.h"


namespace qm::app {

std::optional<std::tm> LocalTime(std::time_t t) {
  std::tm local{};
#ifdef _WIN32
  if (::localtime_s(&local, &t) != 0) return std::nullopt;
#else
  if (::localtime_r(&t, &local) == nullptr) return std::nullopt;
#endif
  return local;
}

std::string FormatStamp(std::chrono::system_clock::time_point time) {
  const std::optional<std::tm> local = LocalTime(std::chrono::system_clock::to_time_t(time));
  if (!local) return {};
  char text[32];
  const std::size_t n = std::strftime(text, sizeof text, "%m/%d/%Y - %H:%M", &*local);
  return std::string(text, n);
}

}  // namespace qm::app
