// Report lengths from a HID report descriptor, computed the way the Windows
// capability query gives them.
#pragma once

#include <cstdint>
#include <span>

struct ReportLengths {
  // Largest report of each direction in bytes, plus one byte for the report
  // ID (also when the device does not number its reports); 0 when the
  // direction has no report.
  std::uint16_t input = 0;
  std::uint16_t output = 0;
  bool numbered = false;  // the descriptor declares report IDs
};

// False for a truncated or malformed descriptor, or one whose reports do not
// fit a 16-bit length; *lengths is then left as it was.
bool ParseReportLengths(std::span<const std::uint8_t> descriptor,
                        ReportLengths* lengths);
