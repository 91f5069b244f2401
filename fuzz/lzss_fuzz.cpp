// LZSS: arbitrary streams with a claimed size (the first two bytes, in KB),
// and the coder's round trip of the same bytes.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "archive/formats.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  uint32_t claim = static_cast<uint32_t>(data[0] | (data[1] << 8)) * 16;
  std::vector<uint8_t> out;
  sorv::LzssDecode(data + 2, size - 2, claim, out);
  if (out.size() > claim) std::abort();

  std::vector<uint8_t> packed = sorv::LzssEncode(data, size);
  if (!sorv::LzssDecode(packed.data(), packed.size(), static_cast<uint32_t>(size), out)) std::abort();
  if (out != std::vector<uint8_t>(data, data + size)) std::abort();
  return 0;
}
