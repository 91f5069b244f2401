// The expression evaluator behind every numeric argument. An expression is
// read straight from the script into a token list, turned into postfix with
// two precedence levels and evaluated on a value stack. Everything lives in
// fixed buffers on the C++ stack: no allocation per evaluation.
#include <cstdint>

#include "debug/hooks.h"
#include "interp/error.h"
#include "script/reader.h"
#include "shell/engine.h"
#include "values/commands.h"

namespace sorv {
namespace {

// Nested evaluations (bracketed operands, array indices) all pass through the
// primary readers, whose nesting guard bounds how deep they go; each level
// keeps only its token list on the C++ stack.
constexpr int kMaxTokens = 1024;

constexpr const char* kTitle = "エラー";
constexpr const char* kBadExpr = "式が間違っています";
constexpr const char* kUnbalanced = "式のカッコの対応が間違っています";
constexpr const char* kTooLong = "式が長すぎます。";

enum class Tok : uint8_t { None, Operand, Add, Sub, Mul, Div, Mod, Open, Close, Neg };

struct Token {
  int32_t value;
  Tok kind;
  bool negate;  // on Open: the whole group is negated
};

struct TokenList {
  Token items[kMaxTokens];
  int count = 0;
};

void Push(Engine& e, TokenList& t, Tok kind, int32_t value = 0, bool negate = false) {
  if (t.count == kMaxTokens) ReportError(e, kTitle, kTooLong);
  t.items[t.count++] = Token{value, kind, negate};
}

Tok LastKind(const TokenList& t) { return t.count ? t.items[t.count - 1].kind : Tok::None; }

// "mod" in any case, followed by a blank or a line feed; the four bytes are
// the operator. Anything else (say "modx") is left for the operand reader.
bool IsModAt(const ScriptState& s) {
  const int32_t p = s.pos;
  if (LowerAscii(s.at(p)) != 'm' || LowerAscii(s.at(p + 1)) != 'o' || LowerAscii(s.at(p + 2)) != 'd')
    return false;
  const unsigned char after = s.at(p + 3);
  return after == ' ' || after == '\t' || after == '\n';
}

Tok BinaryKind(unsigned char c) {
  return c == '+' ? Tok::Add : c == '*' ? Tok::Mul : Tok::Div;
}

// A minus where no operand stands before it. At the start, after "(" and after
// "+" it is entered as "0 -", which gives the right value there. After "*",
// "/", mod or a binary minus that would make a*-b read as (a*0)-b, so there it
// negates the next operand (or group) instead.
void ReadUnaryMinus(Engine& e, TokenList& t, int& negations) {
  const Tok last = LastKind(t);
  const bool tight = last == Tok::Mul || last == Tok::Div || last == Tok::Mod || last == Tok::Sub;
  if (tight) {
    ++negations;
    return;
  }
  Push(e, t, Tok::Operand, 0);
  Push(e, t, Tok::Sub);
}

void ReadTokens(Engine& e, TokenList& t) {
  ScriptState& s = e.script;
  bool operandRead = false;
  int depth = 0;
  bool strayClose = false;  // a ")" before its "(", as in 1)+(2
  int negations = 0;
  for (;;) {
    while (IsBlank(s.cur())) ++s.pos;
    const unsigned char c = s.cur();
    if (c == 0) break;
    if (c == '(' || c == ')') {
      const bool open = c == '(';
      Push(e, t, open ? Tok::Open : Tok::Close, 0, open && (negations & 1));
      if (open) negations = 0;
      depth += open ? 1 : -1;
      strayClose = strayClose || depth < 0;
      ++s.pos;
    } else if (c == '*' || c == '+' || c == '/') {
      if (!operandRead) ReportError(e, kTitle, kBadExpr);
      Push(e, t, BinaryKind(c));
      operandRead = false;
      ++s.pos;
    } else if (c == '-') {
      ++s.pos;
      if (operandRead) {
        Push(e, t, Tok::Sub);
        operandRead = false;
      } else {
        ReadUnaryMinus(e, t, negations);
      }
    } else if (IsModAt(s)) {
      if (!operandRead) ReportError(e, kTitle, kBadExpr);
      Push(e, t, Tok::Mod);
      operandRead = false;
      s.pos += 4;
    } else if (operandRead) {
      break;  // the first byte that is not part of the expression
    } else {
      int32_t v = ReadNumberPrimary(e);
      if (negations & 1) v = WrapSub(0, v);
      negations = 0;
      Push(e, t, Tok::Operand, v);
      operandRead = true;
    }
  }
  if (depth != 0) ReportError(e, kTitle, kUnbalanced);
  // The conversion to postfix would refuse this before evaluating anything.
  if (strayClose) ReportError(e, kTitle, kBadExpr);
}

// One parenthesis level of the conversion to postfix: at most one pending
// additive and one pending multiplicative operator.
struct Level {
  Tok add;
  Tok mul;
  bool negate;
};

// The value stack. Postfix items are applied to it as the conversion emits
// them, which is the order a separate postfix list would be evaluated in, so
// no list is kept.
struct ValueStack {
  int32_t items[kMaxTokens];
  int count = 0;

