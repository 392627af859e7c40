#include <io.h>

#include <cstdio>

#include "console_output.h"

// Standard input and output stay in text mode: CR LF in becomes LF, and every
// LF printed, the adapter's included, goes out as CR LF.
void ConfigureStandardOutput() {
  static char buffer[4096];
  if (_isatty(_fileno(stdout))) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
  } else {
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
  }
}
