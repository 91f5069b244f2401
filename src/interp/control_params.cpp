// User-defined commands and their parameters: defsub, getparam, getparam2 and
// gettag. A user command is called like a subroutine whose return position
// points at the call's arguments; the subroutine reads them from there and
// moves the return position behind them.
#include <cstdint>
#include <string>
#include <utility>

#include "interp/control_flow.h"
#include "interp/error.h"
#include "interp/interp.h"
#include "script/reader.h"
#include "script/script.h"
#include "shell/engine.h"
#include "values/values.h"

namespace sorv {

namespace {

enum class TargetKind { Bad, Str, Int, IntVarNumber, StrVarNumber };

// One receiving variable of a getparam or gettag line: $n, %n, i%n or s%n.
struct ParamTarget {
  TargetKind kind = TargetKind::Bad;
  int32_t var = 0;
};

ParamTarget ReadParamTarget(Engine& e) {
  ScriptState& s = e.script;
  ParamTarget target;
  unsigned char c = LowerAscii(SkipBlanks(e));
  if (c == '$' || c == '%') {
    ++s.pos;
    target.kind = c == '$' ? TargetKind::Str : TargetKind::Int;
  } else if ((c == 'i' || c == 's') && s.at(s.pos + 1) == '%') {
    s.pos += 2;
    target.kind = c == 'i' ? TargetKind::IntVarNumber : TargetKind::StrVarNumber;
  } else {
    return target;
  }
  target.var = ReadNumberPrimary(e);
  if (target.kind == TargetKind::Str) {
    CheckStrVarNumber(e, target.var);
  } else {
    CheckIntVarNumber(e, target.var);
  }
  return target;
}

// The return position in the top stack entry, where the caller's arguments
// (or the display line's tag) are read. A loop frame on top, or no frame at
// all, would give no such position.
int32_t CallerPosition(Engine& e, const char* command) {
  const InterpState& in = e.interp;
  if (in.depth == 0 || in.stack[in.depth - 1] < 0 ||
      static_cast<size_t>(in.stack[in.depth - 1]) >= e.script.buffer.size()) {
    ReportError(e, "スタックエラー", Format("%s命令はサブルーチンの中でしか使えません。", command));
  }
  return in.stack[in.depth - 1];
}

bool AtArgumentsEnd(unsigned char c) { return c == '\n' || c == ':' || c == ';' || c == 0; }

void StoreString(Engine& e, int32_t var, std::string text) {
  e.values.strVars[static_cast<size_t>(var)] = std::move(text);
}

void StoreInt(Engine& e, int32_t var, int32_t value) { e.values.intVars[static_cast<size_t>(var)] = value; }

// A variable reference passed by number: i%n wants %m, s%n wants $m; the
// receiving variable gets m.
void FetchVarNumber(Engine& e, const ParamTarget& target, unsigned char c) {
  bool wantInt = target.kind == TargetKind::IntVarNumber;
  if (wantInt && c != '%') ReportError(e, "エラー", "数字変数があるべきところで数字変数がありません");
  if (!wantInt && c != '$') ReportError(e, "エラー", "文字変数があるべきところで数字変数がありません");
  ++e.script.pos;
  StoreInt(e, target.var, ReadNumberPrimary(e));
}

// Reads one argument at ScriptPos (the caller's position) into the target's
// variable. `lenient`: an argument missing at the end of the line reads as
// empty or 0.
void FetchArgument(Engine& e, const ParamTarget& target, bool lenient) {
  unsigned char c = SkipBlanks(e);
  bool missing = lenient && AtArgumentsEnd(c);
  if (target.kind == TargetKind::Str) {
    // Read into a temporary: the argument may name the receiving variable.
    std::string text;
    if (!missing && c == '*') {
      ReadLabelName(e, text);
      text.insert(0, 1, '*');
    } else if (!missing) {
      ReadStringArgument(e, text);
    }
    StoreString(e, target.var, std::move(text));
  } else if (target.kind == TargetKind::Int) {
    StoreInt(e, target.var, missing ? 0 : ReadNumberArgument(e));
  } else {
    FetchVarNumber(e, target, c);
  }
}

void SkipCallerComma(Engine& e, bool lenient) {
  if (!lenient) {
    ExpectComma(e);
    return;
  }
  if (SkipBlanks(e) == ',') ++e.script.pos;
}

void GetParams(Engine& e, const char* command, const char* badTargetMessage, bool lenient) {
  int32_t q = CallerPosition(e, command);
  for (;;) {
    ParamTarget target = ReadParamTarget(e);
    if (target.kind == TargetKind::Bad) ReportError(e, "エラー", badTargetMessage);
    // The argument is read at q; a failing read is reported there, at the call.
    std::swap(e.script.pos, q);
    FetchArgument(e, target, lenient);
    std::swap(e.script.pos, q);
    if (SkipBlanks(e) != ',') break;
    ++e.script.pos;
    std::swap(e.script.pos, q);
    SkipCallerComma(e, lenient);
    std::swap(e.script.pos, q);
  }
  e.interp.stack[e.interp.depth - 1] = q;
}

bool TagParamsEnded(unsigned char c) { return c == ']' || c == '\n' || c == 0; }

// The characters of one tag parameter, up to '/', ']' or the line end, as
// they stand; a double-byte character is taken whole, so its trail byte is
// never read as a delimiter.
int32_t ReadTagText(const ScriptState& s, int32_t q, std::string& out) {
  out.clear();
  while (s.at(q) != '/' && !TagParamsEnded(s.at(q))) {
    int width = IsLeadByte(s.at(q)) && s.at(q + 1) != 0 ? 2 : 1;
    out.append(s.data() + q, static_cast<size_t>(width));
    q += width;
  }
  return q;
}

// Behind the closing ']' and any further ']' (a full-width bracket pair was
// rewritten into doubled brackets).
int32_t SkipPastTag(const ScriptState& s, int32_t q) {
  while (!TagParamsEnded(s.at(q))) q += IsLeadByte(s.at(q)) && s.at(q + 1) != 0 ? 2 : 1;
  while (s.at(q) == ']') ++q;
  return q;
}

// One gettag parameter at q (inside the tag); returns the position behind it.
int32_t FetchTagParam(Engine& e, const ParamTarget& target, int32_t q) {
  const ScriptState& s = e.script;
  if (target.kind == TargetKind::Str) {
    std::string text;
    q = ReadTagText(s, q, text);
    StoreString(e, target.var, std::move(text));
  } else if (TagParamsEnded(s.at(q))) {
    StoreInt(e, target.var, 0);
  } else {
    std::swap(e.script.pos, q);
    StoreInt(e, target.var, ReadNumberPrimary(e));
    std::swap(e.script.pos, q);
  }
  if (s.at(q) == '/') ++q;
  return q;
}

}  // namespace

void Cmd_defsub(Engine& e) {
  std::string name;
  ReadWord(e, name);
  if (!name.empty() && name[0] == '_') ReportError(e, "エラー", "defsubサブルーチンの一文字目に_は使えません。");
  AddUserCommand(e, std::move(name));
}

void Cmd_getparam(Engine& e) { GetParams(e, "getparam", "getparam指定が間違っています。", false); }

void Cmd_getparam2(Engine& e) { GetParams(e, "getparam2", "getparam2指定が間違っています。", true); }

// gettag $n/%n, ...: the pretextgosub routine reads the tag of the display
// line it was called for. Without a tag every variable is emptied.
void Cmd_gettag(Engine& e) {
  int32_t q = CallerPosition(e, "gettag");
  bool inTag = e.script.at(q) == '[';
  if (inTag) ++q;
  for (;;) {
    ParamTarget target = ReadParamTarget(e);
    if (target.kind != TargetKind::Str && target.kind != TargetKind::Int) {
      ReportError(e, "エラー", "gettag指定が間違っています。");
    }
    if (inTag) {
      q = FetchTagParam(e, target, q);
    } else if (target.kind == TargetKind::Str) {
      StoreString(e, target.var, std::string());
    } else {
      StoreInt(e, target.var, 0);
    }
    if (SkipBlanks(e) != ',') break;
    ++e.script.pos;
  }
  if (inTag) e.interp.stack[e.interp.depth - 1] = SkipPastTag(e.script, q);
}

}  // namespace sorv