  void Operand(int32_t v) { items[count++] = v; }
  void Apply(Engine& e, Tok op) {
    if (op == Tok::Neg) {
      if (count < 1) ReportError(e, kTitle, kBadExpr);
      items[count - 1] = WrapSub(0, items[count - 1]);
      return;
    }
    if (count < 2) ReportError(e, kTitle, kBadExpr);
    const int32_t right = items[--count];
    int32_t& left = items[count - 1];
    switch (op) {
      case Tok::Add: left = WrapAdd(left, right); break;
      case Tok::Sub: left = WrapSub(left, right); break;
      case Tok::Mul: left = WrapMul(left, right); break;
      case Tok::Div: left = CheckedDiv(e, left, right); break;
      default: left = CheckedMod(e, left, right); break;
    }
  }
};

// Two precedence levels, left-associative: an operand is followed at once by
// the pending multiplicative operator, which stays pending (2*3*4 gives
// 2 3 * 4 *); an additive operator flushes the previous one.
// ReadTokens has already refused a ")" without its "(", so every Close here
// has a level to end. Kept out of line so that the value stack is not on the
// C++ stack while nested operands are being read.
[[gnu::noinline]] int32_t Evaluate(Engine& e, const TokenList& in) {
  ValueStack values;
  Level levels[kMaxTokens + 1];  // only levels[0 .. top] are ever read
  int top = 0;
  levels[0] = Level{Tok::None, Tok::None, false};
  for (int i = 0; i < in.count; ++i) {
    const Token& tok = in.items[i];
    Level& level = levels[top];
    switch (tok.kind) {
      case Tok::Operand:
        values.Operand(tok.value);
        if (level.mul != Tok::None) values.Apply(e, level.mul);
        break;
      case Tok::Mul:
      case Tok::Div:
      case Tok::Mod:
        level.mul = tok.kind;
        break;
      case Tok::Add:
      case Tok::Sub:
        if (level.add != Tok::None) values.Apply(e, level.add);
        level.add = tok.kind;
        level.mul = Tok::None;
        break;
      case Tok::Open:
        levels[++top] = Level{Tok::None, Tok::None, tok.negate};
        break;
      default: {  // Close: the group counts as one operand
        const Level inner = levels[top--];
        if (inner.add != Tok::None) values.Apply(e, inner.add);
        if (inner.negate) values.Apply(e, Tok::Neg);
        if (levels[top].mul != Tok::None) values.Apply(e, levels[top].mul);
        break;
      }
    }
  }
  if (levels[0].add != Tok::None) values.Apply(e, levels[0].add);
  if (values.count != 1) ReportError(e, kTitle, kBadExpr);
  return values.items[0];
}

constexpr size_t kNumberCacheSlots = 4096;

size_t NumberSlot(int32_t pos) { return (static_cast<uint32_t>(pos) * 2654435761u) >> 20; }

// Only the script's own text is remembered: the scratch line behind it is
// rewritten for every line handed in.
bool NumberCacheable(const ScriptState& s, int32_t start) {
  return s.textGeneration != 0 && start >= 0 && start < s.scratchOffset;
}

// Remembers the argument read from `start` to ScriptPos when its text is
// blanks, an optional "%" and blanks, digits, blanks: its value then depends
// on nothing but the text (and, for "%", on the variable it names).
void RememberNumber(ScriptState& s, int32_t start, int32_t value) {
  if (!NumberCacheable(s, start)) return;
  const int32_t end = s.pos;
  int32_t p = start;
  while (p < end && IsBlank(s.at(p))) ++p;
  bool intVar = false;
  if (p < end && s.at(p) == '%') {
    intVar = true;
    ++p;
    while (p < end && IsBlank(s.at(p))) ++p;
  }
  uint32_t digits = 0;
  int count = 0;
  while (p < end && IsDigit(s.at(p))) {
    digits = digits * 10u + static_cast<uint32_t>(s.at(p++) - '0');
    ++count;
  }
  while (p < end && IsBlank(s.at(p))) ++p;
  if (count == 0 || p != end) return;
  if (s.numberCache.empty()) s.numberCache.resize(kNumberCacheSlots);
  s.numberCache[NumberSlot(start)] = {start, end, s.textGeneration,
                                      intVar ? static_cast<int32_t>(digits) : value, intVar};
}

// Reading proper, kept out of line so that a remembered argument does not
// set up the token list's frame.
[[gnu::noinline]] int32_t ReadAndRemember(Engine& e, int32_t start) {
  TokenList tokens;
  ReadTokens(e, tokens);
  // Most arguments are a single operand; it needs no evaluation.
  if (tokens.count == 1) {
    RememberNumber(e.script, start, tokens.items[0].value);
    return tokens.items[0].value;
  }
  return Evaluate(e, tokens);
}

}  // namespace

int32_t ReadNumberArgument(Engine& e) {
  ScriptState& s = e.script;
  const int32_t start = s.pos;
  // A remembered argument reads no deeper than "%" and its number, so the
  // nesting bound it would have met on reading is checked here.
  if (!s.numberCache.empty() && s.readNesting + 2 <= kMaxReadNesting) {
    const ScriptState::CachedNumber& c = s.numberCache[NumberSlot(start)];
    if (c.pos == start && c.text == s.textGeneration && NumberCacheable(s, start)) {
      if (!c.intVar) {
        s.pos = c.next;
        return c.value;
      }
      // A variable number out of range is left to the reader, which reports it.
      if (c.value >= 0 && c.value < s.numVarCount) {
        s.pos = c.next;
        TraceIntVar(e, c.value, e.values.intVars[static_cast<size_t>(c.value)]);
        return e.values.intVars[static_cast<size_t>(c.value)];
      }
    }
  }
  return ReadAndRemember(e, start);
}

}  // namespace sorv
