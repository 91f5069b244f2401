// The platform layer: everything the engine needs from the operating system's
// user interface (window, presenting frames, input events, clock, message boxes).
// Two backends implement it: sdl/ (a real window) and headless/ (virtual clock,
// events from a file, frames written as PNG). No other folder includes SDL.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

namespace sorv::platform {

enum class MouseButton { Left, Right, Middle };

struct Event {
  enum class Type {
    MouseDown,   // x, y, button
    MouseUp,     // x, y, button
    MouseMove,   // x, y
    Wheel,       // wheel: +1 away from the player (up), -1 towards (down)
    KeyDown,     // vk, repeat
    KeyUp,       // vk
    Text,        // ch: one Unicode code point typed
    Close,       // the player asked to close the window
    FocusGained,
    FocusLost,
    Expose,      // the window needs its last frame again
    Command,     // a menu command chosen outside the engine's own menu bar (headless)
  };
  Type type = Type::Expose;
  int x = 0, y = 0;  // in game (logical) coordinates
  MouseButton button = MouseButton::Left;
  int wheel = 0;
  int vk = 0;        // Windows virtual-key code (VK_RETURN = 0x0D, 'A' = 0x41 ...)
  bool repeat = false;
  uint32_t ch = 0;
  int command = 0;   // Command: the menu command number
};

enum class MessageBoxButtons { Ok, YesNo, OkCancel };
enum class MessageBoxIcon { None, Error, Warning, Information, Question };
enum class MessageBoxAnswer { Ok, Cancel, Yes, No };

struct Options {
  bool headless = false;
  std::string eventsFile;      // headless: input script
  std::string screenshotFile;  // headless: PNG of the last frame, written at Shutdown
  std::string dumpFramesDir;   // headless: every presented frame as PNG
  int64_t maxTimeMs = -1;      // headless: virtual time budget (-1 = default cap)
  bool fullscreen = false;
  int scale = 0;               // sdl: initial integer window scale (0 = fit the desktop)
  bool menuBar = false;        // headless: the window has the menu strip (the sdl window always has)
};

// Thrown by the headless clock when the virtual time budget is spent.
struct TimeLimitReached : std::runtime_error {
  TimeLimitReached() : std::runtime_error("virtual time limit reached") {}
};

class Platform {
 public:
  virtual ~Platform() = default;
  virtual bool IsHeadless() const = 0;

  // Window. The client area is the game's logical size; the backend scales
  // presented frames to whatever the window really is, keeping the aspect ratio.
  virtual bool CreateMainWindow(int width, int height) = 0;  // created hidden, centred
  virtual void SetLogicalSize(int width, int height) = 0;    // resize, re-centre
  virtual void SetTitle(const std::string& utf8) = 0;
  virtual void ShowMainWindow() = 0;
  virtual void SetFullscreen(bool on) = 0;
  virtual bool IsFullscreen() const = 0;
  virtual void Minimize() = 0;
  virtual void DesktopSize(int& width, int& height) = 0;
  virtual int DisplayBitsPerPixel() = 0;

  // A 24-bit frame as the engine keeps it: rows bottom-up (the first row in
  // memory is the bottom line), pixels blue-green-red, `stride` bytes a row.
  virtual void Present(const uint8_t* bits, int width, int height, int stride) = 0;
  // False when no presented frame can be seen at all: a headless run that
  // neither dumps its frames nor writes a screenshot. Present must still be
  // called, but what only it would show need not be drawn.
  virtual bool FramesSeen() const { return true; }
  // While on, Present waits for the display's refresh, so an animation shows
  // every frame whole. Off for ordinary drawing, which must not be held up.
  virtual void SetVsync(bool on) { (void)on; }

  // The menu strip: `height` rows above the game picture that the engine
  // draws its menu bar in (0: none). The client area grows or shrinks by it;
  // mouse events over it arrive with y from -height to -1. A backend that
  // has no room for one says so and ignores the calls.
  virtual bool HasMenuBand() const { return false; }
  virtual void SetMenuBand(int height) { (void)height; }
  // The strip's pixels, in the layout Present takes.
  virtual void PresentMenuBand(const uint8_t* bits, int width, int height, int stride) {
    (void)bits, (void)width, (void)height, (void)stride;
  }
  // The window's client area in window pixels (the strip included).
  virtual void ClientSize(int& width, int& height) {
    width = 0;
    height = 0;
  }

  // The player resizing the window (windowed only).
  virtual void SetClientSize(int width, int height) { (void)width, (void)height; }
  // The game pixel under a point of the client area, as mouse events give
  // it (y negative over the strip); false on the black bars.
  virtual bool WindowPointToGame(int wx, int wy, int& x, int& y) {
    x = wx;
    y = wy;
    return true;
  }

  // Input. PollEvent never blocks.
  virtual bool PollEvent(Event& ev) = 0;
  virtual bool HasFocus() const = 0;
  // True for a headless run without an events file: every click wait is
  // answered at once, so a linear game runs to its end.
  virtual bool Unattended() const = 0;

  // Milliseconds since an arbitrary start; wraps like a 32-bit tick count.
  virtual uint32_t NowMs() = 0;
  virtual void SleepMs(uint32_t ms) = 0;
  // Sleeps up to `ms`, returning early when input arrives: what an idle wait
  // does between its passes. Backends that cannot tell just sleep.
  virtual void IdleWaitMs(uint32_t ms) { SleepMs(ms); }

  virtual MessageBoxAnswer ShowMessageBox(const std::string& titleUtf8, const std::string& textUtf8,
                                          MessageBoxButtons buttons, MessageBoxIcon icon) = 0;

  // The clipboard's text as UTF-8 (empty when it holds none), and putting
  // text there. Without a system clipboard the text stays in this process.
  virtual std::string ClipboardText() { return clipboard_; }
  virtual void SetClipboardText(const std::string& utf8) { clipboard_ = utf8; }
  // Where typed text goes on the screen, in game coordinates, so that an
  // input method shows its candidates beside it.
  virtual void SetTextInputArea(int x, int y, int w, int h) { (void)x, (void)y, (void)w, (void)h; }

  // Called once when the run ends, whatever ended it; the headless backend
  // writes its screenshot here.
  virtual void Shutdown() = 0;

 private:
  std::string clipboard_;
};

std::unique_ptr<Platform> CreateSdlPlatform(const Options& options);
std::unique_ptr<Platform> CreateHeadlessPlatform(const Options& options);

// Frame-pixel helpers shared by both backends and the tests.
// Converts the engine's bottom-up BGR frame to top-down RGB (3 bytes a pixel).
void FrameToRgb(const uint8_t* bits, int width, int height, int stride, uint8_t* rgbOut);
// Writes top-down RGB pixels as a PNG file; false (with errno-style reason) on failure.
bool WritePngRgb(const std::string& path, const uint8_t* rgb, int width, int height,
                 std::string* error = nullptr);

}  // namespace sorv::platform
