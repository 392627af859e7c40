#include "console_output.h"

#include <cstdio>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

bool StandardOutputIsTerminal() {
#ifdef _WIN32
  return _isatty(_fileno(stdout)) != 0;
#else
  return isatty(STDOUT_FILENO) != 0;
#endif
}

}  // namespace

// Standard input and output stay in the platform's text mode: on Windows CR LF
// in becomes LF, and every LF printed, the adapter's included, goes out as
// CR LF.
void ConfigureStandardOutput() {
  static char buffer[4096];
  if (StandardOutputIsTerminal()) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
  } else {
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
  }
}
