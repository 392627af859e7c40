// Reading command lines.
#include <gtest/gtest.h>

#include "case_name.h"

#include <cstdio>
#include <string>
#include <vector>

#include "line_reader.h"

namespace {

struct Step {
  LineStatus status;
  std::string line;  // the buffer's text after the call
};

struct LineCase {
  const char* name;
  std::string input;
  std::vector<Step> steps;
};

class LineReaderTest : public testing::TestWithParam<LineCase> {};

TEST_P(LineReaderTest, ReadsLinesAsTyped) {
  const LineCase& c = GetParam();
  std::FILE* in = std::tmpfile();
  std::fwrite(c.input.data(), 1, c.input.size(), in);
  std::rewind(in);
  char line[80];
  std::snprintf(line, sizeof line, "previous");
  for (std::size_t i = 0; i < c.steps.size(); ++i) {
    EXPECT_EQ(ReadLine(in, line), c.steps[i].status) << "step " << i;
    EXPECT_EQ(std::string(line), c.steps[i].line) << "step " << i;
  }
  std::fclose(in);
}

const std::string k79(79, 'x');
const std::string k80(80, 'y');

INSTANTIATE_TEST_SUITE_P(
    Lines, LineReaderTest,
    testing::Values(
        LineCase{"TwoLines", "abc\nd\n", {{LineStatus::kLine, "abc"}, {LineStatus::kLine, "d"},
                                          {LineStatus::kEnd, "d"}}},
        LineCase{"EndAtStartKeepsTheBuffer", "", {{LineStatus::kEnd, "previous"}}},
        LineCase{"EndMidLineIsStillALine", "abc", {{LineStatus::kLine, "abc"},
                                                    {LineStatus::kEnd, "abc"}}},
        LineCase{"EmptyLine", "\n", {{LineStatus::kLine, ""}, {LineStatus::kEnd, ""}}},
        LineCase{"CrLfLikeLf", "abc\r\n\r\n", {{LineStatus::kLine, "abc"}, {LineStatus::kLine, ""}}},
        LineCase{"CrElsewhereIsText", "a\rb\n\r\r\n", {{LineStatus::kLine, "a\rb"},
                                                       {LineStatus::kLine, "\r"}}},
        LineCase{"CrAtEndOfInputIsText", "abc\r", {{LineStatus::kLine, "abc\r"}}},
        LineCase{"LongestLine", k79 + "\n", {{LineStatus::kLine, k79}}},
        LineCase{"LongestLineWithCrLf", k79 + "\r\n", {{LineStatus::kLine, k79}}},
        LineCase{"LongestLineAtEnd", k79, {{LineStatus::kLine, k79}}},
        LineCase{"TooLongIsDroppedWhole", k80 + "\nok\n", {{LineStatus::kTooLong, ""},
                                                          {LineStatus::kLine, "ok"}}},
        LineCase{"TooLongBecauseOfACr", k79 + "\rz\n", {{LineStatus::kTooLong, ""}}},
        LineCase{"TooLongAtEndOfInput", k80 + k80, {{LineStatus::kTooLong, ""},
                                                   {LineStatus::kEnd, ""}}}),
    CaseName());

}  // namespace
