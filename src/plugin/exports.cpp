// The functions the executable exports to native plug-ins. They work on the
// engine of the current run, which the shell names through
// PluginEngineScope. Nothing may unwind through a plug-in's C frames, so
// every error raised here is kept on the engine and raised again once the
// plug-in returns (RaisePluginError); until then further calls do nothing.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "archive/archive.h"
#include "graphics/image_load.h"
#include "graphics/scene.h"
#include "input/input.h"
#include "interp/error.h"
#include "interp/interp.h"
#include "lua/bridge.h"
#include "plugin/plugin.h"
#include "script/reader.h"
#include "script/script.h"
#include "shell/app.h"
#include "shell/engine.h"
#include "shell/window.h"
#include "sorv/plugin.h"

#define SORV_EXPORT extern "C" __attribute__((visibility("default")))

namespace sorv {

namespace {

Engine* g_pluginEngine = nullptr;

template <typename R, typename Fn>
R Guarded(R fallback, Fn&& fn) {
  Engine* e = g_pluginEngine;
  if (!e || e->plugins.pending) return fallback;
  try {
    return fn(*e);
  } catch (...) {
    e->plugins.pending = std::current_exception();
    return fallback;
  }
}

template <typename Fn>
void Guarded(Fn&& fn) {
  Guarded(0, [&](Engine& e) {
    fn(e);
    return 0;
  });
}

Rect ScreenRect(const Engine& e) { return Rect{0, 0, e.scene.width, e.scene.height}; }

// Handles stand for the scene and display buffers; anything else is not ours.
Surface* SurfaceOf(Engine& e, SorvDC dc) {
  Surface* s = reinterpret_cast<Surface*>(dc);
  if (s != &e.scene.scene && s != &e.scene.display) return nullptr;
  return s->Empty() ? nullptr : s;
}

Sprite* LoadedSprite(Engine& e, int32_t n) {
  if (n < 0 || n >= kSpriteSlots) return nullptr;
  Sprite& sp = e.scene.sprites[static_cast<size_t>(n)];
  if (!sp.image.HasSurface() || sp.image.surface.BitCount() != 24) return nullptr;
  return &sp;
}

// Copies `from` with its top-left corner at 0,0 of `to`, clipped to both.
void CopyAtOrigin(const Surface& from, Surface& to) {
  if (from.BitCount() != 24 || to.BitCount() != 24) return;
  int32_t w = std::min(from.width, to.width), h = std::min(from.height, to.height);
  if (w <= 0 || h <= 0) return;
  for (int32_t y = 0; y < h; ++y) std::memcpy(to.TopRow(y), from.TopRow(y), static_cast<size_t>(w) * 3);
}

void FillDisplay(Engine& e, int32_t colour) {
  if (!e.scene.display.Empty()) FillRect(e.scene.display, ScreenRect(e), colour);
}

// Draws the background as a single opaque cell, without copying its pixels.
void DrawBackgroundTransformed(Engine& e, int32_t cx, int32_t cy, int32_t xs, int32_t ys, int32_t rotation) {
  TaggedImage& bg = e.scene.background;
  if (!bg.HasSurface() || e.scene.display.Empty()) return;
  TaggedImage view;
  view.surface = std::move(bg.surface);
  view.transMode = kTransCopy;
  DrawImageTransformed(rotation, view, e.scene.display, cx, cy, xs, ys, kBlendNormal, ScreenRect(e));
  bg.surface = std::move(view.surface);
}

// Sets the cell and the alpha a plug-in asked for, clamped to what the
// sprite has.
void SetCellAndAlpha(Sprite& sp, int32_t cell, int32_t alpha) {
  sp.image.currentCell = std::clamp(cell, 0, std::max(sp.image.cellCount - 1, 0));
  sp.image.opacity = std::clamp(alpha, 0, 255);
}

void CopyPath(const std::string& path, char* out) {
  if (!out) return;
  size_t n = std::min<size_t>(path.size(), 255);
  std::memcpy(out, path.data(), n);
  out[n] = 0;
}

}  // namespace

PluginEngineScope::PluginEngineScope(Engine& e) : previous_(g_pluginEngine) { g_pluginEngine = &e; }
PluginEngineScope::~PluginEngineScope() { g_pluginEngine = previous_; }

}  // namespace sorv

using namespace sorv;

SORV_EXPORT SorvWindow SorvGetWindow(void) {
  return Guarded(SorvWindow{}, [](Engine& e) { return reinterpret_cast<SorvWindow>(e.platform); });
}

SORV_EXPORT void SorvGetWindowSize(int32_t* width, int32_t* height) {
  Guarded([&](Engine& e) {
    if (width) *width = e.screenWidth;
    if (height) *height = e.screenHeight;
  });
}

SORV_EXPORT SorvDC SorvGetSrcDC(void) {
  return Guarded(SorvDC{}, [](Engine& e) { return reinterpret_cast<SorvDC>(&e.scene.scene); });
}

