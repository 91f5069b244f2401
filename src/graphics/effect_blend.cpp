// The per-byte kernels of the blending transitions. The results equal the
// blend table's entries exactly: x / 255 for x = a x v is computed as
// (x x 0x8081) >> 23, which is exact over the whole 16-bit range, so the
// vector code needs no table lookups. On x86-64 the kernels run 32 bytes at
// a time with AVX2 when the processor has it and 16 at a time with SSE2
// otherwise; elsewhere, and for the bytes left at the end of a row, a plain
// loop does the same sums.
#include <algorithm>
#include <cstring>

#include "graphics/transition.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define SORV_X86_KERNELS 1
#endif

namespace sorv {
namespace {

inline uint8_t Mix(uint16_t a, uint8_t scene, uint8_t old) {
  return static_cast<uint8_t>(Div255(static_cast<uint16_t>(a * scene)) +
                              Div255(static_cast<uint16_t>((255 - a) * old)));
}

inline uint16_t SoftLevel(int16_t level, uint8_t rule) {
  int16_t d = static_cast<int16_t>(level - rule);
  return static_cast<uint16_t>(std::clamp<int16_t>(d, 0, 255));
}

void CrossFadeTail(uint8_t* dst, const uint8_t* scene, const uint8_t* old, size_t from, size_t n, uint16_t a,
                   size_t parity) {
  for (size_t i = from; i < n; ++i)
    if ((i & 1) == parity) dst[i] = Mix(a, scene[i], old[i]);
}

void SoftRuleTail(uint8_t* dst, const uint8_t* scene, const uint8_t* old, const uint8_t* rule, size_t from, size_t n,
                  int16_t level) {
  for (size_t i = from; i < n; ++i) dst[i] = Mix(SoftLevel(level, rule[i]), scene[i], old[i]);
}

#ifdef SORV_X86_KERNELS

// --- AVX2: 32 bytes a step ---

__attribute__((target("avx2"))) inline __m256i Div255Avx(__m256i x) {
  return _mm256_srli_epi16(_mm256_mulhi_epu16(x, _mm256_set1_epi16(static_cast<short>(0x8081))), 7);
}

// T[a][s] + T[255 - a][o] for 16-bit lanes.
__attribute__((target("avx2"))) inline __m256i MixAvx(__m256i a, __m256i s, __m256i o) {
  __m256i b = _mm256_sub_epi16(_mm256_set1_epi16(255), a);
  return _mm256_add_epi16(Div255Avx(_mm256_mullo_epi16(a, s)), Div255Avx(_mm256_mullo_epi16(b, o)));
}

__attribute__((target("avx2"))) size_t CrossFadeAvx2(uint8_t* dst, const uint8_t* scene, const uint8_t* old,
                                                    size_t n, uint16_t a, size_t parity) {
  const __m256i zero = _mm256_setzero_si256(), wa = _mm256_set1_epi16(static_cast<short>(a));
  // The bytes of the parity take the blend, the others keep what they show.
  const __m256i take = parity ? _mm256_set1_epi16(static_cast<short>(0xFF00)) : _mm256_set1_epi16(0x00FF);
  size_t i = 0;
  for (; i + 32 <= n; i += 32) {
    __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(scene + i));
    __m256i o = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(old + i));
    __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst + i));
    __m256i lo = MixAvx(wa, _mm256_unpacklo_epi8(s, zero), _mm256_unpacklo_epi8(o, zero));
    __m256i hi = MixAvx(wa, _mm256_unpackhi_epi8(s, zero), _mm256_unpackhi_epi8(o, zero));
    __m256i v = _mm256_packus_epi16(lo, hi);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), _mm256_blendv_epi8(d, v, take));
  }
  return i;
}

__attribute__((target("avx2"))) size_t SoftRuleAvx2(uint8_t* dst, const uint8_t* scene, const uint8_t* old,
                                                   const uint8_t* rule, size_t n, int16_t level) {
  const __m256i zero = _mm256_setzero_si256(), l = _mm256_set1_epi16(level), top = _mm256_set1_epi16(255);
  size_t i = 0;
  for (; i + 32 <= n; i += 32) {
    __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(scene + i));
    __m256i o = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(old + i));
    __m256i r = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(rule + i));
    __m256i alo = _mm256_min_epi16(_mm256_max_epi16(_mm256_sub_epi16(l, _mm256_unpacklo_epi8(r, zero)), zero), top);
    __m256i ahi = _mm256_min_epi16(_mm256_max_epi16(_mm256_sub_epi16(l, _mm256_unpackhi_epi8(r, zero)), zero), top);
    __m256i lo = MixAvx(alo, _mm256_unpacklo_epi8(s, zero), _mm256_unpacklo_epi8(o, zero));
    __m256i hi = MixAvx(ahi, _mm256_unpackhi_epi8(s, zero), _mm256_unpackhi_epi8(o, zero));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), _mm256_packus_epi16(lo, hi));
  }
  return i;
}

