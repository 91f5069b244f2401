// SPB decoder on arbitrary bytes; what it decodes must encode back to the
// same pixels.
#include <cstdint>
#include <cstdlib>

#include "graphics/decoders/decoders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  sorv::Surface s;
  if (!sorv::DecodeSpb(data, size, s)) return 0;
  std::vector<uint8_t> again = sorv::EncodeSpb(s);
  sorv::Surface back;
  if (!sorv::DecodeSpb(again.data(), again.size(), back) || back.bits != s.bits) std::abort();
  return 0;
}
