// A model of the DMX adapter's side of the dialogue, independent of any
// platform: it takes command reports and queues the reply reports the adapter
// would send. It also knows a few commands that make it misbehave on purpose,
// so that every reply path of the terminal can be shown without hardware.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <span>
#include <string_view>
#include <vector>

// Reports of 64 data bytes plus the report ID, both ways.
inline constexpr std::size_t kModelReportLength = 65;

struct ModelEvent {
  enum Kind {
    kReport,     // a reply report, report ID first
    kReadFails,  // the read fails
    kReadsNothing,  // the read succeeds but delivers no bytes
  } kind = kReport;
  std::vector<std::uint8_t> report;
};

struct AdapterModel {
  std::deque<ModelEvent> pending;
  bool unplugged = false;
};

// The text of a well-formed command report (00 30 N text CR ...), N counting
// the text and its CR. False for anything else.
bool ModelCommandText(std::span<const std::uint8_t> command, std::string_view* text);

// A reply report that holds the text (at most 62 bytes) and counts it.
std::vector<std::uint8_t> ModelReplyReport(std::string_view text);

// Takes one command report (00 30 N text CR ...). Replaces whatever was still
// pending with the answer to it. False once the adapter has been unplugged.
bool ModelTakeCommand(AdapterModel& model, std::span<const std::uint8_t> command);

// The next thing the adapter sends. With nothing pending, or once unplugged,
// the read fails: a real adapter would keep the reader waiting forever.
ModelEvent ModelNextEvent(AdapterModel& model);

// The answer to "I", as the model gives it.
extern const std::string_view kModelIdentification;
