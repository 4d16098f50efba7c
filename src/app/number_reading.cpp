#include "app/number_reading.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace qm::app {

double ReadLeadingNumber(std::string_view text) {
  std::string number;
  bool negative = false;
  bool seen_sign_or_digit = false;
  bool seen_point = false;
  for (const char c : text) {
    if (c == ' ' || c == '\t' || c == '\n') continue;
    if ((c == '-' || c == '+') && !seen_sign_or_digit && !seen_point) {
      negative = c == '-';
      seen_sign_or_digit = true;
      continue;
    }
    if (c >= '0' && c <= '9') {
      number.push_back(c);
      seen_sign_or_digit = true;
      continue;
    }
    if (c == '.' && !seen_point) {
      number.push_back(c);
      seen_point = true;
      continue;
    }
    break;
  }
  if (number.empty() || number == ".") return 0.0;
  double value = 0.0;
  // from_chars reads "5." and ".5"; it does not depend on the locale's decimal point.
  const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
  if (ec == std::errc::result_out_of_range) value = std::numeric_limits<double>::infinity();
  (void)end;
  return negative ? -value : value;
}

std::int16_t RoundToInt16(double value) {
  if (std::isnan(value)) return 0;
  const double rounded =
      std::nearbyint(value);  // the default rounding mode sends halves to the even neighbour
  if (rounded > std::numeric_limits<std::int16_t>::max()) return std::numeric_limits<std::int16_t>::max();
  if (rounded < std::numeric_limits<std::int16_t>::min()) return std::numeric_limits<std::int16_t>::min();
  return static_cast<std::int16_t>(rounded);
}

}  // namespace qm::app
