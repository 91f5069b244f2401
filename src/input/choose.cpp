#include "input/choose.h"

#include <cerrno>
#include <cstdlib>

namespace sorv {

bool ParseChoosePolicy(const std::string& text, uint64_t fallbackSeed, ChoosePolicy& out) {
  ChoosePolicy p;
  if (text == "first") {
    p.kind = ChoosePolicy::Kind::First;
  } else if (text == "last") {
    p.kind = ChoosePolicy::Kind::Last;
  } else if (text == "random") {
    p.kind = ChoosePolicy::Kind::Random;
    p.seed = fallbackSeed;
  } else if (text.rfind("random:", 0) == 0 && text.size() > 7) {
    const char* digits = text.c_str() + 7;
    if (*digits < '0' || *digits > '9') return false;
    char* end = nullptr;
    errno = 0;
    unsigned long long seed = std::strtoull(digits, &end, 10);
    if (errno || *end) return false;
    p.kind = ChoosePolicy::Kind::Random;
    p.seed = seed;
  } else {
    return false;
  }
  p.state = p.seed;
  out = p;
  return true;
}

int32_t ChooseIndex(ChoosePolicy& policy, int32_t count) {
  if (count <= 0) return 0;
  switch (policy.kind) {
    case ChoosePolicy::Kind::Pointer:
    case ChoosePolicy::Kind::First: return 0;
    case ChoosePolicy::Kind::Last: return count - 1;
    case ChoosePolicy::Kind::Random: break;
  }
  // splitmix64: every seed, 0 included, gives a well-mixed sequence.
  uint64_t z = (policy.state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  z ^= z >> 31;
  return static_cast<int32_t>(z % static_cast<uint64_t>(count));
}

}  // namespace sorv
