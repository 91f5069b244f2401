// The drawing primitives of the compositor: a cell drawn at a position with
// its transparency rule, the rotating and scaling draw, the matrix draw and
// the colour filters. Every blend goes through the blend table so that the
// results match the engine's integer arithmetic to the byte.
#include <algorithm>
#include <cmath>
#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define SORV_X86_ROWS 1
#endif

#include "graphics/blend_table.h"
#include "graphics/draw_rows.h"
#include "graphics/scene.h"

namespace sorv {
namespace {

constexpr int64_t kOne = 65536;  // 16.16 fixed point

Rect TargetBounds(const Surface& t) { return Rect{0, 0, t.width, t.height}; }

const uint8_t* SourceRow(const Surface& s, int32_t yFromTop) { return s.Row(s.height - 1 - yFromTop); }

// d = T[a][s] + T[255 - a][d] for every byte, with a per-byte coverage.
__attribute__((target_clones("avx2", "default"))) void BlendBytes(uint8_t* __restrict d,
                                                                  const uint8_t* __restrict s,
                                                                  const uint8_t* __restrict a, int32_t count) {
  for (int32_t k = 0; k < count; ++k) {
    uint16_t ak = a[k];
    d[k] = static_cast<uint8_t>(Div255(static_cast<uint16_t>(ak * s[k])) +
                                Div255(static_cast<uint16_t>((255 - ak) * d[k])));
  }
}

constexpr int32_t kChunk = 256;  // pixels blended at a time

// The per-pixel rules of one row of a 24-bit cell. `n` pixels; `o` is -1 or
// an opacity 0..255.
void CopyRow24(uint8_t* d, const uint8_t* s, int32_t n, int32_t o) {
  if (o < 0 || o == 255) {
    std::memcpy(d, s, static_cast<size_t>(n) * 3);
    return;
  }
  uint8_t a[kChunk * 3];
  std::memset(a, o, sizeof a);
  for (int32_t i = 0; i < n; i += kChunk) {
    int32_t m = std::min(kChunk, n - i);
    BlendBytes(d + i * 3, s + i * 3, a, m * 3);
  }
}

// The three bytes of pixel i as one number; all but the row's last pixel
// are read four bytes at a time (the fourth byte is the next pixel's).
inline uint32_t Pixel24(const uint8_t* s, int32_t i, int32_t n) {
  uint32_t v;
  if (i + 1 < n) {
    std::memcpy(&v, s + i * 3, 4);
    return v & 0xFFFFFFu;
  }
  return static_cast<uint32_t>(s[i * 3]) | static_cast<uint32_t>(s[i * 3 + 1]) << 8 |
         static_cast<uint32_t>(s[i * 3 + 2]) << 16;
}

// Which of 16 pixels (48 bytes) equal the key: 0 none, 1 all, 2 some.
int BlockKeyState(const uint8_t* s, const uint8_t pattern[48]) {
#ifdef __SSE2__
  uint64_t eq = 0;
  for (int part = 0; part < 3; ++part) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + part * 16));
    __m128i k = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pattern + part * 16));
    eq |= static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, k)))) << (part * 16);
  }
#else
  uint64_t eq = 0;
  for (int j = 0; j < 48; ++j) eq |= static_cast<uint64_t>(s[j] == pattern[j]) << j;
#endif
  constexpr uint64_t kAll = (uint64_t{1} << 48) - 1;
  constexpr uint64_t kPixelStarts = 0x249249249249ull;  // bits 0, 3, 6, ..., 45
  if (eq == kAll) return 1;
  return (eq & (eq >> 1) & (eq >> 2) & kPixelStarts) == 0 ? 0 : 2;
}

