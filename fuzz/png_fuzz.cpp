// PNG decoder on arbitrary bytes; the first byte picks the mask layout.
#include <cstdint>

#include "graphics/decoders/decoders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  sorv::Surface s;
  sorv::DecodePng(data + 1, size - 1, data[0] & 1, (data[0] >> 1) % 8, s);
  return 0;
}