SORV_EXPORT SorvDC SorvGetDestDC(void) {
  return Guarded(SorvDC{}, [](Engine& e) { return reinterpret_cast<SorvDC>(&e.scene.display); });
}

SORV_EXPORT int32_t SorvGetDCBits(SorvDC dc, SorvDIB* out) {
  if (!out) return 0;
  *out = SorvDIB{};
  return Guarded(0, [&](Engine& e) {
    Surface* s = SurfaceOf(e, dc);
    if (!s) return 0;
    *out = SorvDIB{s->width, s->height, 0, s->bits.data()};
    return 1;
  });
}

SORV_EXPORT void SorvUpdateSrcDC(void) {
  Guarded([](Engine& e) {
    if (!e.scene.scene.Empty()) ComposeRect(e, ScreenRect(e));
  });
}

SORV_EXPORT void SorvRefreshWindow(void) {
  Guarded([](Engine& e) { PresentDisplay(e); });
}

SORV_EXPORT int32_t SorvDoEvents(void) {
  return Guarded(1, [](Engine& e) {
    while (PumpMessageNoSleep(e)) {
    }
    return e.app.closeRequested ? 1 : 0;
  });
}

SORV_EXPORT int32_t SorvGetKey(const char* keyName) {
  if (!keyName) return 0;
  return Guarded(0, [&](Engine& e) {
    int key = KeyFromName(keyName);
    return key != 0 && KeyHeld(e, key) ? 1 : 0;
  });
}

SORV_EXPORT void SorvGetMouse(int32_t* x, int32_t* y) {
  Guarded([&](Engine& e) {
    const InputState& in = e.input;
    bool inside = e.platform && e.platform->HasFocus() && in.pointerX >= 0 && in.pointerY >= 0 &&
                  in.pointerX <= e.screenWidth && in.pointerY <= e.screenHeight;
    if (x) *x = inside ? in.pointerX : -1;
    if (y) *y = inside ? in.pointerY : -1;
  });
}

SORV_EXPORT void SorvSystemCall(const char* name) {
  Guarded([&](Engine& e) {
    if (!RunSystemCallName(e, name ? name : "")) ReportError(e, "エラー", "システムコールの文字列が不正です。");
  });
}

// One command line, run as if the script held it; the script position is
// given back afterwards unless the command jumped.
SORV_EXPORT int32_t SorvExecWord(const char* command) {
  return Guarded(0, [&](Engine& e) {
    if (!RunCommandLine(e, command ? command : "")) {
      ReportError(e, "エラー", "SorvExecWordに与える文字列が長すぎます。");
    }
    return 0;
  });
}

SORV_EXPORT void SorvGetFontType(char* name, int32_t* /*index*/) {
  if (!name) return;
  name[0] = 0;
  Guarded([&](Engine& e) {
    const std::string& face = e.textSettings.currentFace;
    size_t n = std::min<size_t>(face.size(), SORV_FACE_NAME_SIZE - 1);
    std::memcpy(name, face.data(), n);
    name[n] = 0;
  });
}

SORV_EXPORT void AllocDIB(SorvDIB* out, const char* imageTag) {
  if (!out) return;
  *out = SorvDIB{};
  if (!imageTag) return;
  Guarded([&](Engine& e) {
    TaggedImage image;
    try {
      LoadImage(e, image, imageTag);
    } catch (const ScriptError&) {
      return;  // an image that does not load gives an empty record
    }
    Surface s24;
    const Surface* s = &image.surface;
    if (s->Empty()) return;
    if (s->BitCount() != 24) {
      if (!ConvertTo24(*s, s24)) return;
      s = &s24;
    }
    auto* block = static_cast<uint8_t*>(std::malloc(s->bits.size()));
    if (!block) return;
    std::memcpy(block, s->bits.data(), s->bits.size());
    e.plugins.dibBlocks.insert(block);
    *out = SorvDIB{s->width, s->height, 0, block};
  });
}

// Only blocks AllocDIB handed out are freed: a sprite's own pixels from
// GetSpriteDIB, or a record freed twice, are left alone.
SORV_EXPORT void FreeDIB(SorvDIB* dib) {
  if (!dib || !dib->bits) return;
  Engine* e = g_pluginEngine;
  if (!e || e->plugins.dibBlocks.erase(dib->bits) == 0) return;
  std::free(dib->bits);
  dib->bits = nullptr;
}

SORV_EXPORT void GetSpriteDIB(int32_t sprite, SorvDIB* out) {
  if (!out) return;
  Guarded([&](Engine& e) {
    Sprite* sp = LoadedSprite(e, sprite);
    if (!sp) {
      out->width = 0;
      return;
    }
    Surface& s = sp->image.surface;
    *out = SorvDIB{s.width, s.height, 0, s.bits.data()};
  });
}

