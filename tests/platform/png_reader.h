// Reads a PNG back for the platform tests (8-bit RGB only, as the engine writes).
#pragma once

#include <png.h>

#include <cstdio>
#include <string>
#include <vector>

namespace sorv::platform::testing {

struct RgbImage {
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;  // top-down
  bool ok = false;
  uint32_t fileFormat = 0;  // PNG_FORMAT_* of the file as stored
  // Pixel (x, y) as 0xRRGGBB.
  uint32_t At(int x, int y) const {
    const uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
    return uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];
  }
};

inline RgbImage ReadPngRgb(const std::string& path) {
  RgbImage image;
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&png, path.c_str())) return image;
  image.fileFormat = png.format;
  png.format = PNG_FORMAT_RGB;
  image.width = static_cast<int>(png.width);
  image.height = static_cast<int>(png.height);
  image.rgb.resize(PNG_IMAGE_SIZE(png));
  image.ok = png_image_finish_read(&png, nullptr, image.rgb.data(), 0, nullptr) != 0;
  return image;
}

}  // namespace sorv::platform::testing
