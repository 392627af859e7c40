#include "adapter_model.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace {

constexpr std::size_t kHeaderSize = 3;
constexpr std::size_t kTextPerReport = kModelReportLength - kHeaderSize;
constexpr std::string_view kPrompt = "\r\n>";

std::vector<std::uint8_t> MakeReport(std::string_view text, std::uint8_t count) {
  std::vector<std::uint8_t> report(kModelReportLength, 0);
  report[2] = count;
  std::copy_n(text.begin(), std::min(text.size(), kTextPerReport), report.begin() + kHeaderSize);
  return report;
}

void QueueReport(AdapterModel& model, std::string_view text) {
  model.pending.push_back(
      {ModelEvent::kReport, MakeReport(text, static_cast<std::uint8_t>(text.size()))});
}

// Queues text in as many full reports as it takes.
void QueueText(AdapterModel& model, std::string_view text) {
  while (!text.empty()) {
    const std::size_t chunk = std::min(text.size(), kTextPerReport);
    QueueReport(model, text.substr(0, chunk));
    text.remove_prefix(chunk);
  }
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
  } else if (command == "~zero") {
    model.pending.push_back({ModelEvent::kReadsNothing, {}});
  } else if (command == "~unplug") {
    model.unplugged = true;
  } else {
    std::string answer = "? unknown command ";
    answer.append(command);
    answer.append(kPrompt);
    QueueText(model, answer);
  }
}

}  // namespace

const std::string_view kModelIdentification =
    "DMX USB adapter (simulated), firmware 1.00\r\n"
    "Vendor 0F48, product 4201; 64-byte reports\r\n"
    "One DMX universe, 512 channels\r\n"
    "Misbehaviour on demand: ~split ~long ~nul ~empty ~readfail ~zero ~unplug\r\n>";

bool ModelTakeCommand(AdapterModel& model, std::span<const std::uint8_t> command) {
  if (model.unplugged) return false;
  model.pending.clear();
  // 00 30 N text CR: N counts the text and its CR.
  const bool well_formed = command.size() >= 4 && command[1] == 0x30 && command[2] >= 1 &&
                           kHeaderSize + command[2] <= command.size() &&
                           command[kHeaderSize + command[2] - 1] == '\r';
  if (!well_formed) {
    QueueText(model, "? malformed command report\r\n>");
    return true;
  }
  const std::string_view text(reinterpret_cast<const char*>(command.data()) + kHeaderSize,
                              command[2] - 1u);
  if (text == "I") {
    QueueText(model, kModelIdentification);
  } else if (!text.empty() && text[0] == '~') {
    QueueMisbehaviour(model, text);
  } else {
    std::string answer = "OK ";
    answer.append(text);
    answer.append(kPrompt);
    QueueText(model, answer);
  }
  return true;
}

ModelEvent ModelNextEvent(AdapterModel& model) {
  if (model.unplugged || model.pending.empty()) return {ModelEvent::kReadFails, {}};
  ModelEvent next = std::move(model.pending.front());
  model.pending.pop_front();
  return next;
}
