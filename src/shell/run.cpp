// Initialisation, the restart loop and the run loop.
#include <cstdio>
#include <cstring>

#include "archive/commands.h"
#include "graphics/effect.h"
#include "graphics/image_commands.h"
#include "graphics/scene.h"
#include "interp/define_commands.h"
#include "interp/error.h"
#include "interp/files.h"
#include "lua/bridge.h"
#include "movie/movie.h"
#include "persist/global_files.h"
#include "platform/fs.h"
#include "plugin/plugin.h"
#include "shell/engine.h"
#include "shell/menubar.h"
#include "shell/window.h"
#include "sound/sound.h"

namespace sorv {
namespace {

void Initialise(Engine& e) {
  AppState& app = e.app;
  app.formatBuffer.assign(kWorkBufferSize, 0);
  for (auto& image : app.saveImages) image.assign(kWorkBufferSize, 0);
  app.saveImageRead = app.saveImageWrite = 0;
  app.saveImageInMemory = true;
  app.tempDir = platform::TempDirectory();
  SeedRandom(e, e.platform->NowMs());
  InstallRightClickHooks(e);

  InitialiseSound(e);
  BindLuaBridge(e);
  e.input.hooks.saveGlobalFiles = SaveGlobalFiles;

  // "config.txt": only a line beginning with "cdfadeoff" means anything.
  // Read as a regular file only, so that a FIFO of that name cannot hold the start.
  if (auto config = platform::ReadWholeFile(e.Path("config.txt"), 1 << 20)) {
    std::string text(config->begin(), config->end());
    for (size_t at = 0; at < text.size();) {
      size_t nl = text.find('\n', at);
      if (text.compare(at, 9, "cdfadeoff") == 0) app.cdFadeOff = true;
      at = nl == std::string::npos ? text.size() : nl + 1;
    }
  }
  app.debugFlag = platform::IsRegularFile(e.Path("debug.314"));
  app.restartRequested = false;
}

// Every setting of the *define block and of the interpreter returns to its
// default at the start of a pass.
void RestoreDefaults(Engine& e) {
  e.interp = InterpState{};
  ResetTextFlow(e);
  RestoreDefineSettings(e);
  RestoreInputDefaults(e);
  RestoreImageDefaults(e);
  RestoreEffectDefaults(e);
  RestoreArchiveDefaults(e);
  e.app.queue.clear();
}

void RestartPass(Engine& e) {
  RestoreDefaults(e);
  SeedRandom(e, e.platform->NowMs());
  StopAllSound(e);

  int oldW = e.screenWidth, oldH = e.screenHeight;
  e.screenWidth = 640;
  e.screenHeight = 480;
  LoadScript(e);
  if ((e.screenWidth != oldW || e.screenHeight != oldH) && e.screenWidth == 640 && e.screenHeight == 480) {
    e.platform->SetLogicalSize(e.screenWidth, e.screenHeight);
  }
  e.interp.readMap.assign(static_cast<size_t>(e.script.length) / 8 + 1, 0);
  RecreateSurfaces(e);
  ResetTextWindow(e);
  ClearLocalVariables(e);
  LoadGlobalVariables(e);
  BuildLabelIndex(e);

  ReadSaveDirectory(e);
  RunStatements(e, true);
  if (e.app.closeRequested || e.app.restartRequested) return;
  LoadAfterDefine(e);
  ApplyEnvironment(e);

  if (!e.app.windowShown) {
    UpdateMenuBand(e);  // the strip is part of the window's first size
    e.platform->ShowMainWindow();
    e.app.windowShown = true;
    e.platform->SleepMs(500);
  }
  while (!e.app.restartRequested && !e.app.closeRequested) {
    ResetGame(e);
    e.platform->SleepMs(5);
    RunStatements(e, false);
  }
}

void ShowError(Engine& e, const std::string& title, const std::string& text) {
  if (e.app.instanceLock) e.app.instanceLock->Release();
  e.platform->ShowMessageBox(title, text, platform::MessageBoxButtons::Ok, platform::MessageBoxIcon::Error);
}

}  // namespace

void ResetGame(Engine& e) {
  StopAllSound(e);
  CloseCapture(e);
  CloseCsvFile(e);
  OpenSv2Archives(e);
  StartGameFonts(e);
  ClearTextWindow(e);
  ResetScene(e);
  ResetButtons(e);
  LoadDefaultWaitCursors(e);
  ResetRightClick(e);
  ClearLocalVariables(e);
  InterpState& in = e.interp;
  in.depth = 0;
  in.inTextGosub = false;
  in.textGosubMark = -1;
  in.rclickResume = false;
  in.resetPending = false;
  in.newPagePending = false;
  in.tagDone = false;
  e.savePoints = SavePointState{};
  e.messageLog = MessageLog{};
  JumpToLabel(e, "start");
  LuaGameReset(e);
}

int RunEngine(Engine& e) {
  int status = 0;
  PluginEngineScope plugins(e);
  try {
    Initialise(e);
    while (!e.app.closeRequested) {
      e.app.restartRequested = false;
      RestartPass(e);
      e.app.firstPass = false;
      ++e.app.passes;
    }
    LuaEndCallback(e);
  } catch (const ScriptError& err) {
    e.app.errorTitle = err.title;
    e.app.errorMessage = err.message;
    e.app.errorText = err.text;
    StopAllSound(e);
    ShowError(e, err.title, err.text);
    status = 1;
  } catch (const FatalExit& fx) {
    e.app.errorTitle = fx.title;
    e.app.errorMessage = fx.message;
    if (!fx.title.empty()) ShowError(e, fx.title, fx.message);
    status = fx.status;
  } catch (const std::bad_alloc&) {
    // Outside the statement loop (start-up, a restart pass): still a
    // message, not an abort.
    e.app.errorTitle = "エラー";
    e.app.errorMessage = "メモリが足りません。";
    ShowError(e, e.app.errorTitle, e.app.errorMessage);
    status = 1;
  } catch (const platform::TimeLimitReached&) {
    std::fprintf(stderr, "sorv: the time limit of the headless run was reached\n");
    status = 3;
  }
  // The close path keeps the player's settings, global variables and
  // already-read text.
  if (e.interp.gameStarted || e.app.passes > 0 || !e.script.buffer.empty()) {
    try {
      SaveGlobalFiles(e);
    } catch (const ScriptError& err) {
      std::fprintf(stderr, "sorv: %s\n", err.message.c_str());
    } catch (const platform::TimeLimitReached&) {
    }
  }
  // A headless run past its time limit refuses every later clock read, and
  // stopping the sound reads it: the run is over, so that is no failure.
  try {
    StopAllSound(e);
    CloseSound(e);
  } catch (const platform::TimeLimitReached&) {
  }
  CloseCsvFile(e);
  CloseCapture(e);
  FinalizeLayerPlugins(e);
  FinalizeLuaBridge(e);
  FinalizeTextures(e);
  FreeLibraries(e);
  return status;
}

}  // namespace sorv