SORV_EXPORT int32_t GetSpriteCellNum(int32_t sprite) {
  return Guarded(0, [&](Engine& e) {
    Sprite* sp = LoadedSprite(e, sprite);
    return sp ? sp->image.cellCount : 0;
  });
}

SORV_EXPORT int32_t GetSpriteData(int32_t sprite, int32_t* cellWidth, int32_t* height, int32_t* cells) {
  return Guarded(0, [&](Engine& e) {
    Sprite* sp = LoadedSprite(e, sprite);
    int32_t w = sp ? sp->image.CellWidth() : 0, h = sp ? sp->image.surface.height : 0;
    int32_t n = sp ? sp->image.cellCount : 0;
    if (cellWidth) *cellWidth = w;
    if (height) *height = h;
    if (cells) *cells = n;
    return n;
  });
}

SORV_EXPORT void DrawClear(void) {
  Guarded([](Engine& e) { FillDisplay(e, 0); });
}

SORV_EXPORT void DrawFill(int32_t red, int32_t green, int32_t blue) {
  Guarded([&](Engine& e) { FillDisplay(e, (red & 0xFF) << 16 | (green & 0xFF) << 8 | (blue & 0xFF)); });
}

SORV_EXPORT void DrawBG(void) {
  Guarded([](Engine& e) {
    if (e.scene.background.HasSurface()) CopyAtOrigin(e.scene.background.surface, e.scene.display);
  });
}

SORV_EXPORT void DrawBG2(int32_t cx, int32_t cy, int32_t xScale, int32_t yScale, int32_t rotation) {
  Guarded([&](Engine& e) { DrawBackgroundTransformed(e, cx, cy, xScale, yScale, rotation); });
}

SORV_EXPORT void DrawSP(int32_t sprite, int32_t cell, int32_t alpha, int32_t x, int32_t y) {
  Guarded([&](Engine& e) {
    Sprite* sp = LoadedSprite(e, sprite);
    if (!sp || e.scene.display.Empty()) return;
    SetCellAndAlpha(*sp, cell, alpha);
    DrawImage(sp->image, e.scene.display, x, y, ScreenRect(e));
  });
}

SORV_EXPORT void DrawSP2(int32_t sprite, int32_t cell, int32_t alpha, int32_t cx, int32_t cy, int32_t xScale,
                         int32_t yScale, int32_t rotation) {
  Guarded([&](Engine& e) {
    Sprite* sp = LoadedSprite(e, sprite);
    if (!sp || e.scene.display.Empty()) return;
    SetCellAndAlpha(*sp, cell, alpha);
    DrawImageTransformed(rotation, sp->image, e.scene.display, cx, cy, xScale, yScale, kBlendNormal,
                         ScreenRect(e));
  });
}

// Cell and alpha are clamped here too: an unclamped cell would read beyond
// the sprite's pixels.
SORV_EXPORT void RenderSprite(int32_t sprite, int32_t cell, int32_t x, int32_t y, int32_t alpha) {
  Guarded([&](Engine& e) {
    Sprite* sp = LoadedSprite(e, sprite);
    if (!sp || e.scene.scene.Empty()) return;
    SetCellAndAlpha(*sp, cell, alpha);
    Rect area{x, y, x + sp->image.CellWidth(), y + sp->image.surface.height};
    DrawImage(sp->image, e.scene.scene, x, y, area.Intersect(ScreenRect(e)));
  });
}

SORV_EXPORT void BltBGTo(SorvDC dc) {
  Guarded([&](Engine& e) {
    Surface* to = SurfaceOf(e, dc);
    if (to && e.scene.background.HasSurface()) CopyAtOrigin(e.scene.background.surface, *to);
  });
}

SORV_EXPORT void BltSpriteTo(SorvDC dc, int32_t sprite) {
  Guarded([&](Engine& e) {
    Surface* to = SurfaceOf(e, dc);
    Sprite* sp = LoadedSprite(e, sprite);
    if (to && sp) CopyAtOrigin(sp->image.surface, *to);
  });
}

SORV_EXPORT int32_t SV2GetFile(const char* fileName, char* archivePath, int32_t* offset, int32_t* size) {
  if (!fileName) return 0;
  return Guarded(0, [&](Engine& e) {
    std::string archive;
    int32_t off = 0, n = 0;
    if (!sorv::SV2GetFile(e, fileName, archive, off, n)) return 0;
    CopyPath(archive, archivePath);
    if (offset) *offset = off;
    if (size) *size = n;
    return 1;
  });
}

SORV_EXPORT int32_t SVAGetFile(const char* fileName, int32_t* offset, int32_t* size, char* archivePath) {
  if (!fileName) return 0;
  return Guarded(0, [&](Engine& e) {
    std::string archive;
    int32_t off = 0, n = 0;
    if (!sorv::SVAGetFile(e, fileName, archive, off, n)) return 0;
    CopyPath(archive, archivePath);
    if (offset) *offset = off;
    if (size) *size = n;
    return 1;
  });
}