// --- SSE2 (every x86-64 processor): 16 bytes a step ---
//
// Here the processor has one vector multiplier at most, so each table entry
// takes one multiplication instead of two: for 1 <= a <= 254 and any byte v,
// T[a][v] = (v x (257 a + 1)) >> 16, the high half of one 16-bit product.
// (257 a + 1) v / 65536 exceeds a v / 255 by v (255 - a) / (255 x 65536),
// less than 1 / 255, which never carries past the next whole number. For
// b = 255 - a the factor is 65536 - 257 a, the 16-bit negation of 257 a.
// The ends a = 0 and a = 255 (where one factor does not fit) give 0 from
// the products and take the old or the new byte whole.

// Bytes of the parity `kOdd` within each 16-bit lane, moved to its low byte.
template <bool kOdd>
inline __m128i ParityBytes(__m128i v) {
  return kOdd ? _mm_srli_epi16(v, 8) : _mm_and_si128(v, _mm_set1_epi16(0x00FF));
}

template <bool kOdd>
size_t CrossFadeSse2Parity(uint8_t* dst, const uint8_t* scene, const uint8_t* old, size_t n, uint16_t a) {
  const __m128i keep = kOdd ? _mm_set1_epi16(0x00FF) : _mm_set1_epi16(static_cast<short>(0xFF00));
  size_t i = 0;
  if (a == 0 || a == 255) {
    const uint8_t* whole = a == 0 ? old : scene;
    for (; i + 16 <= n; i += 16) {
      __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(whole + i));
      __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + i));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_or_si128(_mm_and_si128(keep, d), _mm_andnot_si128(keep, w)));
    }
    return i;
  }
  const __m128i wa = _mm_set1_epi16(static_cast<short>(257 * a + 1));
  const __m128i wb = _mm_set1_epi16(static_cast<short>(257 * (255 - a) + 1));
  for (; i + 16 <= n; i += 16) {
    __m128i s = ParityBytes<kOdd>(_mm_loadu_si128(reinterpret_cast<const __m128i*>(scene + i)));
    __m128i o = ParityBytes<kOdd>(_mm_loadu_si128(reinterpret_cast<const __m128i*>(old + i)));
    __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + i));
    __m128i v = _mm_add_epi16(_mm_mulhi_epu16(s, wa), _mm_mulhi_epu16(o, wb));
    if (kOdd) v = _mm_slli_epi16(v, 8);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_or_si128(_mm_and_si128(keep, d), v));
  }
  return i;
}

size_t CrossFadeSse2(uint8_t* dst, const uint8_t* scene, const uint8_t* old, size_t n, uint16_t a, size_t parity) {
  return parity ? CrossFadeSse2Parity<true>(dst, scene, old, n, a) : CrossFadeSse2Parity<false>(dst, scene, old, n, a);
}

// T[a][s] + T[255 - a][o] for 16 bytes with their weights a; kZero and
// kFull say whether a weight may be 0 or 255.
template <bool kZero, bool kFull>
inline __m128i SoftMixSse(__m128i a, __m128i s, __m128i o) {
  const __m128i zero = _mm_setzero_si128(), one = _mm_set1_epi16(1);
  __m128i a257lo = _mm_unpacklo_epi8(a, a), a257hi = _mm_unpackhi_epi8(a, a);
  __m128i lo = _mm_add_epi16(_mm_mulhi_epu16(_mm_unpacklo_epi8(s, zero), _mm_add_epi16(a257lo, one)),
                             _mm_mulhi_epu16(_mm_unpacklo_epi8(o, zero), _mm_sub_epi16(zero, a257lo)));
  __m128i hi = _mm_add_epi16(_mm_mulhi_epu16(_mm_unpackhi_epi8(s, zero), _mm_add_epi16(a257hi, one)),
                             _mm_mulhi_epu16(_mm_unpackhi_epi8(o, zero), _mm_sub_epi16(zero, a257hi)));
  __m128i v = _mm_packus_epi16(lo, hi);
  if (kFull) v = _mm_or_si128(v, _mm_and_si128(_mm_cmpeq_epi8(a, _mm_set1_epi8(-1)), s));
  if (kZero) v = _mm_or_si128(v, _mm_and_si128(_mm_cmpeq_epi8(a, zero), o));
  return v;
}

