// The command dispatcher: user-defined commands, then the built-in catalogue,
// then the voice shorthands.
#include "interp/catalogue.h"
#include "interp/error.h"
#include "interp/interp.h"
#include "persist/journal.h"
#include "script/script.h"
#include "shell/engine.h"
#include "sound/sound.h"

namespace sorv {
namespace {

bool IsUserCommand(const Engine& e, const std::string& word) {
  for (const std::string& name : e.interp.userCommands) {
    if (name.size() == word.size() && name[0] == word[0] && name == word) return true;
  }
  return false;
}

}  // namespace

void DispatchCommand(Engine& e, const std::string& word, bool defineMode) {
  InterpState& in = e.interp;
  if (in.resetPending) {
    ResetGame(e);
    return;
  }
  std::string_view builtin = word;
  if (!word.empty() && word[0] == '_') {
    builtin.remove_prefix(1);
  } else if (!word.empty() && IsUserCommand(e, word)) {
    if (in.depth > 999) ReportError(e, "スタックエラー", "defsub文のせいでスタックが溢れました。");
    PushStack(e, e.script.pos);
    JumpToLabel(e, word);
    return;
  }
  if (const CommandEntry* cmd = FindCommand(builtin, defineMode)) {
    if (!cmd->handler) ReportNotImplemented(e, builtin, cmd->family);
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

}  // namespace sorv
