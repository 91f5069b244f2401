// A hash index over the label table: the result of searching the table in
// order (the first definition of a name wins) at constant cost, without one
// allocation per label.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace sorv {

struct Label;

class LabelIndex {
 public:
  void Clear();
  // Records labels[idx] under its name unless the name is already there;
  // returns the index of the earlier label with that name, or -1.
  int32_t Insert(const std::vector<Label>& labels, int32_t idx);
  // The same with the name's hash (Hash) already known.
  int32_t InsertHashed(const std::vector<Label>& labels, int32_t idx, uint32_t hash);
  // Sizes the table for `count` names at once, so that filling it never
  // rehashes.
  void Reserve(size_t count);
  // Starts loading the slot a hash goes to, ahead of its insertion.
  void Prefetch(uint32_t hash) const;
  // Index into `labels` of the first label named `lowerName`, or -1.
  int32_t Find(const std::vector<Label>& labels, std::string_view lowerName) const;

  static uint64_t Hash(std::string_view s);

 private:
  void Grow(const std::vector<Label>& labels);
  struct Slot {
    int32_t idx = -1;  // into the label table; -1 = empty
    uint32_t hash = 0;
  };
  std::vector<Slot> slots_;
  size_t used_ = 0;
};

}  // namespace sorv
