// The test programs' main: gtest's, unless the program was started again to run a child body.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/child_process.h"

int main(int argc, char** argv) {
  qm::test::RunChildIfAsked(argc, argv);
  testing::InitGoogleMock(&argc, argv);
  return RUN_ALL_TESTS();
}
