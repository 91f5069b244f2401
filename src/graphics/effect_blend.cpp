// The per-byte kernels of the blending transitions. The results equal the
// blend table's entries exactly, and the vector code needs no table
// lookups. On x86-64 the kernels run 32 bytes at a time with AVX2 when the
// processor has it and 16 at a time with SSE2 otherwise; elsewhere, and for
// the bytes left at the end of a row, a plain loop does the same sums.
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

// The vector kernels take one multiplication per table entry: for
// 0 <= w <= 254 and any byte v, T[w][v] = (v x (257 w + 1)) >> 16, the high
// half of one 16-bit product. (257 w + 1) v / 65536 exceeds w v / 255 by
// v (255 - w) / (255 x 65536), less than 1 / 255, which never carries past
// the next whole number. The factor 257 w + 1 is the 16-bit lane whose low
// byte is w + 1 and whose high byte is w, so one unpack of the bytes w + 1
// and w makes it. The other weight, 255 - w, takes the factor
// 257 (255 - w) + 1 = 65536 - 257 w, which is 1 minus the first one in
// 16-bit arithmetic. Where w is 0 that factor would be 65536: both products
// are 0 there, and the caller puts in the byte that shows whole.
//
// Soft rule weights come from level - rule clamped to 0..255. Below level
// 255 the scene's weight is a = level - rule saturated at 0 and never
// reaches 255; above it the old frame's weight c = rule - (level - 255)
// saturated at 0 never does; at level 255 exactly a = 255 - rule takes
// both ends, and its 255 is worked out apart.

// --- SSE2 (every x86-64 processor): 16 bytes a step ---

// T[w][x] + T[255 - w][y] for 16 bytes, given w and w + 1 (w1 may be 0 or
// 1 where w is 0). Lanes with w = 0 give 0; lanes with w = 255 (w1 = 0)
// give x - 1, or 0 for x = 0.
inline __m128i BlendSse(__m128i w, __m128i w1, __m128i x, __m128i y) {
  const __m128i zero = _mm_setzero_si128(), one = _mm_set1_epi16(1);
  __m128i flo = _mm_unpacklo_epi8(w1, w), fhi = _mm_unpackhi_epi8(w1, w);
  __m128i lo = _mm_add_epi16(_mm_mulhi_epu16(_mm_unpacklo_epi8(x, zero), flo),
                             _mm_mulhi_epu16(_mm_unpacklo_epi8(y, zero), _mm_sub_epi16(one, flo)));
  __m128i hi = _mm_add_epi16(_mm_mulhi_epu16(_mm_unpackhi_epi8(x, zero), fhi),
                             _mm_mulhi_epu16(_mm_unpackhi_epi8(y, zero), _mm_sub_epi16(one, fhi)));
  return _mm_packus_epi16(lo, hi);
}

// v where mask is clear, v | whole where it is set (v is 0 there).
inline __m128i FillSse(__m128i v, __m128i mask, __m128i whole) { return _mm_or_si128(v, _mm_and_si128(mask, whole)); }

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
  auto step = [&](size_t at) {
    __m128i s = ParityBytes<kOdd>(_mm_loadu_si128(reinterpret_cast<const __m128i*>(scene + at)));
    __m128i o = ParityBytes<kOdd>(_mm_loadu_si128(reinterpret_cast<const __m128i*>(old + at)));
    __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + at));
    __m128i v = _mm_add_epi16(_mm_mulhi_epu16(s, wa), _mm_mulhi_epu16(o, wb));
    if (kOdd) v = _mm_slli_epi16(v, 8);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + at), _mm_or_si128(_mm_and_si128(keep, d), v));
  };
  // Two steps a turn: the loop is short enough that where its code lands
  // would otherwise swing its speed by half.
  for (; i + 32 <= n; i += 32) {
    step(i);
    step(i + 16);
  }
  if (i + 16 <= n) {
    step(i);
    i += 16;
  }
  return i;
}

size_t CrossFadeSse2(uint8_t* dst, const uint8_t* scene, const uint8_t* old, size_t n, uint16_t a, size_t parity) {
  return parity ? CrossFadeSse2Parity<true>(dst, scene, old, n, a) : CrossFadeSse2Parity<false>(dst, scene, old, n, a);
}

