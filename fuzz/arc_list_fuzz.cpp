// sorv-arc's listing on arbitrary bytes: the first byte chooses the format
// (bit 2: SV2) and the SVA prefix (bits 0-1). Every entry the listing keeps
// must lie inside the archive.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "listing.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  sorv::MemorySource src(data + 1, size - 1);
  bool sv2 = data[0] & 4;
  std::string listing, errors;
  sorv::arc::ListArchive(src, "fuzz", sv2, data[0] % 4, listing, errors);
  std::vector<sorv::arc::Item> items;
  if (sorv::arc::ReadIndex(src, sv2, data[0] % 4, items)) {
    size_t fitting = 0;
    for (const auto& it : items) fitting += sorv::arc::EntryFits(src, it) ? 1 : 0;
    size_t lines = 0;
    for (char c : listing) lines += c == '\n';
    if (lines < fitting) std::abort();  // a name may hold a newline, never fewer lines
  }
  return 0;
}
