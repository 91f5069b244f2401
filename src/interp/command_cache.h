// The built-in command remembered per statement position, so that a loop
// running the same lines again reads no words and searches no catalogue.
// Inline: the statement loop asks before nearly every command.
#pragma once

#include <cstdint>
#include <vector>

#include "debug/hooks.h"
#include "interp/catalogue.h"
#include "interp/interp.h"
#include "persist/savepoint.h"
#include "shell/app.h"
#include "shell/engine.h"

namespace sorv {

constexpr size_t kCommandCacheSlots = 4096;

inline size_t CommandCacheSlot(int32_t pos) { return (static_cast<uint32_t>(pos) * 2654435761u) >> 20; }

// Only the script's own text is remembered: the scratch line behind it is
// rewritten for every line handed in.
inline bool CommandCacheable(const Engine& e, int32_t start) {
  return e.script.textGeneration != 0 && start >= 0 && start < e.script.scratchOffset;
}

// The command remembered for the word at `start`; on a hit ScriptPos moves
// behind the word as reading it would have.
inline InterpState::CachedCommand* CachedCommandAt(Engine& e, int32_t start, bool defineMode) {
  std::vector<InterpState::CachedCommand>& cache = e.interp.commandCache;
  if (cache.empty()) return nullptr;
  InterpState::CachedCommand& c = cache[CommandCacheSlot(start)];
  if (c.pos != start || c.text != e.script.textGeneration || c.defineMode != defineMode ||
      !CommandCacheable(e, start)) {
    return nullptr;
  }
  e.script.pos = c.next;
  return &c;
}

// Runs a command CachedCommandAt returned.
inline void RunCachedCommand(Engine& e, const InterpState::CachedCommand& cached) {
  if (e.interp.resetPending) {
    ResetGame(e);
    return;
  }
  const CommandEntry& cmd = *cached.cmd;
  TraceCommand(e, cmd.word);
  if (e.savePoints.pending && !cached.journaled) MaterialiseSavePoint(e);
  cmd.handler(e);
}

}  // namespace sorv
