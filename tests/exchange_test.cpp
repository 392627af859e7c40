// The command exchange against a hand-filled adapter state and a fake device.
#include <gtest/gtest.h>

#include "case_name.h"

#include <string>
#include <vector>

#include "adapter_link.h"
#include "fake_hid.h"
#include "report_format.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

class ExchangeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetFakeHidAndAdapter();
    ConnectByHand(65, 65);
  }
  void TearDown() override { ResetFakeHidAndAdapter(); }

  static void Queue(const Bytes& report) { g_fake_hid.reads.push_back({FakeRead::kReport, report}); }

  // Runs ReadReply and returns what it printed.
  static std::string ReadPrinted(int* status) {
    testing::internal::CaptureStdout();
    *status = ReadReply();
    return testing::internal::GetCapturedStdout();
  }
};

Bytes CommandBytes(std::string_view text, std::size_t length) {
  Bytes expected(length, 0);
  expected[1] = 0x30;
  expected[2] = static_cast<std::uint8_t>(text.size() + 1);
  for (std::size_t i = 0; i < text.size(); ++i) expected[3 + i] = static_cast<std::uint8_t>(text[i]);
  expected[3 + text.size()] = 0x0D;
  return expected;
}

// --- Command reports -------------------------------------------------------

TEST_F(ExchangeTest, OpeningCommandIsExactlyOneZeroPaddedReport) {
  Queue(ReplyReport("\r\n>"));
  testing::internal::CaptureStdout();
  EXPECT_TRUE(SendCommand("I"));
  testing::internal::GetCapturedStdout();

  ASSERT_EQ(g_fake_hid.writes.size(), 1u);
  const Bytes& sent = g_fake_hid.writes[0];
  ASSERT_EQ(sent.size(), 65u);
  EXPECT_EQ(Bytes(sent.begin(), sent.begin() + 5), (Bytes{0x00, 0x30, 0x02, 0x49, 0x0D}));
  EXPECT_EQ(sent, CommandBytes("I", 65));
}

struct CommandCase {
  const char* name;
  std::uint16_t output_length;
  std::string text;
};

class CommandReportTest : public ExchangeTest, public testing::WithParamInterface<CommandCase> {};

TEST_P(CommandReportTest, LayoutIsHeaderTextCrThenZeros) {
  const CommandCase& c = GetParam();
  ResetFakeHidAndAdapter();
  ConnectByHand(65, c.output_length);
  Queue(ReplyReport("\r\n>"));
  testing::internal::CaptureStdout();
  EXPECT_TRUE(SendCommand(c.text));
  testing::internal::GetCapturedStdout();
  ASSERT_EQ(g_fake_hid.writes.size(), 1u);
  EXPECT_EQ(g_fake_hid.writes[0], CommandBytes(c.text, c.output_length));
}

INSTANTIATE_TEST_SUITE_P(
    Commands, CommandReportTest,
    testing::Values(CommandCase{"EmptyLineIsCrAlone", 65, ""},
                    CommandCase{"LongestTextFor65", 65, std::string(61, 'A')},
                    CommandCase{"LongestTextForSmallReport", 8, "abcd"},
                    CommandCase{"SmallestUsableReport", 5, "x"},
                    CommandCase{"LongestTextForBigReportIsCountLimited", 300, std::string(254, 'c')}),
    CaseName());

TEST_F(ExchangeTest, EmptyLineGivesCountOneAndCr) {
  Queue(ReplyReport("\r\n>"));
  testing::internal::CaptureStdout();
  SendCommand("");
  testing::internal::GetCapturedStdout();
  ASSERT_EQ(g_fake_hid.writes.size(), 1u);
  EXPECT_EQ(Bytes(g_fake_hid.writes[0].begin(), g_fake_hid.writes[0].begin() + 4),
            (Bytes{0x00, 0x30, 0x01, 0x0D}));
}

TEST_F(ExchangeTest, LongestTextPutsItsNulInTheExtraByte) {
  Queue(ReplyReport("\r\n>"));
  g_adapter.output_report.assign(66, 0xAA);
  testing::internal::CaptureStdout();
  SendCommand(std::string(61, 'A'));
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(g_adapter.output_report[64], 0x0D);
  EXPECT_EQ(g_adapter.output_report[65], 0x00);
}

struct TooLongCase {
  const char* name;
  std::uint16_t output_length;
  std::size_t text_length;
  std::size_t limit;
};

class TooLongTest : public ExchangeTest, public testing::WithParamInterface<TooLongCase> {};

