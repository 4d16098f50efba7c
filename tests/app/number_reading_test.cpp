#include "app/number_reading.h"

#include <gtest/gtest.h>

#include <string>

namespace qm::app {
namespace {

// The Wait cases of the settings file and of the wait-time dialog read through these two functions as well
// (startup_test.cpp, wait_time_test.cpp); here are the texts neither of them holds.
TEST(NumberReading, ReadsTheLeadingNumberAndRoundsHalvesToEvenWithinSixteenBits) {
  const struct {
    const char* Text;
    double Value;
  } numbers[] = {{" 1 2\t3", 123}, {"\n9", 9}, {"-7", -7}, {"+4", 4},  {".5", 0.5},
                 {"1.2.3", 1.2},   {"5-3", 5}, {"-", 0},   {"1,5", 1}, {"1e3", 1}};
  for (const auto& n : numbers) EXPECT_DOUBLE_EQ(ReadLeadingNumber(n.Text), n.Value) << '"' << n.Text << '"';
  EXPECT_EQ(RoundToInt16(1.5), 2);
  EXPECT_EQ(RoundToInt16(-2.5), -2);
  EXPECT_EQ(RoundToInt16(-99999), -32768);
  EXPECT_EQ(RoundToInt16(ReadLeadingNumber(std::string(400, '9'))), 32767);
}

}  // namespace
}  // namespace qm::app
