// The scene: the layer state (background, standing images, sprites, rotating
// sprites, filters, gauges, numbers), the buffers the frame is composed in and
// shown from, and the drawing primitives that compose them.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "graphics/surface.h"
#include "graphics/tagged_image.h"

namespace sorv {

struct Engine;

constexpr int kSpriteSlots = 1000;
constexpr int kSprite2Slots = 256;
constexpr int kGaugeSlots = 100;
constexpr int kNumberSlots = 100;

// A rectangle in screen pixels counted from the top-left, right and bottom
// exclusive. Empty when it has no width or no height.
struct Rect {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
  bool Empty() const { return right <= left || bottom <= top; }
  Rect Intersect(const Rect& o) const;
  Rect Union(const Rect& o) const;  // an empty side is ignored
};

enum StandingPos { kStandLeft = 0, kStandCentre = 1, kStandRight = 2 };

struct StandingImage {
  std::string tag;  // empty = none
  TaggedImage image;
  int32_t x = 0, y = 0;
  int32_t opacity = -1;  // tal; -1 = opaque. Kept for the position across loads
};

struct Sprite {
  std::string tag;  // empty = slot not loaded
  int32_t x = -1000, y = -1000;
  bool visible = false;
  TaggedImage image;  // its opacity field is the sprite's opacity (-1 = opaque)
};

enum Sprite2Blend { kBlendNormal = 0, kBlendAdd = 1, kBlendSubtract = 2 };

struct Sprite2 {
  int32_t cx = 0, cy = 0;
  int32_t scaleX = 100, scaleY = 100;
  int32_t rotation = 0;
  std::string tag;
  bool visible = false;
  int32_t blend = kBlendNormal;
  TaggedImage image;  // opacity 0..255
};

struct Gauge {
  int32_t x = -1, y = 0, width = 0, height = 0, value = 0, maximum = 0, colour = 0;
};

struct NumberDisplay {
  int32_t value = 0, x = -1, y = 0, charWidth = 0, charHeight = 0, colour = 0;
};

// Sprites whose tag is "*n" are drawn by plug-in draw callback n; its timer
// call answers whether the whole screen must be refreshed. Installed by the
// plug-in code; unset hooks draw nothing.
struct SceneHooks {
  std::function<void(Engine&, int32_t callback, Surface& target, const Rect& clip, int32_t sprite)> drawPluginSprite;
  std::function<bool(Engine&, int32_t callback, int32_t sprite)> pluginSpriteTimer;
};

struct SceneState {
  int32_t width = 0, height = 0;
  Surface scene;    // the back buffer the layers are composed into
  Surface display;  // what the window shows

  TaggedImage background;      // always drawn as COPY
  std::string backgroundName;  // the bg argument last given ("*bgcpy" after bgcopy)

  std::array<StandingImage, 3> standing;
  std::array<int32_t, 3> standingCentre{};
  int32_t baseLine = 0;
  std::string humanOrder;  // "l", "c", "r" front to back; empty = default

  std::vector<Sprite> sprites = std::vector<Sprite>(kSpriteSlots);
  std::vector<Sprite2> sprite2 = std::vector<Sprite2>(kSprite2Slots);
  int32_t hideFirst = 9999, hideLast = -9999;  // sphide range; none by default
  bool allSpHide = false, allSp2Hide = false;

  int32_t nega = 0;  // 0 off, 1 before the monochrome step, 2 after it
  bool monochrome = false;
  int32_t monochromeTint = 0xFFFFFF;

  std::array<Gauge, kGaugeSlots> gauges{};
  std::array<NumberDisplay, kNumberSlots> numbers{};

  Rect dirty;  // what the next effect recomposes
  SceneHooks hooks;
  bool idleInstalled = false;
};

// --- buffers and composition (scene.cpp) ---

// Re-creates the screen-sized buffers for the current screen size.
void RecreateSurfaces(Engine& e);
// Resets layers to their defaults and shows black.
void ResetScene(Engine& e);
// Hands the display buffer to the window.
void PresentDisplay(Engine& e);
// Marks a rectangle for the next composition (clipped to the screen).
void MarkDirty(Engine& e, const Rect& r);
void MarkAllDirty(Engine& e);
// Composes the layers over `r` (clipped to the screen) into the scene buffer.
void ComposeRect(Engine& e, const Rect& r);
// Copies the scene buffer into the display buffer for `r`.
void CopySceneToDisplay(Engine& e, const Rect& r);

// Screen rectangle a sprite covers (its current cell at its position).
Rect SpriteRect(const Sprite& s);
Rect StandingRect(const StandingImage& s);
Rect Sprite2Rect(const Sprite2& s);

// Cell animation of the idle step: advances every visible animated sprite
// whose time has come. Returns the screen area that changed.
Rect AnimateCells(Engine& e, uint32_t now);
// The idle step's share: animates the cells and shows what changed.
void SceneIdle(Engine& e);
// Whether sprite n's animation has not reached its end (spwait).
bool SpriteAnimating(Engine& e, int32_t n, uint32_t& cellMs);

// --- primitives (draw.cpp) ---

// Draws the current cell of `image` with its top-left at (x, y), clipped to
// `clip` and the target.
void DrawImage(const TaggedImage& image, Surface& target, int32_t x, int32_t y, const Rect& clip);
// Rotating and scaling draw about the centre (cx, cy), blended 0 normal,
// 1 add, 2 subtract.
void DrawImageTransformed(int32_t rotation, const TaggedImage& image, Surface& target, int32_t cx, int32_t cy,
                          int32_t scaleX, int32_t scaleY, int32_t blend, const Rect& clip);
// The 2 x 2 matrix draw (entries in thousandths) about (x, y) with the ALPHA rule.
void DrawImageMatrix(const TaggedImage& image, Surface& target, int32_t x, int32_t y, int32_t a, int32_t b,
                     int32_t c, int32_t d, const Rect& clip);
// The colour filters on a rectangle of a 24-bit surface.
void NegateRect(Surface& s, const Rect& r);
void MonochromeRect(Surface& s, const Rect& r, int32_t tint);
void FillRect(Surface& s, const Rect& r, int32_t colour);
// Copies a rectangle from one 24-bit surface of equal size to another.
void CopyRect(const Surface& from, Surface& to, const Rect& r);

// The text window over `r` of `target` (its background and the page's
// text) when it is shown.
void DrawTextWindowLayer(Engine& e, Surface& target, const Rect& r);
// Draws the text of a text sprite (an image tag's colon-s form) into its
// picture: per colour a colour half and a mask half.
void RenderTextSprite(Engine& e, TaggedImage& image);

// A text sprite laid out on a grid of columns x rows glyph cells (strsp).
struct StringSpriteLayout {
  std::string text;  // Shift-JIS
  int32_t columns = 1, rows = 1;
  int32_t glyphW = 26, glyphH = 26, pitchX = 0, pitchY = 0;
  bool bold = false, shadow = false;
  std::vector<int32_t> colours;  // one cell each; white when none are given
};
// Builds the picture of `layout` into `image` (premultiplied colour half and
// mask half per colour, as text sprites are drawn). False when the size is
// beyond the engine's limits.
bool RenderStringSprite(Engine& e, TaggedImage& image, const StringSpriteLayout& layout);

}  // namespace sorv
