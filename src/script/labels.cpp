// The label index, label jumps and the position-to-line rule.
#include <cstring>

#include "interp/error.h"
#include "persist/logs.h"
#include "script/reader.h"
#include "script/script.h"
#include "shell/engine.h"

namespace sorv {

static std::string Lower(std::string_view name) {
  std::string out(name);
  for (char& c : out) c = static_cast<char>(LowerAscii(static_cast<unsigned char>(c)));
  return out;
}

void BuildLabelIndex(Engine& e) {
  ScriptState& s = e.script;
  s.labels.clear();
  s.labelIndex.clear();
  s.pos = 0;
  std::string name;
  for (;;) {
    unsigned char c = s.cur();
    if (c == 0) break;
    if (c == '\t' || c == '\n' || c == ' ') {
      ++s.pos;
      continue;
    }
    if (c == '*') {
      ReadLabelName(e, name);
      std::string lower = Lower(name);
      if (s.labelIndex.count(lower)) {
        ReportError(e, "エラー", "ラベル*" + Sjis(lower) + "の多重定義です。");
      }
      if (static_cast<int32_t>(s.labels.size()) >= s.labelMax) {
        ReportError(e, "エラー", "ラベルが最大数を超えました。");
      }
      while (IsBlank(s.cur())) ++s.pos;
      if (s.cur() == '\n') ++s.pos;
      s.labelIndex.emplace(lower, s.pos);
      s.labels.push_back(Label{s.pos, std::move(lower)});
      continue;
    }
    // Any other first byte: the rest of the line holds no label.
    const char* p = s.data() + s.pos;
    const void* nl = std::memchr(p, '\n', static_cast<size_t>(s.length - s.pos));
    s.pos = nl ? static_cast<int32_t>(static_cast<const char*>(nl) - s.data()) : s.length;
  }
}

int32_t FindLabel(const Engine& e, std::string_view name) {
  auto it = e.script.labelIndex.find(Lower(name));
  return it == e.script.labelIndex.end() ? -1 : it->second;
}

void JumpToLabel(Engine& e, std::string_view name) {
  std::string lower = Lower(name);
  auto it = e.script.labelIndex.find(lower);
  if (it == e.script.labelIndex.end()) {
    ReportError(e, "ラベルエラー", "ラベル*" + Sjis(name) + "は存在しません");
  }
  e.script.pos = it->second;
  AddLabelLog(e, lower);
}

FileLine PositionToFileLine(const ScriptState& s, int32_t position) {
  int f = 0, n = 0, start = 0;
  int32_t limit = std::min<int32_t>(position, static_cast<int32_t>(s.buffer.size()));
  for (int32_t j = 0; j < limit; ++j) {
    if (f < 99 && s.fileEnd[static_cast<size_t>(f)] < j) {
      start = n;
      ++f;
    }
    if (s.buffer[static_cast<size_t>(j)] == '\n') ++n;
  }
  return FileLine{f, n - start + 1};
}

}  // namespace sorv
