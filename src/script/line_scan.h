// One pass over a script file's text as it comes off the disk: the
// text-mode conversion, and the lines a label may stand on, found together
// so that the label index need not read the whole text again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sorv {

// Scans `n` bytes at `src`, which start a line and are followed in the
// script by a line feed, and writes the text at `dst` (dst <= src; the two
// may overlap, and be the same). With `textMode`, a Ctrl-Z byte ends the
// text and each CR LF pair becomes LF. Appends to `starts` the position
// (`base` + offset in the written text) of every line's first byte that is
// not a space or a tab, when that byte is '*' or NUL: the only places where
// the label scan can find a label or its end. Returns the written length;
// `readEnd`, when given, is set to the bytes taken: n, or the offset of the
// Ctrl-Z that ended the text.
size_t ScanScriptText(char* dst, char* src, size_t n, bool textMode, int32_t base, std::vector<int32_t>& starts,
                      size_t* readEnd = nullptr);
// The same in place.
inline size_t ScanScriptText(char* text, size_t n, bool textMode, int32_t base, std::vector<int32_t>& starts) {
  return ScanScriptText(text, text, n, textMode, base, starts);
}

}  // namespace sorv