enum class Span { kLow, kMiddle, kHigh };  // level below, at and above 255

// The soft rule's steps below and above level 255, written out by hand.
// The loop issues about six instructions a cycle and is held by their
// number, not by memory (it runs as fast with everything in the first-level
// cache); written with intrinsics, the compiler's register choices added
// two to five copies to its 33 or 34, and a frame took a twentieth longer.
// The sums are those of BlendSse and FillSse: w and w1 as described above,
// x the bytes w weighs, y the others, which also show whole where w is 0.
// kLow: w = level - r, w1 = (level + 1) - r; kHigh: w = r - (level - 255),
// w1 = r - (level - 256); all saturated.
template <Span kSpan>
size_t SoftRuleSse2Steps(uint8_t* dst, const uint8_t* x, const uint8_t* y, const uint8_t* rule, size_t n,
                         int16_t level) {
  static_assert(kSpan != Span::kMiddle);
  const size_t end = n & ~static_cast<size_t>(15);
  if (end == 0) return 0;
  const int16_t base = kSpan == Span::kHigh ? static_cast<int16_t>(level - 255) : level;
  const __m128i k = _mm_set1_epi8(static_cast<char>(base));
  const __m128i k1 = _mm_set1_epi8(static_cast<char>(kSpan == Span::kHigh ? base - 1 : base + 1));
  const __m128i zero = _mm_setzero_si128(), one = _mm_set1_epi16(1);
  __m128i t0, t1, t2, t3, t4, t5, t6, t7, t8;
  size_t i = 0;
#define SORV_SOFT_RULE_WEIGHTS_LOW             \
  "movdqu (%[rule],%[i]), %[t1]\n\t"          \
  "movdqa %[k], %[t0]\n\t"                    \
  "psubusb %[t1], %[t0]\n\t"                  \
  "movdqa %[k1], %[t2]\n\t"                   \
  "psubusb %[t1], %[t2]\n\t"
#define SORV_SOFT_RULE_WEIGHTS_HIGH            \
  "movdqu (%[rule],%[i]), %[t0]\n\t"          \
  "movdqa %[t0], %[t2]\n\t"                   \
  "psubusb %[k], %[t0]\n\t"                   \
  "psubusb %[k1], %[t2]\n\t"
#define SORV_SOFT_RULE_BLEND                                                  \
  /* t0 = w, t2 = w1: the factors 257 w + 1, low half in t2, high in t1 */    \
  "movdqa %[t2], %[t1]\n\t"                                                   \
  "punpcklbw %[t0], %[t2]\n\t"                                                \
  "punpckhbw %[t0], %[t1]\n\t"                                                \
  "pcmpeqb %[zero], %[t0]\n\t" /* lanes where w is 0 */                       \
  "movdqu (%[x],%[i]), %[t3]\n\t"                                             \
  "movdqa %[t3], %[t4]\n\t"                                                   \
  "punpcklbw %[zero], %[t3]\n\t"                                              \
  "punpckhbw %[zero], %[t4]\n\t"                                              \
  "pmulhuw %[t2], %[t3]\n\t"                                                  \
  "pmulhuw %[t1], %[t4]\n\t"                                                  \
  "movdqa %[one], %[t5]\n\t" /* the other factors, 1 - (257 w + 1) */         \
  "psubw %[t2], %[t5]\n\t"                                                    \
  "movdqa %[one], %[t6]\n\t"                                                  \
  "psubw %[t1], %[t6]\n\t"                                                    \
  "movdqu (%[y],%[i]), %[t7]\n\t"                                             \
  "pand %[t7], %[t0]\n\t"                                                     \
  "movdqa %[t7], %[t8]\n\t"                                                   \
  "punpcklbw %[zero], %[t7]\n\t"                                              \
  "punpckhbw %[zero], %[t8]\n\t"                                              \
  "pmulhuw %[t5], %[t7]\n\t"                                                  \
  "pmulhuw %[t6], %[t8]\n\t"                                                  \
  "paddw %[t7], %[t3]\n\t"                                                    \
  "paddw %[t8], %[t4]\n\t"                                                    \
  "packuswb %[t4], %[t3]\n\t"                                                 \
  "por %[t0], %[t3]\n\t"                                                      \
  "movdqu %[t3], (%[dst],%[i])\n\t"                                           \
  "add $16, %[i]\n\t"                                                         \
  "cmp %[end], %[i]\n\t"                                                      \
  "jb 1b\n\t"
#define SORV_SOFT_RULE_OPERANDS                                                                                \
  : [i] "+r"(i), [t0] "=&x"(t0), [t1] "=&x"(t1), [t2] "=&x"(t2), [t3] "=&x"(t3), [t4] "=&x"(t4), [t5] "=&x"(t5), \
    [t6] "=&x"(t6), [t7] "=&x"(t7), [t8] "=&x"(t8)                                                             \
  : [rule] "r"(rule), [x] "r"(x), [y] "r"(y), [dst] "r"(dst), [end] "r"(end), [k] "x"(k), [k1] "x"(k1),        \
    [zero] "x"(zero), [one] "x"(one)                                                                           \
  : "memory", "cc"
  if constexpr (kSpan == Span::kLow) {
    asm volatile("1:\n\t" SORV_SOFT_RULE_WEIGHTS_LOW SORV_SOFT_RULE_BLEND SORV_SOFT_RULE_OPERANDS);
  } else {
    asm volatile("1:\n\t" SORV_SOFT_RULE_WEIGHTS_HIGH SORV_SOFT_RULE_BLEND SORV_SOFT_RULE_OPERANDS);
  }
#undef SORV_SOFT_RULE_OPERANDS
#undef SORV_SOFT_RULE_BLEND
#undef SORV_SOFT_RULE_WEIGHTS_HIGH
#undef SORV_SOFT_RULE_WEIGHTS_LOW
  return i;
}