TEST_P(TooLongTest, NothingIsSentAndTheLimitIsNamed) {
  const TooLongCase& c = GetParam();
  ResetFakeHidAndAdapter();
  ConnectByHand(65, c.output_length);
  testing::internal::CaptureStderr();
  EXPECT_TRUE(SendCommand(std::string(c.text_length, 'x')));
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(g_fake_hid.writes.empty());
  EXPECT_EQ(g_fake_hid.read_calls, 0);
  EXPECT_EQ(err, "Command too long: at most " + std::to_string(c.limit) +
                     " characters fit one report\n");
}

INSTANTIATE_TEST_SUITE_P(Commands, TooLongTest,
                         testing::Values(TooLongCase{"OneOverFor65", 65, 62, 61},
                                         TooLongCase{"OneOverForSmallReport", 8, 5, 4},
                                         TooLongCase{"CountByteWouldWrap", 400, 255, 254}),
                         CaseName());

TEST(CommandReportFormat, RefusesBuffersThatDoNotCoverTheReport) {
  Bytes report(65, 0xAA);  // no room for the NUL beyond a 65-byte report
  EXPECT_FALSE(BuildCommandReport(report, 65, "I"));
  EXPECT_EQ(report, Bytes(65, 0xAA));
  Bytes tiny(5, 0xAA);
  EXPECT_FALSE(BuildCommandReport(tiny, 4, ""));
}

// --- Write and connection failures ----------------------------------------

TEST_F(ExchangeTest, FailedWriteGivesFalseWithNoReadAndNoMessage) {
  g_fake_hid.write_succeeds = false;
  Queue(ReplyReport("\r\n>"));
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  EXPECT_FALSE(SendCommand("X"));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(g_fake_hid.read_calls, 0);
  EXPECT_EQ(g_fake_hid.notices, 0);
}

TEST_F(ExchangeTest, NotConnectedTouchesNothing) {
  g_adapter.connected = false;
  g_adapter.output_report.assign(66, 0xAA);
  EXPECT_TRUE(SendCommand("X"));
  EXPECT_TRUE(g_fake_hid.writes.empty());
  EXPECT_EQ(g_fake_hid.read_calls, 0);
  EXPECT_EQ(g_adapter.output_report, Bytes(66, 0xAA));
}

// SendCommand checks for itself that a reply can be read before it writes:
// a state whose input report cannot hold a reply header sends nothing.
class InputTooSmallTest : public ExchangeTest, public testing::WithParamInterface<std::uint16_t> {};

TEST_P(InputTooSmallTest, NothingIsWritten) {
  ResetFakeHidAndAdapter();
  ConnectByHand(GetParam(), 65);
  EXPECT_FALSE(SendCommand("X"));
  EXPECT_TRUE(g_fake_hid.writes.empty());
  EXPECT_EQ(g_fake_hid.read_calls, 0);
}

INSTANTIATE_TEST_SUITE_P(Commands, InputTooSmallTest, testing::Values(0, 3),
                         [](const testing::TestParamInfo<std::uint16_t>& param) {
                           return "InputLength" + std::to_string(param.param);
                         });

TEST_F(ExchangeTest, NoBuffersMeansTheCommandCannotBeWritten) {
  g_adapter.output_report.clear();
  g_adapter.input_report.clear();
  EXPECT_FALSE(SendCommand("X"));
  EXPECT_TRUE(g_fake_hid.writes.empty());
  EXPECT_EQ(CommandCapacity(), 0u);
}

// --- Replies ---------------------------------------------------------------

TEST_F(ExchangeTest, ReplyOverThreeReportsIsPrintedBackToBack) {
  Queue(ReplyReport("DMX adapter"));
  Queue(ReplyReport(" v1.0\r\n"));
  Queue(ReplyReport("ready\r\n>"));
  Queue(ReplyReport("never read"));
  int status = 9;
  EXPECT_EQ(ReadPrinted(&status), "DMX adapter v1.0\r\nready\r\n>");
  EXPECT_EQ(status, 0);
  EXPECT_EQ(g_fake_hid.read_calls, 3);
}

TEST_F(ExchangeTest, PromptFollowedByMoreTextPrintsAllOfIt) {
  Queue(ReplyReport("ok\r\n> and more"));
  int status = 9;
  EXPECT_EQ(ReadPrinted(&status), "ok\r\n> and more");
  EXPECT_EQ(status, 0);
  EXPECT_EQ(g_fake_hid.read_calls, 1);
}

struct SplitCase {
  const char* name;
  std::vector<std::string> texts;  // reports up to and including the one completing the prompt
};

