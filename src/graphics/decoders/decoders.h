// The picture decoders, working on bytes in memory so that loose files and
// archive ranges take the same path. Each fills a new surface and returns
// false when the data is damaged or describes a picture larger than the
// engine allows; the caller owns the message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "graphics/surface.h"

namespace sorv {

// A BMP file image: 14-byte file header, info header, palette, pixels.
// Keeps the file's own depth and palette.
bool DecodeBmp(const uint8_t* data, size_t size, Surface& out);
// SPB, the engine's compact lossless format. Always 24-bit.
bool DecodeSpb(const uint8_t* data, size_t size, Surface& out);
// PNG. With `alpha` the surface is twice as wide: every one of `cells`
// cells is followed by its mask (255 - PNG alpha, so opaque is black).
bool DecodePng(const uint8_t* data, size_t size, bool alpha, int32_t cells, Surface& out);
// JPEG (baseline, progressive, grey or colour) to 24 bits.
bool DecodeJpeg(const uint8_t* data, size_t size, Surface& out);

// Writers for the archive packer and the tests.
std::vector<uint8_t> EncodeBmp(const Surface& s);
// SPB of a 24-bit surface.
std::vector<uint8_t> EncodeSpb(const Surface& s);

}  // namespace sorv
