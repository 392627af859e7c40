// Runs a program as a separate process, the way a user's shell would with
// pipes: feeds its standard input, collects its standard output and error.
#pragma once

#include <string>

struct ProcessResult {
  int exit_status = -1;  // -1 when it did not exit normally
  bool timed_out = false;
  std::string out;
  std::string err;
};

// The child runs in a session of its own, so it has no controlling terminal.
// It is killed after timeout_ms.
ProcessResult RunProcess(const std::string& path, const std::string& input,
                         int timeout_ms = 10000);
