// The window's small dialogs, drawn by the engine as modal boxes on the game
// screen: the version box, the text-speed and auto-speed sliders, the CD
// drive list and the debug variable editor. The game stands still while one
// is open. Headless runs print each box as a message box would and take
// their keys and clicks from the events file; an unattended run closes them
// at once.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sorv {

struct Engine;

void ShowVersionBox(Engine& e);
void ShowTextSpeedDialog(Engine& e);
void ShowAutoSpeedDialog(Engine& e);
void ShowCdDriveDialog(Engine& e);
// The debug build's variable edit: a variable number, then its value.
void EditVariable(Engine& e);

// The drives the CD drive dialog lists after "デフォルト".
std::vector<std::string> CdDrives();

// The strings of the last box drawn, in drawing order (UTF-8): the title,
// its lines, the slider's value, the list, the entry and the button.
const std::vector<std::string>& LastDialogStrings(const Engine& e);

}  // namespace sorv
