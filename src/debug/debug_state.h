// The debug window and logs: the command trace (in the debug window, in
// "debuglog.txt" and with --trace on stderr), the value traces of the
// readers, step execution and the debug title line. (Not named debug.h: the
// standard library has headers of that name under debug/.)
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "platform/debug_window.h"

namespace sorv {

struct Engine;

// The trace text keeps the newest bytes up to this many.
constexpr size_t kTraceTextBytes = 1000;

struct DebugState {
  // Whether anyone wants trace lines: the window is open, the log switch is
  // set or --trace is on. The statement loop and the readers test only this.
  bool tracing = false;
  bool logSwitch = false;    // `debuglog` n
  bool toStderr = false;     // --trace
  bool stepAtOpen = false;   // --step: the check box starts ticked
  std::string text;          // the trace text, Shift-JIS, at most kTraceTextBytes
  std::unique_ptr<platform::DebugWindow> window;
  bool windowDirty = false;  // the window shows an older text than `text`
  uint32_t windowDrawnMs = 0;
  struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  std::unique_ptr<std::FILE, FileCloser> log;
  bool logUnavailable = false;  // tried and could not be opened: skipped until `debuglog` again
  std::string title;            // the debug title last set
};

// Recomputes DebugState::tracing, letting go of a window the player closed.
void UpdateTracing(Engine& e);

// The command trace: `word` is the command word as read.
[[gnu::cold]] void TraceCommandSlow(Engine& e, std::string_view word);
// A value trace line (Shift-JIS) from the readers.
[[gnu::cold]] void TraceValueSlow(Engine& e, const std::string& line);
// After a command of the statement loop: the step-execution box when the
// window's check box is ticked.
[[gnu::cold]] void StepAfterCommandSlow(Engine& e);
// Draws the trace into the window now if an older one is showing.
void FlushDebugWindow(Engine& e);
// The main window title while a text chunk is drawn with the debug flag set.
void ShowDebugTitle(Engine& e);

// Value traces, each formatted only when tracing.
[[gnu::cold]] void TraceArraySlow(Engine& e, int32_t array, int32_t value);
[[gnu::cold]] void TraceIntVarSlow(Engine& e, int32_t var, int32_t value);
[[gnu::cold]] void TraceBracketSlow(Engine& e, int32_t value);
[[gnu::cold]] void TraceAliasSlow(Engine& e, const std::string& name, int32_t value);
[[gnu::cold]] void TraceStrVarSlow(Engine& e, int32_t var, const std::string& value);

// The debug family's commands.
void Cmd_createdebugwindow(Engine& e);
void Cmd_debuglog(Engine& e);
void Cmd_grptest(Engine& e);

// The difference histogram grptest writes: `bgr` is a 640 x 480 24-bit
// picture in memory order (bottom row first), `stride` bytes a row. Entry
// d + 255 counts the difference d.
void DifferenceHistogram(const uint8_t* bgr, int32_t stride, uint32_t histogram[512]);

}  // namespace sorv
