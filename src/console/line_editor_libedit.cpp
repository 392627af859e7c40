// Line editing through libedit (BSD licence): emacs-style keys as at a shell
// prompt and a history kept in memory for this run only. No editrc or history
// file is read or written: the program reads no configuration and keeps no
// files.
#include <histedit.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "line_editor.h"

namespace {

constexpr int kHistoryLines = 500;

EditLine* g_editor = nullptr;
History* g_history = nullptr;
HistEvent g_event;
std::string g_prompt;

char* Prompt(EditLine*) { return g_prompt.data(); }

void Bind(const char* keys, const char* function) {
  el_set(g_editor, EL_BIND, keys, function, nullptr);
}

}  // namespace

bool StartLineEditor() {
  if (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO)) return false;
  g_editor = el_init("dmx-terminal", stdin, stdout, stderr);
  g_history = history_init();
  if (g_editor == nullptr || g_history == nullptr) {
    if (g_editor != nullptr) el_end(g_editor);
    if (g_history != nullptr) history_end(g_history);
    g_editor = nullptr;
    g_history = nullptr;
    return false;
  }
  history(g_history, &g_event, H_SETSIZE, kHistoryLines);
  history(g_history, &g_event, H_SETUNIQUE, 1);
  el_set(g_editor, EL_EDITOR, "emacs");
  el_set(g_editor, EL_HIST, history, g_history);
  el_set(g_editor, EL_PROMPT, &Prompt);
  // Restores the terminal before a signal such as Ctrl-C ends the program.
  el_set(g_editor, EL_SIGNAL, 1);
  // As at a shell prompt: Ctrl-W deletes the word before the cursor, and the
  // Home, End and Delete keys work whichever sequences the terminal sends.
  Bind("^W", "ed-delete-prev-word");
  for (const char* home : {"\033[H", "\033[1~", "\033[7~", "\033OH"}) Bind(home, "ed-move-to-beg");
  for (const char* end : {"\033[F", "\033[4~", "\033[8~", "\033OF"}) Bind(end, "ed-move-to-end");
  Bind("\033[3~", "ed-delete-next-char");
  return true;
}

bool LineEditorActive() { return g_editor != nullptr; }

LineStatus ReadEditedLine(std::span<char> line, std::string_view visible_line) {
  g_prompt.assign(visible_line);
  // The cursor stands after the visible text. From column 0 the editor's
  // prompt covers exactly the characters already there.
  std::fputs("\r", stdout);
  std::fflush(stdout);
  int count = 0;
  const char* got = el_gets(g_editor, &count);
  if (got == nullptr || count <= 0) return LineStatus::kEnd;

  std::string_view text(got, static_cast<std::size_t>(count));
  if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
  if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
  // Text up to a NUL, as a line read from a stream is used.
  text = text.substr(0, std::min(text.size(), std::strlen(got)));
  if (!text.empty()) history(g_history, &g_event, H_ENTER, std::string(text).c_str());

  const std::size_t capacity = line.empty() ? 0 : line.size() - 1;
  if (text.size() > capacity) {
    if (!line.empty()) line[0] = '\0';
    return LineStatus::kTooLong;
  }
  std::copy(text.begin(), text.end(), line.begin());
  line[text.size()] = '\0';
  return LineStatus::kLine;
}