void KeyRow24(uint8_t* d, const uint8_t* s, int32_t n, const uint8_t key[3], int32_t o) {
  uint32_t key24 = static_cast<uint32_t>(key[0]) | static_cast<uint32_t>(key[1]) << 8 |
                   static_cast<uint32_t>(key[2]) << 16;
  auto isKey = [&](int32_t i) { return Pixel24(s, i, n) == key24; };
  if (o < 0) {
    // Opaque runs between key pixels are copied whole; sixteen pixels are
    // classified at a time, since pictures keyed this way are mostly long
    // runs of either kind.
    uint8_t pattern[48];
    for (int j = 0; j < 48; ++j) pattern[j] = key[j % 3];
    int32_t run = 0;  // start of the opaque run being collected
    auto flush = [&](int32_t end) {
      if (end > run) std::memcpy(d + run * 3, s + run * 3, static_cast<size_t>(end - run) * 3);
    };
    int32_t i = 0;
    for (; i + 16 <= n; i += 16) {
      int state = BlockKeyState(s + i * 3, pattern);
      if (state == 0) continue;
      if (state == 1) {
        flush(i);
        run = i + 16;
        continue;
      }
      for (int32_t k = i; k < i + 16; ++k) {
        if (!isKey(k)) continue;
        flush(k);
        run = k + 1;
      }
    }
    for (; i < n; ++i) {
      if (!isKey(i)) continue;
      flush(i);
      run = i + 1;
    }
    flush(n);
    return;
  }
  for (int32_t i = 0; i < n; ++i, d += 3, s += 3) {
    if (s[0] == key[0] && s[1] == key[1] && s[2] == key[2]) continue;
    for (int c = 0; c < 3; ++c) d[c] = static_cast<uint8_t>(kBlend(o, s[c]) + kBlend(255 - o, d[c]));
  }
}

// 0xFF where a byte and the next one belong to the same pixel.
struct SamePixelPattern {
  uint8_t p[kChunk * 3];
  constexpr SamePixelPattern() : p() {
    for (int32_t j = 0; j < kChunk * 3; ++j) p[j] = j % 3 == 2 ? 0 : 0xFF;
  }
};
constexpr SamePixelPattern kSamePixel{};

// True when every pixel of the mask has equal blue, green and red bytes, as
// masks drawn in grey do: then each mask byte is its pixel's blue byte.
bool GreyMask(const uint8_t* m, int32_t count) {
  uint8_t diff = 0;
  for (int32_t j = 0; j + 1 < count * 3; ++j) diff |= static_cast<uint8_t>((m[j] ^ m[j + 1]) & kSamePixel.p[j]);
  return diff == 0;
}

// The blend with coverage a = T[255 - m][o] read straight from a grey mask.
// Built twice, the wider build chosen at load time where the processor has it.
__attribute__((target_clones("avx2", "default"))) void GreyMaskBlend(uint8_t* __restrict d,
                                                                     const uint8_t* __restrict s,
                                                                     const uint8_t* __restrict m, int32_t count,
                                                                     uint16_t o) {
  for (int32_t k = 0; k < count; ++k) {
    uint16_t a = Div255(static_cast<uint16_t>((255 - m[k]) * o));
    d[k] = static_cast<uint8_t>(Div255(static_cast<uint16_t>(a * s[k])) +
                                Div255(static_cast<uint16_t>((255 - a) * d[k])));
  }
}

#ifdef SORV_X86_ROWS

// --- AVX2: 32 pixels (96 bytes) a step ---
//
// x / 255 for x = a x v is (x x 0x8081) >> 23, exact over the whole 16-bit
// range, so the blend needs no table. The coverage comes from the blue byte
// of each mask pixel, spread over the pixel's three bytes by a shuffle
// within each 16-byte half: a half starting at a pixel's blue, green or red
// byte loads its mask bytes from 0, 1 or 2 bytes earlier, so that every
// blue byte it needs lies inside the 16 it loaded.

__attribute__((target("avx2"))) inline __m256i Div255Avx(__m256i x) {
  return _mm256_srli_epi16(_mm256_mulhi_epu16(x, _mm256_set1_epi16(static_cast<short>(0x8081))), 7);
}

