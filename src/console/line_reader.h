// Reading one command line from standard input.
#pragma once

#include <cstddef>
#include <cstdio>
#include <span>

enum class LineStatus {
  kLine,     // a line is in the buffer
  kTooLong,  // the line did not fit; it has been read to its end and dropped
  kEnd,      // input ended before any character of a new line
};

// Reads characters up to a line feed into line, NUL-terminated, so a line
// holds at most line.size() - 1 characters. The line feed is dropped, and so
// is a carriage return just before it. Input that ends after some characters
// still gives a line. On kEnd the buffer is left as it was; on kTooLong it
// holds no line.
LineStatus ReadLine(std::FILE* input, std::span<char> line);
