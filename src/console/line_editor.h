// Line editing on a terminal: when standard input and standard output are
// both terminals, lines are read through an editor (Left/Right, Home/End,
// Backspace/Delete, the usual Ctrl keys, Up/Down through the lines sent in
// this run), so that only finished lines are ever sent. Elsewhere, and where
// the program was built without the editor, lines are read as they come.
#pragma once

#include <span>
#include <string_view>

#include "line_reader.h"

// Starts the editor if standard input and output are terminals and the
// program has one. True when lines will be read through it.
bool StartLineEditor();

// Whether lines are read through the editor.
bool LineEditorActive();

// Reads one line through the editor, with the same results as ReadLine:
// line holds it without its line end, NUL-terminated. visible_line is what
// stands on the cursor's line already (the adapter's partial last line, such
// as its ">"): the editor shows it as its prompt, so that redrawing the line
// neither erases nor doubles it. A non-empty line is added to the history,
// once when it equals the line before.
LineStatus ReadEditedLine(std::span<char> line, std::string_view visible_line);
