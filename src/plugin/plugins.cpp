// Command and layer plug-ins: loading from the game directory, exec_dll,
// the layer slots' calls, layermessage.
#include <strings.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "graphics/scene.h"
#include "interp/error.h"
#include "interp/game_paths.h"
#include "platform/dynlib.h"
#include "plugin/plugin.h"
#include "script/reader.h"
#include "shell/engine.h"
#include "sorv/plugin.h"

namespace sorv {

namespace {

constexpr size_t kMaxLibraryName = 255;
constexpr size_t kMaxPluginArgument = 8190;

void* LoadedLibrary(const Engine& e, const std::string& library) {
  for (const LibraryEntry& lib : e.app.libraries) {
    if (lib.handle && strcasecmp(lib.name.c_str(), library.c_str()) == 0) return lib.handle;
  }
  return nullptr;
}

// "library/parameters": the library is what comes before the first slash.
struct PluginName {
  std::string library, parameters;
};

PluginName SplitPluginName(Engine& e, const std::string& arg) {
  size_t slash = arg.find('/');
  PluginName n{arg.substr(0, slash), slash == std::string::npos ? std::string() : arg.substr(slash + 1)};
  if (n.library.size() > kMaxLibraryName || arg.size() > kMaxPluginArgument) {
    ReportError(e, "エラー", "DLL名が長すぎます");
  }
  return n;
}

// The return slots as a plug-in sees them: an integer and a string buffer,
// filled with what the slots hold now and read back afterwards.
struct ReturnSlots {
  int32_t number = 0;
  std::vector<char> text = std::vector<char>(SORV_RETURN_STRING_SIZE, 0);

  explicit ReturnSlots(const Engine& e) : number(e.values.returnNumber) {
    std::memcpy(text.data(), e.values.returnString.data(),
                std::min(e.values.returnString.size(), text.size() - 1));
  }
  void Store(Engine& e) {
    text.back() = 0;  // a plug-in that wrote past the end is cut off
    e.values.returnNumber = number;
    e.values.returnString.assign(text.data(), std::strlen(text.data()));
  }
};

const LayerSlot* Layer(const Engine& e, int32_t n) {
  if (n < 0 || n >= kLayerSlots) return nullptr;
  const LayerSlot& slot = e.layers.slots[static_cast<size_t>(n)];
  return slot.used ? &slot : nullptr;
}

void RedrawScreen(Engine& e) {
  if (e.scene.scene.Empty()) return;
  Rect all{0, 0, e.scene.width, e.scene.height};
  ComposeRect(e, all);
  CopySceneToDisplay(e, all);
  PresentDisplay(e);
}

void DrawLayer(Engine& e, int32_t n, Surface& target, const Rect& clip) {
  const LayerSlot* slot = Layer(e, n);
  if (!slot || !slot->draw || target.Empty()) return;
  Rect r = clip.Intersect(Rect{0, 0, target.width, target.height});
  if (r.Empty()) return;
  SorvRect area{r.left, r.top, r.right, r.bottom};
  slot->draw(target.bits.data(), &area);
  RaisePluginError(e);
}

// Due when the interval has passed, or when the clock went backwards.
bool TickLayer(Engine& e, int32_t n) {
  if (n < 0 || n >= kLayerSlots || !e.platform) return false;
  LayerSlot& slot = e.layers.slots[static_cast<size_t>(n)];
  if (!slot.used || !slot.timer || slot.interval == 0) return false;
  uint32_t now = e.platform->NowMs();
  bool due = now < slot.lastTimer || static_cast<int64_t>(now - slot.lastTimer) > slot.interval;
  if (!due) return false;
  slot.lastTimer = now;
  bool redraw = slot.timer() != 0;
  RaisePluginError(e);
  return redraw;
}

}  // namespace

void* BindPluginEntry(Engine& e, const std::string& library, const char* entry) {
  // A name that leads outside the game is the script's error, like every
  // other library a script names; nothing is opened.
  CheckLibraryName(e, library);
  std::string relative;
  if (!NormaliseGameName(library, relative) || relative.empty()) {
    if (e.plugins.reported.insert(library).second) {
      std::fprintf(stderr, "sorv: plug-in library %s lies outside the game directory; not loaded\n",
                   library.c_str());
    }
    return nullptr;
  }
  bool known = LoadedLibrary(e, relative) != nullptr;
  void* fn = BindEntry(e, relative, entry);
  if (known) return fn;
  if (void* handle = LoadedLibrary(e, relative)) {
    std::fprintf(stderr, "sorv: loaded plug-in library %s from %s\n", library.c_str(),
                 platform::LibraryFile(handle).c_str());
  } else if (e.plugins.reported.insert(relative).second) {
    std::fprintf(stderr, "sorv: cannot load plug-in library %s: %s\n", library.c_str(),
                 platform::LibraryLoadError(e.gameDir, relative).c_str());
  }
  return fn;
}

void RaisePluginError(Engine& e) {
  if (!e.plugins.pending) return;
  std::exception_ptr error = e.plugins.pending;
  e.plugins.pending = nullptr;
  std::rethrow_exception(error);
}

void InitializeLayerPlugins(Engine& e) {
  SceneHooks& hooks = e.scene.hooks;
  hooks.drawPluginSprite = [](Engine& en, int32_t n, Surface& target, const Rect& clip, int32_t) {
    DrawLayer(en, n, target, clip);
  };
  hooks.pluginSpriteTimer = [](Engine& en, int32_t n, int32_t) { return TickLayer(en, n); };
  e.layers.initialized = true;
  e.layers.finalized = false;
  for (const LayerSlot& slot : e.layers.slots) {
    if (!slot.used || !slot.initialize) continue;
    slot.initialize(slot.parameters.c_str());
    RaisePluginError(e);
  }
}

void FinalizeLayerPlugins(Engine& e) {
  if (!e.layers.initialized || e.layers.finalized) return;
  e.layers.finalized = true;
  for (const LayerSlot& slot : e.layers.slots) {
    if (slot.used && slot.finalize) slot.finalize();
  }
  e.plugins.pending = nullptr;  // the game is ending; nothing is left to report it to
}

// exec_dll "library/parameters": runs the library's SorvPlugInMain.
void Cmd_exec_dll(Engine& e) {
  std::string arg;
  ReadStringArgument(e, arg);
  PluginName name = SplitPluginName(e, arg);
  auto main = reinterpret_cast<SorvPlugInMainFn>(BindPluginEntry(e, name.library, "SorvPlugInMain"));
  if (!main) ReportError(e, "エラー", "exec_dllへのDLL指定が不正です");
  std::string relative;
  NormaliseGameName(name.library, relative);
  ReturnSlots slots(e);
  e.plugins.running = true;
  int32_t result = main(LoadedLibrary(e, relative), reinterpret_cast<SorvWindow>(e.platform),
                        name.parameters.c_str(), &slots.number, slots.text.data());
  e.plugins.running = false;
  slots.Store(e);
  RaisePluginError(e);
  if (result == 1) PresentDisplay(e);
}

// layermessage n, text: hands the text to the layer's Message entry.
void Cmd_layermessage(Engine& e) {
  int32_t n = ReadNumberArgument(e);
  std::string text = NextString(e);
  const LayerSlot* slot = Layer(e, n);
  if (!slot || !slot->message) ReportError(e, "エラー", "そのレイヤにはメッセージ関数がありません。");
  ReturnSlots slots(e);
  int32_t result = slot->message(text.c_str(), &slots.number, slots.text.data());
  slots.Store(e);
  RaisePluginError(e);
  if (result != 0) RedrawScreen(e);
}

}  // namespace sorv
