#include "archive/pack.h"

#include "archive/formats.h"
#include "graphics/decoders/decoders.h"

namespace sorv {
namespace {

void Be16(std::vector<uint8_t>& v, uint32_t x) {
  v.push_back(static_cast<uint8_t>(x >> 8));
  v.push_back(static_cast<uint8_t>(x));
}
void Be32(std::vector<uint8_t>& v, uint32_t x) {
  Be16(v, x >> 16);
  Be16(v, x & 0xFFFF);
}
void Le32(std::vector<uint8_t>& v, uint32_t x) {
  for (int i = 0; i < 4; ++i) v.push_back(static_cast<uint8_t>(x >> (8 * i)));
}
void Name(std::vector<uint8_t>& v, const std::string& name) { v.insert(v.end(), name.begin(), name.end()); }

}  // namespace

std::vector<uint8_t> BuildSva(const std::vector<PackItem>& items, int prefix) {
  std::vector<uint8_t> index;
  uint32_t offset = 0;
  for (const PackItem& it : items) {
    Name(index, it.name);
    index.push_back(0);
    index.push_back(it.kind);
    Be32(index, offset);
    Be32(index, static_cast<uint32_t>(it.data.size()));
    Be32(index, it.unpacked);
    offset += static_cast<uint32_t>(it.data.size());
  }
  std::vector<uint8_t> out(static_cast<size_t>(prefix), 0);
  Be16(out, static_cast<uint32_t>(items.size()));
  Be32(out, static_cast<uint32_t>(6 + index.size()));
  out.insert(out.end(), index.begin(), index.end());
  for (const PackItem& it : items) out.insert(out.end(), it.data.begin(), it.data.end());
  return out;
}

std::vector<uint8_t> BuildSv2(const std::vector<PackItem>& items) {
  std::vector<uint8_t> index;
  for (const PackItem& it : items) {
    index.push_back('"');
    Name(index, it.name);
    index.push_back('"');
    Le32(index, static_cast<uint32_t>(it.data.size()));
  }
  index.push_back('e');
  std::vector<uint8_t> out;
  Le32(out, static_cast<uint32_t>(4 + index.size()));
  out.insert(out.end(), index.begin(), index.end());
  for (const PackItem& it : items) out.insert(out.end(), it.data.begin(), it.data.end());
  return out;
}

std::vector<uint8_t> BuildPlain(const std::vector<PackItem>& items) {
  std::vector<uint8_t> index;
  uint32_t offset = 0;
  for (const PackItem& it : items) {
    Name(index, it.name);
    index.push_back(0);
    Be32(index, offset);
    Be32(index, static_cast<uint32_t>(it.data.size()));
    offset += static_cast<uint32_t>(it.data.size());
  }
  std::vector<uint8_t> out;
  Be16(out, static_cast<uint32_t>(items.size()));
  Be32(out, static_cast<uint32_t>(6 + index.size()));
  out.insert(out.end(), index.begin(), index.end());
  for (const PackItem& it : items) out.insert(out.end(), it.data.begin(), it.data.end());
  return out;
}

bool MakeSvaItem(const std::string& name, const std::vector<uint8_t>& file, uint8_t kind, PackItem& item,
                 std::string* error) {
  item = PackItem{};
  item.name = name;
  item.kind = kind;
  item.unpacked = static_cast<uint32_t>(file.size());
  switch (kind) {
    case kSvaStored: item.data = file; return true;
    case kSvaLzss: item.data = LzssEncode(file.data(), file.size()); return true;
    case kSvaSpb: {
      Surface bmp, s24;
      if (!DecodeBmp(file.data(), file.size(), bmp) || !ConvertTo24(bmp, s24)) {
        if (error) *error = "not a BMP file the engine can read";
        return false;
      }
      if (s24.width > 65535 || s24.height > 65535) {
        if (error) *error = "too large for SPB";
        return false;
      }
      item.data = EncodeSpb(s24);
      return true;
    }
    default:
      if (error) *error = "unknown compression kind";
      return false;
  }
}

}  // namespace sorv
