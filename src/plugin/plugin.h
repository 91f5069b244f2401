// Native plug-ins: command plug-ins (exec_dll), layer plug-ins (setlayer,
// layermessage, the "*n" sprites) and the functions the executable exports
// to them.
#pragma once

#include <string>

namespace sorv {

struct Engine;

// The one engine the exported C functions work on. The shell opens a scope
// around a run; nothing else reads it.
class PluginEngineScope {
 public:
  explicit PluginEngineScope(Engine& e);
  ~PluginEngineScope();
  PluginEngineScope(const PluginEngineScope&) = delete;
  PluginEngineScope& operator=(const PluginEngineScope&) = delete;

 private:
  Engine* previous_;
};

// Binds an entry of a plug-in library named by the script. Libraries load
// only from inside the game directory; the first load of each says on
// stderr which file it was, a failure says why (once a library). Null when
// the library or the entry is missing.
void* BindPluginEntry(Engine& e, const std::string& library, const char* entry);

// Raises, now that the plug-in has returned, an error an exported function
// met during the plug-in call.
void RaisePluginError(Engine& e);

// `game`: hooks the layer slots into the composition and the idle step and
// calls every slot's Initialize.
void InitializeLayerPlugins(Engine& e);
// Calls every slot's Finalize, once, when the game ends for any reason.
void FinalizeLayerPlugins(Engine& e);

void Cmd_exec_dll(Engine& e);
void Cmd_layermessage(Engine& e);

}  // namespace sorv
