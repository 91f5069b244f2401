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

class LzssBits {
 public:
  LzssBits(const uint8_t* in, size_t size) : in_(in), bits_(static_cast<uint64_t>(size) * 8) {}
  bool Read(int count, uint32_t& v) {
    if (bits_ - pos_ < static_cast<uint64_t>(count)) return false;
    v = 0;
    for (int i = 0; i < count; ++i, ++pos_) v = (v << 1) | ((in_[pos_ >> 3] >> (7 - (pos_ & 7))) & 1);
    return true;
  }

 private:
  const uint8_t* in_;
  uint64_t bits_, pos_ = 0;
};

}  // namespace

bool LzssDecode(const uint8_t* in, size_t inSize, uint32_t unpacked, std::vector<uint8_t>& out) {
  out.clear();
  // Every 9 input bits give at most 17 bytes; a claim beyond that is not
  // reserved for.
  out.reserve(std::min<uint64_t>(unpacked, static_cast<uint64_t>(inSize) * 16 + 17));
  uint8_t ring[256];
  InitRing(ring);
  unsigned w = kRingStart;
  size_t dropped = 0;
  auto emit = [&](uint8_t b) {
    if (out.size() < unpacked) {
      out.push_back(b);
    } else if (++dropped > kLzssSlack) {
      return false;
    }
    ring[w] = b;
    w = (w + 1) & 255;
    return true;
  };
  LzssBits bits(in, inSize);
  uint32_t flag, v, p, c;
  while (bits.Read(1, flag)) {
    if (flag) {
      if (!bits.Read(8, v)) break;
      if (!emit(static_cast<uint8_t>(v))) return false;
    } else {
      if (!bits.Read(8, p) || !bits.Read(4, c)) break;
      for (uint32_t k = 0; k < c + 2; ++k) {
        if (!emit(ring[(p + k) & 255])) return false;
      }
    }
  }
  return true;
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
