// Define-block switches of the statement loop's display lines and save points.
#include "interp/error.h"
#include "interp/shell_commands.h"
#include "script/reader.h"
#include "shell/engine.h"

namespace sorv {

void Cmd_autosaveoff(Engine& e) { e.interp.autoSaveOff = true; }
void Cmd_english(Engine& e) { e.interp.english = true; }
void Cmd_zenkakko(Engine& e) { e.interp.bracketNames = true; }
void Cmd_pagetag(Engine& e) { e.interp.pageTag = true; }
void Cmd_linepage(Engine& e) { e.interp.linePage = true; }

// linepage2 n: the page ends n lines before the window's last line.
void Cmd_linepage2(Engine& e) {
  e.interp.linePage2 = true;
  e.interp.linePage2Free = ReadNumberArgument(e);
}

}  // namespace sorv
