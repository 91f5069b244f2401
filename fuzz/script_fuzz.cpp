// Feeds arbitrary bytes to the script loader's first-line parser, the label
// index and the readers. Any outcome but a crash is fine: errors are
// ScriptError or FatalExit.
#include <cstdint>
#include <string>
#include <string_view>

#include "interp/error.h"
#include "script/reader.h"
#include "script/script.h"
#include "shell/engine.h"

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  auto e = std::make_unique<Engine>();
  bool loaded = false;
  Guarded([&] {
    LoadScriptFromText(*e, text);
    loaded = true;
  });
  if (!loaded) return 0;
  Guarded([&] { BuildLabelIndex(*e); });
  // Every reader from every line start, as far as each one gets.
  std::string out;
  for (int32_t p = 0; p < e->script.length; ++p) {
    if (p > 0 && e->script.at(p - 1) != '\n') continue;
    auto at = [&](auto&& read) {
      e->script.pos = p;
      e->script.readNesting = 0;
      Guarded(read);
    };
    at([&] { ReadWord(*e, out); });
    at([&] { ReadLabelName(*e, out); });
    at([&] { ReadNumberPrimary(*e); });
    at([&] { ReadStringArgument(*e, out); });
    at([&] { ReadColourArgument(*e); });
    at([&] { PositionToFileLine(e->script, e->script.pos); });
  }
  return 0;
}
