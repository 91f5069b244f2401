// Feeds arbitrary bytes to the expression reader and to the `if` / `notif`
// condition readers, from every line start. Any outcome but a crash (or a
// sanitizer report) is fine: a bad expression ends in a ScriptError.
#include <cstdint>
#include <string>
#include <string_view>

#include "interp/error.h"
#include "persist/logs.h"
#include "script/reader.h"
#include "script/script.h"
#include "shell/engine.h"
#include "values/commands.h"
#include "values/values.h"

using namespace sorv;

namespace {

template <typename Fn>
void Guarded(Fn&& fn) {
  try {
    fn();
  } catch (const ScriptError&) {
  } catch (const FatalExit&) {
  }
}

// Something for the operands to find: aliases, an array, logs, variables.
void Populate(Engine& e) {
  DefineNumAlias(e, "a", 3);
  DefineNumAlias(e, "modx", -7);
  DefineStrAlias(e, "s", "text");
  ArrayRef ref;
  ref.number = 1;
  ref.count = 2;
  ref.index[0] = 3;
  ref.index[1] = 2;
  DeclareArray(e, ref);
  AddFileLog(e, "a.bmp");
  AddLabelLog(e, "start");
  for (int i = 0; i < 10; ++i) e.values.intVars[static_cast<size_t>(i)] = i * 7 - 20;
  e.values.intVars[10] = INT32_MIN;
  e.values.strVars[1] = "abc";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A leading line feed keeps the bytes away from the first-line settings.
  std::string text = "\n" + std::string(reinterpret_cast<const char*>(data), size);
  // One engine for the whole run: building an Engine costs far more than
  // reloading its script, and LoadScriptFromText resets the value tables.
  static Engine* const e = [] {
    auto* engine = new Engine();
    // Error reports look the script's file up in the game directory; one
    // that does not exist keeps each report cheap.
    engine->gameDir = "/nonexistent/sorv-expr-fuzz";
    return engine;
  }();
  bool loaded = false;
  Guarded([&] {
    LoadScriptFromText(*e, text);
    Populate(*e);
    loaded = true;
  });
  if (!loaded) return 0;
  for (int32_t p = 1; p < e->script.length; ++p) {
    if (e->script.at(p - 1) != '\n') continue;
    auto at = [&](bool defineMode, auto&& read) {
      e->script.pos = p;
      e->script.readNesting = 0;
      e->interp.defineMode = defineMode;
      Guarded(read);
      if (e->script.pos < 0 || e->script.pos > e->script.length + 1) __builtin_trap();
    };
    at(false, [&] { ReadNumberArgument(*e); });
    at(false, [&] { Cmd_if(*e); });
    at(true, [&] { Cmd_notif(*e); });
  }
  return 0;
}
