// Where the game's picture sits in a window of any size: scaled to fit with
// its aspect ratio kept (black bars elsewhere), by a whole factor once the
// window is at least twice the picture so pixels stay square and sharp.
// Kept free of SDL so the arithmetic can be tested on its own.
#pragma once

#include <algorithm>
#include <cstdint>

namespace sorv::platform {

struct Viewport {
  int x = 0, y = 0, w = 0, h = 0;  // the picture's rectangle in the output
  bool exact = false;              // a whole-number scale: sample the nearest pixel
};

inline Viewport FitViewport(int outWidth, int outHeight, int frameWidth, int frameHeight) {
  Viewport v;
  if (outWidth <= 0 || outHeight <= 0 || frameWidth <= 0 || frameHeight <= 0) {
    v.w = std::max(outWidth, 0);
    v.h = std::max(outHeight, 0);
    return v;
  }
  int factor = std::min(outWidth / frameWidth, outHeight / frameHeight);
  if (factor >= 2) {
    v.w = frameWidth * factor;
    v.h = frameHeight * factor;
    v.exact = true;
  } else if (int64_t{outWidth} * frameHeight <= int64_t{outHeight} * frameWidth) {
    v.w = outWidth;
    v.h = static_cast<int>((int64_t{outWidth} * frameHeight + frameWidth / 2) / frameWidth);
  } else {
    v.h = outHeight;
    v.w = static_cast<int>((int64_t{outHeight} * frameWidth + frameHeight / 2) / frameHeight);
  }
  v.w = std::max(v.w, 1);
  v.h = std::max(v.h, 1);
  if (!v.exact) v.exact = v.w == frameWidth && v.h == frameHeight;
  v.x = (outWidth - v.w) / 2;
  v.y = (outHeight - v.h) / 2;
  return v;
}

// Maps a point of the output to the picture's pixel under it, clamped to the
// picture; returns false when the point lies on the black bars or outside.
inline bool OutputToFrame(const Viewport& v, int frameWidth, int frameHeight, int ox, int oy, int& fx,
                          int& fy) {
  auto floorDiv = [](int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); };
  int64_t x = v.w > 0 ? floorDiv(int64_t{ox - v.x} * frameWidth, v.w) : 0;
  int64_t y = v.h > 0 ? floorDiv(int64_t{oy - v.y} * frameHeight, v.h) : 0;
  bool inside = x >= 0 && y >= 0 && x < frameWidth && y < frameHeight;
  fx = static_cast<int>(std::clamp<int64_t>(x, 0, std::max(frameWidth - 1, 0)));
  fy = static_cast<int>(std::clamp<int64_t>(y, 0, std::max(frameHeight - 1, 0)));
  return inside;
}

}  // namespace sorv::platform
