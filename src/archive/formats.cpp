#include "archive/formats.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "platform/fs.h"
#include "platform/memory_budget.h"

namespace sorv {

bool MemorySource::ReadAt(uint64_t offset, void* dst, size_t n) const {
  if (offset > size_ || n > size_ - offset) return false;
  if (n) std::memcpy(dst, data_ + offset, n);
  return true;
}

FileSource::FileSource(const std::string& path) {
  // Never blocks: an archive name that is a FIFO or a device is refused.
  fd_ = platform::OpenRegularFile(path);
  struct stat st;
  if (fd_ >= 0 && fstat(fd_, &st) != 0) {
    close(fd_);
    fd_ = -1;
  }
  if (fd_ >= 0) size_ = static_cast<uint64_t>(st.st_size);
}

FileSource::~FileSource() {
  if (fd_ >= 0) close(fd_);
}

bool FileSource::ReadAt(uint64_t offset, void* dst, size_t n) const {
  if (fd_ < 0 || offset > size_ || n > size_ - offset) return false;
  auto* p = static_cast<char*>(dst);
  while (n > 0) {
    ssize_t got = pread(fd_, p, n, static_cast<off_t>(offset));
    if (got <= 0) return false;
    p += got;
    n -= static_cast<size_t>(got);
    offset += static_cast<uint64_t>(got);
  }
  return true;
}

namespace {

// Sequential reading of an index through a small buffer.
class Cursor {
 public:
  Cursor(const ByteSource& src, uint64_t at) : src_(src), at_(at) {}
  bool Byte(uint8_t& b) {
    if (pos_ == len_ && !Fill()) return false;
    b = buf_[pos_++];
    return true;
  }
  bool Bytes(uint8_t* dst, size_t n) {
    for (size_t i = 0; i < n; ++i) {
      if (!Byte(dst[i])) return false;
    }
    return true;
  }
  bool Be16(uint32_t& v) {
    uint8_t b[2];
    if (!Bytes(b, 2)) return false;
    v = (b[0] << 8) | b[1];
    return true;
  }
  bool Be32(uint32_t& v) {
    uint8_t b[4];
    if (!Bytes(b, 4)) return false;
    v = (static_cast<uint32_t>(b[0]) << 24) | (b[1] << 16) | (b[2] << 8) | b[3];
    return true;
  }
  bool Le32(uint32_t& v) {
    uint8_t b[4];
    if (!Bytes(b, 4)) return false;
    v = (static_cast<uint32_t>(b[3]) << 24) | (b[2] << 16) | (b[1] << 8) | b[0];
    return true;
  }
  // Bytes up to `end` (consumed, not kept); false at the end of the data or
  // past `limit` bytes.
  bool Until(uint8_t end, std::string& out, size_t limit) {
    out.clear();
    uint8_t b;
    while (Byte(b)) {
      if (b == end) return true;
      if (out.size() >= limit) return false;
      out.push_back(static_cast<char>(b));
    }
    return false;
  }

 private:
  bool Fill() {
    uint64_t size = src_.Size();
    if (at_ >= size) return false;
    len_ = static_cast<size_t>(std::min<uint64_t>(sizeof buf_, size - at_));
    if (!src_.ReadAt(at_, buf_, len_)) return false;
    at_ += len_;
    pos_ = 0;
    return true;
  }
  const ByteSource& src_;
  uint64_t at_;
  uint8_t buf_[16384];
  size_t pos_ = 0, len_ = 0;
};

// No archive stores names this long; a longer one is damage.
constexpr size_t kMaxNameBytes = 4096;

bool IsLead(uint8_t c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

}  // namespace

std::string NormaliseArchiveName(std::string_view name) {
  std::string out(name);
  for (size_t i = 0; i < out.size(); ++i) {
    auto c = static_cast<uint8_t>(out[i]);
    if (IsLead(c)) {
      ++i;
    } else if (c >= 'A' && c <= 'Z') {
      out[i] = static_cast<char>(c + 32);
    } else if (c == '/') {
      out[i] = '\\';
    }
  }
  return out;
}

int SvaBucket(std::string_view lowerName) {
  uint32_t sum = 0;
  for (size_t i = 0; i < lowerName.size(); ++i) {
    sum += static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(lowerName[i])) * static_cast<int32_t>(i));
  }
  return static_cast<int>(sum & 0xFF);
}