// Shuffles for halves starting at a blue, a green and a red byte.
alignas(16) constexpr int8_t kSpread[3][16] = {
    {0, 0, 0, 3, 3, 3, 6, 6, 6, 9, 9, 9, 12, 12, 12, 15},
    {0, 0, 3, 3, 3, 6, 6, 6, 9, 9, 9, 12, 12, 12, 15, 15},
    {0, 3, 3, 3, 6, 6, 6, 9, 9, 9, 12, 12, 12, 15, 15, 15},
};

// 32 bytes at byte offset `j` of the row (j a multiple of 16): the mask
// bytes of the two halves, each spread over its pixels.
template <int kPhaseLo, int kPhaseHi>
__attribute__((target("avx2"))) inline __m256i SpreadMask(const uint8_t* m, int32_t j) {
  __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(m + j - kPhaseLo));
  __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(m + j + 16 - kPhaseHi));
  __m256i v = _mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1);
  __m256i spread = _mm256_inserti128_si256(
      _mm256_castsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(kSpread[kPhaseLo]))),
      _mm_load_si128(reinterpret_cast<const __m128i*>(kSpread[kPhaseHi])), 1);
  return _mm256_shuffle_epi8(v, spread);
}

template <bool kOpacity>
__attribute__((target("avx2"))) inline __m256i Coverage(__m256i m16, __m256i o) {
  __m256i inv = _mm256_sub_epi16(_mm256_set1_epi16(255), m16);
  return kOpacity ? Div255Avx(_mm256_mullo_epi16(inv, o)) : inv;
}

template <bool kOpacity>
__attribute__((target("avx2"))) inline void BlendStep(uint8_t* d, const uint8_t* s, __m256i mk, __m256i o) {
  const __m256i zero = _mm256_setzero_si256(), full = _mm256_set1_epi16(255);
  __m256i sv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s));
  __m256i dv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d));
  __m256i alo = Coverage<kOpacity>(_mm256_unpacklo_epi8(mk, zero), o);
  __m256i ahi = Coverage<kOpacity>(_mm256_unpackhi_epi8(mk, zero), o);
  __m256i lo = _mm256_add_epi16(Div255Avx(_mm256_mullo_epi16(alo, _mm256_unpacklo_epi8(sv, zero))),
                                Div255Avx(_mm256_mullo_epi16(_mm256_sub_epi16(full, alo), _mm256_unpacklo_epi8(dv, zero))));
  __m256i hi = _mm256_add_epi16(Div255Avx(_mm256_mullo_epi16(ahi, _mm256_unpackhi_epi8(sv, zero))),
                                Div255Avx(_mm256_mullo_epi16(_mm256_sub_epi16(full, ahi), _mm256_unpackhi_epi8(dv, zero))));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(d), _mm256_packus_epi16(lo, hi));
}

// Returns how many pixels it blended (a multiple of 32).
template <bool kOpacity>
__attribute__((target("avx2"))) int32_t AlphaRowAvx2(uint8_t* d, const uint8_t* s, const uint8_t* m, int32_t n,
                                                    int32_t opacity) {
  const __m256i o = _mm256_set1_epi16(static_cast<short>(opacity));
  int32_t j = 0;
  for (; j + 96 <= n * 3; j += 96) {
    BlendStep<kOpacity>(d + j, s + j, SpreadMask<0, 1>(m, j), o);
    BlendStep<kOpacity>(d + j + 32, s + j + 32, SpreadMask<2, 0>(m, j + 32), o);
    BlendStep<kOpacity>(d + j + 64, s + j + 64, SpreadMask<1, 2>(m, j + 64), o);
  }
  return j / 3;
}

using AlphaRowKernel = int32_t (*)(uint8_t*, const uint8_t*, const uint8_t*, int32_t, int32_t);

struct AlphaRowKernels {
  AlphaRowKernel plain = nullptr, withOpacity = nullptr;
};

