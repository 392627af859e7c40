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

// Takes one command report (00 30 N text CR ...). Replaces whatever was still
// pending with the answer to it. False once the adapter has been unplugged.
bool ModelTakeCommand(AdapterModel& model, std::span<const std::uint8_t> command);

// The next thing the adapter sends. With nothing pending, or once unplugged,
// the read fails: a real adapter would keep the reader waiting forever.
ModelEvent ModelNextEvent(AdapterModel& model);

// The answer to "I", as the model gives it.
extern const std::string_view kModelIdentification;
