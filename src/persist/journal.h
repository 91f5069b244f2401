// The fast paths of the save-point journal, for the stores of the variable
// and control-flow commands and for the dispatcher. Each is one test of the
// pending flag when no save point is waiting to be written.
#pragma once

#include "persist/savepoint.h"
#include "shell/engine.h"

namespace sorv {

// Only variables below the global border are in the save image.
inline void JournalInt(Engine& e, int32_t var) {
  if (e.savePoints.pending && var < e.script.globalBorder) JournalIntSlow(e, var);
}
inline void JournalStr(Engine& e, int32_t var) {
  if (e.savePoints.pending && var < e.script.globalBorder) JournalStrSlow(e, var);
}
inline void JournalCell(Engine& e, int32_t* cell) {
  if (e.savePoints.pending) JournalCellSlow(e, cell);
}
// A push overwrites entry `entry`; only entries live at the save point matter.
inline void JournalStack(Engine& e, int32_t entry) {
  if (e.savePoints.pending && entry < e.savePoints.depth) JournalStackSlow(e, entry);
}
// TakeSavePoint for the statement loop, which takes one before nearly every
// command: without a Lua callback and with an empty journal it is a handful
// of stores.
inline void TakeSavePointInline(Engine& e) {
  if (__builtin_expect(e.app.luaPresent, 0)) SavePointCallback(e);
  SavePointState& sp = e.savePoints;
  ++sp.count;
  if (__builtin_expect(sp.recordPositions, 0)) sp.positions.push_back(e.script.pos);
  e.interp.savePointThisPass = true;
  sp.position = e.script.pos;
  sp.depth = e.interp.depth;
  sp.taken = true;
  sp.pending = true;
  sp.finished = false;
  if (sp.journalUsed) ClearSavePointJournal(sp);
}
inline void BeforeCommand(Engine& e, const CommandEntry* cmd) {
  if (e.savePoints.pending && !SavePointJournaled(cmd)) MaterialiseSavePoint(e);
}

}  // namespace sorv