AlphaRowKernels ChooseAlphaRowKernels() {
  if (!__builtin_cpu_supports("avx2")) return {};
  return {AlphaRowAvx2<false>, AlphaRowAvx2<true>};
}

#endif

}  // namespace

// `m` points at the mask pixels (blue byte read) matching `s`. Without an
// opacity d = T[s][255 - m] + T[d][m]; with one the coverage is
// a = T[255 - m][o] and d = T[s][a] + T[d][255 - a]. Both are the same blend
// with a per-pixel coverage, done a chunk at a time.
void AlphaRow24Portable(uint8_t* d, const uint8_t* s, const uint8_t* m, int32_t n, int32_t o) {
  uint8_t a[kChunk * 3 + 1];
  const uint8_t* to = kBlend.Row(o < 0 ? 255 : o);
  for (int32_t i = 0; i < n; i += kChunk) {
    int32_t count = std::min(kChunk, n - i);
    const uint8_t* mp = m + i * 3;
    if (GreyMask(mp, count)) {
      GreyMaskBlend(d + i * 3, s + i * 3, mp, count * 3, static_cast<uint16_t>(o < 0 ? 255 : o));
      continue;
    }
    // One four-byte store a pixel; the fourth byte is overwritten by the
    // next pixel (or lands in the spare byte at the end).
    for (int32_t k = 0; k < count; ++k) {
      uint32_t c = to[255 - mp[k * 3]] * 0x010101u;
      std::memcpy(a + k * 3, &c, 4);
    }
    BlendBytes(d + i * 3, s + i * 3, a, count * 3);
  }
}

void AlphaRow24(uint8_t* d, const uint8_t* s, const uint8_t* m, int32_t n, int32_t o) {
  int32_t done = 0;
#ifdef SORV_X86_ROWS
  static const AlphaRowKernels kernels = ChooseAlphaRowKernels();
  AlphaRowKernel wide = o < 0 || o == 255 ? kernels.plain : kernels.withOpacity;
  if (wide) done = wide(d, s, m, n, o);
#endif
  if (done < n) AlphaRow24Portable(d + done * 3, s + done * 3, m + done * 3, n - done, o);
}

namespace {

// Text sprites hold colour already multiplied by coverage.
void TextSpriteRow24(uint8_t* d, const uint8_t* s, const uint8_t* m, int32_t n, int32_t o) {
  for (int32_t i = 0; i < n; ++i, d += 3, s += 3, m += 3) {
    const uint8_t* tm = kBlend.Row(*m);
    for (int c = 0; c < 3; ++c) {
      int32_t sv = o < 0 ? s[c] : kBlend(o, s[c]);
      d[c] = static_cast<uint8_t>(std::min(255, tm[d[c]] + sv));
    }
  }
}

// 8-bit cells compare palette indices and write the palette colour.
void PalettedRow(uint8_t* d, const uint8_t* s, int32_t n, const Surface& src, int32_t keyIndex, int32_t o) {
  for (int32_t i = 0; i < n; ++i, d += 3) {
    int32_t idx = s[i];
    if (idx == keyIndex) continue;
    RgbQuad q = idx < static_cast<int32_t>(src.palette.size()) ? src.palette[static_cast<size_t>(idx)] : RgbQuad{};
    uint8_t px[3] = {q.blue, q.green, q.red};
    for (int c = 0; c < 3; ++c)
      d[c] = o < 0 ? px[c] : static_cast<uint8_t>(kBlend(o, px[c]) + kBlend(255 - o, d[c]));
  }
}

int32_t CellCount(const TaggedImage& img) { return std::max(1, img.cellCount); }
int32_t CurrentCell(const TaggedImage& img) { return std::clamp(img.currentCell, 0, CellCount(img) - 1); }

// The colour key of the key modes as B, G, R (24-bit) or a palette index
// (8-bit; -1 = none). Corners come from the whole surface, not the cell.
bool KeyColour(const TaggedImage& img, uint8_t key[3], int32_t& keyIndex) {
  const Surface& s = img.surface;
  keyIndex = -1;
  int32_t mode = img.transMode;
  if (mode != kTransLeftUp && mode != kTransRightUp && mode != kTransSelect) return false;
  bool paletted = s.BitCount() == 8;
  if (mode == kTransSelect) {
    if (paletted) {
      keyIndex = img.keyIndex;
    } else {
      key[0] = static_cast<uint8_t>(img.keyBlue), key[1] = static_cast<uint8_t>(img.keyGreen);
      key[2] = static_cast<uint8_t>(img.keyRed);
    }
    return true;
  }
  int32_t x = mode == kTransLeftUp ? 0 : s.width - 1;
  const uint8_t* top = SourceRow(s, 0);
  if (paletted) {
    keyIndex = top[x];
  } else {
    std::memcpy(key, top + x * 3, 3);
  }
  return true;
}

int32_t Opacity(const TaggedImage& img) { return img.opacity < 0 ? -1 : std::min(img.opacity, 255); }

}  // namespace

