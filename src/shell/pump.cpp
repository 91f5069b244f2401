// The message pumps and the main window's own handling of the messages that
// are not input for a wait: closing, the full-screen toggle, repainting.
#include "lua/bridge.h"
#include "shell/engine.h"
#include "shell/menubar.h"
#include "shell/window.h"

namespace sorv {

void FillMessageQueue(Engine& e) {
  if (!e.platform) return;
  if (e.debug.windowDirty) FlushDebugWindow(e);  // the trace of the last command, before the game waits
  platform::Event ev;
  while (e.platform->PollEvent(ev)) e.app.queue.push_back(ev);
}

bool TakeLeftButtonUp(Engine& e) {
  FillMessageQueue(e);
  auto& q = e.app.queue;
  for (auto it = q.begin(); it != q.end(); ++it) {
    if (it->type == platform::Event::Type::MouseUp && it->button == platform::MouseButton::Left) {
      q.erase(it);
      return true;
    }
  }
  return false;
}

static int PumpOne(Engine& e, bool sleepWhenIdle) {
  const MenuState& m = e.menu;
  if (m.bandRevision != m.revision || m.bandWidth != e.screenWidth || m.bandFullscreen != e.app.fullscreen) {
    UpdateMenuBand(e);
  }
  if (e.app.queue.empty()) FillMessageQueue(e);
  if (e.app.queue.empty()) {
    if (sleepWhenIdle && e.platform) e.platform->SleepMs(5);
    return 0;
  }
  platform::Event ev = e.app.queue.front();
  e.app.queue.pop_front();
  WindowProc(e, ev);
  return 1;
}

int PumpMessage(Engine& e) { return PumpOne(e, true); }
int PumpMessageNoSleep(Engine& e) { return PumpOne(e, false); }

void RequestClose(Engine& e) {
  if (e.app.closeRequested) return;
  bool allow = false;
  if (LuaCloseHandled(e, allow)) {
    // The game's close callback decides instead of the quit question.
    if (!allow) return;
  } else {
    // The texts englishdialog may have replaced.
    const ShellSettings& s = e.shellSettings;
    platform::MessageBoxAnswer a = e.platform->ShowMessageBox(
        s.quitCaption, s.quitQuestion, platform::MessageBoxButtons::YesNo, platform::MessageBoxIcon::Question);
    if (a != platform::MessageBoxAnswer::Yes) return;
  }
  e.app.closeRequested = true;
  EndSkipAndAuto(e);
  e.input.settings.autoClickMs = 0;
}

void WindowProc(Engine& e, const platform::Event& ev) {
  using T = platform::Event::Type;
  // The menu strip and the keys that open the menu come first: none of
  // them is the game's input.
  if (MenuBarEvent(e, ev)) return;
  switch (ev.type) {
    case T::Close:
      RequestClose(e);
      break;
    case T::Command:
      if (!e.menu.busy) RunMenuCommand(e, ev.command);
      return;
    case T::KeyDown:
      // Alt+Enter toggles full screen, as the window's accelerator did.
      if (ev.vk == 0x0D && e.app.altDown) {
        if (!ev.repeat) RunMenuCommand(e, kMenuToggleFull);
        return;  // an accelerator: no key press and no character for the waits
      }
      if (ev.vk == 0x12) e.app.altDown = true;
      if (ev.vk == 0x11) e.app.ctrlDown = true;
      break;
    case T::KeyUp:
      if (ev.vk == 0x12) e.app.altDown = false;
      if (ev.vk == 0x11) e.app.ctrlDown = false;
      break;
    case T::FocusLost:
      e.app.altDown = e.app.ctrlDown = false;
      break;
    default:
      break;
  }
  // Mouse, wheel and keyboard messages become the waits' input.
  if (ev.type != T::Close) HandleInputEvent(e, ev);
}

}  // namespace sorv
