// PNG through libpng's simplified reader, which handles every colour type
// and depth and reports damaged or truncated data as a failure.
#include <png.h>

#include <cstring>

#include "graphics/decoders/decoders.h"

namespace sorv {
namespace {

// Places the colour of PNG column x in the surface, and with a mask its
// coverage in the mask half of the cell the column belongs to.
void PutPixel(uint8_t* row, const uint8_t* bgra, int32_t x, bool alpha, int32_t cellWidth) {
  int32_t dst = x;
  if (alpha) {
    int32_t cell = x / cellWidth;
    dst = cell * cellWidth * 2 + x % cellWidth;
    uint8_t m = static_cast<uint8_t>(255 - bgra[3]);
    uint8_t* mask = row + (dst + cellWidth) * 3;
    mask[0] = mask[1] = mask[2] = m;
  }
  std::memcpy(row + dst * 3, bgra, 3);
}

}  // namespace

bool DecodePng(const uint8_t* data, size_t size, bool alpha, int32_t cells, Surface& out) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, data, size)) return false;
  int64_t w = image.width, h = image.height;
  int64_t surfaceWidth = alpha ? w * 2 : w;
  if (!SurfaceSizeAllowed(surfaceWidth, h, 32)) {
    png_image_free(&image);
    return false;
  }
  image.format = PNG_FORMAT_BGRA;
  std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
    png_image_free(&image);
    return false;
  }
  Surface s;
  if (!CreateSurface(s, static_cast<int32_t>(surfaceWidth), static_cast<int32_t>(h))) return false;
  if (cells < 1) cells = 1;
  int32_t cellWidth = static_cast<int32_t>(w / cells);
  if (cellWidth < 1) cellWidth = static_cast<int32_t>(w);
  int32_t shown = alpha ? cellWidth * (static_cast<int32_t>(w) / cellWidth) : static_cast<int32_t>(w);
  for (int32_t y = 0; y < s.height; ++y) {
    const uint8_t* src = pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(w) * 4;
    uint8_t* row = s.TopRow(y);
    // Columns beyond the last whole cell have no place in a masked layout.
    for (int32_t x = 0; x < shown; ++x) PutPixel(row, src + x * 4, x, alpha, cellWidth);
  }
  out = std::move(s);
  return true;
}

}  // namespace sorv
