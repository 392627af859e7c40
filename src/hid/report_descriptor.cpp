#include "report_descriptor.h"

#include <array>
#include <cstddef>

namespace {

// Item types and tags of the short item prefix (HID 1.11, 6.2.2).
constexpr unsigned kTypeMain = 0;
constexpr unsigned kTypeGlobal = 1;
constexpr unsigned kMainInput = 0x8;
constexpr unsigned kMainOutput = 0x9;
constexpr unsigned kGlobalReportSize = 0x7;
constexpr unsigned kGlobalReportId = 0x8;
constexpr unsigned kGlobalReportCount = 0x9;
constexpr unsigned kGlobalPush = 0xA;
constexpr unsigned kGlobalPop = 0xB;
constexpr std::uint8_t kLongItemPrefix = 0xFE;

// Deep enough for any real descriptor (the Linux kernel allows 4), small
// enough that a hostile one cannot make the parser grow.
constexpr std::size_t kMaxPushDepth = 16;
constexpr std::uint64_t kMaxReportBits = (0xFFFFull - 1) * 8;

struct GlobalState {
  std::uint32_t report_size = 0;
  std::uint32_t report_count = 0;
  std::uint32_t report_id = 0;
};

// Bits of each report, indexed by report ID (0 for unnumbered reports).
using ReportBits = std::array<std::uint64_t, 256>;

std::uint32_t ItemValue(std::span<const std::uint8_t> data) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < data.size(); ++i) value |= std::uint32_t{data[i]} << (8 * i);
  return value;
}

std::uint16_t LongestReport(const ReportBits& bits) {
  std::uint64_t longest = 0;
  for (std::uint64_t b : bits) longest = b > longest ? b : longest;
  if (longest == 0) return 0;
  return static_cast<std::uint16_t>((longest + 7) / 8 + 1);
}

}  // namespace

bool ParseReportLengths(std::span<const std::uint8_t> descriptor, ReportLengths* lengths) {
  ReportBits input_bits{};
  ReportBits output_bits{};
  GlobalState global;
  std::array<GlobalState, kMaxPushDepth> stack{};
  std::size_t depth = 0;
  bool numbered = false;

  std::size_t pos = 0;
  while (pos < descriptor.size()) {
    const std::uint8_t prefix = descriptor[pos];
    if (prefix == kLongItemPrefix) {
      // Long item: prefix, data size, tag, data. No long item tags are
      // defined, so only its extent matters.
      if (descriptor.size() - pos < 3) return false;
      const std::size_t data_size = descriptor[pos + 1];
      if (descriptor.size() - pos - 3 < data_size) return false;
      pos += 3 + data_size;
      continue;
    }
    const std::size_t size_code = prefix & 0x3u;
    const std::size_t data_size = size_code == 3 ? 4 : size_code;
    const unsigned type = (prefix >> 2) & 0x3u;
    const unsigned tag = prefix >> 4;
    if (descriptor.size() - pos - 1 < data_size) return false;
    const std::uint32_t value = ItemValue(descriptor.subspan(pos + 1, data_size));
    pos += 1 + data_size;

    if (type == kTypeMain && (tag == kMainInput || tag == kMainOutput)) {
      ReportBits& bits = tag == kMainInput ? input_bits : output_bits;
      bits[global.report_id] += std::uint64_t{global.report_size} * global.report_count;
      if (bits[global.report_id] > kMaxReportBits) return false;
    } else if (type == kTypeGlobal) {
      switch (tag) {
        case kGlobalReportSize: global.report_size = value; break;
        case kGlobalReportCount: global.report_count = value; break;
        case kGlobalReportId:
          // Report ID 0 is reserved; IDs are one byte on the wire.
          if (value == 0 || value > 0xFF) return false;
          global.report_id = value;
          numbered = true;
          break;
        case kGlobalPush:
          if (depth == kMaxPushDepth) return false;
          stack[depth++] = global;
          break;
        case kGlobalPop:
          if (depth == 0) return false;
          global = stack[--depth];
          break;
        default: break;
      }
    }
    // Local items, other main items and reserved items do not change a
    // report's length.
  }

  lengths->input = LongestReport(input_bits);
  lengths->output = LongestReport(output_bits);
  lengths->numbered = numbered;
  return true;
}
