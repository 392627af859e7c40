// dmx-terminal: a console terminal for the USB DMX adapter. It takes no
// arguments and reads no environment.
#include <cstdio>

#include "console_loop.h"
#include "console_output.h"

int main() {
  ConfigureStandardOutput();
  return RunTerminal(stdin);
}
