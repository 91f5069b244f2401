// The label index, label jumps and the position-to-line rule.
#include <algorithm>
#include <cstring>
#include <new>

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

// Reads the label line whose '*' is at `star`, reading nothing at or past
// `textEnd`: the label's name, and in `after` where the blanks behind the
// name end. Its position is the caller's to set: it depends on what follows.
static Label ReadLabelLine(const unsigned char* b, int32_t star, int32_t textEnd, int32_t& after) {
  int32_t at = star + 1;
  while (at < textEnd && IsBlank(b[at])) ++at;
  Label label{0, at, 0};
  if (at < textEnd && IsWordStart(b[at])) {
    while (at < textEnd && IsWordByte(b[at])) ++at;
  }
  label.nameLength = at - label.nameAt;
  while (at < textEnd && IsBlank(b[at])) ++at;
  after = at;
  return label;
}

// The label scan from `from` on, one label at a time: the rule itself, kept
// for texts whose line list is not at hand and for the label that ends the
// scan with an error.
static void ScanLabelsFrom(Engine& e, int32_t from) {
  ScriptState& s = e.script;
  const unsigned char* base = reinterpret_cast<const unsigned char*>(s.data());
  const unsigned char* end = base + s.length;
  const unsigned char* p = base + from;
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
    int32_t after = 0;
    Label label = ReadLabelLine(base, static_cast<int32_t>(p - base), s.length, after);
    if (static_cast<size_t>(label.nameLength) > kMaxWordBytes) {
      // Reported at the first byte too many, with the name up to it.
      label.nameLength = static_cast<int32_t>(kMaxWordBytes) + 1;
      s.pos = label.nameAt + static_cast<int32_t>(kMaxWordBytes);
      ReportError(e, "命令エラー", "長すぎるトークンです:" + Sjis(LabelName(s, label)));
    }
    s.pos = label.nameEnd();
    if (static_cast<int32_t>(s.labels.size()) >= s.labelMax) {
      if (s.labelIndex.Find(s.data(), s.labels, LabelName(s, label)) >= 0) {
        ReportError(e, "エラー", "ラベル*" + Sjis(LabelName(s, label)) + "の多重定義です。");
      }
      ReportError(e, "エラー", "ラベルが最大数を超えました。");
    }
    while (IsBlank(s.cur())) ++s.pos;
    if (s.cur() == '\n') ++s.pos;
    label.pos = s.pos;
    s.labels.push_back(label);
    if (s.labelIndex.Insert(s.data(), s.labels, static_cast<int32_t>(s.labels.size() - 1)) >= 0) {
      s.pos = label.nameEnd();  // the report points at the second definition
      ReportError(e, "エラー", "ラベル*" + Sjis(LabelName(s, label)) + "の多重定義です。");
    }
    p = base + s.pos;
  }
  s.pos = static_cast<int32_t>(p - base);
}

// The hash the index files a label under, read from the text.
static uint32_t NameHash(const unsigned char* text, const Label& label) {
  return static_cast<uint32_t>(
      LabelIndex::HashLowered(reinterpret_cast<const char*>(text) + label.nameAt, static_cast<size_t>(label.nameLength)));
}

// The same scan over the loader's list of lines that start with '*' or NUL,
// the only lines where it can stop: first every label is read in order, then
// the table, sized once, takes them in the same order (the slot of a label a
// few ahead is fetched while one is placed), so a name defined twice is
// reported at its second definition as before. A label the rule refuses (a
// name too long, a full table) hands over to the plain scan at that label,
// which reports it. Returns where the scan ended, or -1 for such a hand-over.
static int32_t IndexListedLines(Engine& e, int32_t& handOver) {
  ScriptState& s = e.script;
  const unsigned char* b = reinterpret_cast<const unsigned char*>(s.data());
  const size_t limit = static_cast<size_t>(std::max(s.labelMax, 0));
  std::vector<uint32_t> hashes;
  // The loader's draft stands for the scan over its lines: after a plain
  // label line the scan goes on at the next listed line, or stops short of
  // it on a line that holds no label.
  size_t first = 0;
  size_t indexed = 0;  // labels the loader's index holds already
  if (!s.labelDraft.empty()) {
    first = std::min(s.labelDraft.size(), limit);
    s.labels = std::move(s.labelDraft);
    hashes = std::move(s.labelDraftHashes);
    s.labels.resize(first);
    hashes.resize(first);
    if (s.labelDraftIndexed <= first) {
      s.labelIndex = std::move(s.labelDraftIndex);
      indexed = s.labelDraftIndexed;
    }
    // Taken once: a later index reads the text again.
    s.labelDraft.clear();
    s.labelDraftHashes.clear();
  }
  s.labelDraftIndex.Clear();
  s.labelDraftIndexed = 0;
  if (indexed == 0) s.labelIndex.Clear();
  const std::vector<int32_t>& lines = s.labelLines;
  if (first < lines.size()) {
    size_t expect = std::min(lines.size(), limit);
    s.labels.reserve(expect);
    hashes.reserve(expect);
  }
  handOver = -1;
  int32_t ended = s.length;  // the NUL behind the text, unless one comes first
  int32_t scanned = 0;       // everything before this was passed by the scan
  constexpr size_t kLinesAhead = 32;
  for (size_t li = first; li < lines.size(); ++li) {
    // The label lines lie far apart in the text: fetch a few ahead.
    if (li + kLinesAhead < lines.size()) __builtin_prefetch(b + lines[li + kLinesAhead]);
    const int32_t line = lines[li];
    if (line < scanned) continue;
    int32_t q = line;
    for (;;) {
      while (b[q] == ' ' || b[q] == '\t' || b[q] == '\n') ++q;
      if (b[q] == 0) {
        ended = q;
        break;
      }
      if (b[q] != '*') {
        scanned = q + 1;  // the rest of that line holds no label
        break;
      }
      if (s.labels.size() >= limit) {
        handOver = q;
        break;
      }
      int32_t at = 0;
      Label label = ReadLabelLine(b, q, s.length, at);
      if (static_cast<size_t>(label.nameLength) > kMaxWordBytes) {
        handOver = q;
        break;
      }
      if (b[at] == '\n') ++at;
      label.pos = at;
      s.labels.push_back(label);
      hashes.push_back(NameHash(b, label));
      q = at;
    }
    if (handOver >= 0 || b[q] == 0) break;
  }
  constexpr size_t kAhead = 8;
  const size_t count = s.labels.size();
  s.labelIndex.Reserve(count);
  for (size_t i = indexed; i < std::min(indexed + kAhead, count); ++i) s.labelIndex.Prefetch(hashes[i]);
  for (size_t i = indexed; i < count; ++i) {
    if (i + kAhead < count) s.labelIndex.Prefetch(hashes[i + kAhead]);
    if (s.labelIndex.InsertHashed(s.data(), s.labels, static_cast<int32_t>(i), hashes[i]) >= 0) {
      s.labels.resize(i + 1);
      s.pos = s.labels[i].nameEnd();  // the report points at the second definition
      ReportError(e, "エラー", "ラベル*" + Sjis(LabelName(s, s.labels[i])) + "の多重定義です。");
    }
  }
  return handOver >= 0 ? -1 : ended;
}

