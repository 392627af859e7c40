#include "process_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

namespace {

long long NowMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec * 1000LL + ts.tv_nsec / 1000000;
}

}  // namespace

ProcessResult RunProcess(const std::string& path, const std::string& input, int timeout_ms) {
  ProcessResult result;
  int in[2], out[2], err[2];
  if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
    return result;
  }
  const pid_t pid = fork();
  if (pid == 0) {
    setsid();
    dup2(in[0], STDIN_FILENO);
    dup2(out[1], STDOUT_FILENO);
    dup2(err[1], STDERR_FILENO);
    char* const argv[] = {const_cast<char*>(path.c_str()), nullptr};
    execv(path.c_str(), argv);
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  close(err[1]);
  signal(SIGPIPE, SIG_IGN);

  std::size_t written = 0;
  int to_child = in[1];
  if (input.empty()) {
    close(to_child);
    to_child = -1;
  }
  int from_out = out[0], from_err = err[0];
  const long long deadline = NowMs() + timeout_ms;
  while (from_out >= 0 || from_err >= 0) {
    const long long left = deadline - NowMs();
    if (left <= 0) {
      result.timed_out = true;
      kill(pid, SIGKILL);
      break;
    }
    pollfd fds[3] = {{to_child, POLLOUT, 0}, {from_out, POLLIN, 0}, {from_err, POLLIN, 0}};
    if (poll(fds, 3, static_cast<int>(left)) < 0 && errno != EINTR) break;
    if (to_child >= 0 && (fds[0].revents & (POLLOUT | POLLERR | POLLHUP))) {
      const ssize_t n = write(to_child, input.data() + written, input.size() - written);
      if (n > 0) written += static_cast<std::size_t>(n);
      if (n < 0 || written == input.size()) {
        close(to_child);
        to_child = -1;
      }
    }
    for (int i = 1; i < 3; ++i) {
      int& fd = i == 1 ? from_out : from_err;
      if (fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      char buffer[4096];
      const ssize_t n = read(fd, buffer, sizeof buffer);
      if (n > 0) {
        (i == 1 ? result.out : result.err).append(buffer, static_cast<std::size_t>(n));
      } else {
        close(fd);
        fd = -1;
      }
    }
  }
  for (int fd : {to_child, from_out, from_err}) {
    if (fd >= 0) close(fd);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  if (!result.timed_out && WIFEXITED(status)) result.exit_status = WEXITSTATUS(status);
  return result;
}
