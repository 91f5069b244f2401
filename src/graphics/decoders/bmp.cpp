// BMP files: headers, palette and uncompressed pixels, in the file's own depth.
#include <cstring>

#include "graphics/decoders/decoders.h"

namespace sorv {
namespace {

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
void Put16(std::vector<uint8_t>& v, uint32_t x) {
  v.push_back(static_cast<uint8_t>(x));
  v.push_back(static_cast<uint8_t>(x >> 8));
}
void Put32(std::vector<uint8_t>& v, uint32_t x) {
  Put16(v, x & 0xFFFF);
  Put16(v, x >> 16);
}

BitmapInfoHeader ReadInfo(const uint8_t* p) {
  BitmapInfoHeader h;
  h.size = Le32(p);
  h.width = static_cast<int32_t>(Le32(p + 4));
  h.height = static_cast<int32_t>(Le32(p + 8));
  h.planes = Le16(p + 12);
  h.bitCount = Le16(p + 14);
  h.compression = Le32(p + 16);
  h.sizeImage = Le32(p + 20);
  h.xPelsPerMeter = static_cast<int32_t>(Le32(p + 24));
  h.yPelsPerMeter = static_cast<int32_t>(Le32(p + 28));
  h.clrUsed = Le32(p + 32);
  h.clrImportant = Le32(p + 36);
  return h;
}

bool KnownDepth(int bits) { return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32; }

}  // namespace

bool DecodeBmp(const uint8_t* data, size_t size, Surface& out) {
  if (size < 54) return false;
  BitmapInfoHeader info = ReadInfo(data + 14);
  if (!KnownDepth(info.bitCount)) return false;
  // Later header versions (108 and 124 bytes) put the palette behind their
  // larger header; reading it at byte 54 would take header fields as colours.
  if (info.size < 40 || info.size > size - 14) return false;
  bool topDown = info.height < 0;
  int64_t height = topDown ? -static_cast<int64_t>(info.height) : info.height;
  if (!SurfaceSizeAllowed(info.width, height, info.bitCount)) return false;

  uint64_t entries = PaletteEntries(info);
  uint64_t at = 14 + static_cast<uint64_t>(info.size);
  if (entries * 4 > size - at) return false;
  uint64_t stride = static_cast<uint64_t>(RowStride(info.bitCount, info.width));
  uint64_t pixelBytes = stride * static_cast<uint64_t>(height);
  uint64_t pixelsAt = at + entries * 4;
  if (info.compression == 0 && pixelBytes > size - pixelsAt) return false;

  Surface s;
  uint32_t kept = entries > 256 ? 256 : static_cast<uint32_t>(entries);
  if (!CreateSurfaceDepth(s, info.width, static_cast<int32_t>(height), info.bitCount, kept)) return false;
  std::memcpy(s.fileHeader, data, 14);
  info.size = 40;
  info.height = static_cast<int32_t>(height);
  s.info = info;
  for (uint32_t i = 0; i < kept; ++i) {
    const uint8_t* q = data + at + i * 4;
    s.palette[i] = RgbQuad{q[0], q[1], q[2], q[3]};
  }
  // Only uncompressed pixels are read; other compressions leave the picture black.
  if (info.compression == 0) {
    for (int32_t y = 0; y < s.height; ++y) {
      int32_t fileRow = topDown ? s.height - 1 - y : y;
      std::memcpy(s.Row(y), data + pixelsAt + static_cast<uint64_t>(fileRow) * stride, stride);
    }
  }
  out = std::move(s);
  return true;
}

std::vector<uint8_t> EncodeBmp(const Surface& s) {
  std::vector<uint8_t> v;
  uint32_t paletteBytes = static_cast<uint32_t>(s.palette.size()) * 4;
  uint32_t offBits = 54 + paletteBytes;
  v.reserve(offBits + s.bits.size());
  v.push_back('B');
  v.push_back('M');
  Put32(v, offBits + static_cast<uint32_t>(s.bits.size()));
  Put32(v, 0);
  Put32(v, offBits);
  Put32(v, 40);
  Put32(v, static_cast<uint32_t>(s.width));
  Put32(v, static_cast<uint32_t>(s.height));
  Put16(v, 1);
  Put16(v, static_cast<uint32_t>(s.BitCount()));
  Put32(v, 0);
  Put32(v, static_cast<uint32_t>(s.bits.size()));
  Put32(v, 2835);
  Put32(v, 2835);
  Put32(v, s.BitCount() <= 8 ? static_cast<uint32_t>(s.palette.size()) : 0);
  Put32(v, 0);
  for (const RgbQuad& q : s.palette) {
    v.push_back(q.blue);
    v.push_back(q.green);
    v.push_back(q.red);
    v.push_back(0);
  }
  v.insert(v.end(), s.bits.begin(), s.bits.end());
  return v;
}

}  // namespace sorv
