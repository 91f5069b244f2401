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

// Reads the name of a label line at ScriptPos ('*' under it). Plain names
// are taken straight from the text; a quoted or variable name goes through
// the label-name reader.
static void ReadIndexedName(Engine& e, std::string& name) {
  ScriptState& s = e.script;
  if (s.cur() != '*') {
    ReadLabelName(e, name);
    return;
  }
  ++s.pos;
  while (IsBlank(s.cur())) ++s.pos;
  name.clear();
  if (IsWordStart(s.cur())) {
    while (IsWordByte(s.cur())) {
      if (name.size() == kMaxWordBytes) {
        name.push_back(static_cast<char>(LowerAscii(s.cur())));
        ReportError(e, "命令エラー", "長すぎるトークンです:" + Sjis(name));
      }
      name.push_back(static_cast<char>(LowerAscii(s.cur())));
      ++s.pos;
    }
  }
}

void BuildLabelIndex(Engine& e) {
  ScriptState& s = e.script;
  s.labels.clear();
  s.labelIndex.Clear();
  s.pos = 0;
  std::string name;
  const unsigned char* base = reinterpret_cast<const unsigned char*>(s.data());
  const unsigned char* end = base + s.length;
  const unsigned char* p = base;
  for (;;) {
    unsigned char c = *p;
    if (c == '\t' || c == '\n' || c == ' ') {
      ++p;
      continue;
    }
    if (c == 0) break;
    if (c != '*') {
      // Any other first byte: the rest of the line holds no label.
      const void* nl = p < end ? std::memchr(p, '\n', static_cast<size_t>(end - p)) : nullptr;
      p = nl ? static_cast<const unsigned char*>(nl) : end;
      continue;
    }
    s.pos = static_cast<int32_t>(p - base);
    ReadIndexedName(e, name);
    if (static_cast<int32_t>(s.labels.size()) >= s.labelMax) {
      if (s.labelIndex.Find(s.labels, name) >= 0) {
        ReportError(e, "エラー", "ラベル*" + Sjis(name) + "の多重定義です。");
      }
      ReportError(e, "エラー", "ラベルが最大数を超えました。");
    }
    int32_t nameEnd = s.pos;
    while (IsBlank(s.cur())) ++s.pos;
    if (s.cur() == '\n') ++s.pos;
    s.labels.push_back(Label{s.pos, name});
    if (s.labelIndex.Insert(s.labels, static_cast<int32_t>(s.labels.size() - 1)) >= 0) {
      s.pos = nameEnd;  // the report points at the second definition
      ReportError(e, "エラー", "ラベル*" + Sjis(name) + "の多重定義です。");
    }
    p = base + s.pos;
  }
  s.pos = static_cast<int32_t>(p - base);
}

int32_t FindLabel(const Engine& e, std::string_view name) {
  std::string lower = Lower(name);
  int32_t idx = e.script.labelIndex.Find(e.script.labels, lower);
  return idx < 0 ? -1 : e.script.labels[static_cast<size_t>(idx)].pos;
}

void JumpToLabel(Engine& e, std::string_view name) {
  std::string lower = Lower(name);
  int32_t idx = e.script.labelIndex.Find(e.script.labels, lower);
  if (idx < 0) ReportError(e, "ラベルエラー", "ラベル*" + Sjis(name) + "は存在しません");
  e.script.pos = e.script.labels[static_cast<size_t>(idx)].pos;
  AddLabelLog(e, lower);
}

namespace {

constexpr size_t kJumpCacheSlots = 1024;

size_t JumpSlot(int32_t pos) { return (static_cast<uint32_t>(pos) * 2654435761u) >> 22; }

}  // namespace

void JumpToLabelArgument(Engine& e) {
  ScriptState& s = e.script;
  const int32_t start = s.pos;
  // Only the script's own text is remembered, never the scratch line.
  const bool cacheable = s.textGeneration != 0 && start >= 0 && start < s.scratchOffset;
  if (cacheable && !s.jumpCache.empty()) {
    const ScriptState::CachedJump& c = s.jumpCache[JumpSlot(start)];
    if (c.pos == start && c.text == s.textGeneration && static_cast<size_t>(c.label) < s.labels.size()) {
      const Label& label = s.labels[static_cast<size_t>(c.label)];
      s.pos = label.pos;
      AddLabelLog(e, label.name);
      return;
    }
  }
  // A name from a string variable may differ next time; one written
  // directly names the same label for as long as the text stays.
  int32_t p = start;
  while (IsBlank(s.at(p))) ++p;
  const bool direct = s.at(p) == '*';
  std::string name;
  ReadLabelName(e, name);
  JumpToLabel(e, name);
  if (!cacheable || !direct) return;
  const int32_t idx = s.labelIndex.Find(s.labels, Lower(name));
  if (idx < 0) return;
  if (s.jumpCache.empty()) s.jumpCache.resize(kJumpCacheSlots);
  s.jumpCache[JumpSlot(start)] = {start, s.textGeneration, idx};
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
