// Writing the engine's archives: used by the packer tool and by the tests,
// which make every archive they read this way.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sorv {

struct PackItem {
  std::string name;            // stored as given ('\' between folders)
  uint8_t kind = 0;            // SVA: 0 stored, 1 SPB, 2 LZSS
  std::vector<uint8_t> data;   // the bytes as stored
  uint32_t unpacked = 0;       // SVA: size after unpacking
};

// Builds the bytes of an SVA archive behind `prefix` zero bytes.
std::vector<uint8_t> BuildSva(const std::vector<PackItem>& items, int prefix = 0);
// Builds an SV2 archive (stored files).
std::vector<uint8_t> BuildSv2(const std::vector<PackItem>& items);
// Builds the plain archive of the bundled archive plug-in.
std::vector<uint8_t> BuildPlain(const std::vector<PackItem>& items);

// Makes an SVA item of `file` (the bytes of a file) in the given kind:
// stored, LZSS, or SPB (only from a BMP file; false when it is not one the
// engine could load). `error` says why on failure.
bool MakeSvaItem(const std::string& name, const std::vector<uint8_t>& file, uint8_t kind, PackItem& item,
                 std::string* error = nullptr);

}  // namespace sorv
