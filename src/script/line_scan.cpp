#include "script/line_scan.h"

#include <cstring>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define SORV_X86_SCAN 1
#endif

namespace sorv {
namespace {

inline bool IsEvent(unsigned char c) { return c == '\n' || c == '\r' || c == 0x1A; }

size_t FindEventPlain(const unsigned char* p, size_t i, size_t n) {
  while (i < n && !IsEvent(p[i])) ++i;
  return i;
}

#ifdef SORV_X86_SCAN

// The next line feed, carriage return or Ctrl-Z at or after i, or n.
size_t FindEventSse2(const unsigned char* p, size_t i, size_t n) {
  const __m128i lf = _mm_set1_epi8('\n'), cr = _mm_set1_epi8('\r'), eof = _mm_set1_epi8(0x1A);
  for (; i + 16 <= n; i += 16) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    __m128i m = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, lf), _mm_cmpeq_epi8(v, cr)), _mm_cmpeq_epi8(v, eof));
    if (unsigned bits = static_cast<unsigned>(_mm_movemask_epi8(m))) return i + static_cast<size_t>(__builtin_ctz(bits));
  }
  return FindEventPlain(p, i, n);
}

__attribute__((target("avx2"))) size_t FindEventAvx2(const unsigned char* p, size_t i, size_t n) {
  const __m256i lf = _mm256_set1_epi8('\n'), cr = _mm256_set1_epi8('\r'), eof = _mm256_set1_epi8(0x1A);
  for (; i + 32 <= n; i += 32) {
    __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i));
    __m256i m = _mm256_or_si256(_mm256_or_si256(_mm256_cmpeq_epi8(v, lf), _mm256_cmpeq_epi8(v, cr)),
                                _mm256_cmpeq_epi8(v, eof));
    if (unsigned bits = static_cast<unsigned>(_mm256_movemask_epi8(m))) {
      return i + static_cast<size_t>(__builtin_ctz(bits));
    }
  }
  return FindEventSse2(p, i, n);
}

using FindEvent = size_t (*)(const unsigned char*, size_t, size_t);

FindEvent ChooseFinder() { return __builtin_cpu_supports("avx2") ? FindEventAvx2 : FindEventSse2; }

inline bool StartsLabelScan(unsigned char c) { return c == '*' || c == 0 || c == ' ' || c == '\t'; }

__attribute__((target("avx2"))) inline uint32_t Bits(__m256i m) {
  return static_cast<uint32_t>(_mm256_movemask_epi8(m));
}

// Drops the bytes the set bits of `drop` (one per byte, of the low eight)
// mark from the eight bytes of `word`, which keeps the rest in order at
// its low end.
inline uint64_t DropBytes(uint64_t word, unsigned drop) {
  while (drop) {
    const unsigned j = 31u - static_cast<unsigned>(__builtin_clz(drop));  // highest first
    const uint64_t low = j ? word & (~0ull >> (64 - 8 * j)) : 0;
    const uint64_t high = j < 7 ? (word >> (8 * (j + 1))) << (8 * j) : 0;
    word = low | high;
    drop &= ~(1u << j);
  }
  return word;
}

