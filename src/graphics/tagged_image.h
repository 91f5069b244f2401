// A picture as the scene uses it: a surface plus what its image tag asked
// for (transparency, opacity, colour key, animation cells).
#pragma once

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "graphics/surface.h"

namespace sorv {

// How a cell's pixels are made transparent when it is composed.
enum TransMode : int32_t {
  kTransLeftUp = 0,   // the top-left pixel's colour is transparent
  kTransAlpha = 1,    // each cell carries a mask half on its right
  kTransSelect = 2,   // a given colour (or palette index) is transparent
  kTransCopy = 3,     // opaque
  kTransRightUp = 4,  // the top-right pixel's colour is transparent
};

constexpr int32_t kCellTimeList = -1;         // per-cell times in cellTimes
constexpr int32_t kCellNeverAdvance = INT_MAX;

// The text form of a tag (colon, s): what it asks to draw. The glyphs are
// drawn by the text window's code; the loader only keeps the request.
struct TextSpriteSpec {
  bool sized = false;        // a /w,h,p[,s]; part was written
  int32_t width = 0, height = 0, pitch = 0;
  int32_t style = -1;        // -1: the engine-wide text-sprite style
  std::vector<int32_t> colours;  // 0xRRGGBB, one cell each
  std::string text;          // Shift-JIS bytes
};

struct TaggedImage {
  std::string tag;  // the image tag loaded; empty = nothing loaded
  uint32_t loadTime = 0;
  int32_t animationStep = 1;
  int32_t keyRed = 0, keyGreen = 0, keyBlue = 0;
  int32_t keyIndex = 0;
  Surface surface;
  bool textSprite = false;
  int32_t transMode = kTransCopy;
  int32_t opacity = -1;  // -1: drawn without blending
  int32_t currentCell = 0;
  int32_t cellCount = 1;
  int32_t cellTime = kCellNeverAdvance;
  std::vector<int32_t> cellTimes;
  int32_t animationMode = 0;
  TextSpriteSpec textSpriteSpec;

  bool HasSurface() const { return !surface.Empty(); }
  // Width of one cell as shown (the mask half of ALPHA cells excluded).
  int32_t CellWidth() const;
  // Releases the pixels and returns every field to its cleared state.
  void Clear();
};

}  // namespace sorv
