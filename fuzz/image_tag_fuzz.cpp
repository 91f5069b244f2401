// The image tag parser on arbitrary text; errors are ScriptError, anything
// else (a crash, an out-of-bounds read) is a fault.
#include <cstdint>
#include <memory>
#include <string>

#include "graphics/image_tag.h"
#include "interp/error.h"
#include "script/script.h"
#include "shell/engine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::unique_ptr<sorv::Engine> e = [] {
    auto engine = std::make_unique<sorv::Engine>();
    sorv::LoadScriptFromText(*engine, "*define\ngame\n*start\nend\n");
    return engine;
  }();
  std::string tag(reinterpret_cast<const char*>(data), size);
  try {
    sorv::ImageTag t = sorv::ParseImageTag(*e, tag, sorv::kTransLeftUp);
    if (!t.body.empty() && t.body[0] == '>') sorv::ParseColourBands(*e, t.body);
  } catch (const sorv::ScriptError&) {
  }
  return 0;
}
