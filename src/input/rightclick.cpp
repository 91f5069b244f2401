// The right-click action: what a right click (or Escape) in a click wait or
// a choice menu does, as the script chose it with rmenu, rlookback, roff,
// rgosub and rmode; and systemcall, which runs one of the same actions from
// the script. The menu word commands of the system family live here too.
#include <sys/stat.h>

#include <cstdio>
#include <utility>

#include "graphics/scene.h"
#include "input/input.h"
#include "input/rightclick.h"
#include "interp/control_flow.h"
#include "interp/error.h"
#include "persist/slots.h"
#include "platform/encoding.h"
#include "script/reader.h"
#include "shell/engine.h"
#include "shell/menu.h"
#include "shell/window.h"
#include "sound/sound.h"
#include "text/backlog_view.h"
#include "text/text_window.h"

namespace sorv {
namespace {

// A copy of the screen image taken when the handler starts, put back when
// it ends without leaving the text.
class SavedScreen {
 public:
  explicit SavedScreen(Engine& e) : e_(e), bits_(e.scene.scene.bits), shown_(e.textWindow.window.shown) {}

  void Restore() {
    Surface& s = e_.scene.scene;
    e_.textWindow.window.shown = shown_;
    if (bits_.size() == s.bits.size()) {
      s.bits = bits_;
      if (e_.textWindow.hooks.present) e_.textWindow.hooks.present(e_, TextRect{0, 0, s.width, s.height});
    } else {
      RedrawScreenRect(e_, TextRect{0, 0, e_.screenWidth, e_.screenHeight});
    }
  }
  int32_t Shown() const { return shown_; }

