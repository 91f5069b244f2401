#include "script/label_index.h"

#include "script/script.h"

namespace sorv {

// FNV-1a: label names are short, and this needs no tables.
uint64_t LabelIndex::Hash(std::string_view s) {
  uint64_t h = 1469598103934665603ull;
  for (unsigned char c : s) {
    h ^= c;
    h *= 1099511628211ull;
  }
  return h;
}

namespace {

// Slot of a hash: FNV-1a's low bits alone follow the last bytes of a name
// too closely, and label names often differ only there ("l1", "l2", ...),
// which would pile them up in runs of neighbouring slots.
size_t Home(uint32_t h, size_t mask) {
  h ^= h >> 16;
  h *= 0x85EBCA6Bu;
  h ^= h >> 13;
  h *= 0xC2B2AE35u;
  h ^= h >> 16;
  return h & mask;
}

}  // namespace

void LabelIndex::Clear() {
  slots_.clear();
  used_ = 0;
}

void LabelIndex::Grow(const std::vector<Label>&) {
  std::vector<Slot> old;
  old.swap(slots_);
  slots_.assign(old.empty() ? 1024 : old.size() * 2, Slot{});
  size_t mask = slots_.size() - 1;
  for (const Slot& slot : old) {
    if (slot.idx < 0) continue;
    size_t i = Home(slot.hash, mask);
    while (slots_[i].idx >= 0) i = (i + 1) & mask;
    slots_[i] = slot;
  }
}

void LabelIndex::Reserve(size_t count) {
  size_t want = 1024;
  while (want < count * 2 + 2) want *= 2;
  if (want <= slots_.size()) return;
  if (used_ == 0) {
    slots_.assign(want, Slot{});
    return;
  }
  while (slots_.size() < want) Grow({});
}

void LabelIndex::Prefetch(uint32_t hash) const {
  if (!slots_.empty()) __builtin_prefetch(&slots_[Home(hash, slots_.size() - 1)], 1);
}

int32_t LabelIndex::Insert(const std::vector<Label>& labels, int32_t idx) {
  return InsertHashed(labels, idx, static_cast<uint32_t>(Hash(labels[static_cast<size_t>(idx)].name)));
}

int32_t LabelIndex::InsertHashed(const std::vector<Label>& labels, int32_t idx, uint32_t h) {
  if ((used_ + 1) * 2 > slots_.size()) Grow(labels);
  const std::string& name = labels[static_cast<size_t>(idx)].name;
  size_t mask = slots_.size() - 1;
  size_t i = Home(h, mask);
  while (slots_[i].idx >= 0) {
    if (slots_[i].hash == h && labels[static_cast<size_t>(slots_[i].idx)].name == name) return slots_[i].idx;
    i = (i + 1) & mask;
  }
  slots_[i] = Slot{idx, h};
  ++used_;
  return -1;
}

int32_t LabelIndex::Find(const std::vector<Label>& labels, std::string_view lowerName) const {
  if (slots_.empty()) return -1;
  uint32_t h = static_cast<uint32_t>(Hash(lowerName));
  size_t mask = slots_.size() - 1;
  size_t i = Home(h, mask);
  while (slots_[i].idx >= 0) {
    if (slots_[i].hash == h && labels[static_cast<size_t>(slots_[i].idx)].name == lowerName) return slots_[i].idx;
    i = (i + 1) & mask;
  }
  return -1;
}

}  // namespace sorv
