// The engine: every subsystem's state in one place. Handlers are functions of
// Engine&; several engines can live in one process (the tests do that).
#pragma once

#include <string>

#include "graphics/scene.h"
#include "interp/interp.h"
#include "persist/logs.h"
#include "persist/savepoint.h"
#include "platform/fs.h"
#include "platform/platform.h"
#include "script/script.h"
#include "shell/app.h"
#include "text/textflow.h"
#include "values/values.h"

namespace sorv {

struct Engine {
  platform::Platform* platform = nullptr;
  std::string gameDir = ".";

  int screenWidth = 640;   // ScreenWidth
  int screenHeight = 480;  // ScreenHeight

  AppState app;
  ScriptState script;
  ValueState values;
  InterpState interp;
  LogState logs;
  TextFlowState text;
  SavePointState savePoints;
  SceneState scene;

  // Resolves a name as the engine writes it against the game directory.
  std::string Path(const std::string& name) const { return platform::ResolvePath(gameDir, name); }
};

}  // namespace sorv
