// The engine: every subsystem's state in one place. Handlers are functions of
// Engine&; several engines can live in one process (the tests do that).
#pragma once

#include <string>

#include "archive/archive.h"
#include "debug/debug_state.h"
#include "graphics/effect.h"
#include "graphics/image_state.h"
#include "graphics/scene.h"
#include "graphics/settings.h"
#include "input/buttons.h"
#include "input/input.h"
#include "input/rightclick.h"
#include "interp/files.h"
#include "interp/interp.h"
#include "lua/lua_state.h"
#include "movie/movie.h"
#include "persist/global_files.h"
#include "persist/logs.h"
#include "persist/savepoint.h"
#include "persist/settings.h"
#include "persist/slots.h"
#include "platform/fs.h"
#include "platform/platform.h"
#include "plugin/settings.h"
#include "script/script.h"
#include "shell/app.h"
#include "shell/menu.h"
#include "shell/settings.h"
#include "sound/settings.h"
#include "sound/sound.h"
#include "text/backlog.h"
#include "text/backlog_view.h"
#include "text/textflow.h"
#include "text/settings.h"
#include "text/text_window.h"
#include "texture/texture.h"
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
  SaveImageState saveImage;  // SaveImage and the slot files
  MessageLog messageLog;
  EnvExtras envExtras;
  SceneState scene;
  InputState input;
  ButtonState buttons;  // button table, choices, bexec entries
  // Settings of the *define block, one record per subsystem that reads them.
  TextSettings textSettings;
  GraphicsSettings graphicsSettings;
  SoundSettings soundSettings;
  PersistSettings persistSettings;
  ShellSettings shellSettings;
  LayerSettings layers;
  PluginState plugins;    // command plug-in calls and the exported functions
  MenuState menu;
  CsvState csv;
  ImageState images;      // image loading
  ArchiveState archives;  // SVA and SV2 archives, archive plug-ins
  SoundState sound;       // channels, music, CD audio, volumes
  TextWindow textWindow;  // window geometry, fonts, glyph drawing, text layer
  EffectState effects;    // effect speed and skip switches, transition buffers
  LuaState lua;           // the Lua bridge
  BacklogView backlog;    // the backlog viewer's arrows
  RightClickState rightClick;  // the right-click action, its menus and slot access
  TextureState textures;       // Lua's textures and the drawing library
  MovieState movie;            // movie playback and video capture
  DebugState debug;            // the debug window, the trace and its log

  // Resolves a name as the engine writes it against the game directory.
  std::string Path(const std::string& name) const { return platform::ResolvePath(gameDir, name); }
};

}  // namespace sorv
