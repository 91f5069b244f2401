// Jumps, subroutine calls and returns, counted loops, relative jumps and the
// commands that end, reset or restart the game.
#include "interp/control_flow.h"

#include <cstdint>
#include <string>
#include <string_view>

#include "interp/error.h"
#include "interp/interp.h"
#include "script/reader.h"
#include "script/script.h"
#include "shell/app.h"
#include "persist/journal.h"
#include "shell/engine.h"
#include "text/textflow.h"
#include "values/values.h"

namespace sorv {

namespace {

constexpr const char* kStackTitle = "スタックエラー";
constexpr int kForFrame = 4;
// A call needs one free entry and a loop four: a gosub at depth 1000 and a
// for at depth 997 overflow before anything is pushed.
constexpr int kMaxGosubDepth = kCallStackSize - 1;
constexpr int kMaxForDepth = kCallStackSize - kForFrame;

constexpr const char* kForFormat = "for文の書式が違います。for %変数番号=数字 to 数字 (step 数字)です。";

// Where `return` takes no label: the statement ends here.
bool AtStatementEnd(unsigned char c) { return c == '\n' || c == ':' || c == ';' || c == 0; }

int32_t Top(const Engine& e) { return e.interp.stack[e.interp.depth - 1]; }

// `next` and `break` need a whole for frame on top. A frame that is only
// partly there (a `noreturn` popped into it) would make them read below the
// stack, so it counts as no loop at all.
bool ForFrameOnTop(const Engine& e) { return e.interp.depth >= kForFrame && Top(e) <= 0; }

// The stack is also filled from save files; a position outside the script
// buffer would let the reader run off it.
void JumpToStackPosition(Engine& e, int64_t p) {
  if (p < 0 || p >= static_cast<int64_t>(e.script.buffer.size())) {
    ReportError(e, kStackTitle, "スタックに記録された戻り先がスクリプトの範囲外です。");
  }
  e.script.pos = static_cast<int32_t>(p);
}

int32_t WrapAdd(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

// A loop whose variable has passed its end value in the direction of the step.
bool LoopFinished(int32_t value, int32_t end, int32_t step) {
  return (value > end && step > 0) || (value < end && step < 0);
}

[[noreturn]] void ForFormatError(Engine& e) { ReportError(e, "構文エラー", kForFormat); }

// After a right-click gosub the click wait it interrupted is shown again, as
// a one-character chunk of the same kind.
void ResumeInterruptedWait(Engine& e) {
  InterpState& in = e.interp;
  if (!in.rclickResume) return;
  in.rclickResume = false;
  const char wait = in.interruptedWait;
  ShowTextChunk(e, std::string_view(&wait, 1));
}

}  // namespace

void PushStack(Engine& e, int32_t value) {
  InterpState& in = e.interp;
  if (in.depth >= kCallStackSize) ReportError(e, kStackTitle, "gosub文のせいでスタックが溢れました。");
  JournalStack(e, in.depth);
  in.stack[in.depth++] = value;
}

int32_t PopStack(Engine& e) {
  InterpState& in = e.interp;
  if (in.depth <= 0) ReportError(e, kStackTitle, "returnとgosub文が正しく対応していません。");
  return in.stack[--in.depth];
}

void CallEngineSubroutine(Engine& e, const std::string& label, const char* overflowMessage) {
  if (e.interp.depth > kMaxGosubDepth) ReportError(e, kStackTitle, overflowMessage);
  PushStack(e, e.script.pos);
  JumpToLabel(e, label);
}

void Cmd_goto(Engine& e) { JumpToLabelArgument(e); }

void Cmd_gosub(Engine& e) {
  if (e.interp.depth > kMaxGosubDepth) ReportError(e, kStackTitle, "gosub文のせいでスタックが溢れました。");
  std::string label;
  ReadLabelName(e, label);
  PushStack(e, e.script.pos);
  JumpToLabel(e, label);
}

void Cmd_return(Engine& e) {
  InterpState& in = e.interp;
  if (in.depth == 0) ReportError(e, kStackTitle, "returnとgosub文が正しく対応していません。");
  if (!AtStatementEnd(SkipBlanks(e))) {
    std::string label;
    ReadLabelName(e, label);
    PopStack(e);
    JumpToLabel(e, label);
  } else {
    int32_t p = PopStack(e);
    if (in.depth == in.textGosubMark) in.inTextGosub = false;
    if (p < 0) {
      ReportError(e, kStackTitle,
                  "おそらくfor文中からreturnしています。for文中からreturnでループの外に出ないようにしてください。");
    }
    JumpToStackPosition(e, p);
  }
  ResumeInterruptedWait(e);
}

void Cmd_noreturn(Engine& e) {
  if (e.interp.depth == 0) ReportError(e, kStackTitle, "noreturnとgosub文が正しく対応していません。");
  --e.interp.depth;
}

// for %v = a to b [step c]
void Cmd_for(Engine& e) {
  if (e.interp.depth > kMaxForDepth) ReportError(e, kStackTitle, "for文のせいでスタックが溢れました。");
  int32_t var = ReadIntVarTarget(e, kForFormat);
  if (SkipBlanks(e) != '=') ForFormatError(e);
  ++e.script.pos;
  StoreIntLimited(e, var, ReadNumberArgument(e));

  std::string word;
  ReadWord(e, word);
  if (word != "to") ForFormatError(e);
  int32_t end = ReadNumberArgument(e);
  int32_t step = 1;
  if (LowerAscii(SkipBlanks(e)) == 's') {
    ReadWord(e, word);
    if (word != "step") ForFormatError(e);
    step = ReadNumberArgument(e);
  }

  // The variable is read back: its limits may have moved the start value.
  if (LoopFinished(e.values.intVars[static_cast<size_t>(var)], end, step)) {
    ScanToNext(e);
    return;
  }
  PushStack(e, var);
  PushStack(e, end);
  PushStack(e, step);
  PushStack(e, -e.script.pos);
}

void Cmd_next(Engine& e) {
  InterpState& in = e.interp;
  if (!ForFrameOnTop(e)) ReportError(e, kStackTitle, "next文とfor文が正しく対応していません。");
  const int32_t* frame = &in.stack[in.depth - kForFrame];
  int32_t var = frame[0], end = frame[1], step = frame[2];
  int64_t loopStart = -static_cast<int64_t>(frame[3]);
  CheckIntVarNumber(e, var);
  int32_t& value = e.values.intVars[static_cast<size_t>(var)];
  StoreIntLimited(e, var, WrapAdd(value, step));
  if (LoopFinished(value, end, step)) {
    in.depth -= kForFrame;
    return;
  }
  JumpToStackPosition(e, loopStart);
}

void Cmd_break(Engine& e) {
  InterpState& in = e.interp;
  if (!ForFrameOnTop(e)) ReportError(e, kStackTitle, "break文とfor文が正しく対応していません。");
  if (SkipBlanks(e) == '*') {
    std::string label;
    ReadLabelName(e, label);
    in.depth -= kForFrame;
    JumpToLabel(e, label);
    return;
  }
  ScanToNext(e);
  in.depth -= kForFrame;
}

void ScanToNext(Engine& e) {
  ScriptState& s = e.script;
  std::string word;
  while (s.cur() != 0) {
    ReadWord(e, word);
    if (word == "next") return;
    while (s.cur() != 0 && s.cur() != ':' && s.cur() != '\n') ++s.pos;
    if (s.cur() != 0) ++s.pos;
  }
}

void Cmd_jumpf(Engine& e) {
  const ScriptState& s = e.script;
  int32_t p = s.pos;
  while (s.at(p) != '~') {
    if (s.at(p) == 0) ReportError(e, "エラー", "jumpf命令が~を見つけられませんでした。");
    ++p;
  }
  e.script.pos = p + 1;
}

void Cmd_jumpb(Engine& e) {
  const ScriptState& s = e.script;
  int32_t p = s.pos;
  while (s.at(p) != '~') {
    if (p == 0) ReportError(e, "エラー", "jumpb命令が~を見つけられませんでした。");
    --p;
  }
  e.script.pos = p + 1;
}

namespace {

[[noreturn]] void SkipOutOfRange(Engine& e) {
  ReportError(e, "構文エラー", "SKIPがスクリプトの範囲を飛び出しました。");
}

void SkipLinesForward(Engine& e, int64_t count) {
  const ScriptState& s = e.script;
  int32_t p = s.pos;
  for (int64_t i = 0; i < count; ++i) {
    while (s.at(p) != '\n') {
      if (s.at(p) == 0) SkipOutOfRange(e);
      ++p;
    }
    ++p;
  }
  e.script.pos = p;
}

// Leaves ScriptPos on the line feed that ends the line `count` lines above
// the current one, so that the statement loop steps onto the target line;
// the first line of the text has no line feed before it and is entered at
// offset 0.
void SkipLinesBack(Engine& e, int64_t count) {
  const ScriptState& s = e.script;
  int32_t p = s.pos;
  if (s.at(p) == '\n') --p;
  for (int64_t i = 0; i <= count; ++i) {
    while (p >= 0 && s.at(p) != '\n') --p;
    if (p < 0) {
      if (i < count) SkipOutOfRange(e);
      break;
    }
    --p;
  }
  e.script.pos = p + 1;
}

}  // namespace

void Cmd_skip(Engine& e) {
  int64_t n = ReadNumberArgument(e);
  if (n > 0) SkipLinesForward(e, n);
  if (n < 0) SkipLinesBack(e, -n);
}

// tablegoto n, *label0, *label1, ...
void Cmd_tablegoto(Engine& e) {
  int32_t n = ReadNumberArgument(e);
  ExpectComma(e);
  std::string label;
  for (int32_t i = 0; i < n; ++i) {
    ReadLabelName(e, label);
    // The list ends before the n-th label: stop rather than read whatever
    // script text follows as labels.
    if (SkipBlanks(e) != ',') ReportError(e, "エラー", "tablegotoの番号に対応するラベルがありません。");
    ++e.script.pos;
  }
  ReadLabelName(e, label);
  JumpToLabel(e, label);
}

void Cmd_end(Engine& e) {
  e.app.endByScript = true;
  e.app.closeRequested = true;
}

// A reset costs what the run loop's own reset costs: 5 ms. Headless, that
// keeps a script that resets for ever within --max-time in reasonable real
// time (a reset does far more work than the microsecond a statement costs).
void Cmd_reset(Engine& e) {
  ResetGame(e);
  if (e.platform && e.platform->IsHeadless()) e.platform->SleepMs(5);
}

void Cmd_definereset(Engine& e) { e.app.restartRequested = true; }

}  // namespace sorv
