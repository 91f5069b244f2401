// The blend table every compositing step uses: T[a][v] = a x v / 255 with
// integer division. Built at compile time, so it is there before anything
// draws and costs nothing at start-up.
#pragma once

#include <array>
#include <cstdint>

namespace sorv {

struct BlendTable {
  std::array<std::array<uint8_t, 256>, 256> t{};
  constexpr BlendTable() {
    for (int a = 0; a < 256; ++a)
      for (int v = 0; v < 256; ++v) t[a][v] = static_cast<uint8_t>(a * v / 255);
  }
  constexpr uint8_t operator()(int a, int v) const { return t[a][v]; }
  const uint8_t* Row(int a) const { return t[a].data(); }
};

inline constexpr BlendTable kBlend{};

// a x v / 255 with integer division, exactly, for a x v in 0..65025: the
// table's value without a lookup, in a form loops vectorise.
inline constexpr uint16_t Div255(uint16_t x) { return static_cast<uint16_t>((x + 1u + (x >> 8)) >> 8); }

}  // namespace sorv
