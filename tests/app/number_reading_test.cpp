#include "app/number_reading.h"

#include <gtest/gtest.h>

#include "app/settings.h"

namespace qm::app {
namespace {

struct NumberCase {
  const char* Text;
  double Value;
};

class LeadingNumber : public testing::TestWithParam<NumberCase> {};

TEST_P(LeadingNumber, ReadsTheNumberTheTextStartsWith) {
  EXPECT_DOUBLE_EQ(ReadLeadingNumber(GetParam().Text), GetParam().Value) << '"' << GetParam().Text << '"';
}

INSTANTIATE_TEST_SUITE_P(Texts, LeadingNumber,
                         testing::Values(NumberCase{"15abc", 15}, NumberCase{"2.5", 2.5},
                                         NumberCase{"abc", 0}, NumberCase{"", 0}, NumberCase{" 1 2\t3", 123},
                                         NumberCase{"12 x", 12}, NumberCase{"-7", -7}, NumberCase{"+4", 4},
                                         NumberCase{".5", 0.5}, NumberCase{"1.2.3", 1.2},
                                         NumberCase{"5-3", 5}, NumberCase{"-", 0}, NumberCase{"1,5", 1},
                                         NumberCase{"1e3", 1}, NumberCase{"\n9", 9}));

TEST(RoundToInt16, RoundsHalvesToEvenAndClampsToSixteenBits) {
  EXPECT_EQ(RoundToInt16(2.5), 2);
  EXPECT_EQ(RoundToInt16(3.5), 4);
  EXPECT_EQ(RoundToInt16(1.5), 2);
  EXPECT_EQ(RoundToInt16(-2.5), -2);
  EXPECT_EQ(RoundToInt16(2.6), 3);
  EXPECT_EQ(RoundToInt16(99999), 32767);
  EXPECT_EQ(RoundToInt16(-99999), -32768);
  EXPECT_EQ(RoundToInt16(ReadLeadingNumber(std::string(400, '9'))), 32767);
}

TEST(WaitFromSetting, EmptyGivesTheDefaultAnythingElseItsLeadingNumber) {
  EXPECT_EQ(WaitFromSetting(""), 10);
  EXPECT_EQ(WaitFromSetting("15abc"), 15);
  EXPECT_EQ(WaitFromSetting("2.5"), 2);
  EXPECT_EQ(WaitFromSetting("3.5"), 4);
  EXPECT_EQ(WaitFromSetting("abc"), 0);
  EXPECT_EQ(WaitFromSetting("40000"), 32767);
}

}  // namespace
}  // namespace qm::app
