// The debug hooks of the statement loop, the dispatcher and the readers:
// each is one test of DebugState::tracing when nothing traces.
#pragma once

#include "debug/debug_state.h"
#include "shell/engine.h"

namespace sorv {

inline void TraceCommand(Engine& e, std::string_view word) {
  if (__builtin_expect(e.debug.tracing, 0)) TraceCommandSlow(e, word);
}
// The catalogue's word: measured only when traced.
inline void TraceCommand(Engine& e, const char* word) {
  if (__builtin_expect(e.debug.tracing, 0)) TraceCommandSlow(e, word);
}
inline void StepAfterCommand(Engine& e) {
  if (__builtin_expect(e.debug.tracing, 0)) StepAfterCommandSlow(e);
}
inline void TraceArray(Engine& e, int32_t array, int32_t value) {
  if (__builtin_expect(e.debug.tracing, 0)) TraceArraySlow(e, array, value);
}
inline void TraceIntVar(Engine& e, int32_t var, int32_t value) {
  if (__builtin_expect(e.debug.tracing, 0)) TraceIntVarSlow(e, var, value);
}
inline void TraceBracket(Engine& e, int32_t value) {
  if (__builtin_expect(e.debug.tracing, 0)) TraceBracketSlow(e, value);
}
inline void TraceAlias(Engine& e, const std::string& name, int32_t value) {
  if (__builtin_expect(e.debug.tracing, 0)) TraceAliasSlow(e, name, value);
}
inline void TraceStrVar(Engine& e, int32_t var, const std::string& value) {
  if (__builtin_expect(e.debug.tracing, 0)) TraceStrVarSlow(e, var, value);
}

}  // namespace sorv
