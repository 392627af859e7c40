// Runs a program as a separate process, as a user's shell would: with pipes,
// or on a pseudo-terminal.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

struct ProcessResult {
  int exit_status = -1;  // -1 when it did not exit normally
  bool timed_out = false;
  std::string out;
  std::string err;
};

// Feeds input to the program, closes its standard input and collects what it
// writes until it ends. The child runs in a session of its own, so it has no
// controlling terminal. It is killed after timeout_ms.
ProcessResult RunProcess(const std::string& path, const std::string& input,
                         int timeout_ms = 10000);

// A child that is talked to step by step.
struct ChildProcess {
  pid_t pid = -1;
  int input = -1;   // its standard input (the pty's master on a terminal)
  int output = -1;  // its standard output (the same master on a terminal)
  int error = -1;   // its standard error; -1 on a terminal
};

// Starts the program with pipes, in a session of its own.
bool StartWithPipes(const std::string& path, ChildProcess* child);
// Starts the program on a new pseudo-terminal, which is its controlling terminal.
bool StartOnTerminal(const std::string& path, ChildProcess* child);

// Reads from fd until marker has arrived or timeout_ms has passed; appends to
// *got and tells whether the marker came.
bool ReadUntil(int fd, std::string_view marker, int timeout_ms, std::string* got);
// Appends whatever arrives on fd within timeout_ms.
void ReadFor(int fd, int timeout_ms, std::string* got);
bool WriteAll(int fd, std::string_view data);
// Waits until the terminal behind a pty's master no longer collects lines
// itself (a line editor has put it in raw mode). False after timeout_ms.
bool WaitForRawInput(int master, int timeout_ms);
void CloseInput(ChildProcess* child);
// Waits for the child to end; kills it after timeout_ms. Returns its exit
// status, or -1 if it had to be killed or did not exit normally.
int WaitForExit(ChildProcess* child, int timeout_ms);
