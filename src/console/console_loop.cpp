#include "console_loop.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "adapter_link.h"
#include "line_editor.h"
#include "line_reader.h"

namespace {

constexpr std::size_t kLineBufferSize = 80;

// One line, through the editor on a terminal; visible_line is what already
// stands on the cursor's line.
LineStatus ReadConsoleLine(std::FILE* input, std::span<char> line,
                           std::string_view visible_line) {
  return LineEditorActive() ? ReadEditedLine(line, visible_line) : ReadLine(input, line);
}

}  // namespace

int RunTerminal(std::FILE* input) {
  std::fputs(kBanner, stdout);
  if (!OpenAdapter()) return 1;

  char line[kLineBufferSize] = {};
  if (!g_adapter.connected) {
    std::fputs(kNotFound, stdout);
    ReadConsoleLine(input, line, "");
    return 0;
  }

  bool refused = false;  // the refusal's message left the cursor on a new line
  for (;;) {
    const LineStatus status = ReadConsoleLine(input, line, refused ? "" : ReplyTail());
    refused = status == LineStatus::kTooLong;
    switch (status) {
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
