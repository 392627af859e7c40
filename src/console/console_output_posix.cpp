#include <unistd.h>

#include <cstdio>

#include "console_output.h"

void ConfigureStandardOutput() {
  static char buffer[4096];
  if (isatty(STDOUT_FILENO)) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
  } else {
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
  }
}