// Level 255, where a = 255 - r takes both ends of the weights: the middle
// frame of a transition, left to the compiler.
size_t SoftRuleSse2Middle(uint8_t* dst, const uint8_t* scene, const uint8_t* old, const uint8_t* rule, size_t n) {
  const __m128i zero = _mm_setzero_si128(), ones = _mm_set1_epi8(-1);
  size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(scene + i));
    __m128i o = _mm_loadu_si128(reinterpret_cast<const __m128i*>(old + i));
    __m128i a = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(rule + i)), ones);  // 255 - r
    __m128i v = BlendSse(a, _mm_sub_epi8(a, ones), s, o);
    v = _mm_max_epu8(v, _mm_and_si128(_mm_cmpeq_epi8(a, ones), s));  // a = 255 gave s - 1 or 0
    v = FillSse(v, _mm_cmpeq_epi8(a, zero), o);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), v);
  }
  return i;
}

size_t SoftRuleSse2(uint8_t* dst, const uint8_t* scene, const uint8_t* old, const uint8_t* rule, size_t n,
                    int16_t level) {
  if (level < 255) return SoftRuleSse2Steps<Span::kLow>(dst, scene, old, rule, n, level);
  if (level == 255) return SoftRuleSse2Middle(dst, scene, old, rule, n);
  return SoftRuleSse2Steps<Span::kHigh>(dst, old, scene, rule, n, level);
}

// --- AVX2: the same sums 32 bytes a step ---
//
// The unpacks and the pack work within each 16-byte half, so the bytes
// come back in their places.

__attribute__((target("avx2"))) inline __m256i BlendAvx(__m256i w, __m256i w1, __m256i x, __m256i y) {
  const __m256i zero = _mm256_setzero_si256(), one = _mm256_set1_epi16(1);
  __m256i flo = _mm256_unpacklo_epi8(w1, w), fhi = _mm256_unpackhi_epi8(w1, w);
  __m256i lo = _mm256_add_epi16(_mm256_mulhi_epu16(_mm256_unpacklo_epi8(x, zero), flo),
                                _mm256_mulhi_epu16(_mm256_unpacklo_epi8(y, zero), _mm256_sub_epi16(one, flo)));
  __m256i hi = _mm256_add_epi16(_mm256_mulhi_epu16(_mm256_unpackhi_epi8(x, zero), fhi),
                                _mm256_mulhi_epu16(_mm256_unpackhi_epi8(y, zero), _mm256_sub_epi16(one, fhi)));
  return _mm256_packus_epi16(lo, hi);
}

__attribute__((target("avx2"))) inline __m256i FillAvx(__m256i v, __m256i mask, __m256i whole) {
  return _mm256_or_si256(v, _mm256_and_si256(mask, whole));
}

