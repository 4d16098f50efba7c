#pragma once

#include <cstdint>
#include <string_view>

namespace qm::app {

/// The number a text starts with: an optional sign, decimal digits and an optional fractional part. Blanks,
/// tabs and line feeds are skipped wherever they occur ("1 2" reads 12); reading stops at the first other
/// character that cannot continue the number. A text that does not start with a number reads 0.
double ReadLeadingNumber(std::string_view text);

/// The nearest integer, a half going to the even neighbour (2.5 gives 2, 3.5 gives 4), clamped to the 16-bit
/// signed range.
std::int16_t RoundToInt16(double value);

}  // namespace qm::app
