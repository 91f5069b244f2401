// Row kernels of the compositor that have a wider build chosen at run time;
// declared here so that each build can be checked against the pixel rule.
#pragma once

#include <cstdint>

namespace sorv {

// One row of an ALPHA cell: `m` points at the mask pixels matching the `n`
// colour pixels at `s` (only each mask pixel's blue byte counts); `o` is -1
// or an opacity 0..255. The coverage is a = 255 - m, or T[255 - m][o] with
// an opacity, and each byte becomes T[a][s] + T[255 - a][d].
void AlphaRow24(uint8_t* d, const uint8_t* s, const uint8_t* m, int32_t n, int32_t o);
// The same without the wide kernel (what processors without AVX2 run).
void AlphaRow24Portable(uint8_t* d, const uint8_t* s, const uint8_t* m, int32_t n, int32_t o);

}  // namespace sorv