Rect Rect::Intersect(const Rect& o) const {
  return Rect{std::max(left, o.left), std::max(top, o.top), std::min(right, o.right), std::min(bottom, o.bottom)};
}

Rect Rect::Union(const Rect& o) const {
  if (o.Empty()) return *this;
  if (Empty()) return o;
  return Rect{std::min(left, o.left), std::min(top, o.top), std::max(right, o.right), std::max(bottom, o.bottom)};
}

void DrawImage(const TaggedImage& img, Surface& target, int32_t x, int32_t y, const Rect& clip) {
  const Surface& s = img.surface;
  int bits = s.BitCount();
  if (s.Empty() || target.Empty() || target.BitCount() != 24) return;
  if (bits != 24 && bits != 8) return;
  bool alpha = img.transMode == kTransAlpha;
  if (alpha && bits != 24) return;
  int32_t fullCell = s.width / CellCount(img);
  int32_t cw = alpha ? fullCell / 2 : fullCell;
  Rect dst = Rect{x, y, x + cw, y + s.height}.Intersect(clip).Intersect(TargetBounds(target));
  if (dst.Empty()) return;

  uint8_t key[3] = {};
  int32_t keyIndex = -1;
  bool keyed = KeyColour(img, key, keyIndex);
  int32_t o = Opacity(img);
  int32_t n = dst.right - dst.left;
  int32_t sx = CurrentCell(img) * fullCell + (dst.left - x);
  int32_t bpp = bits / 8;
  for (int32_t ty = dst.top; ty < dst.bottom; ++ty) {
    uint8_t* d = target.TopRow(ty) + dst.left * 3;
    const uint8_t* row = SourceRow(s, ty - y);
    const uint8_t* sp = row + sx * bpp;
    if (bits == 8) {
      PalettedRow(d, sp, n, s, keyed ? keyIndex : -1, o);
    } else if (alpha) {
      const uint8_t* mp = sp + cw * 3;
      if (img.textSprite) {
        TextSpriteRow24(d, sp, mp, n, o);
      } else {
        AlphaRow24(d, sp, mp, n, o);
      }
    } else if (keyed) {
      KeyRow24(d, sp, n, key, o);
    } else {
      CopyRow24(d, sp, n, o);
    }
  }
}

namespace {

// An inverse mapping from destination pixels to source pixels in 16.16 fixed
// point: source = origin + dx * (ux, vx) + dy * (uy, vy) for the offset
// (dx, dy) of a destination pixel from the box's top-left.
struct AffineMap {
  Rect box;
  int64_t u0 = 0, v0 = 0;
  int64_t ux = 0, vx = 0, uy = 0, vy = 0;
};

// Coverage of one source pixel; false when it is transparent altogether.
struct SourceReader {
  const TaggedImage& img;
  const Surface& s;
  int32_t cellX, cw, opacity;
  bool alpha, keyed, paletted;
  uint8_t key[3] = {};
  int32_t keyIndex = -1;

