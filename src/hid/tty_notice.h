// The modal notice of a console program on a POSIX system.
#pragma once

// Writes "<caption>: <text>" as one line to standard error and holds the
// program until the user presses Enter on the controlling terminal. The Enter
// is read from /dev/tty, not standard input, so commands waiting there are not
// consumed. Without a controlling terminal it returns at once.
void ShowTtyNotice(const char* text, const char* caption);
