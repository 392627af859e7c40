// Built without a line editor (Windows, whose console edits lines itself, or
// a Linux build without libedit): lines are read as they come.
#include "line_editor.h"

bool StartLineEditor() { return false; }

bool LineEditorActive() { return false; }

LineStatus ReadEditedLine(std::span<char> line, std::string_view) {
  if (!line.empty()) line[0] = '\0';
  return LineStatus::kEnd;
}
