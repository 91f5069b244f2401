#include "graphics/image_plugin.h"

#include <cstdlib>
#include <cstring>

#include "archive/formats.h"
#include "graphics/decoders/decoders.h"
#include "shell/engine.h"

namespace sorv {
namespace {

std::string Extension(const std::string& name) {
  size_t dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : NormaliseArchiveName(name.substr(dot + 1));
}

uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

// Copies what the plug-in returned into a surface by way of a BMP file
// image, so its header gets the same checks as a file's.
bool TakePicture(void* info, void* bits, Surface& out) {
  if (!info || !bits) return false;
  auto* h = static_cast<const uint8_t*>(info);
  if (Le32(h) != 40) return false;
  BitmapInfoHeader hdr;
  hdr.width = static_cast<int32_t>(Le32(h + 4));
  hdr.height = static_cast<int32_t>(Le32(h + 8));
  hdr.bitCount = static_cast<uint16_t>(h[14] | (h[15] << 8));
  hdr.clrUsed = Le32(h + 32);
  int64_t height = hdr.height < 0 ? -static_cast<int64_t>(hdr.height) : hdr.height;
  uint32_t entries = PaletteEntries(hdr);
  if (!SurfaceSizeAllowed(hdr.width, height, hdr.bitCount) || entries > 256) return false;
  size_t headerBytes = 40 + static_cast<size_t>(entries) * 4;
  size_t pixelBytes = static_cast<size_t>(RowStride(hdr.bitCount, hdr.width) * height);
  std::vector<uint8_t> file(14 + headerBytes + pixelBytes, 0);
  std::memcpy(file.data() + 14, info, headerBytes);
  std::memcpy(file.data() + 14 + headerBytes, bits, pixelBytes);
  Surface any;
  return DecodeBmp(file.data(), file.size(), any) && ConvertTo24(any, out);
}

bool Run(Engine& e, const std::string& plugin, const char* buf, int32_t len, uint32_t flags, Surface& out) {
  auto get = reinterpret_cast<SorvGetPicture>(BindEntry(e, plugin, "GetPicture"));
  if (!get) return false;
  void* info = nullptr;
  void* bits = nullptr;
  bool ok = get(buf, len, flags, &info, &bits, nullptr, 0) == 0 && TakePicture(info, bits, out);
  std::free(info);
  std::free(bits);
  return ok;
}

}  // namespace

std::string ImagePluginFor(const Engine& e, const std::string& name) {
  std::string ext = Extension(name);
  if (ext.empty()) return {};
  for (const std::string& entry : e.images.plugins) {
    size_t bar = entry.find('|');
    if (bar == std::string::npos) continue;
    std::string want = NormaliseArchiveName(entry.substr(bar + 1));
    while (!want.empty() && (want[0] == '*' || want[0] == '.')) want.erase(0, 1);
    if (want == ext) return entry.substr(0, bar);
  }
  return {};
}

bool LoadPluginFile(Engine& e, const std::string& plugin, const std::string& path, Surface& out) {
  return Run(e, plugin, path.c_str(), 0, 0, out);
}

bool LoadPluginMemory(Engine& e, const std::string& plugin, const std::vector<uint8_t>& data, Surface& out) {
  if (data.size() > INT32_MAX) return false;
  return Run(e, plugin, reinterpret_cast<const char*>(data.data()), static_cast<int32_t>(data.size()), 1, out);
}

}  // namespace sorv
