#include "interp/error.h"
#include "interp/shell_commands.h"
#include "plugin/plugin.h"
#include "script/reader.h"
#include "shell/engine.h"
#include "shell/menu.h"
#include "values/values.h"

namespace sorv {

// `game`: applies the window settings of the *define block and ends it.
void Cmd_game(Engine& e) {
  // A removed menu bar changes the window's outer size: place it again for
  // the client size alone.
  if (e.menu.removed) {
    if (e.app.fullscreen) {
      e.platform->SetFullscreen(true);
    } else {
      e.platform->SetLogicalSize(e.screenWidth, e.screenHeight);
    }
  }
  e.textSettings.currentFace = e.textSettings.defaultFace;
  e.menu.menuFace = e.textSettings.defaultFace;
  e.interp.gameStarted = true;
  TickMenuSettings(e);
  InitializeLayerPlugins(e);
}

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
