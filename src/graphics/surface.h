// The bitmap record every picture lives in: a device-independent bitmap with
// its headers and palette. Rows are bottom-up (the first row in memory is the
// bottom line of the picture); 24-bit pixels are stored blue, green, red.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sorv {

struct BitmapInfoHeader {
  uint32_t size = 40;
  int32_t width = 0;
  int32_t height = 0;  // positive: bottom-up rows
  uint16_t planes = 1;
  uint16_t bitCount = 24;
  uint32_t compression = 0;
  uint32_t sizeImage = 0;
  int32_t xPelsPerMeter = 0;
  int32_t yPelsPerMeter = 0;
  uint32_t clrUsed = 0;
  uint32_t clrImportant = 0;
};

struct RgbQuad {
  uint8_t blue = 0, green = 0, red = 0, reserved = 0;
};

// Pictures larger than this are refused whatever their source claims: a
// header of a few bytes must not make the engine allocate gigabytes.
constexpr int32_t kMaxSurfaceSide = 32767;
constexpr uint64_t kMaxSurfaceBytes = 256ull << 20;

struct Surface {
  uint8_t fileHeader[14] = {};  // as read from a BMP file; not used after loading
  BitmapInfoHeader info;
  std::vector<RgbQuad> palette;
  std::vector<uint8_t> bits;
  int32_t width = 0, height = 0;
  int32_t stride = 0;    // bytes a row, a multiple of 4
  int32_t bitsSize = 0;  // stride x height
  int32_t paletteCount = 0;

  bool Empty() const { return bits.empty(); }
  int BitCount() const { return info.bitCount; }
  // Row y counted from the bottom of the picture (the order in memory).
  uint8_t* Row(int32_t y) { return bits.data() + static_cast<size_t>(y) * static_cast<size_t>(stride); }
  const uint8_t* Row(int32_t y) const {
    return bits.data() + static_cast<size_t>(y) * static_cast<size_t>(stride);
  }
  // Row y counted from the top, as pictures are usually described.
  uint8_t* TopRow(int32_t y) { return Row(height - 1 - y); }
  const uint8_t* TopRow(int32_t y) const { return Row(height - 1 - y); }
  void Release();
};

// Bytes a row of `width` pixels of `bitCount` bits takes, rounded up to 4.
int64_t RowStride(int bitCount, int64_t width);
// Palette entries a header implies: 2, 16 or 256 for 1, 4 and 8 bits, none
// above, overridden by the colours-used count when that is non-zero.
uint32_t PaletteEntries(const BitmapInfoHeader& info);
// Whether a picture of this size and depth stays within the engine's limits.
bool SurfaceSizeAllowed(int64_t width, int64_t height, int bitCount);

// A blank (black) 24-bit surface; false when the size is not allowed, in
// which case the surface is left empty.
bool CreateSurface(Surface& s, int32_t width, int32_t height);
// A blank surface of any depth with `paletteEntries` palette entries.
bool CreateSurfaceDepth(Surface& s, int32_t width, int32_t height, int bitCount, uint32_t paletteEntries);

// Colour of pixel (x, y from the bottom) of a surface of any depth, as
// blue, green, red bytes.
void PixelColour(const Surface& s, int32_t x, int32_t y, uint8_t bgr[3]);
// A 24-bit copy of a surface of any depth (1/4/8/16/24/32 bits).
bool ConvertTo24(const Surface& src, Surface& dst);

}  // namespace sorv
