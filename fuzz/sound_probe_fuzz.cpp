// Feeds arbitrary bytes to the sound probe (WAV chunks, Ogg pages, MPEG
// frames, FLAC stream info). Any answer is fine; reading outside the bytes
// is not.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/audio.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A copy of exactly `size` bytes, so a read past the end is caught.
  std::vector<uint8_t> bytes(data, data + size);
  sorv::platform::ProbeSound(bytes.data(), bytes.size());
  return 0;
}
