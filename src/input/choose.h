// How an unattended headless run answers button waits and choice menus:
// the button under the pointer (the default), the first, the last, or one
// picked by a seeded random sequence, so that repeated runs with different
// seeds walk different branches of a game.
#pragma once

#include <cstdint>
#include <string>

namespace sorv {

struct ChoosePolicy {
  enum class Kind { Pointer, First, Last, Random };
  Kind kind = Kind::Pointer;
  uint64_t seed = 0;
  uint64_t state = 0;
};

// "first", "last", "random" or "random:SEED"; false for anything else.
// Plain "random" takes `fallbackSeed`.
bool ParseChoosePolicy(const std::string& text, uint64_t fallbackSeed, ChoosePolicy& out);

// The index (0 … count-1) the policy answers for `count` entries; the
// pointer policy answers 0 (the caller knows what lies under the pointer).
int32_t ChooseIndex(ChoosePolicy& policy, int32_t count);

}  // namespace sorv
