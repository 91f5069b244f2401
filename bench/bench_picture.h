// The picture the image and archive benchmarks work on: 800 x 600 with
// smooth areas and edges, as CG usually is.
#pragma once

#include <cstdint>

#include "graphics/surface.h"

inline const sorv::Surface& BenchPicture() {
  static const sorv::Surface s = [] {
    sorv::Surface p;
    sorv::CreateSurface(p, 800, 600);
    for (int y = 0; y < 600; ++y) {
      for (int x = 0; x < 800; ++x) {
        uint8_t* px = p.Row(y) + x * 3;
        px[0] = static_cast<uint8_t>(x / 4 + ((x / 64 + y / 64) % 2) * 40);
        px[1] = static_cast<uint8_t>(y / 3);
        px[2] = static_cast<uint8_t>((x * y) >> 10);
      }
    }
    return p;
  }();
  return s;
}