 private:
  Engine& e_;
  std::vector<uint8_t> bits_;
  int32_t shown_;
};

void RedrawAll(Engine& e) { RedrawScreenRect(e, TextRect{0, 0, e.screenWidth, e.screenHeight}); }

void SetChipsVisible(Engine& e, bool visible) {
  if (!e.textWindow.hooks.setSpriteVisible) return;
  for (int32_t sprite : e.textSettings.windowChips) e.textWindow.hooks.setSpriteVisible(e, sprite, visible);
}

// The questions are drawn with Shift-JIS glyphs: the characters are the
// forms that code page has.
std::string Question(const char* utf8) { return platform::Utf8ToSjis(utf8); }

// A confirmed return to the start: sound stops at once, the statement loop
// resets the game.
void ConfirmReset(Engine& e) {
  StopAllSound(e);
  e.interp.resetPending = true;
  e.interp.skipMode = false;
}

// A confirmed end of the game: the window closes without asking again.
void ConfirmEnd(Engine& e) {
  e.app.closeRequested = true;
  e.interp.skipMode = false;
  e.input.autoMode = false;
}

bool WaitMustEnd(Engine& e) {
  return e.rightClick.loadHappened || e.interp.resetPending || WaitAbandoned(e);
}

// Load (2) and save (3): slot menu, confirmation, the slot file.
void SlotPasses(Engine& e, bool forSave, SavedScreen& saved) {
  RightClickState& rc = e.rightClick;
  while (!WaitAbandoned(e)) {
    std::string name;
    int32_t row = ShowSlotMenu(e, forSave, name);
    if (row < 0) break;
    std::string question = name + Question(forSave ? "是否在存盤？" : "是否読取該存盤？");
    int32_t answer = ConfirmInWindow(e, question);
    if (WaitAbandoned(e)) return;
    if (answer != 1) continue;
    if (forSave) {
      if (!rc.slots.save || !rc.slots.save(e, row + 1)) {
        e.platform->ShowMessageBox("エラー", "セーブできませんでした。", platform::MessageBoxButtons::Ok,
                                   platform::MessageBoxIcon::Error);
      }
      break;
    }
    if (rc.slots.load && rc.slots.load(e, row + 1)) {
      rc.loadHappened = true;
      return;
    }
  }
  saved.Restore();
}

void ActOnCode(Engine& e, int32_t code, bool fromMenu, SavedScreen& saved, bool& again) {
  TextWindowState& w = e.textWindow.window;
  again = false;
  switch (code) {
    case kActLookback:
      if (fromMenu) {
        saved.Restore();
        if (!OpenBacklog(e)) RedrawAll(e);
      } else {
        RedrawAll(e);
        OpenBacklog(e);
      }
      return;
    case kActWindowErase:
      if (fromMenu) {
        saved.Restore();
        if (w.shown) HideWindowUntilClick(e);
      } else {
        w.shown = 1;
        HideWindowUntilClick(e);
      }
      return;
    case kActLoad:
    case kActSave:
      SlotPasses(e, code == kActSave, saved);
      return;
    case kActReset:
    case kActEnd: {
      int32_t answer = ConfirmInWindow(e, Question(code == kActReset ? "是否回到標題画面？" : "是否結束遊戲？"));
      if (answer == 1) {
        if (code == kActReset) {
          ConfirmReset(e);
        } else {
          ConfirmEnd(e);
        }
        return;
      }
      if (WaitAbandoned(e)) return;
      if (fromMenu) {
        again = true;
        return;
      }
      saved.Restore();
      return;
    }
    case kActSkip:
      saved.Restore();
      StartSkipMode(e);
      return;
    case kActSaveDialog:
    case kActLoadDialog: {
      bool save = code == kActSaveDialog;
      e.platform->ShowMessageBox(save ? "セーブメニュー" : "ロードメニュー", save ? "セーブ" : "ロード",
                                 platform::MessageBoxButtons::Ok, platform::MessageBoxIcon::None);
      saved.Restore();
      return;
    }
    case kActResetDialog: {
      const ShellSettings& s = e.shellSettings;
      platform::MessageBoxAnswer a = e.platform->ShowMessageBox(
          s.resetCaption, s.resetQuestion, platform::MessageBoxButtons::YesNo, platform::MessageBoxIcon::Question);
      if (a == platform::MessageBoxAnswer::Yes) ConfirmReset(e);
      return;
    }
    default:  // lookback2: a new page, the window left hidden
      ClearTextWindow(e);
      w.shown = 0;
      RedrawAll(e);
      return;
  }
}

// The menu passes of mode 1 and of systemcall items.
void MenuPasses(Engine& e, int32_t item) {
  SavedScreen saved(e);
  bool fromMenu = item < 0;
  while (true) {
    int32_t code = item;
    if (fromMenu) {
      int32_t k = ShowRightClickMenu(e);
      if (WaitAbandoned(e)) return;
      if (k < 0) {
        saved.Restore();
        return;
      }
      code = e.shellSettings.rightClickItems[static_cast<size_t>(k)].code;
    }
    bool again = false;
    ActOnCode(e, code, fromMenu, saved, again);
    if (!again) return;
  }
}

// Mode 2: the script's routine runs, and the wait it interrupted is shown
// again when it returns.
void RightClickSubroutine(Engine& e) {
  InterpState& in = e.interp;
  in.rclickResume = true;
  in.interruptedWait = '@';
  CallEngineSubroutine(e, in.rGosub.label, "rgosub処理のせいでスタックが溢れました。");
}

std::optional<std::time_t> SlotFileTime(Engine& e, int32_t slot) {
  std::string path = ReadPath(e, SlotFileName(slot));
  struct stat st{};
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return st.st_mtime;
}

}  // namespace

bool RunRightClickAction(Engine& e, int32_t item) {
  RightClickState& rc = e.rightClick;
  int mode = e.shellSettings.rightClickMode;
  if (rc.active) return false;
  if (item < 0 && (mode == kRightClickNothing || rc.enabled == 0)) return false;
  rc.active = true;
  rc.loadHappened = false;
  bool endWait = false;
  try {
    if (mode == kRightClickSubroutine) {
      if (item < 0) {
        RightClickSubroutine(e);
        endWait = true;
      }
    } else if (mode == kRightClickBacklog) {
      OpenBacklog(e);
    } else if (mode == kRightClickMenu || item >= 0) {
      MenuPasses(e, item);
    } else if (e.textWindow.window.shown) {
      HideWindowUntilClick(e);
    }
  } catch (...) {
    rc.active = false;
    throw;
  }
  rc.active = false;
  return endWait || WaitMustEnd(e);
}

void HideWindowUntilClick(Engine& e) {
  TextWindowState& w = e.textWindow.window;
  InterpState& in = e.interp;
  int32_t shown = w.shown;
  w.shown = 0;
  SetChipsVisible(e, false);
  RedrawAll(e);
  DiscardPendingInput(e);
  in.rightClickFlag = false;
  in.leftClickFlag = false;
  if (e.platform && !e.platform->Unattended()) {
    while (!WaitAbandoned(e)) {
      if (PumpInput(e)) {
        if (in.leftClickFlag || in.rightClickFlag || KeyHeld(e, vk::kSpace) || KeyHeld(e, vk::kEscape)) break;
      } else {
        IdlePass(e);
      }
    }
    while ((KeyHeld(e, vk::kSpace) || KeyHeld(e, vk::kEscape)) && !WaitAbandoned(e)) {
      if (!PumpInput(e)) e.platform->SleepMs(1);
    }
  }
  w.shown = shown;
  in.leftClickFlag = in.rightClickFlag = false;
  DiscardPendingInput(e);
  SetChipsVisible(e, true);
  RedrawAll(e);
}

void InstallRightClickHooks(Engine& e) {
  InstallBacklogHooks(e);
  e.input.hooks.rightClickAction = [](Engine& en) { return RunRightClickAction(en, -1); };
  SlotAccess& slots = e.rightClick.slots;
  if (!slots.fileTime) slots.fileTime = SlotFileTime;
  if (!slots.save) slots.save = [](Engine& en, int32_t n) { return SaveSlot(en, n); };
  if (!slots.load) slots.load = [](Engine& en, int32_t n) { return LoadSlot(en, n) == LoadResult::Loaded; };
}

void ResetRightClick(Engine& e) {
  e.rightClick.enabled = 1;
  e.rightClick.active = false;
  e.rightClick.forSystemcall = false;
}

// ---- Commands ---------------------------------------------------------------

void Cmd_rmode(Engine& e) { e.rightClick.enabled = ReadNumberArgument(e); }

void Cmd_systemcall(Engine& e) {
  std::string word;
  ReadWord(e, word);
  struct Keyword {
    const char* word;
    int32_t code;
  };
  static constexpr Keyword kKeywords[] = {
      {"lookback", kActLookback}, {"windowerase", kActWindowErase}, {"load", kActLoad},
      {"save", kActSave},         {"reset", kActReset},             {"skip", kActSkip},
      {"savedlg", kActSaveDialog}, {"loaddlg", kActLoadDialog},     {"resetdlg", kActResetDialog},
  };
  if (word == "automode") {
    StartAutoMode(e);
    return;
  }
  int32_t code = -2;
  if (word == "rmenu") code = -1;
  for (const Keyword& k : kKeywords) {
    if (word == k.word) code = k.code;
  }
  if (code == -2) ReportError(e, "エラー", "systemcall命令へのパラメータが間違っています。");
  TakeLeftButtonUp(e);
  e.rightClick.forSystemcall = true;
  bool leftText = false;
  if (code == -1) {
    leftText = RunRightClickAction(e, -1);
  } else {
    leftText = RunRightClickAction(e, code);
  }
  e.rightClick.forSystemcall = false;
  (void)leftText;  // a load or a reset takes effect at the next statement
}

void Cmd_menu_full(Engine& e) {
  CheckMenuItem(e, kMenuFull, true);
  CheckMenuItem(e, kMenuWindow, false);
  if (e.app.fullscreen) return;
  e.app.fullscreen = true;
  if (e.platform) e.platform->SetFullscreen(true);
}

void Cmd_menu_window(Engine& e) {
  CheckMenuItem(e, kMenuWindow, true);
  CheckMenuItem(e, kMenuFull, false);
  if (!e.app.fullscreen) return;
  e.app.fullscreen = false;
  if (e.platform) e.platform->SetFullscreen(false);
}

void Cmd_menu_click_page(Engine& e) {
  if (e.input.settings.autoClickMs > 0) return;
  e.text.pageAtATime = true;
  CheckMenuItem(e, kMenuClickPage, true);
  CheckMenuItem(e, kMenuClickDef, false);
}

void Cmd_menu_click_def(Engine& e) {
  e.text.pageAtATime = false;
  CheckMenuItem(e, kMenuClickDef, true);
  CheckMenuItem(e, kMenuClickPage, false);
}

void Cmd_menu_automode(Engine& e) { StartAutoMode(e); }

void Cmd_menu_dwavvol(Engine& e) {
  TakeLeftButtonUp(e);
  ShowVolumeScreen(e);
}

void Cmd_menu_cd_on(Engine& e) {
  SetCdAudioOn(e, true);
  CheckMenuItem(e, kMenuCdOn, true);
  CheckMenuItem(e, kMenuCdOff, false);
}

void Cmd_menu_cd_off(Engine& e) {
  SetCdAudioOn(e, false);
  CheckMenuItem(e, kMenuCdOff, true);
  CheckMenuItem(e, kMenuCdOn, false);
}

// The menu's end item: the close request with its question.
void Cmd_menu_end(Engine& e) { RequestClose(e); }

}  // namespace sorv
