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

// The line feeds of a stretch without CR or Ctrl-Z, 64 bytes a step: a line
// is looked at only when the byte after its line feed is '*', NUL or a
// blank, found for all 64 at once. Stops at the first step holding a CR or
// a Ctrl-Z, or where fewer than 65 bytes are left (the byte behind a step is
// read too); returns that offset. Text and positions are unchanged here.
__attribute__((target("avx2"))) size_t ScanLineFeedsAvx2(const unsigned char* p, size_t r, size_t n, int32_t base,
                                                        std::vector<int32_t>& starts) {
  const __m256i lf = _mm256_set1_epi8('\n'), cr = _mm256_set1_epi8('\r'), eof = _mm256_set1_epi8(0x1A);
  const __m256i star = _mm256_set1_epi8('*'), nul = _mm256_setzero_si256(), sp = _mm256_set1_epi8(' '),
                tab = _mm256_set1_epi8('\t');
  for (; r + 65 <= n; r += 64) {
    __m256i v0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + r));
    __m256i v1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + r + 32));
    uint64_t special = Bits(_mm256_or_si256(_mm256_cmpeq_epi8(v0, cr), _mm256_cmpeq_epi8(v0, eof))) |
                       static_cast<uint64_t>(Bits(_mm256_or_si256(_mm256_cmpeq_epi8(v1, cr), _mm256_cmpeq_epi8(v1, eof))))
                           << 32;
    if (special) break;
    uint64_t feeds = Bits(_mm256_cmpeq_epi8(v0, lf)) | static_cast<uint64_t>(Bits(_mm256_cmpeq_epi8(v1, lf))) << 32;
    if (!feeds) continue;
    __m256i h0 = _mm256_or_si256(_mm256_or_si256(_mm256_cmpeq_epi8(v0, star), _mm256_cmpeq_epi8(v0, nul)),
                                 _mm256_or_si256(_mm256_cmpeq_epi8(v0, sp), _mm256_cmpeq_epi8(v0, tab)));
    __m256i h1 = _mm256_or_si256(_mm256_or_si256(_mm256_cmpeq_epi8(v1, star), _mm256_cmpeq_epi8(v1, nul)),
                                 _mm256_or_si256(_mm256_cmpeq_epi8(v1, sp), _mm256_cmpeq_epi8(v1, tab)));
    uint64_t after = (Bits(h0) | static_cast<uint64_t>(Bits(h1)) << 32) >> 1;
    if (StartsLabelScan(p[r + 64])) after |= 1ull << 63;
    for (uint64_t m = feeds & after; m; m &= m - 1) {
      size_t k = r + static_cast<size_t>(__builtin_ctzll(m)) + 1;
      while (k < n && (p[k] == ' ' || p[k] == '\t')) ++k;
      if (k < n && (p[k] == '*' || p[k] == 0)) starts.push_back(base + static_cast<int32_t>(k));
    }
  }
  return r;
}

using ScanLineFeeds = size_t (*)(const unsigned char*, size_t, size_t, int32_t, std::vector<int32_t>&);

ScanLineFeeds ChooseLineFeedScan() { return __builtin_cpu_supports("avx2") ? ScanLineFeedsAvx2 : nullptr; }

#else

using FindEvent = size_t (*)(const unsigned char*, size_t, size_t);
FindEvent ChooseFinder() { return FindEventPlain; }
using ScanLineFeeds = size_t (*)(const unsigned char*, size_t, size_t, int32_t, std::vector<int32_t>&);
ScanLineFeeds ChooseLineFeedScan() { return nullptr; }

#endif

}  // namespace

size_t ScanScriptText(char* text, size_t n, bool textMode, int32_t base, std::vector<int32_t>& starts) {
  static const FindEvent find = ChooseFinder();
  static const ScanLineFeeds lineFeeds = ChooseLineFeedScan();
  unsigned char* p = reinterpret_cast<unsigned char*>(text);
  // A line starting at read offset `at` lands at write offset `wat`; blanks
  // are never converted, so what follows them moves with them.
  auto lineStart = [&](size_t at, size_t wat) {
    size_t k = at;
    while (k < n && (p[k] == ' ' || p[k] == '\t')) ++k;
    if (k < n && (p[k] == '*' || p[k] == 0)) starts.push_back(base + static_cast<int32_t>(wat + (k - at)));
  };
  size_t r = 0, w = 0;  // read and write offsets; w < r only once a CR was dropped
  lineStart(0, 0);
  // Most texts have no CR at all; until the first one, whole steps at once.
  if (lineFeeds) r = w = lineFeeds(p, 0, n, base, starts);
  for (;;) {
    size_t ev = find(p, r, n);
    if (w != r) std::memmove(p + w, p + r, ev - r);
    w += ev - r;
    r = ev;
    if (r == n) break;
    unsigned char c = p[r];
    if (c == '\n') {
      p[w++] = '\n';
      ++r;
      lineStart(r, w);
      continue;
    }
    if (textMode && c == 0x1A) break;  // the end of the file, whatever follows
    if (textMode && c == '\r' && r + 1 < n && p[r + 1] == '\n') {
      ++r;  // the line feed after it is met next
      continue;
    }
    p[w++] = c;
    ++r;
  }
  return w;
}

}  // namespace sorv
