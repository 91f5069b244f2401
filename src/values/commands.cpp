// The value commands: stores, arithmetic, random numbers, trigonometry, text
// conversion and splitting, limits, aliases and array declarations.
#include "values/commands.h"

#include <climits>
#include <cmath>
#include <cstring>
#include <ctime>
#include <string>
#include <utility>

#include "interp/error.h"
#include "platform/memory_budget.h"
#include "script/reader.h"
#include "persist/journal.h"
#include "shell/engine.h"

namespace sorv {

void ReportZeroDivisor(Engine& e, bool remainder) {
  ReportError(e, "０除算エラー", remainder ? "０で剰余演算しました。" : "０で除算しました。");
}

int CompareBytes(std::string_view a, std::string_view b) {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  const int c = n ? std::memcmp(a.data(), b.data(), n) : 0;  // memcmp compares unsigned bytes
  if (c != 0) return c < 0 ? -1 : 1;
  return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

int32_t LeadingNumber(std::string_view text) {
  size_t i = 0;
  auto space = [](unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
  while (i < text.size() && space(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int64_t value = 0;
  for (; i < text.size() && IsDigit(static_cast<unsigned char>(text[i])); ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > int64_t{INT32_MAX} + 1) break;
  }
  if (negative) value = -value;
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

namespace {

constexpr const char* kError = "エラー";
constexpr const char* kSyntax = "構文エラー";

int32_t& IntVar(Engine& e, int32_t n) { return e.values.intVars[static_cast<size_t>(n)]; }
std::string& StrVar(Engine& e, int32_t n) { return e.values.strVars[static_cast<size_t>(n)]; }

// `getversion`, `date` and `time` read the number behind "%" as a whole
// expression rather than a primary.
int32_t ReadIntVarTargetExpr(Engine& e, const char* kindMessage) {
  if (SkipBlanks(e.script) != '%') ReportError(e, kSyntax, kindMessage);
  ++e.script.pos;
  const int32_t n = ReadNumberArgument(e);
  CheckIntVarNumber(e, n);
  return n;
}

using IntOp = int32_t (*)(Engine&, int32_t, int32_t);

// `%n, num` commands that combine the variable with the value.
void UpdateIntVar(Engine& e, const char* kindMessage, IntOp op) {
  const int32_t n = ReadIntVarTarget(e, kindMessage);
  const int32_t value = NextNumber(e);
  StoreIntLimited(e, n, op(e, IntVar(e, n), value));
}

void StepIntVar(Engine& e, const char* kindMessage, int32_t step) {
  const int32_t n = ReadIntVarTarget(e, kindMessage);
  StoreIntLimited(e, n, WrapAdd(IntVar(e, n), step));
}

// The `%n` form of movN: N values into n ... n+N-1, stored in order.
void MovN(Engine& e, int count) {
  const std::string kind = Format("mov%dの第一引数は数字変数です。", count);
  const int32_t n = ReadIntVarTarget(e, kind.c_str());
  if (n > e.script.numVarCount - count) ReportError(e, kError, "変数番号が範囲外をさしています。");
  for (int i = 0; i < count; ++i) {
    const int32_t value = NextNumber(e);
    JournalInt(e, n + i);
    IntVar(e, n + i) = value;
  }
  ApplyIntLimits(e);
}

// 1,000 × f(degrees in radians), rounded half away from zero. The engine has
// always used 3.1415927 for pi; keeping it keeps the results games expect.
int32_t Trig(double (*f)(double), int32_t degrees) {
  const double value = std::round(1000.0 * f(degrees * 2.0 * 3.1415927 / 360.0));
  if (!(value < 2147483648.0)) return INT32_MAX;
  if (value < -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(value);
}

void TrigCommand(Engine& e, const char* kindMessage, double (*f)(double), bool tangent) {
  const int32_t n = ReadIntVarTarget(e, kindMessage);
  const int32_t degrees = NextNumber(e);
  // The tangent of an odd multiple of 90 degrees is taken as the largest
  // integer, whichever side the rounded pi would put it on.
  const bool pole = tangent && ((int64_t{degrees} % 180) + 180) % 180 == 90;
  StoreIntLimited(e, n, pole ? INT32_MAX : Trig(f, degrees));
}

std::string FullWidthDigits(const std::string& ascii) {
  std::string out;
  for (char c : ascii) {
    if (c == '-') {
      out += "\x81\x7C";
    } else {
      out += '\x82';
      out += static_cast<char>(0x4F + (c - '0'));
    }
  }
  return out;
}

void ItoaCommand(Engine& e, bool fullWidth) {
  const int32_t n = ReadStrVarTarget(e, "itoaの第一引数は文字変数です。");
  const std::string text = std::to_string(NextNumber(e));
  StrVar(e, n) = fullWidth ? FullWidthDigits(text) : text;
}

// The next field of `text` from `at`: up to the separator (consumed) or the
// end. A double-byte character is copied whole and never taken for the
// separator, even when its trail byte equals it.
std::string CutField(const std::string& text, char sep, size_t& at) {
  std::string field;
  while (at < text.size()) {
    const unsigned char c = static_cast<unsigned char>(text[at]);
    if (IsLeadByte(c) && at + 1 < text.size()) {
      field.append(text, at, 2);
      at += 2;
      continue;
    }
    ++at;
    if (c == static_cast<unsigned char>(sep)) break;
    field += static_cast<char>(c);
  }
  return field;
}

void Split(Engine& e, bool withNumber) {
  const std::string text = ReadString(e);
  const std::string sep = NextString(e);
  if (sep.size() != 1) ReportError(e, kError, "splitの分割文字は一文字です");
  ExpectComma(e);
  if (withNumber) {
    ReadNumberArgument(e);  // read for compatibility; it has no effect
    ExpectComma(e);
  }
  const char* badTarget = "splitに指定できるのは数字変数か文字変数です（配列は現在のところ不可）";
  size_t at = 0;
  for (;;) {
    const unsigned char kind = SkipBlanks(e.script);
    const std::string field = CutField(text, sep[0], at);
    if (kind == '$') {
      StrVar(e, ReadStrVarTarget(e, badTarget, kError)) = field;
    } else if (kind == '%') {
      IntVar(e, ReadIntVarTarget(e, badTarget, kError)) = LeadingNumber(field);
    } else {
      ReportError(e, kError, badTarget);
    }
    if (SkipBlanks(e.script) != ',') return;
    ExpectComma(e);
  }
}

void DateOrTime(Engine& e, const char* name, const int32_t (&fields)[3]) {
  const std::string first = Format("%sの第一引数は数字変数です。", name);
  const std::string second = Format("%sの第ニ引数は数字変数です。", name);
  const std::string third = Format("%sの第三引数は数字変数です。", name);
  const int32_t a = ReadIntVarTargetExpr(e, first.c_str());
  ExpectComma(e);
  const int32_t b = ReadIntVarTargetExpr(e, second.c_str());
  ExpectComma(e);
  const int32_t c = ReadIntVarTargetExpr(e, third.c_str());
  IntVar(e, a) = fields[0];
  IntVar(e, b) = fields[1];
  IntVar(e, c) = fields[2];
}

std::tm LocalNow() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  return tm;
}

}  // namespace

void Cmd_mov(Engine& e) {
  const char* kind = "movの第一引数は数字／文字変数／配列です。";
  switch (SkipBlanks(e.script)) {
    case '%': {
      const int32_t n = ReadIntVarTarget(e, kind);
      StoreIntLimited(e, n, NextNumber(e));
      return;
    }
    case '$': {
      const int32_t n = ReadStrVarTarget(e, kind);
      std::string text = NextString(e);
      platform::ReserveMemory(text.size());
      JournalStr(e, n);
      StrVar(e, n) = std::move(text);
      return;
    }
    case '?': {
      ++e.script.pos;
      const ArrayRef ref = ReadArrayRef(e, ArrayRefMode::Element);
      const int32_t value = NextNumber(e);
      int32_t& cell = ArrayElement(e, ref);
      JournalCell(e, &cell);
      cell = value;
      return;
    }
    default:
      ReportError(e, kSyntax, kind);
  }
}

void Cmd_mov3(Engine& e) { MovN(e, 3); }
void Cmd_mov4(Engine& e) { MovN(e, 4); }
void Cmd_mov5(Engine& e) { MovN(e, 5); }
void Cmd_mov6(Engine& e) { MovN(e, 6); }
void Cmd_mov7(Engine& e) { MovN(e, 7); }
void Cmd_mov8(Engine& e) { MovN(e, 8); }
void Cmd_mov9(Engine& e) { MovN(e, 9); }
void Cmd_mov10(Engine& e) { MovN(e, 10); }

void Cmd_movl(Engine& e) {
  if (SkipBlanks(e.script) != '?') ReportError(e, kError, "movlの第一引数は?数字です。");
  ++e.script.pos;
  ArrayRef ref = ReadArrayRef(e, ArrayRefMode::Row);
  const int last = ref.desc->dims - 1;
  ref.index[ref.count++] = 0;
  const size_t first = static_cast<size_t>(&ArrayElement(e, ref) - ref.desc->elems.data());
  const int32_t width = ref.desc->max[last] + 1;
  for (int32_t i = 0; i < width; ++i) ref.desc->elems[first + static_cast<size_t>(i)] = NextNumber(e);
}

void Cmd_add(Engine& e) {
  const char* kind = "addの第一引数は数字／文字変数です。";
  if (SkipBlanks(e.script) != '$') {
    UpdateIntVar(e, kind, [](Engine&, int32_t a, int32_t b) { return WrapAdd(a, b); });
    return;
  }
  const int32_t n = ReadStrVarTarget(e, kind);
  std::string joined = StrVar(e, n) + NextString(e);
  if (joined.size() >= kMaxStringBytes) ReportError(e, kError, "足し合わせた結果の文字列が長すぎます。");
  platform::ReserveMemory(joined.size());
  JournalStr(e, n);
  StrVar(e, n) = std::move(joined);
}

void Cmd_sub(Engine& e) {
  UpdateIntVar(e, "subの第一引数は数字変数です。", [](Engine&, int32_t a, int32_t b) { return WrapSub(a, b); });
}
void Cmd_mul(Engine& e) {
  UpdateIntVar(e, "mulの第一引数は数字変数です。", [](Engine&, int32_t a, int32_t b) { return WrapMul(a, b); });
}
void Cmd_div(Engine& e) { UpdateIntVar(e, "divの第一引数は数字変数です。", CheckedDiv); }
void Cmd_mod(Engine& e) { UpdateIntVar(e, "modの第一引数は数字変数です。", CheckedMod); }
void Cmd_inc(Engine& e) { StepIntVar(e, "incの引数は数字変数です。", 1); }
void Cmd_dec(Engine& e) { StepIntVar(e, "decの引数は数字変数です。", -1); }

// A modulus of 0 is reported like any remainder by zero; a negative one
// gives 0 ... |m| - 1, which is what the remainder of a non-negative draw is.
void Cmd_rnd(Engine& e) {
  const int32_t n = ReadIntVarTarget(e, "rndの第一引数は数字変数です。");
  const int32_t m = NextNumber(e);
  StoreIntLimited(e, n, CheckedMod(e, NextRandom(e), m));
}

// Bounds given the wrong way round are taken as the same range.
void Cmd_rnd2(Engine& e) {
  const int32_t n = ReadIntVarTarget(e, "rnd2の第一引数は数字変数です。");
  int32_t a = NextNumber(e);
  int32_t b = NextNumber(e);
  if (b < a) std::swap(a, b);
  const int64_t span = int64_t{b} - a + 1;
  StoreIntLimited(e, n, static_cast<int32_t>(a + NextRandom(e) % span));
}

void Cmd_sin(Engine& e) {
  TrigCommand(e, "sinの第一引数は数字変数です。", [](double x) { return std::sin(x); }, false);
}
void Cmd_cos(Engine& e) {
  TrigCommand(e, "cosの第一引数は数字変数です。", [](double x) { return std::cos(x); }, false);
}
void Cmd_tan(Engine& e) {
  TrigCommand(e, "tanの第一引数は数字変数です。", [](double x) { return std::tan(x); }, true);
}

void Cmd_len(Engine& e) {
  const int32_t n = ReadIntVarTarget(e, "lenの第一引数は数字変数です。");
  IntVar(e, n) = static_cast<int32_t>(NextString(e).size());
}

void Cmd_mid(Engine& e) {
  const int32_t n = ReadStrVarTarget(e, "midの第一引数は文字変数です。");
  const std::string text = NextString(e);
  const int32_t start = NextNumber(e);
  const int32_t length = NextNumber(e);
  if (start < 0) ReportError(e, kError, "midの開始位置が負の値です。");
  if (length <= 0 || static_cast<size_t>(start) >= text.size()) {
    StrVar(e, n).clear();
    return;
  }
  StrVar(e, n) = text.substr(static_cast<size_t>(start), static_cast<size_t>(length));
}

void Cmd_itoa(Engine& e) { ItoaCommand(e, false); }
void Cmd_itoa2(Engine& e) { ItoaCommand(e, true); }

void Cmd_atoi(Engine& e) {
  const int32_t n = ReadIntVarTarget(e, "atoiの第一引数は数字変数です。");
  IntVar(e, n) = LeadingNumber(NextString(e));
}

void Cmd_cmp(Engine& e) {
  const int32_t n = ReadIntVarTarget(e, "cmpの第一引数は数字変数です。");
  const std::string a = NextString(e);
  const std::string b = NextString(e);
  IntVar(e, n) = CompareBytes(a, b);
}

void Cmd_split(Engine& e) { Split(e, false); }
void Cmd_splitnum(Engine& e) { Split(e, true); }

void Cmd_getret(Engine& e) {
  const char* kind = "getretの第一引数は数字／文字変数／配列です。";
  switch (SkipBlanks(e.script)) {
    case '%':
      StoreIntLimited(e, ReadIntVarTarget(e, kind), e.values.returnNumber);
      return;
    case '$':
      StrVar(e, ReadStrVarTarget(e, kind)) = e.values.returnString;
      return;
    case '?': {
      ++e.script.pos;
      const ArrayRef ref = ReadArrayRef(e, ArrayRefMode::Element);
      ArrayElement(e, ref) = e.values.returnNumber;
      return;
    }
    default:
      ReportError(e, kSyntax, kind);
  }
}

void Cmd_getversion(Engine& e) {
  const int32_t n = ReadIntVarTargetExpr(e, "getversionの第一引数は数字変数です。");
  StoreIntLimited(e, n, 296);
}

void Cmd_date(Engine& e) {
  const std::tm tm = LocalNow();
  DateOrTime(e, "date", {(tm.tm_year + 1900) % 100, tm.tm_mon + 1, tm.tm_mday});
}

void Cmd_time(Engine& e) {
  const std::tm tm = LocalNow();
  DateOrTime(e, "time", {tm.tm_hour, tm.tm_min, tm.tm_sec});
}

void Cmd_intlimit(Engine& e) {
  const int32_t v = ReadNumberPrimary(e);
  CheckIntVarNumber(e, v);
  const int32_t low = NextNumber(e);
  const int32_t high = NextNumber(e);
  SetIntLimit(e, v, low, high);
}

void Cmd_numalias(Engine& e) {
  if (e.values.numAliases.size() >= static_cast<size_t>(kMaxAliases))
    ReportError(e, kError, "数字エイリアスが多すぎます。");
  std::string name;
  ReadWord(e, name);
  int32_t existing = 0;
  if (LookupNumAlias(e, name, existing))
    ReportError(e, kError, Format("数字エイリアス%sが二重定義されています。", Sjis(name).c_str()));
  DefineNumAlias(e, name, NextNumber(e));
}

void Cmd_stralias(Engine& e) {
  if (e.values.strAliases.size() >= static_cast<size_t>(kMaxAliases))
    ReportError(e, kError, "文字列エイリアスが多すぎます。");
  std::string name;
  ReadWord(e, name);
  if (LookupStrAlias(e, name))
    ReportError(e, kError, Format("文字列エイリアス%sが二重定義されています。", Sjis(name).c_str()));
  DefineStrAlias(e, name, NextString(e));
}

void Cmd_dim(Engine& e) {
  if (SkipBlanks(e.script) != '?') ReportError(e, kError, "Dim文の第一引数は~数字です。");
  ++e.script.pos;
  DeclareArray(e, ReadArrayRef(e, ArrayRefMode::Declare));
}

void Cmd_globalon(Engine& e) { e.values.globalOn = true; }

}  // namespace sorv