class SplitPromptTest : public ExchangeTest, public testing::WithParamInterface<SplitCase> {};

TEST_P(SplitPromptTest, PromptAcrossReportsEndsTheReply) {
  std::string all;
  for (const std::string& text : GetParam().texts) {
    Queue(ReplyReport(text));
    all += text;
  }
  Queue(ReplyReport("never read"));
  int status = 9;
  EXPECT_EQ(ReadPrinted(&status), all);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(g_fake_hid.read_calls, static_cast<int>(GetParam().texts.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Replies, SplitPromptTest,
    testing::Values(SplitCase{"CrLfThenGreaterThan", {"done\r\n", ">"}},
                    SplitCase{"CrThenLfGreaterThan", {"done\r", "\n>"}},
                    SplitCase{"OneCharacterPerReport", {"\r", "\n", ">"}},
                    SplitCase{"EmptyReportBetweenHalves", {"done\r\n", "", ">"}}),
    CaseName());

TEST_F(ExchangeTest, ThingsThatOnlyLookLikeASplitPromptDoNotEndTheReply) {
  Queue(ReplyReport("a\r\n"));
  Queue(ReplyReport("x>"));     // > not directly after CR LF
  Queue(ReplyReport("\n\r"));
  Queue(ReplyReport(">"));      // LF CR > is not the prompt
  Queue(ReplyReport("\r\n>"));
  int status = 9;
  EXPECT_EQ(ReadPrinted(&status), "a\r\nx>\n\r>\r\n>");
  EXPECT_EQ(status, 0);
  EXPECT_EQ(g_fake_hid.read_calls, 5);
}

TEST_F(ExchangeTest, CountZeroPrintsNothingAndDoesNotEndTheReply) {
  Queue(ReplyReport("\r\n>junk", 65, 0));
  Queue(ReplyReport("\r\n>"));
  int status = 9;
  EXPECT_EQ(ReadPrinted(&status), "\r\n>");
  EXPECT_EQ(status, 0);
  EXPECT_EQ(g_fake_hid.read_calls, 2);
}

TEST_F(ExchangeTest, NulEndsWhatIsPrintedAndSearched) {
  Queue(ReplyReport(std::string("ab\0\r\n>", 6)));
  Queue(ReplyReport("cd\r\n>"));
  int status = 9;
  EXPECT_EQ(ReadPrinted(&status), "abcd\r\n>");
  EXPECT_EQ(status, 0);
  EXPECT_EQ(g_fake_hid.read_calls, 2);
}

TEST_F(ExchangeTest, TextIsPrintedByteForByte) {
  const std::string raw = "\x01\x7f\xff\xfe\t\r\n%s%n\r\n>";
  Queue(ReplyReport(raw));
  int status = 9;
  EXPECT_EQ(ReadPrinted(&status), raw);
  EXPECT_EQ(status, 0);
}

struct CountCase {
  const char* name;
  std::uint16_t input_length;
  Bytes delivered;     // what the device hands over
  std::string printed;
};

class CountBeyondReportTest : public ExchangeTest, public testing::WithParamInterface<CountCase> {};

TEST_P(CountBeyondReportTest, CountIsLimitedToTheBytesThatArrived) {
  const CountCase& c = GetParam();
  ResetFakeHidAndAdapter();
  ConnectByHand(c.input_length, 65);
  // Guard bytes after the report and its NUL byte, as far as a count of 255
  // could reach: none may be written. (Beyond them the sanitizer build watches.)
  constexpr std::size_t kGuard = 3 + 255;
  g_adapter.input_report.assign(c.input_length + 1u + kGuard, 0xAA);
  Queue(c.delivered);
  Queue(ReplyReport("\r\n>", c.input_length));
  int status = 9;
  EXPECT_EQ(ReadPrinted(&status), c.printed + "\r\n>");
  EXPECT_EQ(status, 0);
  EXPECT_EQ(Bytes(g_adapter.input_report.end() - kGuard, g_adapter.input_report.end()),
            Bytes(kGuard, 0xAA));
}

INSTANTIATE_TEST_SUITE_P(
    Replies, CountBeyondReportTest,
    testing::Values(
        // n = 255 in an 8-byte report: only its five text bytes are there.
        CountCase{"CountBeyondReportLength", 8, {0, 0, 255, 'a', 'b', 'c', 'd', 'e'}, "abcde"},
        // A short delivery: n = 50, but only two text bytes arrived.
        CountCase{"CountBeyondShortDelivery", 65, {0, 0, 50, 'h', 'i'}, "hi"},
        // Fewer bytes than the header: no text at all.
        CountCase{"DeliveryShorterThanHeader", 65, {0, 0}, ""}),
    CaseName());

// What the cursor stands after once a reply is printed: the line editor
// draws it as its prompt.
struct TailCase {
  const char* name;
  std::vector<FakeRead> reads;
  std::string tail;
};

class ReplyTailTest : public ExchangeTest, public testing::WithParamInterface<TailCase> {};

TEST_P(ReplyTailTest, IsTheTextAfterTheLastLineEnd) {
  g_fake_hid.reads.assign(GetParam().reads.begin(), GetParam().reads.end());
  testing::internal::CaptureStdout();
  EXPECT_TRUE(SendCommand("X"));
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(ReplyTail(), GetParam().tail);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ReplyTailTest,
    testing::Values(
        TailCase{"Prompt", {{FakeRead::kReport, ReplyReport("OK X\r\n>")}}, ">"},
        TailCase{"AcrossReports",
                 {{FakeRead::kReport, ReplyReport("line\r\nab")},
                  {FakeRead::kReport, ReplyReport("c\r")},
                  {FakeRead::kReport, ReplyReport("\n>")}},
                 ">"},
        TailCase{"PartialLineBeforeAnEmptyRead",
                 {{FakeRead::kReport, ReplyReport("a\r\nab")},
                  {FakeRead::kReport, ReplyReport("cd")},
                  {FakeRead::kNothing, {}}},
                 "abcd"},
        TailCase{"NoticeLeavesAFreshLine",
                 {{FakeRead::kReport, ReplyReport("partial")}, {FakeRead::kFail, {}}},
                 ""}),
    CaseName());

TEST_F(ExchangeTest, ZeroByteReadGivesMinusOneSilently) {
  g_fake_hid.reads.push_back({FakeRead::kNothing, {}});
  testing::internal::CaptureStdout();
  EXPECT_TRUE(SendCommand("X"));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(g_fake_hid.notices, 0);

  g_fake_hid.reads.push_back({FakeRead::kReport, ReplyReport("partial ")});
  g_fake_hid.reads.push_back({FakeRead::kNothing, {}});
  int status = 9;
  EXPECT_EQ(ReadPrinted(&status), "partial ");
  EXPECT_EQ(status, -1);
}

TEST_F(ExchangeTest, FailedReadShowsTheNoticeAndTheLoopGoesOn) {
  g_fake_hid.reads.push_back({FakeRead::kFail, {}});
  testing::internal::CaptureStdout();
  EXPECT_TRUE(SendCommand("X"));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(g_fake_hid.notices, 1);
  EXPECT_EQ(g_fake_hid.last_notice, "Error: USB Comm error");

  g_fake_hid.reads.push_back({FakeRead::kFail, {}});
  int status = 9;
  ReadPrinted(&status);
  EXPECT_EQ(status, 1);
}

// --- The prompt search on its own -------------------------------------------

struct PromptCase {
  std::string carried;
  std::string text;
  bool holds;
};

class HoldsPromptTest : public testing::TestWithParam<PromptCase> {};

TEST_P(HoldsPromptTest, Matches) {
  EXPECT_EQ(HoldsPrompt(GetParam().carried, GetParam().text), GetParam().holds);
}

INSTANTIATE_TEST_SUITE_P(Prompt, HoldsPromptTest,
                         testing::Values(PromptCase{"", "\r\n>", true},
                                         PromptCase{"", "abc\r\n>def", true},
                                         PromptCase{"\r\n", ">", true},
                                         PromptCase{"x\r", "\n>", true},
                                         PromptCase{"\r\n", ">tail", true},
                                         PromptCase{"", "\r\n", false},
                                         PromptCase{"\r", "\n", false},
                                         PromptCase{"\n\r", ">", false},
                                         PromptCase{"\r\n", "x>", false},
                                         PromptCase{"\r\n", "", false},
                                         PromptCase{"", ">", false}));

TEST(CarryOver, KeepsTheLastTwoCharactersAcrossShortTexts) {
  char buffer[2];
  std::string_view carried;
  carried = CarryOver(carried, "hello\r", buffer);
  EXPECT_EQ(carried, "o\r");
  carried = CarryOver(carried, "", buffer);
  EXPECT_EQ(carried, "o\r");
  carried = CarryOver(carried, "\n", buffer);
  EXPECT_EQ(carried, "\r\n");
  carried = CarryOver("", "a", buffer);
  EXPECT_EQ(carried, "a");
}

}  // namespace
