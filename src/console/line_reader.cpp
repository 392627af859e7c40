#include "line_reader.h"

LineStatus ReadLine(std::FILE* input, std::span<char> line) {
  const std::size_t capacity = line.empty() ? 0 : line.size() - 1;
  std::size_t length = 0;
  bool any = false;
  bool too_long = false;
  bool pending_cr = false;  // a CR is kept only if no line feed follows it

  const auto store = [&](char c) {
    if (length < capacity) {
      line[length++] = c;
    } else {
      too_long = true;
    }
  };

  int c;
  while ((c = std::getc(input)) != EOF) {
    any = true;
    if (c == '\n') break;
    if (pending_cr) store('\r');
    pending_cr = c == '\r';
    if (!pending_cr) store(static_cast<char>(c));
  }
  if (!any) return LineStatus::kEnd;
  // A CR at the very end of input, with no line feed after it, is text.
  if (pending_cr && c == EOF) store('\r');
  if (too_long) {
    if (!line.empty()) line[0] = '\0';
    return LineStatus::kTooLong;
  }
  line[length] = '\0';
  return LineStatus::kLine;
}
