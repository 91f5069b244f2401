#include "script/reader.h"

#include <cstring>

#include "debug/hooks.h"
#include "interp/error.h"
#include "persist/logs.h"
#include "shell/engine.h"
#include "values/values.h"

namespace sorv {

ReadNestingGuard::ReadNestingGuard(Engine& e) : e_(e) {
  if (++e_.script.readNesting > kMaxReadNesting) {
    --e_.script.readNesting;
    ReportError(e_, "エラー", "式の入れ子が深すぎます。");
  }
}

ReadNestingGuard::~ReadNestingGuard() { --e_.script.readNesting; }

unsigned char SkipBlanks(Engine& e) { return SkipBlanks(e.script); }

unsigned char SkipBlanksAndNewlines(Engine& e) {
  ScriptState& s = e.script;
  while (IsBlank(s.cur()) || s.cur() == '\n') ++s.pos;
  return s.cur();
}

void ExpectComma(Engine& e) {
  if (SkipBlanks(e.script) != ',') ReportError(e, "構文エラー", "コンマが必要なところにコンマが有りません。");
  ++e.script.pos;
  SkipBlanks(e.script);
}

unsigned char ReadWord(Engine& e, std::string& out) {
  ScriptState& s = e.script;
  SkipBlanks(e.script);
  out.clear();
  if (IsWordStart(s.cur())) {
    // Find the end first, then copy once: words are read for every command.
    const unsigned char* p = reinterpret_cast<const unsigned char*>(s.data()) + s.pos;
    size_t n = 0;
    while (IsWordByte(p[n])) ++n;
    if (n > kMaxWordBytes) {
      out.assign(reinterpret_cast<const char*>(p), kMaxWordBytes + 1);
      for (char& c : out) c = static_cast<char>(LowerAscii(static_cast<unsigned char>(c)));
      s.pos += static_cast<int32_t>(kMaxWordBytes);
      ReportError(e, "命令エラー", "長すぎるトークンです:" + Sjis(out));
    }
    out.assign(reinterpret_cast<const char*>(p), n);
    char* w = out.data();
    for (size_t i = 0; i < n; ++i) w[i] = static_cast<char>(kWordBytes.lower[p[i]]);
    s.pos += static_cast<int32_t>(n);
  }
  return SkipBlanks(e.script);
}

void ReadLabelName(Engine& e, std::string& out) {
  ScriptState& s = e.script;
  unsigned char c = SkipBlanks(e.script);
  if (c == '*') {
    ++s.pos;
    ReadWord(e, out);
  } else if (c == '"' || c == '$') {
    std::string text;
    ReadStringArgument(e, text);
    if (text.empty() || text[0] != '*') {
      ReportError(e, "実行時エラー",
                  "ラベル名を指定すべきところで文字列が代わりに指定されましたが、文字列の先頭が*ではありません。");
    }
    out.assign(text, 1);
  } else {
    ReportError(e, "構文エラー", "ラベル名が来るべきところにラベル名が来ませんでした。");
  }
}

static int HexValue(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = LowerAscii(c);
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

int32_t ReadColour(Engine& e, const char* text) {
  int32_t value = 0;
  for (int i = 0; i < 6; ++i) {
    int h = HexValue(static_cast<unsigned char>(text[i]));
    if (h < 0) {
      ReportError(e, "構文エラー",
                  "カラー指定が間違っています。HTMLと同じ形式（例：#75fe1b）で指定してください。");
    }
    value = value * 16 + h;
  }
  return value;
}

int32_t ReadColourArgument(Engine& e) {
  ScriptState& s = e.script;
  if (SkipBlanks(e.script) == '#') {
    // The six bytes are read where they stand; a short text ends at the NUL
    // or line feed, which ReadColour reports as a bad digit.
    const char* p = s.data() + s.pos + 1;
    int32_t v = ReadColour(e, p);
    s.pos += 7;
    SkipBlanks(e.script);
    return v;
  }
  std::string text;
  ReadStringArgument(e, text);
  if (text.size() < 7 || text[0] != '#') {
    text.resize(7, '\0');
    if (text[0] != '#') {
      ReportError(e, "構文エラー",
                  "カラー指定が間違っています。HTMLと同じ形式（例：#75fe1b）で指定してください。");
    }
  }
  return ReadColour(e, text.c_str() + 1);
}

// Digits at ScriptPos times `sign`; the blanks behind them are skipped.
static int32_t ReadDigitRun(Engine& e, int sign) {
  ScriptState& s = e.script;
  const unsigned char* start = reinterpret_cast<const unsigned char*>(s.data()) + s.pos;
  const unsigned char* p = start;
  // Wrap-around as 32-bit integers do; the original read into a wider
  // number and truncated, which gives the same low 32 bits.
  uint32_t value = 0;
  while (IsDigit(*p)) value = value * 10u + static_cast<uint32_t>(*p++ - '0');
  if (p - start >= 19) {
    ReportError(e, "構文エラー", "数字が長すぎます。:" + std::string(reinterpret_cast<const char*>(start), 19));
  }
  s.pos += static_cast<int32_t>(p - start);
  while (IsBlank(s.cur())) ++s.pos;
  return static_cast<int32_t>(sign < 0 ? 0u - value : value);
}

int32_t ReadNumberPrimary(Engine& e) {
  ScriptState& s = e.script;
  unsigned char c = SkipBlanks(e.script);
  // Plain digits read no deeper; below the bound the guard would pass.
  if (IsDigit(c) && s.readNesting < kMaxReadNesting) return ReadDigitRun(e, 1);
  ReadNestingGuard guard(e);
  switch (c) {
    case '?': {
      ++s.pos;
      ArrayRef ref = ReadArrayRef(e, ArrayRefMode::Element);
      int32_t v = ArrayElement(e, ref);
      TraceArray(e, ref.number, v);
      return v;
    }
    case '%': {
      ++s.pos;
      int32_t n = ReadNumberPrimary(e);
      CheckIntVarNumber(e, n);
      SkipBlanks(e.script);
      TraceIntVar(e, n, e.values.intVars[static_cast<size_t>(n)]);
      return e.values.intVars[static_cast<size_t>(n)];
    }
    case '[': {
      ++s.pos;
      int32_t v = ReadNumberArgument(e);
      if (s.cur() != ']') ReportError(e, "エラー", "数値の記述に間違いがあります");
      ++s.pos;
      TraceBracket(e, v);
      return v;
    }
    case '-':
      ++s.pos;
      return ReadDigitRun(e, -1);
    default:
      break;
  }
  if (IsDigit(c)) return ReadDigitRun(e, 1);
  std::string word;
  ReadWord(e, word);
  int32_t value;
  if (!word.empty() && LookupNumAlias(e, word, value)) {
    SkipBlanks(e.script);
    TraceAlias(e, word, value);
    return value;
  }
  ReportError(e, "構文エラー", "数字がくるべきところに数字がありません。");
}

// A quoted literal; ScriptPos is on the byte after the opening quote.
static void ReadQuotedTail(Engine& e, std::string& dst) {
  ScriptState& s = e.script;
  dst.clear();
  while (s.cur() != '"' && s.cur() != 0) {
    if (s.cur() == '\n') ReportError(e, "構文エラー", "文字列中に改行が有ります。");
    dst.push_back(static_cast<char>(s.cur()));
    ++s.pos;
    if (dst.size() >= kMaxStringBytes + 1) {
      ReportError(e, "構文エラー", "文字列が長すぎます。:" + Sjis(dst.substr(0, 64)) + "…");
    }
  }
  if (s.cur() == '"') ++s.pos;
  SkipBlanks(e.script);
}

// "(file)" and "[label]" choose between the two string primaries that follow.
static void ReadConditionalString(Engine& e, std::string& dst, bool chosen) {
  std::string discard;
  if (chosen) {
    ReadStringPrimary(e, dst);
    ReadStringPrimary(e, discard);
  } else {
    ReadStringPrimary(e, discard);
    ReadStringPrimary(e, dst);
  }
}

void ReadStringPrimary(Engine& e, std::string& dst) {
  ReadNestingGuard guard(e);
  ScriptState& s = e.script;
  unsigned char c = SkipBlanks(e.script);
  switch (c) {
    case '(': {
      ++s.pos;
      std::string file;
      ReadStringPrimary(e, file);
      if (s.cur() != ')') ReportError(e, "エラー", "ファイル文字列指定は(\"ファイル名\")という形式です。");
      ++s.pos;
      ReadConditionalString(e, dst, InFileLog(e, file));
      return;
    }
    case '[': {
      ++s.pos;
      std::string label;
      ReadLabelName(e, label);
      if (s.cur() != ']') ReportError(e, "エラー", "ファイル文字列指定は(\"ファイル名\")という形式です。");
      ++s.pos;
      ReadConditionalString(e, dst, InLabelLog(e, label));
      return;
    }
    case '$': {
      ++s.pos;
      int32_t n = ReadNumberPrimary(e);
      CheckStrVarNumber(e, n);
      SkipBlanks(e.script);
      dst = e.values.strVars[static_cast<size_t>(n)];
      TraceStrVar(e, n, dst);
      return;
    }
    case '"':
      ++s.pos;
      ReadQuotedTail(e, dst);
      return;
    default:
      break;
  }
  std::string word;
  ReadWord(e, word);
  if (!word.empty()) {
    if (const std::string* text = LookupStrAlias(e, word)) {
      dst = *text;
      SkipBlanks(e.script);
      return;
    }
  }
  ReportError(e, "構文エラー", "文字列が来るべきところに文字列がありません。");
}

void ReadStringArgument(Engine& e, std::string& dst) {
  ReadStringPrimary(e, dst);
  std::string more;
  while (e.script.cur() == '+') {
    if (dst.size() > kMaxStringBytes) ReportError(e, "エラー", "文字列が長すぎます。");
    ++e.script.pos;
    ReadStringPrimary(e, more);
    dst += more;
    if (dst.size() > kMaxStringBytes) ReportError(e, "エラー", "文字列が長すぎます。");
  }
}

int64_t ReadDigits(Engine& e, const char* text, size_t& index) {
  int64_t value = 0;
  int count = 0;
  size_t start = index;
  while (IsDigit(static_cast<unsigned char>(text[index]))) {
    if (++count == 19) {
      ReportError(e, "構文エラー", "数字が長すぎます。:" + std::string(text + start, index - start + 1));
    }
    value = value * 10 + (text[index] - '0');
    ++index;
  }
  return value;
}

std::string ReadString(Engine& e) {
  std::string s;
  ReadStringArgument(e, s);
  return s;
}

std::string NextString(Engine& e) {
  ExpectComma(e);
  return ReadString(e);
}

int32_t NextNumber(Engine& e) {
  ExpectComma(e);
  return ReadNumberArgument(e);
}

}  // namespace sorv
