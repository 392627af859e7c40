// Arbitrary bytes typed at the console, with an output report length taken
// from the input, through the whole console loop. Every report written must be
// exactly one well-formed command report for one line that fits, in order;
// nothing else may be written.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "adapter_link.h"
#include "console_loop.h"
#include "fake_hid.h"
#include "fuzz_input.h"
#include "report_format.h"

namespace {

// The lines as a user means them: LF ends a line, one CR before it is dropped,
// a last line without LF counts, and a line is text up to its first NUL.
std::vector<std::string> TypedLines(std::string_view typed) {
  std::vector<std::string> lines;
  while (!typed.empty()) {
    const std::size_t lf = typed.find('\n');
    std::string line(typed.substr(0, lf));
    typed = lf == std::string_view::npos ? std::string_view{} : typed.substr(lf + 1);
    const bool ended_by_lf = lf != std::string_view::npos;
    if (ended_by_lf && !line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::vector<std::uint8_t> ExpectedReport(const std::string& text, std::size_t length) {
  std::vector<std::uint8_t> report(length, 0);
  report[1] = 0x30;
  report[2] = static_cast<std::uint8_t>(text.size() + 1);
  std::copy(text.begin(), text.end(), report.begin() + 3);
  report[3 + text.size()] = '\r';
  return report;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static std::FILE* const quiet = [] {
    std::FILE* null = std::fopen("/dev/null", "w");
    stdout = null;  // the banner; no reply is ever printed here
    stderr = null;  // "Command too long", at fuzzing speed
    return null;
  }();
  (void)quiet;

  FuzzInput in{{data, size}};
  const std::uint16_t output_length = in.Word();
  if (output_length > 4096) return 0;
  const std::string typed(reinterpret_cast<const char*>(in.rest.data()), in.rest.size());

  ResetFakeHidAndAdapter();
  FakeInterface adapter = MakeInterface("adapter", 0x0F48, 0x4201);
  adapter.caps = HidCaps{65, output_length};
  g_fake_hid.interfaces.push_back(adapter);
  // No replies queued: every read fails, which shows the (silent) notice and goes on.

  std::FILE* input = fmemopen(const_cast<char*>(typed.data()), typed.size(), "r");
  if (typed.empty()) input = std::fopen("/dev/null", "r");
  const int status = RunTerminal(input);
  std::fclose(input);

  if (output_length < 5) {
    if (status != 1 || !g_fake_hid.writes.empty()) std::abort();
    ResetFakeHidAndAdapter();
    return 0;
  }
  if (status != 0) std::abort();
  // A line longer than the line buffer is refused whole; a shorter one is
  // sent up to its first NUL, if that fits the report.
  std::vector<std::vector<std::uint8_t>> expected = {ExpectedReport("I", output_length)};
  for (std::string line : TypedLines(typed)) {
    if (line.size() > 79) continue;
    line = line.substr(0, line.find('\0'));
    if (line.size() > CommandCapacityFor(output_length)) continue;
    expected.push_back(ExpectedReport(line, output_length));
  }
  if (g_fake_hid.writes != expected) std::abort();
  ResetFakeHidAndAdapter();
  return 0;
}
