#include "console_loop.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "adapter_link.h"
#include "line_reader.h"

namespace {

constexpr std::size_t kLineBufferSize = 80;

}  // namespace

int RunTerminal(std::FILE* input) {
  std::fputs(kBanner, stdout);
  if (!OpenAdapter()) return 1;

  char line[kLineBufferSize] = {};
  if (!g_adapter.connected) {
    std::fputs(kNotFound, stdout);
    ReadLine(input, line);
    return 0;
  }

  for (;;) {
    switch (ReadLine(input, line)) {
      case LineStatus::kEnd:
        return 0;
      case LineStatus::kTooLong:
        ShowCommandTooLong(std::min(kLineBufferSize - 1, CommandCapacity()));
        break;
      case LineStatus::kLine:
        // The line is text up to its first NUL, as a typed line always is.
        if (!SendCommand(std::string_view(line, std::strlen(line)))) return 1;
        break;
    }
  }
}
