// The command exchange: building command reports, reading and printing reply
// reports up to the adapter's prompt.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "adapter_link.h"
#include "report_format.h"

namespace {

constexpr char kCarriageReturn = '\r';
// The count byte holds the text plus its CR.
constexpr std::size_t kMaxCountedText = 0xFF - 1;

// The reply's text since its last line end, kept for ReplyTail. Longer than
// any terminal line, it is no longer a prompt worth redrawing.
constexpr std::size_t kMaxTail = 256;
std::string g_reply_tail;

void NoteShown(std::string_view text) {
  const std::size_t line_end = text.find_last_of("\r\n");
  if (line_end != std::string_view::npos) {
    g_reply_tail.assign(text.substr(line_end + 1));
  } else {
    g_reply_tail.append(text);
  }
  if (g_reply_tail.size() > kMaxTail) g_reply_tail.clear();
}

// The notice leaves the cursor on a line of its own.
void ShowCommError() {
  HidShowErrorNotice("USB Comm error", "Error");
  g_reply_tail.clear();
}

// Whether each buffer covers its report, with room for the NUL beyond.
bool InputBufferReady() {
  const std::size_t length = g_adapter.caps.InputReportByteLength;
  return length > kReplyHeaderSize && g_adapter.input_report.size() >= length + 1;
}

bool OutputBufferReady() {
  const std::size_t length = g_adapter.output_report_length;
  return length >= kCommandHeaderSize + 2 && g_adapter.output_report.size() >= length + 1;
}

}  // namespace

std::size_t CommandCapacityFor(std::size_t report_length) {
  // Header, CR and the NUL that follows it (which may use the extra byte).
  const std::size_t overhead = kCommandHeaderSize + 1;
  if (report_length <= overhead) return 0;
  return std::min(report_length - overhead, kMaxCountedText);
}

bool BuildCommandReport(std::span<std::uint8_t> report, std::size_t report_length,
                        std::string_view text) {
  if (report_length < kCommandHeaderSize + 2 || report.size() < report_length + 1 ||
      text.size() > CommandCapacityFor(report_length)) {
    return false;
  }
  std::fill_n(report.begin(), report_length, std::uint8_t{0});
  report[0] = 0x00;
  report[1] = kCommandMarker;
  report[2] = static_cast<std::uint8_t>(text.size() + 1);
  std::memcpy(report.data() + kCommandHeaderSize, text.data(), text.size());
  report[kCommandHeaderSize + text.size()] = kCarriageReturn;
  report[kCommandHeaderSize + text.size() + 1] = 0;
  return true;
}

std::string_view ReplyText(std::span<std::uint8_t> report, std::size_t delivered) {
  if (report.empty()) return {};
  delivered = std::min(delivered, report.size() - 1);
  if (delivered <= kReplyHeaderSize) return {};
  // A count beyond what arrived is limited to the bytes that are there.
  const std::size_t n = std::min<std::size_t>(report[2], delivered - kReplyHeaderSize);
  report[kReplyHeaderSize + n] = 0;
  const char* text = reinterpret_cast<const char*>(report.data() + kReplyHeaderSize);
  return {text, strnlen(text, n)};
}

bool HoldsPrompt(std::string_view carried, std::string_view text) {
  if (text.find(kPrompt) != std::string_view::npos) return true;
  // Only the prompt's first one or two characters can end the previous text.
  for (std::size_t head = 1; head < kPrompt.size(); ++head) {
    const std::size_t tail = kPrompt.size() - head;
    if (carried.size() >= head && text.size() >= tail &&
        carried.substr(carried.size() - head) == kPrompt.substr(0, head) &&
        text.substr(0, tail) == kPrompt.substr(head)) {
      return true;
    }
  }
  return false;
}

std::string_view CarryOver(std::string_view carried, std::string_view text,
                           std::span<char, 2> carry_buffer) {
  char joined[2];
  std::size_t count = 0;
  if (text.size() >= 2) {
    joined[0] = text[text.size() - 2];
    joined[1] = text[text.size() - 1];
    count = 2;
  } else {
    // Fewer than two new characters: keep the newest of the old ones.
    const std::size_t keep = std::min(carried.size(), 2 - text.size());
    for (std::size_t i = carried.size() - keep; i < carried.size(); ++i) joined[count++] = carried[i];
    for (char c : text) joined[count++] = c;
  }
  std::copy_n(joined, count, carry_buffer.begin());
  return {carry_buffer.data(), count};
}

std::size_t CommandCapacity() {
  if (!OutputBufferReady()) return 0;
  return CommandCapacityFor(g_adapter.output_report_length);
}

void ShowCommandTooLong(std::size_t limit) {
  std::fprintf(stderr, "Command too long: at most %zu characters fit one report\n", limit);
  std::fflush(stderr);
}

std::string_view ReplyTail() { return g_reply_tail; }

bool SendCommand(std::string_view text) {
  if (!g_adapter.connected) return true;
  g_reply_tail.clear();
  // Without buffers that cover the reports (setup failed) nothing can be written.
  if (!InputBufferReady() || !OutputBufferReady()) return false;
  const std::size_t length = g_adapter.output_report_length;
  // Never send part of a command.
  if (!BuildCommandReport(g_adapter.output_report, length, text)) {
    ShowCommandTooLong(CommandCapacity());
    return true;
  }
  if (!HidWriteReport(g_adapter.handle, {g_adapter.output_report.data(), length})) return false;
  ReadReply();
  return true;
}

int ReadReply() {
  const std::size_t length = g_adapter.caps.InputReportByteLength;
  if (!InputBufferReady()) {
    ShowCommError();
    return 1;
  }
  const std::span<std::uint8_t> buffer(g_adapter.input_report.data(), length + 1);

  char carry_buffer[2];
  std::string_view carried;
  for (;;) {
    std::size_t delivered = 0;
    if (!HidReadReport(g_adapter.handle, buffer.first(length), &delivered)) {
      ShowCommError();
      return 1;
    }
    if (delivered == 0) return -1;
    const std::string_view text = ReplyText(buffer, delivered);
    if (!text.empty()) std::fwrite(text.data(), 1, text.size(), stdout);
    NoteShown(text);
    if (HoldsPrompt(carried, text)) return 0;
    carried = CarryOver(carried, text, carry_buffer);
  }
}
