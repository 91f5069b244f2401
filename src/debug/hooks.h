// The debug hooks of the statement loop, the dispatcher and the readers:
// each is one test of DebugState::tracing when nothing traces.
#pragma once

#include "debug/debug_state.h"
#include "shell/engine.h"

namespace sorv {

inline void TraceCommand(Engine& e, std::string_view word) {
  if (e.debug.tracing) TraceCommandSlow(e, word);
}
inline void StepAfterCommand(Engine& e) {
  if (e.debug.tracing) StepAfterCommandSlow(e);
}
inline void TraceArray(Engine& e, int32_t array, int32_t value) {
  if (e.debug.tracing) TraceArraySlow(e, array, value);
}
inline void TraceIntVar(Engine& e, int32_t var, int32_t value) {
  if (e.debug.tracing) TraceIntVarSlow(e, var, value);
}
inline void TraceBracket(Engine& e, int32_t value) {
  if (e.debug.tracing) TraceBracketSlow(e, value);
}
inline void TraceAlias(Engine& e, const std::string& name, int32_t value) {
  if (e.debug.tracing) TraceAliasSlow(e, name, value);
}
inline void TraceStrVar(Engine& e, int32_t var, const std::string& value) {
  if (e.debug.tracing) TraceStrVarSlow(e, var, value);
}

}  // namespace sorv
