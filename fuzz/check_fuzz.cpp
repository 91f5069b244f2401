// Feeds arbitrary bytes to the script checker as a script "0.txt". Any
// findings are fine; a crash or a hang is not.
#include <cstdint>
#include <memory>
#include <string_view>

#include "check/check.h"
#include "interp/error.h"
#include "script/script.h"
#include "shell/engine.h"

using namespace sorv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto e = std::make_unique<Engine>();
  e->gameDir = "/nonexistent-sorv-fuzz";
  try {
    LoadScriptFromText(*e, std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const ScriptError&) {
    return 0;
  } catch (const FatalExit&) {
    return 0;
  }
  CheckOptions options;
  options.checkAssets = false;
  CheckScript(*e, options);
  return 0;
}
