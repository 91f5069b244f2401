#include "interp/error.h"
#include "interp/shell_commands.h"
#include "script/reader.h"
#include "shell/engine.h"
#include "values/values.h"

namespace sorv {

// `game`: ends the *define block. The window settings and the menu ticks it
// also applies belong to the window and menu code.
void Cmd_game(Engine& e) { e.interp.gameStarted = true; }

void Cmd_labelexist(Engine& e) {
  if (SkipBlanks(e) != '%') ReportError(e, "エラー", "labelexistの第一引数は数字変数です。");
  ++e.script.pos;
  int32_t var = ReadNumberPrimary(e);
  CheckIntVarNumber(e, var);
  ExpectComma(e);
  std::string label;
  ReadLabelName(e, label);
  e.values.intVars[static_cast<size_t>(var)] = FindLabel(e, label) >= 0 ? 1 : 0;
}

}  // namespace sorv
