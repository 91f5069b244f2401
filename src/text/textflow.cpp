#include "text/textflow.h"

#include "script/reader.h"
#include "shell/engine.h"

namespace sorv {

// The text window does not draw yet: the chunk is kept, and the cursor moves
// as the waits at the chunk's end say, so that line-page modes and page
// starts behave as they will once glyphs are drawn.
// Until glyphs are drawn, the chunk's click and page waits still wait, so
// that a game reads its input at the places it will once text shows.
static void RunChunkWaits(Engine& e, std::string_view chunk) {
  int32_t chars = 0;
  bool inBraces = false;
  for (size_t i = 0; i < chunk.size(); ++i) {
    auto c = static_cast<unsigned char>(chunk[i]);
    if (IsLeadByte(c) && i + 1 < chunk.size()) {
      ++chars;
      ++i;
    } else if (c == '{' || c == '}') {
      inBraces = c == '{';
    } else if (!inBraces && (c == '@' || c == '\\')) {
      ClickWaitRequest wait;
      wait.kind = c == '@' ? WaitKind::Click : WaitKind::Page;
      wait.chunkChars = chars;
      if (WaitForClick(e, wait) == WaitEnd::Interrupted) return;
    }
  }
}

void ShowTextChunk(Engine& e, std::string_view chunk) {
  TextFlowState& t = e.text;
  t.shownChunks.emplace_back(chunk);
  RunChunkWaits(e, chunk);
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