  bool Read(int32_t u, int32_t v, uint8_t px[3], int32_t& a) const {
    const uint8_t* row = SourceRow(s, v);
    if (paletted) {
      int32_t idx = row[cellX + u];
      if (keyed && idx == keyIndex) return false;
      RgbQuad q = idx < static_cast<int32_t>(s.palette.size()) ? s.palette[static_cast<size_t>(idx)] : RgbQuad{};
      px[0] = q.blue, px[1] = q.green, px[2] = q.red;
      a = opacity;
      return true;
    }
    const uint8_t* p = row + (cellX + u) * 3;
    px[0] = p[0], px[1] = p[1], px[2] = p[2];
    if (alpha) {
      int32_t m = p[cw * 3];
      a = opacity > 254 ? 255 - m : kBlend(255 - m, opacity);
      return true;
    }
    if (keyed && p[0] == key[0] && p[1] == key[1] && p[2] == key[2]) return false;
    a = opacity;
    return true;
  }
};

void BlendPixel(uint8_t* d, const uint8_t px[3], int32_t a, int32_t blend) {
  for (int c = 0; c < 3; ++c) {
    int32_t add = kBlend(a, px[c]);
    if (blend == kBlendAdd) {
      d[c] = static_cast<uint8_t>(std::min(255, d[c] + add));
    } else if (blend == kBlendSubtract) {
      d[c] = static_cast<uint8_t>(std::max(0, d[c] - add));
    } else {
      d[c] = static_cast<uint8_t>(kBlend(px[c], a) + kBlend(d[c], 255 - a));
    }
  }
}

// Narrows [lo, hi) to the steps t at which 0 <= base + t x step < limit may
// hold, with a step to spare either side: the loop still tests each pixel
// exactly, this only spares it the pixels that cannot pass.
void NarrowSpan(int64_t base, int64_t step, int64_t limit, int64_t& lo, int64_t& hi) {
  if (step == 0) {
    if (base < 0 || base >= limit) hi = lo;
    return;
  }
  double first = static_cast<double>(-base) / static_cast<double>(step);
  double last = static_cast<double>(limit - base) / static_cast<double>(step);
  if (step < 0) std::swap(first, last);
  lo = std::max(lo, static_cast<int64_t>(std::floor(first)) - 1);
  hi = std::min(hi, static_cast<int64_t>(std::ceil(last)) + 1);
}

void DrawAffine(const TaggedImage& img, Surface& target, const AffineMap& map, bool forceAlpha, int32_t blend,
                const Rect& clip) {
  const Surface& s = img.surface;
  int bits = s.BitCount();
  if (s.Empty() || target.Empty() || target.BitCount() != 24 || (bits != 24 && bits != 8)) return;
  bool alpha = forceAlpha || img.transMode == kTransAlpha;
  if (alpha && bits != 24) return;
  int32_t fullCell = s.width / CellCount(img);
  int32_t cw = alpha ? fullCell / 2 : fullCell;
  int32_t h = s.height;
  if (cw <= 0 || h <= 0) return;
  SourceReader reader{img, s, CurrentCell(img) * fullCell, cw, img.opacity < 0 ? 255 : std::min(img.opacity, 255),
                      alpha, false, bits == 8};
  if (!alpha) reader.keyed = KeyColour(img, reader.key, reader.keyIndex);

  Rect dst = map.box.Intersect(clip).Intersect(TargetBounds(target));
  if (dst.Empty()) return;
  const int64_t uMax = static_cast<int64_t>(cw) * kOne, vMax = static_cast<int64_t>(h) * kOne;
  for (int32_t ty = dst.top; ty < dst.bottom; ++ty) {
    int64_t dy = ty - map.box.top, dx = dst.left - map.box.left;
    int64_t u = map.u0 + dx * map.ux + dy * map.uy;
    int64_t v = map.v0 + dx * map.vx + dy * map.vy;
    // Only the part of the row whose source lies inside the picture is
    // walked; a rotated picture covers much less than its box.
    int64_t lo = 0, hi = dst.right - dst.left;
    NarrowSpan(u, map.ux, uMax, lo, hi);
    NarrowSpan(v, map.vx, vMax, lo, hi);
    if (lo >= hi) continue;
    u += lo * map.ux, v += lo * map.vx;
    uint8_t* d = target.TopRow(ty) + (dst.left + lo) * 3;
    // A run of destination pixels on the same source pixel reads it once.
    int32_t lastU = -1, lastV = -1, a = 0;
    bool visible = false;
    uint8_t px[3] = {};
    for (int64_t tx = lo; tx < hi; ++tx, d += 3, u += map.ux, v += map.vx) {
      if (u < 0 || v < 0 || u >= uMax || v >= vMax) continue;
      int32_t su = static_cast<int32_t>(u >> 16), sv = static_cast<int32_t>(v >> 16);
      if (su != lastU || sv != lastV) {
        visible = reader.Read(su, sv, px, a);
        lastU = su, lastV = sv;
      }
      if (visible) BlendPixel(d, px, a, blend);
    }
  }
}

int64_t Fixed(double v) { return std::llround(v * static_cast<double>(kOne)); }

}  // namespace

