// Reading and writing reports on a hidraw file descriptor.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// Writes the whole report in one write(); byte 0 is the report ID, 0 for a
// device that does not number its reports. A short write is a failure.
bool WriteHidrawReport(int fd, std::span<const std::uint8_t> report);

// Reads one input report into report, report ID first. hidraw hands over an
// unnumbered report without its ID byte, so for such a device the data is
// read to offset 1 and offset 0 is set to 0; a numbered report arrives with
// its ID first. *delivered counts the bytes stored, ID included; a read that
// returns no bytes stores nothing and gives 0.
bool ReadHidrawReport(int fd, bool numbered, std::span<std::uint8_t> report,
                      std::size_t* delivered);
