// sorv-arc's reading side: an archive's index as one list of entries, each
// checked against the archive's size before anything is read or allocated
// for it, and the listing printed from it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/formats.h"

namespace sorv::arc {

// One entry of either kind, for listing and extracting.
struct Item {
  std::string name;
  uint8_t kind = 0;
  uint64_t offset = 0;
  uint32_t stored = 0, unpacked = 0;
};

bool IsSv2Name(const std::string& path);

// Reads the index of an SVA archive (`prefix` bytes before it) or an SV2
// archive; false when it is damaged.
bool ReadIndex(const ByteSource& src, bool sv2, int prefix, std::vector<Item>& items);

// Whether the entry's bytes lie wholly inside the archive. An index may
// claim anything: an entry of 4 GB in a file of a few bytes is damage, not
// a reason to allocate 4 GB.
bool EntryFits(const ByteSource& src, const Item& it);

// The message the engine gives for a damaged archive, with what was wrong
// after it: "アーカイブ"NAME"が壊れています！ (WHY)".
std::string DamagedMessage(const std::string& archive, const std::string& why);

// The listing: one line an entry (kind, unpacked size, stored size, offset,
// name). Entries that reach past the end of the archive are reported in
// `errors`, one line each, and left out. False when the index is damaged.
bool ListArchive(const ByteSource& src, const std::string& path, bool sv2, int prefix, std::string& listing,
                 std::string& errors);

}  // namespace sorv::arc
