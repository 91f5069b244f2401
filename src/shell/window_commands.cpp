// The menu commands: what each item of the menu bar (and each insertmenu
// keyword) does when the player chooses it, and full screen and back.
#include "graphics/scene.h"
#include "input/input.h"
#include "input/rightclick.h"
#include "platform/encoding.h"
#include "shell/dialogs.h"
#include "shell/engine.h"
#include "shell/menu.h"
#include "shell/menubar.h"
#include "shell/window.h"
#include "sound/sound.h"

namespace sorv {
namespace {

// Checks `chosen` and unchecks the other commands of its group.
void CheckOne(Engine& e, int chosen, std::initializer_list<int> group) {
  for (int c : group) CheckMenuItem(e, c, c == chosen);
}

void ChooseFont(Engine& e, int command) {
  if (command == kMenuFontDefault) {
    e.textSettings.currentFace = e.textSettings.defaultFace;
  } else {
    size_t slot = static_cast<size_t>(command);
    if (slot >= e.menu.fontSlots.size() || e.menu.fontSlots[slot].empty()) return;
    e.textSettings.currentFace = platform::Utf8ToSjis(e.menu.fontSlots[slot]);
  }
  e.textWindow.fonts.currentFace = e.textSettings.currentFace;
  CheckMenuItem(e, e.menu.checkedFont, false);
  e.menu.checkedFont = command;
  CheckMenuItem(e, command, true);
}

// Skip to the next choice, unless already-read skipping is on and the text
// in front of the player has not been read before.
void SkipToChoice(Engine& e) {
  const InterpState& in = e.interp;
  if (in.kidokuMode && !in.readMap.empty()) {
    size_t byte = static_cast<size_t>(e.script.pos) / 8;
    auto bit = static_cast<uint8_t>(1u << (e.script.pos % 8));
    if (byte >= in.readMap.size() || !(in.readMap[byte] & bit)) return;
  }
  StartSkipMode(e);
}

void AskReset(Engine& e) {
  const ShellSettings& s = e.shellSettings;
  platform::MessageBoxAnswer a = e.platform->ShowMessageBox(s.resetCaption, s.resetQuestion,
                                                            platform::MessageBoxButtons::YesNo,
                                                            platform::MessageBoxIcon::Question);
  if (a == platform::MessageBoxAnswer::Yes) e.app.resetRequested = true;
}

}  // namespace

void EnterFullscreen(Engine& e) {
  CheckOne(e, kMenuFull, {kMenuFull, kMenuWindow});
  if (e.app.fullscreen) return;
  e.app.fullscreen = true;
  e.menu.hiddenByFullscreen = !e.menu.removed;
  if (e.platform) e.platform->SetFullscreen(true);
  UpdateMenuBand(e);
  PresentDisplay(e);
}

void LeaveFullscreen(Engine& e) {
  CheckOne(e, kMenuWindow, {kMenuFull, kMenuWindow});
  if (!e.app.fullscreen) return;
  e.app.fullscreen = false;
  e.menu.hiddenByFullscreen = false;
  if (e.platform) e.platform->SetFullscreen(false);
  UpdateMenuBand(e);
  PresentDisplay(e);
}

void RunMenuCommand(Engine& e, int command) {
  if (command >= 0 && command < kMaxFontSlots) {
    if (e.menu.fontSlots.empty()) return;
    ChooseFont(e, command);
    return;
  }
  switch (command) {
    case kMenuEnd:
      RequestClose(e);
      break;
    case kMenuFull:
      EnterFullscreen(e);
      break;
    case kMenuWindow:
      LeaveFullscreen(e);
      break;
    case kMenuToggleFull:
      if (e.app.fullscreen) {
        LeaveFullscreen(e);
      } else {
        EnterFullscreen(e);
      }
      break;
    case kMenuFontDefault:
      ChooseFont(e, command);
      break;
    case kMenuVersion:
      if (e.app.debugFlag) {
        EditVariable(e);
      } else {
        ShowVersionBox(e);
      }
      break;
    case kMenuSkip:
      SkipToChoice(e);
      break;
    case kMenuClickPage:
      Cmd_menu_click_page(e);
      break;
    case kMenuClickDef:
      Cmd_menu_click_def(e);
      break;
    case kMenuTextSlow:
    case kMenuTextMiddle:
    case kMenuTextFast:
      e.text.userSpeedIndex = command - kMenuTextSlow;
      CheckOne(e, command, {kMenuTextSlow, kMenuTextMiddle, kMenuTextFast});
      break;
    case kMenuWaveOn:
    case kMenuWaveOff:
      SetSoundEffectsOn(e, command == kMenuWaveOn);
      CheckOne(e, command, {kMenuWaveOn, kMenuWaveOff});
      break;
    case kMenuAuto:
      StartAutoMode(e);
      break;
    case kMenuCdDrive:
      ShowCdDriveDialog(e);
      break;
    case kMenuCdOn:
      Cmd_menu_cd_on(e);
      break;
    case kMenuCdOff:
      Cmd_menu_cd_off(e);
      break;
    case kMenuVolume:
      ShowVolumeScreen(e);
      break;
    case kMenuKidokuOn:
    case kMenuKidokuOff:
      e.interp.kidokuMode = command == kMenuKidokuOn;
      CheckOne(e, command, {kMenuKidokuOn, kMenuKidokuOff});
      break;
    case kMenuReset:
      AskReset(e);
      break;
    case kMenuTextSpeed:
      ShowTextSpeedDialog(e);
      break;
    case kMenuAutoSpeed:
      ShowAutoSpeedDialog(e);
      break;
    default:
      break;  // 1 and unknown numbers: nothing
  }
}

}  // namespace sorv
