// The built dmx-terminal on this machine, which has no adapter attached.
#include <gtest/gtest.h>

#include "case_name.h"

#include <string>

#include "hidraw_sysfs.h"
#include "process_runner.h"

namespace {

const std::string kExpected =
    "\nLorund Demo (mouse click the window Close Box to quit)\n"
    "\nDMX Adapter was not found!\n";

bool AdapterAttached() {
  for (const HidrawEntry& entry : ListHidrawEntries("/sys/class/hidraw", "/dev")) {
    if (entry.identified && entry.vendor_id == 0x0F48 && entry.product_id == 0x4201) return true;
  }
  return false;
}

struct BinaryCase {
  const char* name;
  std::string input;
};

class TerminalBinaryTest : public testing::TestWithParam<BinaryCase> {};

TEST_P(TerminalBinaryTest, ShowsBannerAndNotFoundThenEndsWithZero) {
  if (AdapterAttached()) GTEST_SKIP() << "an adapter is attached to this machine";
  const ProcessResult result = RunProcess(DMX_TERMINAL_PATH, GetParam().input);
  EXPECT_FALSE(result.timed_out);
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.out, kExpected);
  EXPECT_EQ(result.err, "");
}

INSTANTIATE_TEST_SUITE_P(Binary, TerminalBinaryTest,
                         testing::Values(BinaryCase{"AfterOneLine", "\n"},
                                         BinaryCase{"AtEndOfInputWithNothingTyped", ""},
                                         BinaryCase{"LaterLinesChangeNothing", "one\ntwo\nthree\n"}),
                         CaseName());

}  // namespace
