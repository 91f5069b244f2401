#include "text/textflow.h"

#include "shell/engine.h"

namespace sorv {

// The text window does not draw yet: the chunk is kept, and the cursor moves
// as the waits at the chunk's end say, so that line-page modes and page
// starts behave as they will once glyphs are drawn.
void ShowTextChunk(Engine& e, std::string_view chunk) {
  TextFlowState& t = e.text;
  t.shownChunks.emplace_back(chunk);
  if (!chunk.empty() && chunk.back() == '\\') {
    t.column = 0;
    t.line = 0;
  } else {
    t.column = 0;
    ++t.line;
  }
}

void ClearTextWindow(Engine& e) {
  e.text.column = 0;
  e.text.line = 0;
}

}  // namespace sorv