// Whole 64-byte steps of the text from read offset r on, written at write
// offset w of dst: in text mode the CR of each CR LF pair is dropped, and a
// line is looked at only when the byte after its line feed is '*', NUL or a
// blank, found for all 64 at once. Stops at a step holding a Ctrl-Z or a CR
// that no line feed follows (in text mode), or where fewer than 65 bytes
// are left (the byte behind a step is read too). Never writes at or past
// the step being read, so the text still to come stays whole.
__attribute__((target("avx2"))) void ScanStepsAvx2(char* dst, const unsigned char* src, size_t n, bool textMode,
                                                  int32_t base, std::vector<int32_t>& starts, size_t& rr, size_t& ww) {
  const __m256i lf = _mm256_set1_epi8('\n'), cr = _mm256_set1_epi8('\r'), eof = _mm256_set1_epi8(0x1A);
  const __m256i star = _mm256_set1_epi8('*'), nul = _mm256_setzero_si256(), sp = _mm256_set1_epi8(' '),
                tab = _mm256_set1_epi8('\t');
  size_t r = rr, w = ww;
  for (; r + 65 <= n; r += 64) {
    const __m256i v0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + r));
    const __m256i v1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + r + 32));
    uint64_t drop = 0;
    if (textMode) {
      // Most steps of most texts hold neither: one test looks for both.
      const __m256i c0 = _mm256_cmpeq_epi8(v0, cr), c1 = _mm256_cmpeq_epi8(v1, cr);
      const __m256i z = _mm256_or_si256(_mm256_cmpeq_epi8(v0, eof), _mm256_cmpeq_epi8(v1, eof));
      const __m256i any = _mm256_or_si256(_mm256_or_si256(c0, c1), z);
      if (!_mm256_testz_si256(any, any)) {
        if (!_mm256_testz_si256(z, z)) break;
        drop = Bits(c0) | static_cast<uint64_t>(Bits(c1)) << 32;
      }
    }
    const uint64_t feeds = Bits(_mm256_cmpeq_epi8(v0, lf)) | static_cast<uint64_t>(Bits(_mm256_cmpeq_epi8(v1, lf))) << 32;
    if (drop) {
      // Only a CR with a line feed behind it goes.
      const uint64_t beforeFeed = feeds >> 1 | static_cast<uint64_t>(src[r + 64] == '\n') << 63;
      if (drop & ~beforeFeed) break;
    }
    if (feeds) {
      __m256i h0 = _mm256_or_si256(_mm256_or_si256(_mm256_cmpeq_epi8(v0, star), _mm256_cmpeq_epi8(v0, nul)),
                                   _mm256_or_si256(_mm256_cmpeq_epi8(v0, sp), _mm256_cmpeq_epi8(v0, tab)));
      __m256i h1 = _mm256_or_si256(_mm256_or_si256(_mm256_cmpeq_epi8(v1, star), _mm256_cmpeq_epi8(v1, nul)),
                                   _mm256_or_si256(_mm256_cmpeq_epi8(v1, sp), _mm256_cmpeq_epi8(v1, tab)));
      uint64_t after = (Bits(h0) | static_cast<uint64_t>(Bits(h1)) << 32) >> 1;
      if (StartsLabelScan(src[r + 64])) after |= 1ull << 63;
      for (uint64_t m = feeds & after; m; m &= m - 1) {
        const size_t bit = static_cast<size_t>(__builtin_ctzll(m)) + 1;
        size_t k = r + bit;
        while (k < n && (src[k] == ' ' || src[k] == '\t')) ++k;
        if (k < n && (src[k] == '*' || src[k] == 0)) {
          // Only blanks lie between the line's start and k; the CRs
          // dropped before it are those of this step ahead of its start.
          const uint64_t ahead = bit >= 64 ? drop : drop & ((1ull << bit) - 1);
          const size_t at = w + (k - r) - static_cast<size_t>(__builtin_popcountll(ahead));
          starts.push_back(base + static_cast<int32_t>(at));
        }
      }
    }
    char* out = dst + w;
    if (!drop) {
      if (out != reinterpret_cast<const char*>(src) + r) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), v0);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 32), v1);
      }
      w += 64;
      continue;
    }
    // Eight bytes at a time; the output never runs ahead of the eight
    // being read.
    for (size_t q = 0; q < 64; q += 8) {
      uint64_t word;
      std::memcpy(&word, src + r + q, 8);
      const unsigned d = static_cast<unsigned>(drop >> q) & 0xFF;
      if (d) word = DropBytes(word, d);
      std::memcpy(out, &word, 8);
      out += 8 - __builtin_popcount(d);
    }
    w = static_cast<size_t>(out - dst);
  }
  rr = r;
  ww = w;
}

using ScanSteps = void (*)(char*, const unsigned char*, size_t, bool, int32_t, std::vector<int32_t>&, size_t&, size_t&);

ScanSteps ChooseStepScan() { return __builtin_cpu_supports("avx2") ? ScanStepsAvx2 : nullptr; }

#else

using FindEvent = size_t (*)(const unsigned char*, size_t, size_t);
FindEvent ChooseFinder() { return FindEventPlain; }
using ScanSteps = void (*)(char*, const unsigned char*, size_t, bool, int32_t, std::vector<int32_t>&, size_t&, size_t&);
ScanSteps ChooseStepScan() { return nullptr; }

#endif

}  // namespace

size_t ScanScriptText(char* dst, char* src, size_t n, bool textMode, int32_t base, std::vector<int32_t>& starts,
                      size_t* readEnd) {
  static const FindEvent find = ChooseFinder();
  static const ScanSteps steps = ChooseStepScan();
  const unsigned char* p = reinterpret_cast<const unsigned char*>(src);
  // A line starting at read offset `at` lands at write offset `wat`; blanks
  // are never converted, so what follows them moves with them.
  auto lineStart = [&](size_t at, size_t wat) {
    size_t k = at;
    while (k < n && (p[k] == ' ' || p[k] == '\t')) ++k;
    if (k < n && (p[k] == '*' || p[k] == 0)) starts.push_back(base + static_cast<int32_t>(wat + (k - at)));
  };
  size_t r = 0, w = 0;  // read offset in src, write offset in dst; dst + w never passes src + r
  lineStart(0, 0);
  for (;;) {
    // Whole steps while they last; what they stop at is taken one event
    // at a time.
    if (steps) steps(dst, p, n, textMode, base, starts, r, w);
    size_t ev = find(p, r, n);
    if (dst + w != src + r) std::memmove(dst + w, src + r, ev - r);
    w += ev - r;
    r = ev;
    if (r == n) break;
    unsigned char c = p[r];
    if (c == '\n') {
      dst[w++] = '\n';
      ++r;
      lineStart(r, w);
      continue;
    }
    if (textMode && c == 0x1A) break;  // the end of the file, whatever follows
    if (textMode && c == '\r' && r + 1 < n && p[r + 1] == '\n') {
      ++r;  // the line feed after it is met next
      continue;
    }
    dst[w++] = static_cast<char>(c);
    ++r;
  }
  if (readEnd) *readEnd = r;
  return w;
}

}  // namespace sorv
