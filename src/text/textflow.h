// The text flow: where an assembled display chunk goes to be drawn.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sorv {

struct Engine;

struct TextFlowState {
  // Chunks handed over so far. Drawing belongs to the text window; until it
  // exists the chunks are kept here so that tests and the headless runner
  // can read what the game said.
  std::vector<std::string> shownChunks;
  // Text cursor of the current page.
  int column = 0;
  int line = 0;
  int windowLines = 4;   // lines of the text window
  int windowWidth = 23;  // full-width characters a line
};

void ShowTextChunk(Engine& e, std::string_view chunk);
// Clears the text buffer and the window (a new page).
void ClearTextWindow(Engine& e);

}  // namespace sorv
