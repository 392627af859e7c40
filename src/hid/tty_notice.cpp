#include "tty_notice.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

void ShowTtyNotice(const char* text, const char* caption) {
  std::fprintf(stderr, "%s: %s\n", caption, text);
  std::fflush(stderr);

  const int tty = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (tty < 0) return;
  static const char kAsk[] = "Press Enter to continue.\n";
  (void)!write(tty, kAsk, sizeof kAsk - 1);
  char c = 0;
  for (;;) {
    const ssize_t got = read(tty, &c, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0 || c == '\n') break;
  }
  close(tty);
}
