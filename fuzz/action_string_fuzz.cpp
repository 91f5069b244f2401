// Button action strings on arbitrary text, over a scene with a few sprites
// loaded; errors are ScriptError, anything else is a fault.
#include <cstdint>
#include <memory>
#include <string_view>

#include "graphics/scene.h"
#include "input/buttons.h"
#include "interp/error.h"
#include "script/script.h"
#include "shell/engine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::unique_ptr<sorv::Engine> e = [] {
    auto engine = std::make_unique<sorv::Engine>();
    sorv::LoadScriptFromText(*engine, "*define\ngame\n*start\nend\n");
    engine->screenWidth = 64, engine->screenHeight = 48;
    sorv::RecreateSurfaces(*engine);
    sorv::ResetScene(*engine);
    for (int n : {0, 1, 7, 999}) {
      sorv::Sprite& sp = engine->scene.sprites[static_cast<size_t>(n)];
      sp.tag = "test";
      sorv::CreateSurface(sp.image.surface, 8, 4);
      sp.image.cellCount = 2;
    }
    return engine;
  }();
  try {
    sorv::RunActionString(*e, std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const sorv::ScriptError&) {
  }
  return 0;
}
