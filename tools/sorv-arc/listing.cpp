#include "listing.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace sorv::arc {
namespace {

const char* KindName(uint8_t kind) {
  switch (kind) {
    case kSvaStored: return "stored";
    case kSvaSpb: return "spb";
    case kSvaLzss: return "lzss";
    default: return "unknown";
  }
}

}  // namespace

bool IsSv2Name(const std::string& path) {
  return path.size() >= 4 && NormaliseArchiveName(path.substr(path.size() - 4)) == ".sv2";
}

bool ReadIndex(const ByteSource& src, bool sv2, int prefix, std::vector<Item>& items) {
  items.clear();
  if (sv2) {
    std::vector<Sv2Entry> entries;
    if (!ReadSv2Index(src, entries)) return false;
    for (const Sv2Entry& e : entries) items.push_back({e.name, 0, e.offset, e.size, e.size});
    return true;
  }
  std::vector<SvaEntry> entries;
  if (!ReadSvaIndex(src, prefix, entries)) return false;
  for (const SvaEntry& e : entries) {
    items.push_back({e.name, e.kind, e.offset + static_cast<uint64_t>(prefix), e.stored, e.unpacked});
  }
  return true;
}

bool EntryFits(const ByteSource& src, const Item& it) {
  return it.offset <= src.Size() && it.stored <= src.Size() - it.offset;
}

std::string DamagedMessage(const std::string& archive, const std::string& why) {
  return "アーカイブ\"" + archive + "\"が壊れています！ (" + why + ")";
}

bool ListArchive(const ByteSource& src, const std::string& path, bool sv2, int prefix, std::string& listing,
                 std::string& errors) {
  std::vector<Item> items;
  if (!ReadIndex(src, sv2, prefix, items)) {
    errors += DamagedMessage(path, "damaged index") + "\n";
    return false;
  }
  char line[96];
  for (const Item& it : items) {
    if (!EntryFits(src, it)) {
      errors += DamagedMessage(path, it.name + ": entry reaches past the end of the archive") + "\n";
      continue;
    }
    std::snprintf(line, sizeof line, "%-6s %10" PRIu32 " %10" PRIu32 " %10" PRIu64 "  ", KindName(it.kind),
                  it.unpacked, it.stored, it.offset);
    listing += line;
    listing += it.name;
    listing += '\n';
  }
  return true;
}

}  // namespace sorv::arc
