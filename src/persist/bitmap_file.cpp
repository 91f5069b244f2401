#include "persist/bitmap_file.h"

#include <cstring>

#include "platform/fs.h"

namespace sorv {
namespace {

void Put16(std::vector<uint8_t>& v, size_t at, uint32_t x) {
  v[at] = static_cast<uint8_t>(x);
  v[at + 1] = static_cast<uint8_t>(x >> 8);
}
void Put32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
  Put16(v, at, x & 0xFFFF);
  Put16(v, at + 2, x >> 16);
}
uint32_t Get16(const uint8_t* p) { return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8; }
uint32_t Get32(const uint8_t* p) { return Get16(p) | Get16(p + 2) << 16; }

}  // namespace

std::vector<uint8_t> BitmapFileBytes(const Surface& src) {
  Surface converted;
  const Surface* s = &src;
  if (src.BitCount() != 24) {
    if (!ConvertTo24(src, converted)) return {};
    s = &converted;
  }
  const uint32_t stride = static_cast<uint32_t>(RowStride(24, s->width));
  const uint32_t image = stride * static_cast<uint32_t>(s->height);
  std::vector<uint8_t> out(54 + image, 0);
  out[0] = 'B';
  out[1] = 'M';
  Put32(out, 2, 54 + image);
  Put32(out, 10, 54);
  Put32(out, 14, 40);
  Put32(out, 18, static_cast<uint32_t>(s->width));
  Put32(out, 22, static_cast<uint32_t>(s->height));
  Put16(out, 26, 1);
  Put16(out, 28, 24);
  Put32(out, 34, image);
  for (int32_t y = 0; y < s->height; ++y) {
    std::memcpy(out.data() + 54 + static_cast<size_t>(y) * stride, s->Row(y), static_cast<size_t>(s->width) * 3);
  }
  return out;
}

bool ParseBitmapFile(const uint8_t* d, size_t size, Surface& out) {
  if (size < 54 || d[0] != 'B' || d[1] != 'M') return false;
  const uint32_t offset = Get32(d + 10);
  const int32_t w = static_cast<int32_t>(Get32(d + 18)), h = static_cast<int32_t>(Get32(d + 22));
  if (Get32(d + 14) < 40 || Get16(d + 28) != 24 || Get32(d + 30) != 0 || w <= 0 || h <= 0) return false;
  if (!SurfaceSizeAllowed(w, h, 24)) return false;
  const uint64_t stride = static_cast<uint64_t>(RowStride(24, w));
  if (offset > size || size - offset < stride * static_cast<uint64_t>(h)) return false;
  Surface s;
  if (!CreateSurface(s, w, h)) return false;
  for (int32_t y = 0; y < h; ++y) {
    std::memcpy(s.Row(y), d + offset + static_cast<size_t>(y) * stride, static_cast<size_t>(w) * 3);
  }
  out = std::move(s);
  return true;
}

bool ReadBitmapFile(const std::string& path, Surface& out) {
  auto data = platform::ReadWholeFile(path, kMaxSurfaceBytes + 1024);
  return data && ParseBitmapFile(reinterpret_cast<const uint8_t*>(data->data()), data->size(), out);
}

}  // namespace sorv
