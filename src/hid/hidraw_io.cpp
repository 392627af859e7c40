#include "hidraw_io.h"

#include <unistd.h>

#include <cerrno>

bool WriteHidrawReport(int fd, std::span<const std::uint8_t> report) {
  ssize_t written;
  do {
    written = write(fd, report.data(), report.size());
  } while (written < 0 && errno == EINTR);
  return written >= 0 && static_cast<std::size_t>(written) == report.size();
}

bool ReadHidrawReport(int fd, bool numbered, std::span<std::uint8_t> report,
                      std::size_t* delivered) {
  *delivered = 0;
  if (report.empty()) return false;
  const std::span<std::uint8_t> target = numbered ? report : report.subspan(1);
  ssize_t got;
  do {
    got = read(fd, target.data(), target.size());
  } while (got < 0 && errno == EINTR);
  if (got < 0) return false;
  if (got == 0) return true;
  if (!numbered) report[0] = 0;
  *delivered = static_cast<std::size_t>(got) + (numbered ? 0 : 1);
  return true;
}
