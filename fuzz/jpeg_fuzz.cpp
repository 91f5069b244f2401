// JPEG decoder on arbitrary bytes.
#include <cstdint>

#include "graphics/decoders/decoders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  sorv::Surface s;
  sorv::DecodeJpeg(data, size, s);
  return 0;
}