void DrawImageTransformed(int32_t rotation, const TaggedImage& img, Surface& target, int32_t cx, int32_t cy,
                          int32_t scaleX, int32_t scaleY, int32_t blend, const Rect& clip) {
  // A zero scale has no inverse: nothing to draw.
  if (scaleX == 0 || scaleY == 0 || img.surface.Empty()) return;
  int32_t cells = CellCount(img);
  int32_t w = img.surface.width / cells;
  if (img.transMode == kTransAlpha) w /= 2;
  int32_t h = img.surface.height;
  int64_t sw = static_cast<int64_t>(scaleX) * w / 100, sh = static_cast<int64_t>(scaleY) * h / 100;
  int32_t r = static_cast<int32_t>(std::floor(0.5 * std::sqrt(static_cast<double>(sw * sw + sh * sh))));
  double theta = static_cast<double>(rotation % 360) * M_PI / 180.0;
  double cs = std::cos(theta), sn = std::sin(theta);

  AffineMap map;
  // The box is grown by a pixel on every side: half the diagonal rounded
  // down would cut off the last column or row of thin or odd-sized
  // pictures. Pixels whose source lies outside the picture are left alone,
  // so the larger box changes nothing else.
  map.box = Rect{cx - r - 1, cy - r - 1, cx + r + 1, cy + r + 1};
  r += 1;
  map.ux = Fixed(cs * 100.0 / scaleX);
  map.uy = Fixed(-sn * 100.0 / scaleX);
  map.vx = Fixed(sn * 100.0 / scaleY);
  map.vy = Fixed(cs * 100.0 / scaleY);
  // Box top-left is the offset (-r, -r) from the centre.
  map.u0 = static_cast<int64_t>(w / 2) * kOne - r * map.ux - r * map.uy;
  map.v0 = static_cast<int64_t>(h / 2) * kOne - r * map.vx - r * map.vy;
  DrawAffine(img, target, map, false, blend, clip);
}

