// An arbitrary sequence of reply reports (any lengths, counts, NULs, prompts
// split anywhere, failing and zero-byte reads) through ReadReply, with report
// lengths taken from the input. What is printed and the status must match an
// independent reading of the same reports.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "adapter_link.h"
#include "fake_hid.h"
#include "fuzz_input.h"

namespace {

// The text a report shows: n limited to the bytes that arrived, ended by a NUL.
std::string VisibleText(const std::vector<std::uint8_t>& report, std::size_t input_length) {
  const std::size_t delivered = std::min(report.size(), input_length);
  if (delivered <= 3) return {};
  const std::size_t n = std::min<std::size_t>(report[2], delivered - 3);
  std::string text(reinterpret_cast<const char*>(report.data()) + 3, n);
  return text.substr(0, text.find('\0'));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput in{{data, size}};
  const std::uint16_t input_length = in.Word();
  const std::uint16_t output_length = in.Word();
  if (input_length > 4096) return 0;  // larger buffers find nothing new, only slow the search

  ResetFakeHidAndAdapter();
  ConnectByHand(input_length, output_length);
  while (!in.rest.empty()) {
    const std::uint8_t kind = in.Byte();
    if (kind % 3 == 1) {
      g_fake_hid.reads.push_back({FakeRead::kFail, {}});
    } else if (kind % 3 == 2) {
      g_fake_hid.reads.push_back({FakeRead::kNothing, {}});
    } else {
      const std::span<const std::uint8_t> bytes = in.Take(in.Byte());
      g_fake_hid.reads.push_back({FakeRead::kReport, {bytes.begin(), bytes.end()}});
    }
  }

  // The expected outcome, reading the queue the simple way: the texts joined,
  // searched as a whole.
  int expected_status = 1;  // an exhausted queue makes the read fail
  std::string expected_text;
  if (input_length > 3) {
    for (const FakeRead& read : g_fake_hid.reads) {
      if (read.kind == FakeRead::kFail) break;
      // A report of no bytes is a read that delivered nothing.
      if (read.kind == FakeRead::kNothing || read.bytes.empty()) {
        expected_status = -1;
        break;
      }
      expected_text += VisibleText(read.bytes, input_length);
      if (expected_text.find("\r\n>") != std::string::npos) {
        expected_status = 0;
        break;
      }
    }
  }

  char* printed = nullptr;
  std::size_t printed_size = 0;
  std::FILE* capture = open_memstream(&printed, &printed_size);
  std::FILE* const real_stdout = stdout;
  stdout = capture;
  const int status = ReadReply();
  stdout = real_stdout;
  std::fclose(capture);
  const std::string_view shown(printed, printed_size);

  if (status != expected_status) std::abort();
  if (shown != expected_text) std::abort();
  if (g_adapter.input_report.size() != input_length + 1u) std::abort();
  std::free(printed);
  ResetFakeHidAndAdapter();
  return 0;
}
