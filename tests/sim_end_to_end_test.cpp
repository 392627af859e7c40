// The whole demo program, dmx-terminal-sim, run as a separate process the way a
// user runs it: lines on standard input, the adapter's dialogue on standard
// output, compared byte for byte.
#include <gtest/gtest.h>

#include <cstdio>
#include <algorithm>
#include <string>
#include <vector>

#include "adapter_model.h"
#include "case_name.h"
#include "process_runner.h"

namespace {

const std::string kProgram = DMX_TERMINAL_SIM_PATH;
const std::string kBanner = "\nLorund Demo (mouse click the window Close Box to quit)\n";
const std::string kOpening = kBanner + std::string(kModelIdentification);
const std::string kNotice = "Error: USB Comm error\n";

std::string LongReply() {
  std::string text;
  char line[32];
  for (int channel = 1; channel <= 48; ++channel) {
    std::snprintf(line, sizeof line, "Channel %03d = %03d\r\n", channel, (channel * 37) % 256);
    text += line;
  }
  return text + "OK ~long\r\n>";
}

std::string FloodReply() {
  std::string text;
  char line[32];
  for (int number = 1; number <= 100; ++number) {
    std::snprintf(line, sizeof line, "Line %03d of 100\r\n", number);
    text += line;
  }
  return text + "OK ~flood\r\n>";
}

// Commands whose answer "OK <command>\r\n>" puts the prompt across two reports
// of the simulated adapter: after CR LF, and after CR.
const std::string kSplitAfterCrLf(57, 'a');
const std::string kSplitAfterCr(58, 'b');

// The texts of the reply reports the model sends for a command.
std::vector<std::string> ModelReplyTexts(const std::string& command) {
  std::vector<std::uint8_t> report(kModelReportLength, 0);
  report[1] = 0x30;
  report[2] = static_cast<std::uint8_t>(command.size() + 1);
  std::copy(command.begin(), command.end(), report.begin() + 3);
  report[3 + command.size()] = '\r';
  AdapterModel model;
  EXPECT_TRUE(ModelTakeCommand(model, report));
  std::vector<std::string> texts;
  while (!model.pending.empty()) {
    const ModelEvent event = ModelNextEvent(model);
    texts.emplace_back(reinterpret_cast<const char*>(event.report.data()) + 3, event.report[2]);
  }
  return texts;
}

// The split cases below test a split only while the model really splits
// there: 62 text bytes a report.
TEST(SimModel, SplitCommandsPutThePromptAcrossTwoReports) {
  EXPECT_EQ(ModelReplyTexts(kSplitAfterCrLf),
            (std::vector<std::string>{"OK " + kSplitAfterCrLf + "\r\n", ">"}));
  EXPECT_EQ(ModelReplyTexts(kSplitAfterCr),
            (std::vector<std::string>{"OK " + kSplitAfterCr + "\r", "\n>"}));
}

TEST(SimEndToEnd, BannerIsFollowedDirectlyByTheAnswerToI) {
  const ProcessResult r = RunProcess(kProgram, "");
  EXPECT_EQ(r.out, kOpening);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.exit_status, 0);
}

struct Session {
  const char* name;
  std::string input;
  std::string replies;  // what follows the banner and the answer to "I"
  std::string err;
  int exit_status;
};

class SimSession : public testing::TestWithParam<Session> {};

TEST_P(SimSession, PrintsExactlyTheAdaptersReplies) {
  const Session& s = GetParam();
  const ProcessResult r = RunProcess(kProgram, s.input);
  EXPECT_FALSE(r.timed_out) << "the program hung";
  EXPECT_EQ(r.out, kOpening + s.replies);
  EXPECT_EQ(r.err, s.err);
  EXPECT_EQ(r.exit_status, s.exit_status);
}

INSTANTIATE_TEST_SUITE_P(
    Dialogue, SimSession,
    testing::Values(
        Session{"CommandsWithoutEcho", "DMX 1 255\n\nCHAN?\r\n",
                "OK DMX 1 255\r\n>OK \r\n>OK CHAN?\r\n>", "", 0},
        Session{"AnswerWhosePromptFallsIntoTheNextReport",
                kSplitAfterCrLf + "\n" + kSplitAfterCr + "\nnext\n",
                "OK " + kSplitAfterCrLf + "\r\n>OK " + kSplitAfterCr + "\r\n>OK next\r\n>", "",
                0},
        Session{"SplitPrompt", "~split\nnext\n", "OK ~split\r\n>OK next\r\n>", "", 0},
        Session{"LongReply", "~long\nnext\n", LongReply() + "OK next\r\n>", "", 0},
        Session{"ReplyOfMoreReportsThanAHostQueues", "~flood\nnext\n",
                FloodReply() + "OK next\r\n>", "", 0},
        // The count says 255; the report holds 62 text bytes, and those are shown.
        Session{"CountBeyondTheReport", "~count\nnext\n",
                "Count 255 in a 64-byte report: all 62 text bytes, no more.....\r\nOK "
                "~count\r\n>OK next\r\n>",
                "", 0},
        Session{"NulInsideText", "~nul\nnext\n", "OK ~nul: shown\r\n>OK next\r\n>", "", 0},
        Session{"EmptyReports", "~empty\nnext\n", "OK ~empty\r\n>OK next\r\n>", "", 0},
        Session{"FailedReadShowsTheNotice", "~readfail\nnext\n", "OK next\r\n>", kNotice, 0},
        Session{"ZeroByteReadIsSilent", "~zero\nnext\n", "OK next\r\n>", "", 0},
        Session{"UnpluggedAdapterEndsTheProgram", "~unplug\nnext\nnever\n", "", kNotice, 1},
        Session{"TooLongForTheReport", std::string(62, 'x') + "\nnext\n", "OK next\r\n>",
                "Command too long: at most 61 characters fit one report\n", 0},
        Session{"TooLongForTheLine", std::string(200, 'y') + "\nnext\n", "OK next\r\n>",
                "Command too long: at most 61 characters fit one report\n", 0},
        Session{"EndOfInputMidLine", "last", "OK last\r\n>", "", 0}),
    CaseName());

