#include "interp/error.h"

#include <cstdarg>
#include <cstdio>

#include "platform/encoding.h"
#include "persist/slots.h"
#include "platform/fs.h"
#include "platform/memory_budget.h"
#include "script/script.h"
#include "shell/engine.h"

namespace sorv {

std::string Format(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  va_list ap2;
  va_copy(ap2, ap);
  int n = std::vsnprintf(nullptr, 0, fmt, ap);
  va_end(ap);
  std::string out;
  if (n > 0) {
    out.resize(static_cast<size_t>(n) + 1);
    std::vsnprintf(out.data(), out.size(), fmt, ap2);
    out.resize(static_cast<size_t>(n));
  }
  va_end(ap2);
  return out;
}

std::string Sjis(std::string_view scriptBytes) { return platform::SjisToUtf8(scriptBytes); }

namespace {

// "N.txt line:L" for the numbered text files; in the scrambled and built-in
// modes there are no file boundaries, so the line is counted in the whole text
// and named after the file the script came from.
std::string LocationLine(const Engine& e, int32_t p) {
  const ScriptState& s = e.script;
  if (s.fromTextFiles) {
    FileLine fl = PositionToFileLine(s, p);
    bool plain = platform::IsRegularFile(e.Path(Format("%d.txt", fl.file)));
    return Format(plain ? "%d.txt line:%d\n" : "0%d.txt line:%d\n", fl.file, fl.line);
  }
  int line = 1;
  for (int32_t j = 0; j < p; ++j) {
    if (s.buffer[static_cast<size_t>(j)] == '\n') ++line;
  }
  const char* source = s.fallbackMode ? "system.lua"
                       : platform::IsRegularFile(e.Path("svscript.zat")) ? "svscript.zat"
                                                                          : "svscript.dat";
  return Format("%s line:%d\n", source, line);
}

// The two lines before the error and the current line up to the error
// point; a newline is followed by '>' when it starts the current line and by
// '|' otherwise.
std::string Excerpt(const ScriptState& s, int32_t p) {
  int32_t start = p;
  int seen = 0;
  int32_t lastNewline = -1;
  for (int32_t j = p - 1; j >= 0; --j) {
    if (s.buffer[static_cast<size_t>(j)] == '\n') {
      if (lastNewline < 0) lastNewline = j;
      if (++seen == 3) {
        start = j;
        break;
      }
    }
    start = j;
  }
  std::string out;
  for (int32_t j = start; j < p; ++j) {
    char c = s.buffer[static_cast<size_t>(j)];
    if (c == '\r') continue;
    out.push_back(c);
    if (c == '\n') out.push_back(j == lastNewline ? '>' : '|');
  }
  return out;
}

}  // namespace

void ReportError(Engine& e, std::string_view title, std::string_view message) {
  std::string text;
  const ScriptState& s = e.script;
  if (!e.interp.scratchCommand.empty()) {
    text = std::string(message) + "\n\nSVExec呼び出し:" + Sjis(e.interp.scratchCommand);
  } else {
    text = std::string(message) + "\n\n";
    int32_t p = s.pos;
    if (!s.buffer.empty() && p >= 0 && p <= s.length) {
      text += LocationLine(e, p);
      text += Sjis(Excerpt(s, p));
    }
  }
  WriteErrorSave(e);
  throw ScriptError(std::string(title), std::string(message), text);
}

void ReportOutOfMemory(Engine& e) {
  ReportError(e, "エラー",
              Format("メモリが足りません（上限%lluMB、--memory-limitで変えられます）。",
                     static_cast<unsigned long long>(platform::MemoryLimit() >> 20)));
}

void ReportNotImplemented(Engine& e, std::string_view word, std::string_view family) {
  ReportError(e, "未実装命令",
              Format("命令\"%s\"（%.*s）はこのバージョンのsorvではまだ使えません。", Sjis(word).c_str(),
                     static_cast<int>(family.size()), family.data()));
}

}  // namespace sorv
