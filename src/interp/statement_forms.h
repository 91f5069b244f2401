// Statements whose arguments are plain numbers run without reading them
// again: `mov`, `add`, `sub`, `inc` and `dec` on a numbered integer variable
// with a number or such a variable, `if` and `notif` with one comparison of
// two such operands, and `goto` to a label written out.
//
// The shape is read from the text the first time the statement is run from
// the command cache, and believed only when the ordinary reading of that run
// ended where the shape says it ends. It lives in the cache entry, so it is
// dropped with it whenever the text or anything else the entry depends on
// changes. Whatever the shape cannot answer by itself (a variable number out
// of range, tracing, a pending reset) is left to the ordinary reading, which
// reports it as it always did.
#pragma once

#include <cstdint>

#include "interp/interp.h"
#include "persist/logs.h"
#include "script/script.h"
#include "shell/engine.h"
#include "values/commands.h"
#include "values/condition.h"
#include "values/values.h"

namespace sorv {

enum class StatementForm : uint8_t {
  Unknown,  // not read yet
  None,     // read: the ordinary way it stays
  Set,      // mov %left, right
  Add,      // add %left, right; inc and dec (right 1 and -1)
  Sub,      // sub %left, right
  Compare,  // if left relation right
  NotCompare,
  Jump,  // goto *label, `left` the label's index
};

// Statement shapes are on unless a test compares with them off.
inline bool StatementFormsOn(const Engine& e) { return !e.interp.formsOff; }

inline bool FormOperand(const Engine& e, bool var, int32_t n, int32_t& value) {
  if (!var) {
    value = n;
    return true;
  }
  if (static_cast<uint32_t>(n) >= static_cast<uint32_t>(e.script.numVarCount)) return false;
  value = e.values.intVars[static_cast<size_t>(n)];
  return true;
}

// Runs a statement by its form (one that is neither Unknown nor None).
// False, with nothing changed, when this run needs the ordinary reading.
inline bool RunStatementForm(Engine& e, const InterpState::CachedCommand& c) {
  if (__builtin_expect(e.debug.tracing || e.interp.resetPending, 0)) return false;
  ScriptState& s = e.script;
  const auto form = static_cast<StatementForm>(c.form);
  switch (form) {
    case StatementForm::Set:
    case StatementForm::Add:
    case StatementForm::Sub: {
      int32_t target, value;
      if (!c.leftVar || !FormOperand(e, true, c.left, target) || !FormOperand(e, c.rightVar, c.right, value)) {
        return false;
      }
      const int32_t result = form == StatementForm::Set   ? value
                             : form == StatementForm::Add ? WrapAdd(target, value)
                                                          : WrapSub(target, value);
      StoreIntLimited(e, c.left, result);
      s.pos = c.end;
      return true;
    }
    case StatementForm::Compare:
    case StatementForm::NotCompare: {
      int32_t left, right;
      if (!FormOperand(e, c.leftVar, c.left, left) || !FormOperand(e, c.rightVar, c.right, right)) return false;
      if (Holds(static_cast<Relation>(c.relation), left, right) != (form == StatementForm::NotCompare)) {
        s.pos = c.end;
      } else {
        SkipRestOfLine(e);
      }
      return true;
    }
    case StatementForm::Jump:
      if (static_cast<size_t>(c.left) >= s.labels.size()) return false;
      s.pos = s.labels[static_cast<size_t>(c.left)].pos;
      AddLabelLogAt(e, c.left);
      return true;
    default:
      return false;
  }
}

// Runs a cached command whose form is Unknown the ordinary way, and settles
// its form when that run shows it.
void RunCachedCommandLearning(Engine& e, InterpState::CachedCommand& c);

}  // namespace sorv
