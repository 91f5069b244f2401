// Image plug-ins: shared libraries exporting GetPicture, registered by `spi`
// as "plug-in file|extension".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "graphics/surface.h"

extern "C" {
// Decodes a picture. With flags bit 0 clear, `buf` is a file name; with it
// set, `buf` holds `len` bytes of the file. On success (0) *info receives a
// BITMAPINFOHEADER of 40 bytes followed by its palette and *bits the pixels,
// both allocated with malloc; the engine frees them.
typedef int32_t (*SorvGetPicture)(const char* buf, int32_t len, uint32_t flags, void** info, void** bits,
                                  void* progress, int32_t data);
}

namespace sorv {

struct Engine;

// The plug-in file registered for the extension of `name`; empty when none.
std::string ImagePluginFor(const Engine& e, const std::string& name);
// Decodes through the plug-in into a 24-bit surface; false when the plug-in
// is missing or fails.
bool LoadPluginFile(Engine& e, const std::string& plugin, const std::string& path, Surface& out);
bool LoadPluginMemory(Engine& e, const std::string& plugin, const std::vector<uint8_t>& data, Surface& out);

}  // namespace sorv
