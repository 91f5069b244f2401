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

// With `wholeOnly` (full screen) any whole factor that fits is taken, 1
// included: a picture smaller than the screen sits unscaled in the middle,
// as a game expects of its full-screen mode.
inline Viewport FitViewport(int outWidth, int outHeight, int frameWidth, int frameHeight, bool wholeOnly = false) {
  Viewport v;
  if (outWidth <= 0 || outHeight <= 0 || frameWidth <= 0 || frameHeight <= 0) {
    v.w = std::max(outWidth, 0);
    v.h = std::max(outHeight, 0);
    return v;
  }
  int factor = std::min(outWidth / frameWidth, outHeight / frameHeight);
  if (factor >= 2 || (wholeOnly && factor >= 1)) {
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

namespace sorv::platform {

// The one mapping from a window point to the game: the picture and the menu
// strip above it (`band` rows, 0 when hidden) are scaled together into the
// window. The point lands on game pixel (gx, gy), gy negative over the
// strip; false when it lies on the black bars or outside the window.
inline bool WindowToGame(int windowWidth, int windowHeight, int gameWidth, int gameHeight, int band, bool wholeOnly,
                         int wx, int wy, int& gx, int& gy) {
  int frameHeight = gameHeight + std::max(band, 0);
  Viewport v = FitViewport(windowWidth, windowHeight, gameWidth, frameHeight, wholeOnly);
  bool inside = OutputToFrame(v, gameWidth, frameHeight, wx, wy, gx, gy);
  gy -= std::max(band, 0);
  return inside;
}

}  // namespace sorv::platform
