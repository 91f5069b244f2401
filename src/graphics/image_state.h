// Image loading settings of the *define block and the loader's own state.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "graphics/tagged_image.h"

namespace sorv {

struct Engine;

constexpr int kMaxImagePlugins = 50;

// Draws a text sprite into `image` (sized and filled by the text window's
// glyph code). Without one, text sprites are made blank at their size.
using TextSpriteRenderer = void (*)(Engine& e, TaggedImage& image);

struct ImageState {
  bool jpegMode = false;     // jpegmode: missing pictures are retried as .jpg, quietly
  bool noLoadError = false;  // noloaderror: missing files are not reported
  int32_t defaultTransMode = kTransLeftUp;  // transmode
  std::vector<std::string> plugins;         // spi: "plug-in file|extension"

  // Set while the engine loads its own cursor images: a missing file then
  // gives a 2 x 2 blank picture instead of a message.
  bool loadingCursor = false;
  // JPEG entries of SVA archives are decoded in memory until that fails
  // once; from then on they go through a temporary file.
  bool jpegInMemory = true;

  int32_t textSpriteStyle = 0;  // the style of text sprites that name none
  int32_t textSpriteFontWidth = 24, textSpriteFontHeight = 24;  // when the tag gives no size
  TextSpriteRenderer renderTextSprite = nullptr;
};

}  // namespace sorv
