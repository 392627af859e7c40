#include "adapter_model.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace {

constexpr std::size_t kHeaderSize = 3;
constexpr std::size_t kTextPerReport = kModelReportLength - kHeaderSize;
constexpr std::string_view kPrompt = "\r\n>";
constexpr int kFloodLines = 100;

std::vector<std::uint8_t> MakeReport(std::string_view text, std::uint8_t count) {
  std::vector<std::uint8_t> report(kModelReportLength, 0);
  report[2] = count;
  std::copy_n(text.begin(), std::min(text.size(), kTextPerReport), report.begin() + kHeaderSize);
  return report;
}

void QueueReport(AdapterModel& model, std::string_view text) {
  model.pending.push_back({ModelEvent::kReport, ModelReplyReport(text)});
}

// Queues text in as many full reports as it takes.
void QueueText(AdapterModel& model, std::string_view text) {
  while (!text.empty()) {
    const std::size_t chunk = std::min(text.size(), kTextPerReport);
    QueueReport(model, text.substr(0, chunk));
    text.remove_prefix(chunk);
  }
}

// An answer line ending with the prompt: prefix, then what was asked.
void QueueAnswer(AdapterModel& model, std::string_view prefix, std::string_view command) {
  std::string answer(prefix);
  answer.append(command);
  answer.append(kPrompt);
  QueueText(model, answer);
}

void QueueMisbehaviour(AdapterModel& model, std::string_view command) {
  if (command == "~split") {
    QueueReport(model, "OK ~split\r\n");
    QueueReport(model, ">");
  } else if (command == "~long") {
    char line[32];
    for (int channel = 1; channel <= 48; ++channel) {
      std::snprintf(line, sizeof line, "Channel %03d = %03d\r\n", channel, (channel * 37) % 256);
      QueueReport(model, line);
    }
    QueueReport(model, "OK ~long\r\n>");
  } else if (command == "~flood") {
    // More reports than any host queues for a reader (hidraw: 64).
    char line[32];
    for (int number = 1; number <= kFloodLines; ++number) {
      std::snprintf(line, sizeof line, "Line %03d of %d\r\n", number, kFloodLines);
      QueueReport(model, line);
    }
    QueueReport(model, "OK ~flood\r\n>");
  } else if (command == "~count") {
    // A count far beyond the report: only the 62 text bytes that arrived count.
    std::string full("Count 255 in a 64-byte report: all 62 text bytes, no more");
    full.resize(kTextPerReport, '.');
    model.pending.push_back({ModelEvent::kReport, MakeReport(full, 255)});
    QueueReport(model, "\r\nOK ~count\r\n>");
  } else if (command == "~nul") {
    QueueReport(model, std::string_view("OK ~nul: shown\0hidden\r\n>", 24));
    QueueReport(model, kPrompt);
  } else if (command == "~empty") {
    // Count 0, with bytes in the text area that must not be shown.
    model.pending.push_back({ModelEvent::kReport, MakeReport("not shown\r\n>", 0)});
    model.pending.push_back({ModelEvent::kReport, MakeReport("", 0)});
    QueueReport(model, "OK ~empty\r\n>");
  } else if (command == "~readfail") {
    model.pending.push_back({ModelEvent::kReadFails, {}});
  } else if (command == "~cutoff") {
    // Part of a line, then the reply breaks off: the read fails.
    QueueReport(model, "OK ~cutoff: part of a line");
    model.pending.push_back({ModelEvent::kReadFails, {}});
  } else if (command == "~zero") {
    model.pending.push_back({ModelEvent::kReadsNothing, {}});
  } else if (command == "~unplug") {
    model.unplugged = true;
  } else {
    QueueAnswer(model, "? unknown command ", command);
  }
}

}  // namespace

const std::string_view kModelIdentification =
    "DMX USB adapter (simulated), firmware 1.00\r\n"
    "Vendor 0F48, product 4201; 64-byte reports\r\n"
    "One DMX universe, 512 channels\r\n"
    "Misbehaviour on demand: ~split ~long ~flood ~count ~nul ~empty ~readfail ~cutoff ~zero\r\n"
    "~unplug\r\n>";

bool ModelCommandText(std::span<const std::uint8_t> command, std::string_view* text) {
  const bool well_formed = command.size() >= 4 && command[1] == 0x30 && command[2] >= 1 &&
                           kHeaderSize + command[2] <= command.size() &&
                           command[kHeaderSize + command[2] - 1] == '\r';
  if (!well_formed) return false;
  *text = std::string_view(reinterpret_cast<const char*>(command.data()) + kHeaderSize,
                           command[2] - 1u);
  return true;
}

std::vector<std::uint8_t> ModelReplyReport(std::string_view text) {
  return MakeReport(text, static_cast<std::uint8_t>(std::min(text.size(), kTextPerReport)));
}

bool ModelTakeCommand(AdapterModel& model, std::span<const std::uint8_t> command) {
  if (model.unplugged) return false;
  model.pending.clear();
  std::string_view text;
  if (!ModelCommandText(command, &text)) {
    QueueText(model, "? malformed command report\r\n>");
  } else if (text == "I") {
    QueueText(model, kModelIdentification);
  } else if (!text.empty() && text[0] == '~') {
    QueueMisbehaviour(model, text);
  } else {
    QueueAnswer(model, "OK ", text);
  }
  return true;
}

ModelEvent ModelNextEvent(AdapterModel& model) {
  if (model.unplugged || model.pending.empty()) return {ModelEvent::kReadFails, {}};
  ModelEvent next = std::move(model.pending.front());
  model.pending.pop_front();
  return next;
}
