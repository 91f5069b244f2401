// BMP decoder on arbitrary bytes, and the conversion of what it reads to 24 bits.
#include <cstdint>

#include "graphics/decoders/decoders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  sorv::Surface s, s24;
  if (sorv::DecodeBmp(data, size, s)) sorv::ConvertTo24(s, s24);
  return 0;
}