void DrawImageMatrix(const TaggedImage& img, Surface& target, int32_t x, int32_t y, int32_t a, int32_t b,
                     int32_t c, int32_t d, const Rect& clip) {
  double ma = a / 1000.0, mb = b / 1000.0, mc = c / 1000.0, md = d / 1000.0;
  double det = ma * md - mb * mc;
  if (std::fabs(det) < 0.001 || img.surface.Empty()) return;
  int32_t w = img.surface.width / CellCount(img) / 2;  // drawn as ALPHA
  int32_t h = img.surface.height;
  // Bounding box of the transformed cell.
  double minX = 0, maxX = 0, minY = 0, maxY = 0;
  const double corners[4][2] = {{-w / 2.0, -h / 2.0}, {w / 2.0, -h / 2.0}, {-w / 2.0, h / 2.0}, {w / 2.0, h / 2.0}};
  for (const auto& p : corners) {
    double px = ma * p[0] + mb * p[1], py = mc * p[0] + md * p[1];
    minX = std::min(minX, px), maxX = std::max(maxX, px);
    minY = std::min(minY, py), maxY = std::max(maxY, py);
  }
  AffineMap map;
  map.box = Rect{x + static_cast<int32_t>(std::floor(minX)), y + static_cast<int32_t>(std::floor(minY)),
                 x + static_cast<int32_t>(std::ceil(maxX)) + 1, y + static_cast<int32_t>(std::ceil(maxY)) + 1};
  double ia = md / det, ib = -mb / det, ic = -mc / det, id = ma / det;
  map.ux = Fixed(ia), map.uy = Fixed(ib), map.vx = Fixed(ic), map.vy = Fixed(id);
  int64_t ox = map.box.left - x, oy = map.box.top - y;
  map.u0 = static_cast<int64_t>(w / 2) * kOne + ox * map.ux + oy * map.uy;
  map.v0 = static_cast<int64_t>(h / 2) * kOne + ox * map.vx + oy * map.vy;
  DrawAffine(img, target, map, true, kBlendNormal, clip);
}

void NegateRect(Surface& s, const Rect& r0) {
  Rect r = r0.Intersect(TargetBounds(s));
  if (r.Empty() || s.BitCount() != 24) return;
  for (int32_t y = r.top; y < r.bottom; ++y) {
    uint8_t* p = s.TopRow(y) + r.left * 3;
    for (int32_t i = 0; i < (r.right - r.left) * 3; ++i) p[i] = static_cast<uint8_t>(255 - p[i]);
  }
}

void MonochromeRect(Surface& s, const Rect& r0, int32_t tint) {
  Rect r = r0.Intersect(TargetBounds(s));
  if (r.Empty() || s.BitCount() != 24) return;
  const uint8_t* tb = kBlend.Row(tint & 0xFF);
  const uint8_t* tg = kBlend.Row((tint >> 8) & 0xFF);
  const uint8_t* tr = kBlend.Row((tint >> 16) & 0xFF);
  for (int32_t y = r.top; y < r.bottom; ++y) {
    uint8_t* p = s.TopRow(y) + r.left * 3;
    for (int32_t i = r.left; i < r.right; ++i, p += 3) {
      int32_t g = (p[0] + p[1] + p[2]) / 3;
      p[0] = tb[g], p[1] = tg[g], p[2] = tr[g];
    }
  }
}

void FillRect(Surface& s, const Rect& r0, int32_t colour) {
  Rect r = r0.Intersect(TargetBounds(s));
  if (r.Empty() || s.BitCount() != 24) return;
  uint8_t px[3] = {static_cast<uint8_t>(colour), static_cast<uint8_t>(colour >> 8), static_cast<uint8_t>(colour >> 16)};
  for (int32_t y = r.top; y < r.bottom; ++y) {
    uint8_t* p = s.TopRow(y) + r.left * 3;
    for (int32_t i = r.left; i < r.right; ++i, p += 3) p[0] = px[0], p[1] = px[1], p[2] = px[2];
  }
}

void CopyRect(const Surface& from, Surface& to, const Rect& r0) {
  Rect r = r0.Intersect(TargetBounds(to)).Intersect(TargetBounds(from));
  if (r.Empty() || from.BitCount() != 24 || to.BitCount() != 24) return;
  for (int32_t y = r.top; y < r.bottom; ++y) {
    std::memcpy(to.TopRow(y) + r.left * 3, from.Row(from.height - 1 - y) + r.left * 3,
                static_cast<size_t>(r.right - r.left) * 3);
  }
}

}  // namespace sorv
