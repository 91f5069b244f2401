// The command dispatcher: Lua commands, user-defined commands, then the built-in catalogue,
// then the voice shorthands.
#include "debug/hooks.h"
#include "interp/catalogue.h"
#include "interp/command_cache.h"
#include "interp/error.h"
#include "interp/interp.h"
#include "lua/bridge.h"
#include "persist/journal.h"
#include "script/reader.h"
#include "script/script.h"
#include "shell/engine.h"
#include "sound/sound.h"

namespace sorv {
namespace {

bool IsUserCommand(const Engine& e, const std::string& word) { return e.interp.userCommandNames.count(word) != 0; }

// Remembers the built-in command the word at `start` named.
void Remember(Engine& e, int32_t start, bool defineMode, const CommandEntry* cmd) {
  if (!CommandCacheable(e, start)) return;
  InterpState& in = e.interp;
  if (in.commandCache.empty()) in.commandCache.resize(kCommandCacheSlots);
  InterpState::CachedCommand c;
  c.pos = start;
  c.next = e.script.pos;
  c.text = e.script.textGeneration;
  c.defineMode = defineMode;
  c.journaled = SavePointJournaled(cmd);
  c.cmd = cmd;
  in.commandCache[CommandCacheSlot(start)] = c;
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

bool RunCommandLine(Engine& e, const std::string& line) {
  ScriptState& s = e.script;
  const int32_t saved = s.pos;
  if (line.size() > 1500 || !PlaceScratchLine(e, line)) {
    s.pos = saved;
    return false;
  }
  InterpState& in = e.interp;
  std::string outer = std::move(in.scratchCommand);
  in.scratchCommand = line.empty() ? std::string(" ") : line;
  std::string word;
  SkipBlanks(e);
  ReadWord(e, word);
  DispatchCommand(e, word, in.defineMode);
  const int32_t end = s.scratchOffset + static_cast<int32_t>(line.size()) + 2;
  if (s.pos >= s.scratchOffset && s.pos <= end) s.pos = saved;
  in.scratchCommand = std::move(outer);
  return true;
}

void AddUserCommand(Engine& e, std::string name) {
  e.interp.userCommandNames.insert(name);
  e.interp.userCommands.push_back(std::move(name));
  e.interp.commandCache.clear();
}

void DispatchCommand(Engine& e, const std::string& word, bool defineMode) { Dispatch(e, word, defineMode, -1); }

void DispatchCommandAt(Engine& e, const std::string& word, bool defineMode, int32_t start) {
  Dispatch(e, word, defineMode, start);
}

}  // namespace sorv
