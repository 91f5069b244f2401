#include "graphics/surface.h"

#include <cstring>

#include "graphics/tagged_image.h"
#include "platform/memory_budget.h"

namespace sorv {

void Surface::Release() { *this = Surface{}; }

int64_t RowStride(int bitCount, int64_t width) { return ((bitCount * width + 31) / 32) * 4; }

uint32_t PaletteEntries(const BitmapInfoHeader& info) {
  if (info.clrUsed != 0) return info.clrUsed;
  switch (info.bitCount) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;
  }
}

bool SurfaceSizeAllowed(int64_t width, int64_t height, int bitCount) {
  if (width < 1 || height < 1 || width > kMaxSurfaceSide || height > kMaxSurfaceSide) return false;
  return static_cast<uint64_t>(RowStride(bitCount, width) * height) <= kMaxSurfaceBytes;
}

bool CreateSurfaceDepth(Surface& s, int32_t width, int32_t height, int bitCount, uint32_t paletteEntries) {
  // A surface made again keeps its pixel storage when that is large enough
  // and not more than twice the size: a picture decoded over the last one
  // then faults in no fresh pages.
  std::vector<uint8_t> storage = std::move(s.bits);
  s.Release();
  if (!SurfaceSizeAllowed(width, height, bitCount) || paletteEntries > 256) return false;
  const size_t bytes = static_cast<size_t>(RowStride(bitCount, width) * height);
  if (storage.capacity() >= bytes && storage.capacity() / 2 <= bytes) {
    s.bits = std::move(storage);  // nothing new is allocated
  } else {
    storage = std::vector<uint8_t>();  // the old storage goes before the new is counted
    platform::ReserveMemory(bytes);
  }
  s.info.width = width;
  s.info.height = height;
  s.info.bitCount = static_cast<uint16_t>(bitCount);
  s.width = width;
  s.height = height;
  s.stride = static_cast<int32_t>(RowStride(bitCount, width));
  s.bitsSize = s.stride * height;
  s.info.sizeImage = static_cast<uint32_t>(s.bitsSize);
  s.paletteCount = static_cast<int32_t>(paletteEntries);
  s.palette.assign(paletteEntries, RgbQuad{});
  s.bits.assign(bytes, 0);
  return true;
}

bool CreateSurface(Surface& s, int32_t width, int32_t height) { return CreateSurfaceDepth(s, width, height, 24, 0); }

void PixelColour(const Surface& s, int32_t x, int32_t y, uint8_t bgr[3]) {
  const uint8_t* row = s.Row(y);
  auto fromPalette = [&](uint32_t index) {
    RgbQuad q = index < s.palette.size() ? s.palette[index] : RgbQuad{};
    bgr[0] = q.blue;
    bgr[1] = q.green;
    bgr[2] = q.red;
  };
  switch (s.BitCount()) {
    case 1: fromPalette((row[x / 8] >> (7 - x % 8)) & 1); break;
    case 4: fromPalette((row[x / 2] >> (x % 2 ? 0 : 4)) & 15); break;
    case 8: fromPalette(row[x]); break;
    case 16: {
      // 5-5-5, the layout of an uncompressed 16-bit bitmap.
      unsigned v = row[x * 2] | (row[x * 2 + 1] << 8);
      bgr[0] = static_cast<uint8_t>((v & 31) * 255 / 31);
      bgr[1] = static_cast<uint8_t>(((v >> 5) & 31) * 255 / 31);
      bgr[2] = static_cast<uint8_t>(((v >> 10) & 31) * 255 / 31);
      break;
    }
    case 32: std::memcpy(bgr, row + x * 4, 3); break;
    default: std::memcpy(bgr, row + x * 3, 3); break;
  }
}

bool ConvertTo24(const Surface& src, Surface& dst) {
  Surface out;
  if (src.Empty() || !CreateSurface(out, src.width, src.height)) return false;
  for (int32_t y = 0; y < src.height; ++y) {
    uint8_t* row = out.Row(y);
    for (int32_t x = 0; x < src.width; ++x) PixelColour(src, x, y, row + x * 3);
  }
  dst = std::move(out);
  return true;
}

int32_t TaggedImage::CellWidth() const {
  int32_t cells = cellCount > 0 ? cellCount : 1;
  int32_t w = surface.width / cells;
  return transMode == kTransAlpha ? w / 2 : w;
}

void TaggedImage::Clear() { *this = TaggedImage{}; }

}  // namespace sorv
