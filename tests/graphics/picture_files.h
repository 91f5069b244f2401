// Pictures made by the tests: surfaces drawn from a function and the PNG and
// JPEG files of them, so no test reads a picture of unknown origin.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "graphics/surface.h"

namespace sorv::test {

// A 24-bit surface whose pixel (x, y counted from the top) is rgb(x, y).
Surface MakePicture(int32_t w, int32_t h, const std::function<uint32_t(int32_t x, int32_t y)>& rgb);
// Colour of pixel (x, y from the top) of a 24-bit surface as 0xRRGGBB.
uint32_t At(const Surface& s, int32_t x, int32_t y);
// An 8-bit surface with palette entry i = (i, 255 - i, i / 2) and index (x + y) % 256.
Surface MakePaletted(int32_t w, int32_t h);

// PNG of rgba(x, y) = 0xAARRGGBB.
std::vector<uint8_t> EncodePng(int32_t w, int32_t h, const std::function<uint32_t(int32_t, int32_t)>& argb);
std::vector<uint8_t> EncodeJpeg(const Surface& s, int quality = 95);

std::string Bytes(const std::vector<uint8_t>& v);

}  // namespace sorv::test
