// The debug window: a second, small window beside the game's that shows the
// command trace and a "step execution" check box. The engine draws the trace
// and the check box label as coverage (0 background, 255 ink); the backend
// only puts them on the screen and handles the player's mouse and keyboard.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace sorv::platform {

// The window's fixed layout, shared by the engine (which draws to it) and the
// backends (which place the check box).
constexpr int kDebugWindowWidth = 480;
constexpr int kDebugTraceHeight = 300;
constexpr int kDebugWindowHeight = kDebugTraceHeight + 28;
constexpr int kDebugBoxX = 8, kDebugBoxY = kDebugTraceHeight + 7, kDebugBoxSide = 14;
constexpr int kDebugLabelX = kDebugBoxX + kDebugBoxSide + 6, kDebugLabelY = kDebugTraceHeight + 6;

class DebugWindow {
 public:
  virtual ~DebugWindow() = default;
  // False once the player closed the window; it never opens again.
  virtual bool IsOpen() const = 0;
  virtual bool StepChecked() const = 0;
  virtual void SetStepChecked(bool on) = 0;
  // The trace area, kDebugWindowWidth x kDebugTraceHeight coverage bytes, top row first.
  virtual void ShowTrace(const uint8_t* coverage) = 0;
  // The check box label, `width` x `height` coverage bytes.
  virtual void SetLabel(const uint8_t* coverage, int width, int height) = 0;
};

// A real window, placed below the game's window (`gap` pixels under it) on
// the same screen. Null (with `error` set) when it cannot be opened.
std::unique_ptr<DebugWindow> CreateSdlDebugWindow(const std::string& titleUtf8, int gap, std::string* error);
// No window: the trace stays in the engine's memory. The check box starts as given.
std::unique_ptr<DebugWindow> CreateHeadlessDebugWindow(bool stepChecked);

}  // namespace sorv::platform
