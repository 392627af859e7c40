// Any byte string as a report descriptor: the parser either refuses it and
// leaves the lengths alone, or gives lengths a capability record can hold.
#include <cstdlib>

#include "report_descriptor.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ReportLengths lengths{0xAAAA, 0x5555, true};
  const bool ok = ParseReportLengths({data, size}, &lengths);
  if (!ok) {
    if (lengths.input != 0xAAAA || lengths.output != 0x5555 || !lengths.numbered) std::abort();
    return 0;
  }
  // A report has its ID byte and at least one data byte, or there is none.
  if (lengths.input == 1 || lengths.output == 1) std::abort();
  return 0;
}
