// SV2 index reader (and the plain archive index) on arbitrary bytes.
#include <cstdint>
#include <vector>

#include "archive/formats.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  sorv::MemorySource src(data, size);
  std::vector<sorv::Sv2Entry> entries;
  sorv::ReadSv2Index(src, entries);
  std::vector<sorv::PlainEntry> plain;
  sorv::ReadPlainIndex(src, plain);
  return 0;
}
