// SVA index reader on arbitrary bytes: the first byte chooses the prefix.
#include <cstdint>
#include <vector>

#include "archive/formats.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  sorv::MemorySource src(data + 1, size - 1);
  std::vector<sorv::SvaEntry> entries;
  if (sorv::ReadSvaIndex(src, data[0] % 4, entries)) {
    for (const auto& e : entries) (void)sorv::SvaBucket(sorv::NormaliseArchiveName(e.name));
  }
  return 0;
}