bool DraftLabels(const char* text, const int32_t* lines, size_t count, int32_t textEnd, std::vector<Label>& draft,
                 std::vector<uint32_t>& hashes) {
  if (draft.capacity() < draft.size() + count) {
    // Drafts are made piece by piece: room doubles rather than fitting.
    draft.reserve(std::max(draft.size() + count, draft.capacity() * 2));
    hashes.reserve(std::max(hashes.size() + count, hashes.capacity() * 2));
  }
  const unsigned char* b = reinterpret_cast<const unsigned char*>(text);
  size_t li = 0;
  constexpr size_t kLinesAhead = 16;
  for (; li < count; ++li) {
    // The label lines lie far apart in the text: fetch a few ahead.
    if (li + kLinesAhead < count) __builtin_prefetch(b + lines[li + kLinesAhead]);
    if (b[lines[li]] != '*') break;  // a NUL: the scan ends there
    int32_t at = 0;
    Label label = ReadLabelLine(b, lines[li], textEnd, at);
    if (static_cast<size_t>(label.nameLength) > kMaxWordBytes) break;
    if (at >= textEnd) break;  // what follows is not loaded yet
    // A '*' or NUL behind the name would go on with the scan on this line.
    const unsigned char c = b[at];
    if (c == '*' || c == 0) break;
    label.pos = c == '\n' ? at + 1 : at;
    draft.push_back(label);
    hashes.push_back(NameHash(b, label));
  }
  return li == count;
}

void BuildLabelIndex(Engine& e) {
  ScriptState& s = e.script;
  s.labels.clear();
  s.labelIndex.Clear();
  s.pos = 0;
  if (s.textGeneration != 0 && s.labelLinesText == s.textGeneration) {
    int32_t handOver = -1;
    int32_t ended = IndexListedLines(e, handOver);
    if (handOver < 0) {
      s.pos = ended;
      return;
    }
    ScanLabelsFrom(e, handOver);
    return;
  }
  ScanLabelsFrom(e, 0);
}

std::string LabelName(const ScriptState& s, const Label& label) {
  std::string name(s.data() + label.nameAt, static_cast<size_t>(label.nameLength));
  for (char& c : name) c = static_cast<char>(LowerAscii(static_cast<unsigned char>(c)));
  return name;
}

int32_t FindLabel(const Engine& e, std::string_view name) {
  std::string lower = Lower(name);
  int32_t idx = e.script.labelIndex.Find(e.script.data(), e.script.labels, lower);
  return idx < 0 ? -1 : e.script.labels[static_cast<size_t>(idx)].pos;
}

void JumpToLabel(Engine& e, std::string_view name) {
  std::string lower = Lower(name);
  int32_t idx = e.script.labelIndex.Find(e.script.data(), e.script.labels, lower);
  if (idx < 0) ReportError(e, "ラベルエラー", "ラベル*" + Sjis(name) + "は存在しません");
  e.script.pos = e.script.labels[static_cast<size_t>(idx)].pos;
  AddLabelLogAt(e, idx);
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
      s.pos = s.labels[static_cast<size_t>(c.label)].pos;
      AddLabelLogAt(e, c.label);
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
  const int32_t idx = s.labelIndex.Find(s.data(), s.labels, Lower(name));
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
