// 24-bit bottom-up Windows bitmap files: the slots' background copies and
// the screenshots of savescreenshot.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "graphics/surface.h"

namespace sorv {

// The whole file for a surface (converted to 24 bits when it is not).
std::vector<uint8_t> BitmapFileBytes(const Surface& s);
// Reads a file written by BitmapFileBytes (any 24-bit uncompressed bitmap);
// false for anything else.
bool ReadBitmapFile(const std::string& path, Surface& out);
bool ParseBitmapFile(const uint8_t* data, size_t size, Surface& out);

}  // namespace sorv