// The weight clamp(level - rule, 0, 255) in bytes. Up to level 255 it is
// level - rule saturated at 0 (and below 255 short of level 255); above,
// level - rule is never below 1 and the weight is
// 255 - (rule - (level - 255)), saturated the same way.
template <bool kLow, bool kZero, bool kFull>
size_t SoftRuleSse2Range(uint8_t* dst, const uint8_t* scene, const uint8_t* old, const uint8_t* rule, size_t n,
                         int16_t level) {
  const __m128i l = _mm_set1_epi8(static_cast<char>(kLow ? level : level - 255));
  const __m128i ones = _mm_set1_epi8(-1);
  size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(scene + i));
    __m128i o = _mm_loadu_si128(reinterpret_cast<const __m128i*>(old + i));
    __m128i r = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rule + i));
    __m128i a = kLow ? _mm_subs_epu8(l, r) : _mm_xor_si128(_mm_subs_epu8(r, l), ones);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), SoftMixSse<kZero, kFull>(a, s, o));
  }
  return i;
}

size_t SoftRuleSse2(uint8_t* dst, const uint8_t* scene, const uint8_t* old, const uint8_t* rule, size_t n,
                    int16_t level) {
  if (level <= 0 || level >= 510) {
    // Every weight is 0 (the old frame) or 255 (the new one).
    size_t whole = n & ~static_cast<size_t>(15);
    std::memmove(dst, level <= 0 ? old : scene, whole);
    return whole;
  }
  if (level < 255) return SoftRuleSse2Range<true, true, false>(dst, scene, old, rule, n, level);
  if (level == 255) return SoftRuleSse2Range<true, true, true>(dst, scene, old, rule, n, level);
  return SoftRuleSse2Range<false, false, true>(dst, scene, old, rule, n, level);
}

bool HasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}

#endif

int kernelLevel = 2;

}  // namespace

void SetBlendKernelLevel(int level) { kernelLevel = level; }

void CrossFadeBytes(uint8_t* dst, const uint8_t* scene, const uint8_t* old, size_t n, int32_t w, int32_t phase) {
  const uint16_t a = static_cast<uint16_t>(std::clamp(w, 0, 255));
  const size_t parity = static_cast<size_t>(phase & 1);
  size_t done = 0;
#ifdef SORV_X86_KERNELS
  // Every step covers an even number of bytes, so the parity of a byte's
  // index within a step is that within the row.
  if (kernelLevel >= 2 && HasAvx2()) {
    done = CrossFadeAvx2(dst, scene, old, n, a, parity);
  } else if (kernelLevel >= 1) {
    done = CrossFadeSse2(dst, scene, old, n, a, parity);
  }
#endif
  CrossFadeTail(dst, scene, old, done, n, a, parity);
}

void SoftRuleBytes(uint8_t* dst, const uint8_t* scene, const uint8_t* old, const uint8_t* rule, size_t n,
                   int32_t level) {
  const int16_t l = static_cast<int16_t>(std::clamp(level, -512, 1024));
  size_t done = 0;
#ifdef SORV_X86_KERNELS
  if (kernelLevel >= 2 && HasAvx2()) {
    done = SoftRuleAvx2(dst, scene, old, rule, n, l);
  } else if (kernelLevel >= 1) {
    done = SoftRuleSse2(dst, scene, old, rule, n, l);
  }
#endif
  SoftRuleTail(dst, scene, old, rule, done, n, l);
}

void RuleBytes(uint8_t* dst, const uint8_t* scene, const uint8_t* rule, size_t n, int32_t level) {
  if (level < 0) return;
  const uint8_t l = static_cast<uint8_t>(std::min(level, 255));
  for (size_t i = 0; i < n; ++i) {
    uint8_t take = static_cast<uint8_t>(rule[i] <= l ? 0xFF : 0);
    dst[i] = static_cast<uint8_t>((scene[i] & take) | (dst[i] & ~take));
  }
}

}  // namespace sorv
