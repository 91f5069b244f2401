#include "interp/statement_forms.h"

#include <string>

#include "interp/command_cache.h"
#include "interp/control_flow.h"
#include "script/reader.h"

namespace sorv {
namespace {

struct Shape {
  StatementForm form = StatementForm::None;
  Relation relation = Relation::Equal;
  bool leftVar = false, rightVar = false;
  int32_t left = 0, right = 0;
  int32_t end = 0;
};

// Reads the text the way the argument readers do, but only as far as plain
// numbers go: anything else ends the shape.
struct ShapeReader {
  const ScriptState& s;
  int32_t p;

  unsigned char c() const { return s.at(p); }
  void Blanks() {
    while (IsBlank(c())) ++p;
  }
  // Blanks, then digits or "%", blanks and digits, then blanks. Nine digits
  // at most, so that the value is the one the reader computes.
  bool Operand(bool& var, int32_t& value) {
    Blanks();
    var = c() == '%';
    if (var) {
      ++p;
      Blanks();
    }
    uint32_t v = 0;
    int digits = 0;
    while (IsDigit(c())) {
      if (++digits > 9) return false;
      v = v * 10u + static_cast<uint32_t>(c() - '0');
      ++p;
    }
    if (digits == 0) return false;
    value = static_cast<int32_t>(v);
    Blanks();
    return true;
  }
};

Shape ReadShape(const Engine& e, const InterpState::CachedCommand& c) {
  Shape k;
  const ScriptState& s = e.script;
  const auto handler = c.cmd->handler;
  ShapeReader r{s, c.next};
  const bool step = handler == Cmd_inc || handler == Cmd_dec;
  if (step || handler == Cmd_mov || handler == Cmd_add || handler == Cmd_sub) {
    r.Blanks();
    if (r.c() != '%' || !r.Operand(k.leftVar, k.left)) return k;
    if (step) {
      k.right = handler == Cmd_inc ? 1 : -1;
      k.form = StatementForm::Add;
    } else {
      if (r.c() != ',') return k;
      ++r.p;
      if (!r.Operand(k.rightVar, k.right)) return k;
      k.form = handler == Cmd_mov ? StatementForm::Set : handler == Cmd_add ? StatementForm::Add : StatementForm::Sub;
    }
    k.end = r.p;
    return k;
  }
  if (handler == Cmd_if || handler == Cmd_notif) {
    if (!r.Operand(k.leftVar, k.left)) return k;
    const int length = RelationAt(s, r.p, k.relation);
    if (length == 0) return k;
    r.p += length;
    if (!r.Operand(k.rightVar, k.right)) return k;
    if (r.c() == '&' || r.c() == '|') return k;  // a chain of terms
    k.form = handler == Cmd_if ? StatementForm::Compare : StatementForm::NotCompare;
    k.end = r.p;
    return k;
  }
  if (handler == Cmd_goto) {
    r.Blanks();
    if (r.c() != '*') return k;
    ++r.p;
    r.Blanks();
    std::string name;
    while (IsWordByte(r.c())) {
      if (name.size() == kMaxWordBytes) return k;
      name.push_back(static_cast<char>(kWordBytes.lower[r.c()]));
      ++r.p;
    }
    if (name.empty()) return k;
    const int32_t label = s.labelIndex.Find(s.data(), s.labels, name);
    if (label < 0) return k;
    k.left = label;
    k.form = StatementForm::Jump;
  }
  return k;
}

}  // namespace

void RunCachedCommandLearning(Engine& e, InterpState::CachedCommand& c) {
  if (e.debug.tracing || e.interp.resetPending || !StatementFormsOn(e)) {
    RunCachedCommand(e, c);
    return;
  }
  const Shape k = c.journaled ? ReadShape(e, c) : Shape{};
  if (k.form == StatementForm::None) {
    c.form = static_cast<uint8_t>(StatementForm::None);
    RunCachedCommand(e, c);
    return;
  }
  // Where the ordinary reading must end if the shape is right, worked out
  // before the command changes anything. A comparison that fails skips its
  // line, which says nothing of where the condition ended: the shape then
  // waits for a run in which it holds.
  int32_t end = k.end;
  bool settles = true;
  if (k.form == StatementForm::Jump) {
    end = e.script.labels[static_cast<size_t>(k.left)].pos;
  } else if (k.form == StatementForm::Compare || k.form == StatementForm::NotCompare) {
    int32_t left, right;
    settles = FormOperand(e, k.leftVar, k.left, left) && FormOperand(e, k.rightVar, k.right, right) &&
              Holds(k.relation, left, right) != (k.form == StatementForm::NotCompare);
  }
  const int32_t start = c.pos;
  const uint32_t text = c.text;
  const CommandEntry* cmd = c.cmd;
  RunCachedCommand(e, c);
  // The command may have emptied the cache: the entry is looked up afresh.
  std::vector<InterpState::CachedCommand>& cache = e.interp.commandCache;
  if (!settles || cache.empty()) return;
  InterpState::CachedCommand& again = cache[CommandCacheSlot(start)];
  if (again.pos != start || again.text != text || again.cmd != cmd || e.script.textGeneration != text) return;
  if (e.script.pos != end) {
    again.form = static_cast<uint8_t>(StatementForm::None);
    return;
  }
  again.form = static_cast<uint8_t>(k.form);
  again.relation = static_cast<uint8_t>(k.relation);
  again.leftVar = k.leftVar;
  again.rightVar = k.rightVar;
  again.left = k.left;
  again.right = k.right;
  again.end = k.end;
}

}  // namespace sorv
