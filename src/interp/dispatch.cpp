// The command dispatcher: Lua commands, user-defined commands, then the built-in catalogue,
// then the voice shorthands.
#include "debug/hooks.h"
#include "interp/catalogue.h"
#include "interp/error.h"
#include "interp/interp.h"
#include "lua/bridge.h"
#include "persist/journal.h"
#include "script/script.h"
#include "shell/engine.h"
#include "sound/sound.h"

namespace sorv {
namespace {

bool IsUserCommand(const Engine& e, const std::string& word) { return e.interp.userCommandNames.count(word) != 0; }

constexpr size_t kCommandCacheSlots = 4096;

size_t CacheSlot(int32_t pos) { return (static_cast<uint32_t>(pos) * 2654435761u) >> 20; }

// Only the script's own text is remembered: the scratch line behind it is
// rewritten for every line handed in.
bool Cacheable(const Engine& e, int32_t start) {
  return e.script.textGeneration != 0 && start >= 0 && start < e.script.scratchOffset;
}

// Remembers the built-in command the word at `start` named.
void Remember(Engine& e, int32_t start, bool defineMode, const CommandEntry* cmd) {
  if (!Cacheable(e, start)) return;
  InterpState& in = e.interp;
  if (in.commandCache.empty()) in.commandCache.resize(kCommandCacheSlots);
  in.commandCache[CacheSlot(start)] = {start, e.script.pos, e.script.textGeneration, defineMode, cmd};
}

// `start` is the statement position of the word, or -1 when it is not known.
void Dispatch(Engine& e, const std::string& word, bool defineMode, int32_t start) {
  InterpState& in = e.interp;
  if (in.resetPending) {
    ResetGame(e);
    return;
  }
  TraceCommand(e, word);
  std::string_view builtin = word;
  if (!word.empty() && word[0] == '_') {
    builtin.remove_prefix(1);
  } else if (!word.empty() && IsLuaCommand(e, word)) {
    MaterialiseSavePoint(e);  // Lua may change anything the save image holds
    RunLuaCommand(e, word);
    return;
  } else if (!word.empty() && IsUserCommand(e, word)) {
    if (in.depth > 999) ReportError(e, "スタックエラー", "defsub文のせいでスタックが溢れました。");
    PushStack(e, e.script.pos);
    JumpToLabel(e, word);
    return;
  }
  if (const CommandEntry* cmd = FindCommand(builtin, defineMode)) {
    if (!cmd->handler) ReportNotImplemented(e, builtin, cmd->family);
    if (start >= 0) Remember(e, start, defineMode, cmd);
    BeforeCommand(e, cmd);
    cmd->handler(e);
    return;
  }
  // Voice shorthands: "v001" plays voice\001.wav, "dv001" on the voice
  // channel, "mv001" voice\001.mp3. They belong to the sound family.
  std::string w(builtin);
  MaterialiseSavePoint(e);
  if (PlayVoiceShorthand(e, w)) return;
  ReportError(e, "構文エラー", "不正な命令\"" + Sjis(w) + "\"です。");
}

}  // namespace

void AddUserCommand(Engine& e, std::string name) {
  e.interp.userCommandNames.insert(name);
  e.interp.userCommands.push_back(std::move(name));
  e.interp.commandCache.clear();
}

const CommandEntry* CachedCommandAt(Engine& e, int32_t start, bool defineMode) {
  std::vector<InterpState::CachedCommand>& cache = e.interp.commandCache;
  if (cache.empty()) return nullptr;
  const InterpState::CachedCommand& c = cache[CacheSlot(start)];
  if (c.pos != start || c.text != e.script.textGeneration || c.defineMode != defineMode || !Cacheable(e, start)) {
    return nullptr;
  }
  e.script.pos = c.next;
  return c.cmd;
}

void RunCachedCommand(Engine& e, const CommandEntry& cmd) {
  if (e.interp.resetPending) {
    ResetGame(e);
    return;
  }
  TraceCommand(e, cmd.word);
  BeforeCommand(e, &cmd);
  cmd.handler(e);
}

void DispatchCommand(Engine& e, const std::string& word, bool defineMode) { Dispatch(e, word, defineMode, -1); }

void DispatchCommandAt(Engine& e, const std::string& word, bool defineMode, int32_t start) {
  Dispatch(e, word, defineMode, start);
}

}  // namespace sorv
