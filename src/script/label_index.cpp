#include "script/label_index.h"

#include "script/reader.h"
#include "script/script.h"

namespace sorv {

namespace {

// Slot of a hash: Hash mixes its low bits well.
size_t Home(uint32_t h, size_t mask) { return h & mask; }

// Whether the label's name reads as `lower` once made small.
bool NameIs(const char* text, const Label& label, std::string_view lower) {
  if (static_cast<size_t>(label.nameLength) != lower.size()) return false;
  const char* name = text + label.nameAt;
  for (size_t i = 0; i < lower.size(); ++i) {
    if (LowerAscii(static_cast<unsigned char>(name[i])) != static_cast<unsigned char>(lower[i])) return false;
  }
  return true;
}

}  // namespace

bool SameLabelName(const char* text, const Label& a, const Label& b) {
  if (a.nameLength != b.nameLength) return false;
  for (int32_t i = 0; i < a.nameLength; ++i) {
    if (LowerAscii(static_cast<unsigned char>(text[a.nameAt + i])) !=
        LowerAscii(static_cast<unsigned char>(text[b.nameAt + i]))) {
      return false;
    }
  }
  return true;
}

void LabelIndex::Clear() {
  slots_.clear();
  used_ = 0;
}

void LabelIndex::Grow() {
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
  while (slots_.size() < want) Grow();
}

int32_t LabelIndex::Insert(const char* text, const std::vector<Label>& labels, int32_t idx) {
  const Label& label = labels[static_cast<size_t>(idx)];
  return InsertHashed(text, labels, idx, static_cast<uint32_t>(HashLowered(text + label.nameAt, static_cast<size_t>(label.nameLength))));
}

int32_t LabelIndex::InsertHashed(const char* text, const std::vector<Label>& labels, int32_t idx, uint32_t h) {
  const Label& label = labels[static_cast<size_t>(idx)];
  return InsertWith(idx, h, [&](int32_t other) { return SameLabelName(text, labels[static_cast<size_t>(other)], label); });
}

int32_t LabelIndex::Find(const char* text, const std::vector<Label>& labels, std::string_view lowerName) const {
  if (slots_.empty()) return -1;
  uint32_t h = static_cast<uint32_t>(Hash(lowerName));
  size_t mask = slots_.size() - 1;
  size_t i = Home(h, mask);
  while (slots_[i].idx >= 0) {
    if (slots_[i].hash == h && NameIs(text, labels[static_cast<size_t>(slots_[i].idx)], lowerName)) return slots_[i].idx;
    i = (i + 1) & mask;
  }
  return -1;
}

}  // namespace sorv