// Ctrl-D at the start of a line. The line editor, where the program has one,
// takes keys one by one: the key must come once it has the terminal, or the
// terminal's own line discipline would have turned it into end of file.
void TypeEndOfInput(const ChildProcess& child) {
#ifdef DMX_LINE_EDITING
  ASSERT_TRUE(WaitForRawInput(child.input, 5000));
#endif
  ASSERT_TRUE(WriteAll(child.input, "\x04"));
}

// Starts the demo on a new terminal and reads until its answer to "I" is on
// the screen. The terminal turns each LF into CR LF, so the adapter's CR LF >
// shows as CR CR LF >.
bool StartAtThePrompt(ChildProcess* child, std::string* screen) {
  return StartOnTerminal(kProgram, child) &&
         ReadUntil(child->output, "~unplug\r\r\n>", 5000, screen);
}

TEST(SimOnTerminal, AdaptersPromptIsOnTheScreenBeforeTheNextLineIsTyped) {
  ChildProcess child;
  std::string screen;
  ASSERT_TRUE(StartAtThePrompt(&child, &screen)) << screen;
  ReadFor(child.output, 200, &screen);
  EXPECT_EQ(screen.back(), '>') << "nothing after the prompt while the program waits";

  ASSERT_TRUE(WriteAll(child.input, "X\r"));
  ASSERT_TRUE(ReadUntil(child.output, "OK X\r\r\n>", 5000, &screen)) << screen;
  ReadFor(child.output, 200, &screen);
  EXPECT_EQ(screen.back(), '>');

  TypeEndOfInput(child);
  EXPECT_EQ(WaitForExit(&child, 5000), 0);
}

TEST(SimOnTerminal, NoticeHoldsTheProgramUntilEnterIsPressed) {
  ChildProcess child;
  std::string screen;
  ASSERT_TRUE(StartAtThePrompt(&child, &screen)) << screen;

  ASSERT_TRUE(WriteAll(child.input, "~readfail\r"));
  EXPECT_TRUE(ReadUntil(child.output, "Error: USB Comm error\r\nPress Enter to continue.\r\n", 5000,
                        &screen))
      << screen;
  const std::size_t held = screen.size();
  ReadFor(child.output, 300, &screen);
  EXPECT_EQ(screen.size(), held) << "nothing more until the notice is acknowledged";

  // This Enter acknowledges the notice; it is not an empty command.
  ASSERT_TRUE(WriteAll(child.input, "\r"));
  ASSERT_TRUE(WriteAll(child.input, "after\r"));
  EXPECT_TRUE(ReadUntil(child.output, "OK after\r\r\n>", 5000, &screen)) << screen;
  EXPECT_EQ(screen.find("OK \r"), std::string::npos) << screen;

  TypeEndOfInput(child);
  EXPECT_EQ(WaitForExit(&child, 5000), 0);
}

// On a terminal output is unbuffered, not merely line-buffered: text without a
// line end reaches the screen while the program is not reading standard input
// (here, while the notice waits for Enter on the terminal).
TEST(SimOnTerminal, TextWithoutLineEndIsOnTheScreenBeforeTheNotice) {
  ChildProcess child;
  std::string screen;
  ASSERT_TRUE(StartAtThePrompt(&child, &screen)) << screen;
  const std::size_t before = screen.size();

  ASSERT_TRUE(WriteAll(child.input, "~cutoff\r"));
  ASSERT_TRUE(ReadUntil(child.output, "Press Enter to continue.\r\n", 5000, &screen)) << screen;
  const std::size_t text = screen.find("OK ~cutoff: part of a line", before);
  ASSERT_NE(text, std::string::npos) << screen;
  EXPECT_EQ(screen.substr(text),
            "OK ~cutoff: part of a lineError: USB Comm error\r\nPress Enter to continue.\r\n");

  ASSERT_TRUE(WriteAll(child.input, "\r"));
  ASSERT_TRUE(WriteAll(child.input, "next\r"));
  ASSERT_TRUE(ReadUntil(child.output, "OK next\r\r\n>", 5000, &screen)) << screen;
  TypeEndOfInput(child);
  EXPECT_EQ(WaitForExit(&child, 5000), 0);
}

TEST(SimOnPipe, OutputArrivesOnlyInBlocksOf4096OrAtTheEnd) {
  ChildProcess child;
  ASSERT_TRUE(StartWithPipes(kProgram, &child));
  std::string out;
  ASSERT_TRUE(WriteAll(child.input, "hello\n"));
  ReadFor(child.output, 300, &out);
  EXPECT_EQ(out, "") << "the banner and the replies wait in the buffer";

  // About 5800 bytes in all: one full block goes out, the rest waits.
  for (int i = 0; i < 6; ++i) ASSERT_TRUE(WriteAll(child.input, "~long\n"));
  ReadFor(child.output, 500, &out);
  EXPECT_EQ(out.size(), 4096u);

  CloseInput(&child);
  ReadFor(child.output, 5000, &out);
  std::string expected = kOpening + "OK hello\r\n>";
  for (int i = 0; i < 6; ++i) expected += LongReply();
  EXPECT_EQ(out, expected);
  EXPECT_EQ(WaitForExit(&child, 5000), 0);
}

}  // namespace
