// The effect entry point. Only the instant kinds are built here; every other
// transition is reported as not built by the one not-implemented message.
#include "graphics/effect.h"

#include "graphics/scene.h"
#include "interp/error.h"
#include "script/reader.h"
#include "shell/engine.h"

namespace sorv {

EffectRequest ReadEffectArgument(Engine& e) {
  EffectRequest r;
  int32_t n = ReadNumberArgument(e);
  if (SkipBlanks(e) == ',') {
    // An inline effect: the number is the type itself.
    ++e.script.pos;
    r.type = n;
    r.duration = ReadNumberArgument(e);
    if (SkipBlanks(e) == ',') {
      ++e.script.pos;
      ReadStringArgument(e, r.image);
    }
    return r;
  }
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

void RunEffect(Engine& e, const EffectRequest& effect) {
  if (effect.type == -1) ReportError(e, "エラー", "未定義のエフェクトを使いました");
  if (effect.type == 0) return;
  if (effect.type != 1) ReportNotImplemented(e, Format("effect %d", effect.type), "effects");
  SceneState& sc = e.scene;
  Rect r = sc.dirty;
  sc.dirty = Rect{};
  if (r.Empty()) return;
  ComposeRect(e, r);
  CopySceneToDisplay(e, r);
  PresentDisplay(e);
}

void ReadAndRunEffect(Engine& e) { RunEffect(e, ReadEffectArgument(e)); }

}  // namespace sorv
