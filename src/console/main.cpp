// dmx-terminal: a console terminal for the USB DMX adapter. It takes no
// arguments and reads no environment of its own (on a terminal the line
// editor reads TERM, as any terminal program does).
#include <cstdio>

#include "console_loop.h"
#include "console_output.h"
#include "line_editor.h"

int main() {
  ConfigureStandardOutput();
  StartLineEditor();
  return RunTerminal(stdin);
}
