#include "process_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

namespace {

long long NowMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec * 1000LL + ts.tv_nsec / 1000000;
}

[[noreturn]] void Exec(const std::string& path) {
  char* const argv[] = {const_cast<char*>(path.c_str()), nullptr};
  execv(path.c_str(), argv);
  _exit(127);
}

void CloseFd(int* fd) {
  if (*fd >= 0) close(*fd);
  *fd = -1;
}

// Appends one chunk from fd; false at end of file or on error (EIO on a pty
// whose child is gone).
bool ReadChunk(int fd, std::string* got) {
  char buffer[4096];
  ssize_t n;
  do {
    n = read(fd, buffer, sizeof buffer);
  } while (n < 0 && errno == EINTR);
  if (n <= 0) return false;
  got->append(buffer, static_cast<std::size_t>(n));
  return true;
}

}  // namespace

bool StartWithPipes(const std::string& path, ChildProcess* child) {
  signal(SIGPIPE, SIG_IGN);
  int in[2], out[2], err[2];
  if (pipe2(in, O_CLOEXEC) != 0) return false;
  if (pipe2(out, O_CLOEXEC) != 0) return false;
  if (pipe2(err, O_CLOEXEC) != 0) return false;
  const pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    setsid();
    dup2(in[0], STDIN_FILENO);
    dup2(out[1], STDOUT_FILENO);
    dup2(err[1], STDERR_FILENO);
    Exec(path);
  }
  close(in[0]);
  close(out[1]);
  close(err[1]);
  *child = ChildProcess{pid, in[1], out[0], err[0]};
  return true;
}

bool StartOnTerminal(const std::string& path, ChildProcess* child) {
  int master = -1;
  const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
  if (pid < 0) return false;
  if (pid == 0) Exec(path);
  fcntl(master, F_SETFD, FD_CLOEXEC);
  *child = ChildProcess{pid, master, master, -1};
  return true;
}

bool ReadUntil(int fd, std::string_view marker, int timeout_ms, std::string* got) {
  const long long deadline = NowMs() + timeout_ms;
  for (;;) {
    if (got->find(marker) != std::string::npos) return true;
    const long long left = deadline - NowMs();
    if (left <= 0) return false;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left)) <= 0) continue;
    if (!ReadChunk(fd, got)) return got->find(marker) != std::string::npos;
  }
}

bool WaitForRawInput(int master, int timeout_ms) {
  const long long deadline = NowMs() + timeout_ms;
  for (;;) {
    termios settings{};
    if (tcgetattr(master, &settings) == 0 && (settings.c_lflag & ICANON) == 0) return true;
    if (NowMs() >= deadline) return false;
    usleep(5000);
  }
}

void ReadFor(int fd, int timeout_ms, std::string* got) {
  const long long deadline = NowMs() + timeout_ms;
  for (;;) {
    const long long left = deadline - NowMs();
    if (left <= 0) return;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left)) <= 0) continue;
    if (!ReadChunk(fd, got)) return;
  }
}

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = write(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

void CloseInput(ChildProcess* child) {
  if (child->input != child->output) CloseFd(&child->input);
}

int WaitForExit(ChildProcess* child, int timeout_ms) {
  const long long deadline = NowMs() + timeout_ms;
  int status = 0;
  pid_t done;
  while ((done = waitpid(child->pid, &status, WNOHANG)) == 0 && NowMs() < deadline) {
    usleep(10000);
  }
  if (done == 0) {
    kill(child->pid, SIGKILL);
    waitpid(child->pid, &status, 0);
  }
  CloseInput(child);
  CloseFd(&child->output);
  CloseFd(&child->error);
  child->input = -1;  // on a terminal it was the output's descriptor
  if (done == 0 || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

ProcessResult RunProcess(const std::string& path, const std::string& input, int timeout_ms) {
  ProcessResult result;
  ChildProcess child;
  if (!StartWithPipes(path, &child)) return result;

  std::size_t written = 0;
  if (input.empty()) CloseInput(&child);
  const long long deadline = NowMs() + timeout_ms;
  int out = child.output, err = child.error;
  while (out >= 0 || err >= 0) {
    const long long left = deadline - NowMs();
    if (left <= 0) {
      result.timed_out = true;
      break;
    }
    pollfd fds[3] = {{child.input, POLLOUT, 0}, {out, POLLIN, 0}, {err, POLLIN, 0}};
    if (poll(fds, 3, static_cast<int>(left)) < 0 && errno != EINTR) break;
    if (child.input >= 0 && (fds[0].revents & (POLLOUT | POLLERR | POLLHUP))) {
      const ssize_t n = write(child.input, input.data() + written, input.size() - written);
      if (n > 0) written += static_cast<std::size_t>(n);
      if (n < 0 || written == input.size()) CloseInput(&child);
    }
    if (out >= 0 && (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) && !ReadChunk(out, &result.out)) {
      out = -1;
    }
    if (err >= 0 && (fds[2].revents & (POLLIN | POLLHUP | POLLERR)) && !ReadChunk(err, &result.err)) {
      err = -1;
    }
  }
  result.exit_status = WaitForExit(&child, result.timed_out ? 0 : timeout_ms);
  return result;
}
