// The effect runner: the effect argument, the speed and skip rules, the
// composition of the dirty rectangle, the transition (built in or from a
// plug-in), the final copy of the scene and the pause after it.
#include "graphics/effect.h"

#include <algorithm>

#include "graphics/effect_plugin.h"
#include "plugin/plugin.h"
#include "graphics/transition.h"
#include "interp/error.h"
#include "script/reader.h"
#include "shell/engine.h"
#include "values/values.h"

namespace sorv {
namespace {

Rect Screen(const Engine& e) { return Rect{0, 0, e.scene.width, e.scene.height}; }

// Text is being skipped: skip mode, or the skip key held.
bool SkippingText(Engine& e) { return e.interp.skipMode || (e.platform && SkipKeyHeld(e)); }

// The dirty rectangle on the screen, taken: the next effect starts afresh.
Rect TakeDirty(Engine& e) {
  Rect r = e.scene.dirty.Intersect(Screen(e));
  e.scene.dirty = Rect{};
  return r;
}

void FinishEffect(Engine& e, const Rect& r, bool pause) {
  CopySceneToDisplay(e, r);
  PresentDisplay(e);
  if (pause) PauseMs(e, e.graphicsSettings.effectBlank);
}

// --- transition plug-ins ---

struct PluginCall {
  Engine* e;
  EffectClock clock;
};

void HostPresent(void* context) { PresentDisplay(*static_cast<PluginCall*>(context)->e); }
int32_t HostPump(void* context) { return static_cast<PluginCall*>(context)->clock.Poll() ? 0 : 1; }
uint32_t HostNow(void* context) {
  Engine& e = *static_cast<PluginCall*>(context)->e;
  return e.platform ? e.platform->NowMs() : 0;
}
void HostSleep(void* context, uint32_t ms) {
  Engine& e = *static_cast<PluginCall*>(context)->e;
  if (e.platform) e.platform->SleepMs(std::min<uint32_t>(ms, 60000));
}

void RunPluginEffect(Engine& e, const EffectRequest& fx, bool skipping, bool compose) {
  size_t slash = fx.image.find('/');
  std::string library = fx.image.substr(0, slash);
  std::string parameters = slash == std::string::npos ? std::string() : fx.image.substr(slash + 1);
  auto effect = reinterpret_cast<SorvEffect>(BindPluginEntry(e, library, "Effect"));
  if (!effect) ReportError(e, "エラー", "エフェクトに指定したDLLが不正です");
  int32_t duration = fx.duration;
  if (e.effects.speed == 1) duration /= 2;
  if (skipping) duration /= 8;  // effectcut made the effect instant before we got here
  Rect r = TakeDirty(e);
  if (r.Empty() || e.scene.scene.Empty()) return;
  if (compose) ComposeRect(e, r);
  PluginCall call{&e, EffectClock(e)};
  SorvEffectHost host{sizeof(SorvEffectHost), e.scene.width, e.scene.height, e.scene.display.stride, &call,
                      HostPresent, HostPump, HostNow, HostSleep};
  const int32_t rect[4] = {r.left, r.top, r.right, r.bottom};
  effect(&host, e.scene.display.bits.data(), e.scene.scene.bits.data(), rect, parameters.c_str(), duration);
  FinishEffect(e, r, true);
}

// The ", duration[, image]" that makes a number an inline effect type;
// false when no comma follows the number.
bool ReadInlineEffect(Engine& e, int32_t& duration, std::string& image) {
  if (SkipBlanks(e) != ',') return false;
  ++e.script.pos;
  duration = ReadNumberArgument(e);
  if (SkipBlanks(e) == ',') {
    ++e.script.pos;
    ReadStringArgument(e, image);
  }
  return true;
}

// Entry n of the effect table; numbers outside it are undefined effects.
EffectRequest TableEffect(const Engine& e, int32_t n) {
  EffectRequest r;
  if (n < 0 || n >= kEffectSlots) {
    r.type = -1;
    return r;
  }
  const EffectEntry& entry = e.graphicsSettings.effects[static_cast<size_t>(n)];
  r.type = entry.type;
  r.duration = entry.duration;
  r.image = entry.image;
  return r;
}

}  // namespace

void RestoreEffectDefaults(Engine& e) {
  EffectState& st = e.effects;
  st.speed = 0;
  st.clickCut = true;
  st.windowEffect = WindowEffect{};
}

EffectRequest ReadEffectArgument(Engine& e) {
  EffectRequest r;
  int32_t n = ReadNumberArgument(e);
  // An inline effect: the number is the type itself.
  if (ReadInlineEffect(e, r.duration, r.image)) {
    r.type = n;
    return r;
  }
  return TableEffect(e, n);
}

namespace {

void RunEffectOn(Engine& e, const EffectRequest& request, bool compose) {
  EffectRequest fx = request;
  const EffectState& st = e.effects;
  bool skipping = SkippingText(e);
  bool cutBySkip = skipping && e.graphicsSettings.effectCut;
  if (fx.type == 99) {
    if (st.speed != 2 && !cutBySkip) return RunPluginEffect(e, fx, skipping, compose);
    fx.type = 1;
  }
  if (fx.type == -1) ReportError(e, "エラー", "未定義のエフェクトを使いました");
  if (fx.type == 0) return;
  if (st.speed == 1) fx.duration /= 2;
  if (st.speed == 2) fx.type = 1;
  if ((fx.type == 15 || fx.type == 18) && fx.image.empty()) {
    ReportError(e, "エラー", "エフェクトの三番目の画像指定がありません。");
  }
  if (skipping && st.clickCut) {
    if (e.graphicsSettings.effectCut) {
      fx.type = 1;
    } else {
      fx.duration /= 8;
    }
  }
  if (!IsBuiltInTransition(fx.type)) {
    if (e.platform) {
      e.platform->ShowMessageBox("エラー", "不正なエフェクト番号です。EFFECT命令をチェックしてください。",
                                 platform::MessageBoxButtons::Ok, platform::MessageBoxIcon::Error);
    }
    fx.type = 1;
  }
  Rect r = TakeDirty(e);
  if (r.Empty() || e.scene.scene.Empty()) return;
  if (compose) ComposeRect(e, r);
  Rect shown = RunTransition(e, fx, r);
  FinishEffect(e, shown, fx.type != 1);
}

}  // namespace

void RunEffect(Engine& e, const EffectRequest& request) { RunEffectOn(e, request, true); }

void RunEffectOverScene(Engine& e, const EffectRequest& request) {
  MarkAllDirty(e);
  RunEffectOn(e, request, false);
}

void ReadAndRunEffect(Engine& e) { RunEffect(e, ReadEffectArgument(e)); }

EffectRequest WindowEffectRequest(const Engine& e) {
  const WindowEffect& w = e.effects.windowEffect;
  EffectRequest r;
  if (w.inlineForm) {
    r.type = w.number;
    r.duration = w.duration;
    r.image = w.image;
    return r;
  }
  return TableEffect(e, w.number);
}

void Cmd_effectskip(Engine& e) { e.effects.clickCut = ReadNumberArgument(e) != 0; }

void Cmd_seteffectspeed(Engine& e) { e.effects.speed = ReadNumberArgument(e); }

void Cmd_geteffectspeed(Engine& e) {
  int32_t var = ReadIntVarTarget(e, "geteffectspeedの引数は数字変数です。");
  StoreIntLimited(e, var, e.effects.speed);
}

// windoweffect n[, duration[, image]]: the effect argument the text window
// uses when it is shown or hidden.
void Cmd_windoweffect(Engine& e) {
  WindowEffect w;
  w.number = ReadNumberArgument(e);
  w.inlineForm = ReadInlineEffect(e, w.duration, w.image);
  e.effects.windowEffect = std::move(w);
}

}  // namespace sorv
