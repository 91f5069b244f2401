// The condition commands `if` and `notif`: terms compare numbers or strings or
// test the file and label logs, joined all by "&" or all by "|". When the
// condition fails the rest of the line is skipped; otherwise the statement
// loop simply goes on behind the last term, on the same line.
#include <string>

#include "interp/error.h"
#include "interp/interp.h"
#include "persist/logs.h"
#include "script/reader.h"
#include "shell/engine.h"
#include "values/commands.h"
#include "values/condition.h"

namespace sorv {
namespace {

constexpr const char* kTitle = "エラー";
constexpr const char* kBadCondition = "if条件式が間違っています。";

enum class Connector { None, And, Or };

// The log tests start with a lower-case "f" or "l"; the whole word must be
// the test's name, and the logs mean nothing while the define block runs.
void ExpectLogWord(Engine& e, const char* word, const char* defineMessage) {
  std::string read;
  ReadWord(e, read);
  if (read != word) ReportError(e, kTitle, kBadCondition);
  if (e.interp.defineMode) ReportError(e, kTitle, defineMessage);
}

bool ReadFileCheck(Engine& e) {
  ExpectLogWord(e, "fchk", "fchk条件式は、定義ブロックでは使えません。");
  std::string name;
  ReadStringArgument(e, name);
  return InFileLog(e, name);
}

bool ReadLabelCheck(Engine& e) {
  ExpectLogWord(e, "lchk", "lchk条件式は、定義ブロックでは使えません。");
  std::string name;
  ReadLabelName(e, name);
  return InLabelLog(e, name);
}

Relation ReadRelation(Engine& e) {
  ScriptState& s = e.script;
  SkipBlanks(e.script);
  Relation r;
  const int length = RelationAt(s, s.pos, r);
  if (length == 0) ReportError(e, kTitle, kBadCondition);
  s.pos += length;
  return r;
}

bool ReadComparison(Engine& e) {
  const unsigned char c = SkipBlanks(e.script);
  if (c == '"' || c == '$') {
    std::string left, right;
    ReadStringArgument(e, left);
    const Relation r = ReadRelation(e);
    ReadStringArgument(e, right);
    const int order = CompareBytes(left, right);
    return Holds(r, order, 0);
  }
  const int32_t left = ReadNumberArgument(e);
  const Relation r = ReadRelation(e);
  const int32_t right = ReadNumberArgument(e);
  return Holds(r, left, right);
}

bool ReadTerm(Engine& e) {
  const unsigned char c = SkipBlanks(e.script);
  if (c == 'f') return ReadFileCheck(e);
  if (c == 'l') return ReadLabelCheck(e);
  return ReadComparison(e);
}

// "&" / "&&" or "|" / "||" directly behind a term.
Connector ReadConnector(Engine& e) {
  ScriptState& s = e.script;
  const unsigned char c = s.cur();
  if (c != '&' && c != '|') return Connector::None;
  ++s.pos;
  if (s.cur() == c) ++s.pos;
  return c == '&' ? Connector::And : Connector::Or;
}

// An AND chain stops at the first failing term; an OR chain reads every term,
// since the terms must be consumed to find the end of the condition anyway.
void RunCondition(Engine& e, bool negate) {
  Connector chain = Connector::None;
  bool anyHeld = false;
  for (;;) {
    const bool held = ReadTerm(e) != negate;
    const Connector next = ReadConnector(e);
    if (next != Connector::None) {
      if (chain != Connector::None && next != chain)
        ReportError(e, kTitle, "&と|は混在させないでください。");
      chain = next;
    }
    if (chain == Connector::Or) {
      anyHeld = anyHeld || held;
    } else if (!held) {
      SkipRestOfLine(e);
      return;
    }
    if (next == Connector::None) break;
  }
  if (chain == Connector::Or && !anyHeld) SkipRestOfLine(e);
}

}  // namespace

int RelationAt(const ScriptState& s, int32_t p, Relation& r) {
  const unsigned char c = s.at(p);
  const unsigned char next = c ? s.at(p + 1) : 0;
  switch (c) {
    case '=':
      r = Relation::Equal;
      return next == '=' ? 2 : 1;
    case '!':
      r = Relation::NotEqual;
      return next == '=' ? 2 : 0;
    case '<':
      r = next == '=' ? Relation::LessEqual : next == '>' ? Relation::NotEqual : Relation::Less;
      return (next == '=' || next == '>') ? 2 : 1;
    case '>':
      r = next == '=' ? Relation::GreaterEqual : Relation::Greater;
      return next == '=' ? 2 : 1;
    default:
      return 0;
  }
}

void Cmd_if(Engine& e) { RunCondition(e, false); }
void Cmd_notif(Engine& e) { RunCondition(e, true); }

}  // namespace sorv
