#include "check/script_lines.h"

#include <algorithm>
#include <cstring>

#include "interp/error.h"
#include "platform/fs.h"
#include "shell/engine.h"

namespace sorv {

ScriptLines::ScriptLines(const Engine& e) {
  const ScriptState& s = e.script;
  const char* d = s.data();
  starts_.push_back(0);
  for (const char* p = d; p < d + s.length;) {
    const void* nl = std::memchr(p, '\n', static_cast<size_t>(d + s.length - p));
    if (!nl) break;
    p = static_cast<const char*>(nl) + 1;
    if (p < d + s.length) starts_.push_back(static_cast<int32_t>(p - d));
  }
  if (!s.fromTextFiles) {
    // One text without file boundaries: lines are counted through the whole of it.
    fileFirstLine_.push_back(0);
    const char* source = s.fallbackMode                                      ? "system.lua"
                         : platform::IsRegularFile(e.Path("svscript.zat")) ? "svscript.zat"
                                                                             : "svscript.dat";
    names_.push_back(source);
    present_.push_back(true);
    return;
  }
  // Each numbered file ends with the newline at its end offset; a missing
  // number adds just that newline.
  int32_t begin = 0;
  for (int f = 0; f < 100; ++f) {
    fileFirstLine_.push_back(LineIndex(begin));
    bool plain = platform::IsRegularFile(e.Path(Format("%d.txt", f)));
    names_.push_back(Format(plain || f >= 10 ? "%d.txt" : "0%d.txt", f));
    int32_t end = s.fileEnd[static_cast<size_t>(f)];
    present_.push_back(end > begin || plain || platform::IsRegularFile(e.Path(Format("0%d.txt", f))));
    begin = end + 1;
    if (begin >= s.length) {
      // Whatever numbers remain hold nothing.
      for (int g = f + 1; g < 100; ++g) {
        fileFirstLine_.push_back(LineCount());
        names_.push_back(Format("%d.txt", g));
        present_.push_back(false);
      }
      break;
    }
  }
}

int32_t ScriptLines::LineIndex(int32_t position) const {
  auto it = std::upper_bound(starts_.begin(), starts_.end(), position);
  return static_cast<int32_t>(it - starts_.begin()) - 1;
}

ScriptLines::Place ScriptLines::PlaceOfLine(int32_t lineIndex) const {
  auto it = std::upper_bound(fileFirstLine_.begin(), fileFirstLine_.end(), lineIndex);
  int file = std::max(0, static_cast<int>(it - fileFirstLine_.begin()) - 1);
  // Empty files share their first line with the next file: take the last one
  // that starts there only when it holds text.
  while (file > 0 && !present_[static_cast<size_t>(file)] &&
         fileFirstLine_[static_cast<size_t>(file - 1)] == fileFirstLine_[static_cast<size_t>(file)]) {
    --file;
  }
  return Place{file, lineIndex - fileFirstLine_[static_cast<size_t>(file)] + 1};
}

ScriptLines::Place ScriptLines::At(int32_t position) const { return PlaceOfLine(LineIndex(position)); }

}  // namespace sorv