bool ReadSvaIndex(const ByteSource& src, int prefix, std::vector<SvaEntry>& out) {
  out.clear();
  Cursor in(src, static_cast<uint64_t>(prefix));
  uint32_t count = 0, dataStart = 0;
  if (!in.Be16(count) || !in.Be32(dataStart)) return false;
  // Every entry takes at least 14 bytes: an empty name's NUL and 13 more.
  uint64_t room = src.Size() - std::min<uint64_t>(src.Size(), static_cast<uint64_t>(prefix) + 6);
  if (static_cast<uint64_t>(count) * 14 > room) return false;
  platform::ReserveMemory(static_cast<uint64_t>(count) * sizeof(SvaEntry));
  out.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    SvaEntry ent;
    uint8_t kind;
    uint32_t offset;
    if (!in.Until(0, ent.name, kMaxNameBytes) || !in.Byte(kind) || !in.Be32(offset) || !in.Be32(ent.stored) ||
        !in.Be32(ent.unpacked)) {
      return false;
    }
    ent.kind = kind;
    ent.offset = static_cast<uint64_t>(dataStart) + offset;
    out.push_back(std::move(ent));
  }
  return true;
}

bool ReadSv2Index(const ByteSource& src, std::vector<Sv2Entry>& out) {
  out.clear();
  Cursor in(src, 0);
  uint32_t dataStart = 0;
  if (!in.Le32(dataStart)) return false;
  uint64_t running = dataStart;
  for (;;) {
    uint8_t b;
    if (!in.Byte(b)) return false;
    if (b == 'e') return true;
    if (b != '"') return false;
    Sv2Entry ent;
    if (!in.Until('"', ent.name, kMaxNameBytes) || !in.Le32(ent.size)) return false;
    ent.name = NormaliseArchiveName(ent.name);
    ent.offset = running;
    running += ent.size;
    out.push_back(std::move(ent));
  }
}

bool ReadPlainIndex(const ByteSource& src, std::vector<PlainEntry>& out) {
  out.clear();
  Cursor in(src, 0);
  uint32_t count = 0, dataStart = 0;
  if (!in.Be16(count) || !in.Be32(dataStart)) return false;
  if (static_cast<uint64_t>(count) * 9 > src.Size()) return false;
  out.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    PlainEntry ent;
    uint32_t offset;
    if (!in.Until(0, ent.name, kMaxNameBytes) || !in.Be32(offset) || !in.Be32(ent.size)) return false;
    ent.offset = static_cast<uint64_t>(dataStart) + offset;
    out.push_back(std::move(ent));
  }
  return true;
}

namespace {

constexpr int kRingStart = 239;

void InitRing(uint8_t ring[256]) {
  std::memset(ring, 0x20, kRingStart);
  std::memset(ring + kRingStart, 0, 256 - kRingStart);
}

// The ring byte at position q before any output has gone over it.
inline uint8_t InitialRingByte(unsigned q) { return q < kRingStart ? 0x20 : 0; }

// Most significant bit first, through a 64-bit window. Count() is exact:
// while eight input bytes remain the window is topped up a word at a time,
// after that a byte at a time, so at the end of the input it holds just the
// bits that are left.
class LzssBits {
 public:
  LzssBits(const uint8_t* in, size_t size) : p_(in), end_(in + size) {}
  // Called with fewer than 16 bits in the window.
  void Refill() {
    if (end_ - p_ >= 8) {
      uint64_t v;
      std::memcpy(&v, p_, 8);
      // Bits below the count are the stream's next bits, so putting them in
      // again later changes nothing.
      window_ |= __builtin_bswap64(v) >> count_;
      p_ += (63 - count_) >> 3;
      count_ |= 56;
    } else {
      while (count_ <= 56 && p_ < end_) {
        window_ |= static_cast<uint64_t>(*p_++) << (56 - count_);
        count_ += 8;
      }
    }
  }
  unsigned Count() const { return count_; }
  uint32_t Peek13() const { return static_cast<uint32_t>(window_ >> 51); }
  void Skip(unsigned n) {
    window_ <<= n;
    count_ -= n;
  }

 private:
  const uint8_t* p_;
  const uint8_t* end_;
  uint64_t window_ = 0;
  unsigned count_ = 0;
};

// Copies may write this far past their last byte.
constexpr size_t kCopyOverrun = 32;

}  // namespace