__attribute__((target("avx2"))) size_t CrossFadeAvx2(uint8_t* dst, const uint8_t* scene, const uint8_t* old,
                                                    size_t n, uint16_t a, size_t parity) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i wa = _mm256_set1_epi16(static_cast<short>(257 * a + 1));
  const __m256i wb = _mm256_set1_epi16(static_cast<short>(257 * (255 - a) + 1));
  // The bytes of the parity take the blend, the others keep what they show.
  const __m256i take = parity ? _mm256_set1_epi16(static_cast<short>(0xFF00)) : _mm256_set1_epi16(0x00FF);
  size_t i = 0;
  if (a == 0 || a == 255) {
    const uint8_t* whole = a == 0 ? old : scene;
    for (; i + 32 <= n; i += 32) {
      __m256i w = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(whole + i));
      __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst + i));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), _mm256_blendv_epi8(d, w, take));
    }
    return i;
  }
  for (; i + 32 <= n; i += 32) {
    __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(scene + i));
    __m256i o = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(old + i));
    __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst + i));
    __m256i lo = _mm256_add_epi16(_mm256_mulhi_epu16(_mm256_unpacklo_epi8(s, zero), wa),
                                  _mm256_mulhi_epu16(_mm256_unpacklo_epi8(o, zero), wb));
    __m256i hi = _mm256_add_epi16(_mm256_mulhi_epu16(_mm256_unpackhi_epi8(s, zero), wa),
                                  _mm256_mulhi_epu16(_mm256_unpackhi_epi8(o, zero), wb));
    __m256i v = _mm256_packus_epi16(lo, hi);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), _mm256_blendv_epi8(d, v, take));
  }
  return i;
}

template <Span kSpan>
__attribute__((target("avx2"))) size_t SoftRuleAvx2Span(uint8_t* dst, const uint8_t* scene, const uint8_t* old,
                                                       const uint8_t* rule, size_t n, int16_t level) {
  const int16_t base = kSpan == Span::kHigh ? static_cast<int16_t>(level - 255) : level;
  const __m256i l = _mm256_set1_epi8(static_cast<char>(base));
  const __m256i l1 = _mm256_set1_epi8(static_cast<char>(kSpan == Span::kHigh ? base - 1 : base + 1));
  const __m256i zero = _mm256_setzero_si256(), ones = _mm256_set1_epi8(-1);
  size_t i = 0;
  for (; i + 32 <= n; i += 32) {
    __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(scene + i));
    __m256i o = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(old + i));
    __m256i r = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(rule + i));
    __m256i v;
    if (kSpan == Span::kLow) {
      __m256i a = _mm256_subs_epu8(l, r);
      v = FillAvx(BlendAvx(a, _mm256_subs_epu8(l1, r), s, o), _mm256_cmpeq_epi8(a, zero), o);
    } else if (kSpan == Span::kHigh) {
      __m256i c = _mm256_subs_epu8(r, l);
      v = FillAvx(BlendAvx(c, _mm256_subs_epu8(r, l1), o, s), _mm256_cmpeq_epi8(c, zero), s);
    } else {
      __m256i a = _mm256_xor_si256(r, ones);
      v = BlendAvx(a, _mm256_sub_epi8(a, ones), s, o);
      v = _mm256_max_epu8(v, _mm256_and_si256(_mm256_cmpeq_epi8(a, ones), s));
      v = FillAvx(v, _mm256_cmpeq_epi8(a, zero), o);
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), v);
  }
  return i;
}

__attribute__((target("avx2"))) size_t SoftRuleAvx2(uint8_t* dst, const uint8_t* scene, const uint8_t* old,
                                                   const uint8_t* rule, size_t n, int16_t level) {
  if (level < 255) return SoftRuleAvx2Span<Span::kLow>(dst, scene, old, rule, n, level);
  if (level == 255) return SoftRuleAvx2Span<Span::kMiddle>(dst, scene, old, rule, n, level);
  return SoftRuleAvx2Span<Span::kHigh>(dst, scene, old, rule, n, level);
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
  if (level <= 0 || level >= 510) {
    // Every weight is 0 (the old frame) or 255 (the new one).
    std::memmove(dst, level <= 0 ? old : scene, n);
    return;
  }
  const int16_t l = static_cast<int16_t>(level);
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
