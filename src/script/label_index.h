// A hash index over the label table: the result of searching the table in
// order (the first definition of a name wins) at constant cost, without one
// allocation per label.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace sorv {

struct Label;

// Whether two labels of the text have the same name, without regard to case.
bool SameLabelName(const char* text, const Label& a, const Label& b);

class LabelIndex {
 public:
  void Clear();
  bool Empty() const { return used_ == 0; }
  // Records labels[idx] under its name (in `text`) unless the name is
  // already there; returns the index of the earlier label with that name,
  // or -1.
  int32_t Insert(const char* text, const std::vector<Label>& labels, int32_t idx);
  // The same with the name's hash (Hash) already known.
  int32_t InsertHashed(const char* text, const std::vector<Label>& labels, int32_t idx, uint32_t hash);
  // The same where `sameName(other)` says whether the label with index
  // `other` has the name of label idx.
  template <typename SameName>
  int32_t InsertWith(int32_t idx, uint32_t h, SameName&& sameName) {
    if ((used_ + 1) * 2 > slots_.size()) Grow();
    const size_t mask = slots_.size() - 1;
    size_t i = h & mask;  // Hash mixes its low bits well
    while (slots_[i].idx >= 0) {
      if (slots_[i].hash == h && sameName(slots_[i].idx)) return slots_[i].idx;
      i = (i + 1) & mask;
    }
    slots_[i] = Slot{idx, h};
    ++used_;
    return -1;
  }
  // Sizes the table for `count` names at once, so that filling it never
  // rehashes.
  void Reserve(size_t count);
  // Starts loading the slot a hash goes to, ahead of its insertion.
  void Prefetch(uint32_t hash) const {
    if (!slots_.empty()) __builtin_prefetch(&slots_[hash & (slots_.size() - 1)], 1);
  }
  // Index into `labels` of the first label named `lowerName`, or -1.
  int32_t Find(const char* text, const std::vector<Label>& labels, std::string_view lowerName) const;

  // Label names are short: they are taken eight bytes at a time (a name
  // of one to eight bytes in a single step), and the result is mixed well
  // enough that its low bits alone choose the slot.
  static uint64_t Hash(std::string_view s) { return HashOf<false>(s.data(), s.size()); }
  // Hash of the name the n word bytes at p make once lower-cased, read
  // straight from the script text.
  static uint64_t HashLowered(const char* p, size_t n) { return HashOf<true>(p, n); }

 private:
  void Grow();
  // The n bytes at p (n at most 8) as one number, without reading outside
  // them: two overlapping words cover four to eight bytes, three single
  // bytes one to three. For a given n every byte counts.
  static uint64_t Load(const char* p, size_t n) {
    if (n >= 4) {
      uint32_t lo, hi;
      std::memcpy(&lo, p, 4);
      std::memcpy(&hi, p + n - 4, 4);
      return lo | static_cast<uint64_t>(hi) << 32;
    }
    if (n == 0) return 0;
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return static_cast<uint64_t>(u[0]) << 16 | static_cast<uint64_t>(u[n >> 1]) << 8 | u[n - 1];
  }
  // ASCII capitals in each byte of w made small, all other bytes kept.
  static uint64_t LowerWord(uint64_t w) {
    constexpr uint64_t kOnes = 0x0101010101010101ull;
    const uint64_t seven = w & (kOnes * 0x7F);
    const uint64_t upper = (seven + kOnes * (0x80 - 'A')) & ~(seven + kOnes * (0x80 - 'Z' - 1)) & ~w & (kOnes * 0x80);
    return w | (upper >> 2);
  }
  template <bool kLower>
  static uint64_t HashOf(const char* p, size_t n) {
    auto word = [](uint64_t w) { return kLower ? LowerWord(w) : w; };
    uint64_t h = 0x9E3779B97F4A7C15ull ^ (n * 0xFF51AFD7ED558CCDull);
    while (n > 8) {
      h = (h ^ word(Load(p, 8))) * 0xC4CEB9FE1A85EC53ull;
      h ^= h >> 32;
      p += 8;
      n -= 8;
    }
    h = (h ^ word(Load(p, n))) * 0xC4CEB9FE1A85EC53ull;
    h ^= h >> 29;
    h *= 0xFF51AFD7ED558CCDull;
    return h ^ (h >> 32);
  }
  struct Slot {
    int32_t idx = -1;  // into the label table; -1 = empty
    uint32_t hash = 0;
  };
  std::vector<Slot> slots_;
  size_t used_ = 0;
};

}  // namespace sorv
