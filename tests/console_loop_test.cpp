// The console loop over the fake HID layer, with input from a memory stream.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "adapter_link.h"
#include "console_loop.h"
#include "fake_hid.h"

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

File InputOf(const std::string& text) {
  std::FILE* f = std::tmpfile();
  std::fwrite(text.data(), 1, text.size(), f);
  std::rewind(f);
  return File(f);
}

std::string Rest(std::FILE* f) {
  std::string rest;
  int c;
  while ((c = std::getc(f)) != EOF) rest += static_cast<char>(c);
  return rest;
}

class ConsoleLoopTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetFakeHidAndAdapter(); }
  void TearDown() override { ResetFakeHidAndAdapter(); }

  static void AddAdapter(HidCaps caps = {65, 65}) {
    FakeInterface adapter = MakeInterface("adapter", 0x0F48, 0x4201);
    adapter.caps = caps;
    g_fake_hid.interfaces.push_back(adapter);
  }
  static void Queue(const std::string& text) {
    g_fake_hid.reads.push_back({FakeRead::kReport, ReplyReport(text)});
  }

  // Runs the program over the input; returns the exit status.
  int Run(std::FILE* input) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const int status = RunTerminal(input);
    out_ = testing::internal::GetCapturedStdout();
    err_ = testing::internal::GetCapturedStderr();
    return status;
  }

  std::string out_;
  std::string err_;
};

const std::string kBannerText = "\nLorund Demo (mouse click the window Close Box to quit)\n";
const std::string kNotFoundText = "\nDMX Adapter was not found!\n";

TEST_F(ConsoleLoopTest, NoAdapterShowsBannerAndMessageAndWaitsForOneLine) {
  File input = InputOf("first\nsecond\n");
  EXPECT_EQ(Run(input.get()), 0);
  EXPECT_EQ(out_, kBannerText + kNotFoundText);
  EXPECT_EQ(err_, "");
  EXPECT_EQ(Rest(input.get()), "second\n");
  EXPECT_TRUE(g_fake_hid.writes.empty());
}

TEST_F(ConsoleLoopTest, NoAdapterAndNoInputEndsWithZero) {
  File input = InputOf("");
  EXPECT_EQ(Run(input.get()), 0);
  EXPECT_EQ(out_, kBannerText + kNotFoundText);
}

TEST_F(ConsoleLoopTest, EachLineIsOneCommandAndRepliesArePrintedWithoutEcho) {
  AddAdapter();
  Queue("DMX Adapter v1\r\n>");
  Queue("OK A\r\n>");
  Queue("OK \r\n>");
  Queue("OK B\r\n>");
  File input = InputOf("A\n\nB\r\n");
  EXPECT_EQ(Run(input.get()), 0);  // end of input
  EXPECT_EQ(out_, kBannerText + "DMX Adapter v1\r\n>OK A\r\n>OK \r\n>OK B\r\n>");
  ASSERT_EQ(g_fake_hid.writes.size(), 4u);
  EXPECT_EQ(g_fake_hid.writes[0][3], 'I');
  EXPECT_EQ(g_fake_hid.writes[1][2], 2);
  EXPECT_EQ(g_fake_hid.writes[1][3], 'A');
  EXPECT_EQ(g_fake_hid.writes[2][2], 1);  // the empty line: CR alone
  EXPECT_EQ(g_fake_hid.writes[2][3], 0x0D);
  EXPECT_EQ(g_fake_hid.writes[3][3], 'B');  // CR LF line end: same command
  EXPECT_EQ(g_fake_hid.writes[3][4], 0x0D);
}

TEST_F(ConsoleLoopTest, EndOfInputSendsNothingMore) {
  AddAdapter();
  Queue("\r\n>");
  Queue("\r\n>");
  File input = InputOf("last");  // no line feed: still a line, then the end
  EXPECT_EQ(Run(input.get()), 0);
  EXPECT_EQ(g_fake_hid.writes.size(), 2u);
}

TEST_F(ConsoleLoopTest, WriteFailureAfterTheOpeningCommandEndsWithOne) {
  AddAdapter();
  g_fake_hid.write_succeeds = false;  // also the opening "I": not noticed there
  File input = InputOf("X\nY\n");
  EXPECT_EQ(Run(input.get()), 1);
  EXPECT_EQ(out_, kBannerText);
  EXPECT_EQ(err_, "");
  EXPECT_EQ(g_fake_hid.writes.size(), 2u);  // "I", then "X"; "Y" is never read
  EXPECT_EQ(Rest(input.get()), "Y\n");
}

TEST_F(ConsoleLoopTest, TooLongLinesAreRefusedAndTheNextLineStillWorks) {
  AddAdapter({65, 65});
  Queue("\r\n>");
  Queue("OK\r\n>");
  // 62 characters fit the line buffer but not a 65-byte report; 100 fit neither.
  File input = InputOf(std::string(62, 'a') + "\n" + std::string(100, 'b') + "\nok\n");
  EXPECT_EQ(Run(input.get()), 0);
  EXPECT_EQ(err_,
            "Command too long: at most 61 characters fit one report\n"
            "Command too long: at most 61 characters fit one report\n");
  ASSERT_EQ(g_fake_hid.writes.size(), 2u);
  EXPECT_EQ(g_fake_hid.writes[1][3], 'o');
}

TEST_F(ConsoleLoopTest, LineLimitIsTheLineBufferWhenReportsAreLarger) {
  AddAdapter({65, 200});
  Queue("\r\n>");
  Queue("OK\r\n>");
  File input = InputOf(std::string(80, 'a') + "\n" + std::string(79, 'b') + "\n");
  EXPECT_EQ(Run(input.get()), 0);
  EXPECT_EQ(err_, "Command too long: at most 79 characters fit one report\n");
  ASSERT_EQ(g_fake_hid.writes.size(), 2u);
  EXPECT_EQ(g_fake_hid.writes[1][2], 80);
}

TEST_F(ConsoleLoopTest, AdapterThatCannotBeSetUpEndsWithOneBeforeReadingInput) {
  AddAdapter({65, 2});
  File input = InputOf("X\n");
  EXPECT_EQ(Run(input.get()), 1);
  EXPECT_EQ(out_, kBannerText);
  EXPECT_NE(err_.find("too small"), std::string::npos);
  EXPECT_TRUE(g_fake_hid.writes.empty());
  EXPECT_EQ(Rest(input.get()), "X\n");
}

TEST_F(ConsoleLoopTest, FailedReadShowsTheNoticeAndTheLoopGoesOn) {
  AddAdapter();
  Queue("\r\n>");
  g_fake_hid.reads.push_back({FakeRead::kFail, {}});
  Queue("OK\r\n>");
  File input = InputOf("X\nY\n");
  EXPECT_EQ(Run(input.get()), 0);
  EXPECT_EQ(g_fake_hid.notices, 1);
  EXPECT_EQ(g_fake_hid.writes.size(), 3u);
  EXPECT_EQ(out_, kBannerText + "\r\n>OK\r\n>");
}

}  // namespace