// The ring is never kept: the byte at ring position q is the last output
// byte written there, and for a copy from position p that is always the
// byte d = ((n + 238 - p) mod 256) + 1 behind the output's end n, the same d
// for every byte of the copy. Copies are thus plain overlapping copies from
// the output itself; only while fewer than 256 bytes have been written do
// some of them reach the ring's starting contents.
bool LzssDecode(const uint8_t* in, size_t inSize, uint32_t unpacked, std::vector<uint8_t>& out) {
  // A copy token is 13 bits for at most 17 bytes: no stream of this size
  // gives more, whatever size the index claims.
  uint64_t most = (static_cast<uint64_t>(inSize) * 8 / 13 + 1) * 17;
  size_t cap = static_cast<size_t>(std::min<uint64_t>(unpacked, most));
  // Bytes between `unpacked` and `limit` are dropped (they stay in the
  // buffer, where later copies may still read them as ring contents).
  size_t limit = cap + kLzssSlack;
  out.clear();
  out.resize(limit + kCopyOverrun);
  uint8_t* o = out.data();
  size_t n = 0;
  bool ok = true;
  LzssBits bits(in, inSize);
  for (;;) {
    if (bits.Count() < 16) bits.Refill();
    unsigned avail = bits.Count();
    if (avail == 0) break;
    uint32_t t = bits.Peek13();
    if (t & 0x1000) {
      if (avail < 9) break;
      bits.Skip(9);
      if (n == limit) {
        ok = false;
        break;
      }
      o[n++] = static_cast<uint8_t>(t >> 4);
      continue;
    }
    if (avail < 13) break;
    bits.Skip(13);
    size_t len = (t & 15) + 2;
    size_t d = ((n + 238 - ((t >> 4) & 255)) & 255) + 1;
    if (n >= 256 && n + 17 <= limit) {
      uint8_t* dst = o + n;
      const uint8_t* src = dst - d;
      if (d >= 16) {
        std::memcpy(dst, src, 16);
        std::memcpy(dst + 16, src + 16, 16);
      } else {
        for (size_t k = 0; k < len; ++k) dst[k] = src[k];
      }
      n += len;
      continue;
    }
    for (size_t k = 0; k < len; ++k, ++n) {
      if (n == limit) {
        ok = false;
        break;
      }
      o[n] = n >= d ? o[n - d] : InitialRingByte(static_cast<unsigned>(kRingStart + n - d) & 255);
    }
    if (!ok) break;
  }
  out.resize(std::min(n, cap));
  return ok;
}

std::vector<uint8_t> LzssEncode(const uint8_t* in, size_t size) {
  std::vector<uint8_t> out;
  uint8_t ring[256];
  InitRing(ring);
  unsigned w = kRingStart;
  uint32_t acc = 0;
  int fill = 0;
  auto put = [&](uint32_t v, int count) {
    for (int i = count - 1; i >= 0; --i) {
      acc = (acc << 1) | ((v >> i) & 1);
      if (++fill == 8) {
        out.push_back(static_cast<uint8_t>(acc));
        acc = 0;
        fill = 0;
      }
    }
  };
  size_t i = 0;
  while (i < size) {
    size_t limit = std::min<size_t>(17, size - i);
    size_t bestLen = 0;
    unsigned bestPos = 0;
    for (unsigned p = 0; p < 256 && bestLen < limit; ++p) {
      size_t k = 0;
      for (; k < limit; ++k) {
        unsigned q = (p + k) & 255;
        // A copy may read bytes it wrote itself a moment earlier.
        unsigned written = (q - w) & 255;
        uint8_t b = written < k ? in[i + written] : ring[q];
        if (b != in[i + k]) break;
      }
      if (k > bestLen) {
        bestLen = k;
        bestPos = p;
      }
    }
    size_t n = 1;
    if (bestLen >= 2) {
      put(0, 1);
      put(bestPos, 8);
      put(static_cast<uint32_t>(bestLen - 2), 4);
      n = bestLen;
    } else {
      put(1, 1);
      put(in[i], 8);
    }
    for (size_t k = 0; k < n; ++k) {
      ring[w] = in[i + k];
      w = (w + 1) & 255;
    }
    i += n;
  }
  if (fill) put(0, 8 - fill);
  return out;
}

}  // namespace sorv
