// SPB: three colour planes, each a serpentine walk over the picture coded as
// an 8-bit first value and groups of four small zig-zag deltas.
#include <algorithm>
#include <cstring>

#include "graphics/decoders/decoders.h"

namespace sorv {
namespace {

class BitWriter {
 public:
  void Write(uint32_t v, int count) {
    for (int i = count - 1; i >= 0; --i) {
      if (fill_ == 0) out.push_back(0);
      out.back() |= static_cast<uint8_t>(((v >> i) & 1) << (7 - fill_));
      fill_ = (fill_ + 1) & 7;
    }
  }
  std::vector<uint8_t> out;

 private:
  int fill_ = 0;
};

// The serpentine walk: top row left to right, the next right to left...
class Walk {
 public:
  Walk(int32_t w, int32_t h) : w_(w), h_(h) {}
  bool Done() const { return row_ >= h_; }
  int32_t X() const { return x_; }
  int32_t Row() const { return row_; }
  void Next() {
    int32_t nx = x_ + dir_;
    if (nx < 0 || nx >= w_) {
      ++row_;
      dir_ = -dir_;
    } else {
      x_ = nx;
    }
  }

 private:
  int32_t w_, h_;
  int32_t x_ = 0, row_ = 0, dir_ = 1;
};

// Fewest bits a picture of n pixels can be coded in: a 32-bit size, then per
// plane one 8-bit value and a 3-bit code for every group of four.
uint64_t MinimumBits(uint64_t pixels) { return 32 + 3 * (8 + 3 * ((pixels - 1 + 3) / 4)); }

// Most significant bit first, a 64-bit window at a time. Bits past the end
// read as zero: a short stream gives a dark picture, never a read outside the
// data.
class WordBits {
 public:
  WordBits(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}
  // Tops the window up to at least 57 bits; called below 16.
  void Refill() {
    if (end_ - p_ >= 8) {
      uint64_t v;
      std::memcpy(&v, p_, 8);
      window_ |= __builtin_bswap64(v) >> count_;
      p_ += (63 - count_) >> 3;
      count_ |= 56;
      return;
    }
    while (count_ <= 56 && p_ < end_) {
      window_ |= static_cast<uint64_t>(*p_++) << (56 - count_);
      count_ += 8;
    }
    if (p_ == end_) count_ = 64;  // the rest of the window is the zeros past the end
  }
  unsigned Count() const { return count_; }
  // The next n bits (1 to 32).
  uint32_t Take(unsigned n) {
    uint32_t v = static_cast<uint32_t>(window_ >> (64 - n));
    window_ <<= n;
    count_ -= n;
    return v;
  }

 private:
  const uint8_t* p_;
  const uint8_t* end_;
  uint64_t window_ = 0;
  unsigned count_ = 0;
};

// Zig-zag code d as the change it makes to the low 8 bits of the value.
struct DeltaTable {
  uint8_t delta[256] = {};
  constexpr DeltaTable() {
    for (unsigned d = 0; d < 256; ++d) delta[d] = static_cast<uint8_t>((d & 1) ? (d + 1) / 2 : 0u - d / 2);
  }
};
constexpr DeltaTable kDeltas{};

// One plane in visiting order into `seq`, which has room for the groups'
// values past the last pixel (they are read and dropped).
void DecodeSequence(WordBits& in, uint8_t* seq, size_t pixels) {
  if (in.Count() < 16) in.Refill();
  uint8_t value = static_cast<uint8_t>(in.Take(8));
  seq[0] = value;
  for (size_t i = 1; i < pixels; i += 4) {
    // A group is at most 3 + 1 + 4 x 8 bits: one top-up covers it.
    if (in.Count() < 36) in.Refill();
    uint32_t code = in.Take(3);
    uint8_t* g = seq + i;
    if (code == 0) {
      g[0] = g[1] = g[2] = g[3] = value;
      continue;
    }
    unsigned bits = code == 7 ? in.Take(1) + 1 : code + 2;
    if (bits == 8) {
      uint32_t v = in.Take(32);
      g[0] = static_cast<uint8_t>(v >> 24);
      g[1] = static_cast<uint8_t>(v >> 16);
      g[2] = static_cast<uint8_t>(v >> 8);
      g[3] = value = static_cast<uint8_t>(v);
      continue;
    }
    uint32_t v = in.Take(bits * 4);
    uint32_t mask = (1u << bits) - 1;
    g[0] = value = static_cast<uint8_t>(value + kDeltas.delta[(v >> (3 * bits)) & mask]);
    g[1] = value = static_cast<uint8_t>(value + kDeltas.delta[(v >> (2 * bits)) & mask]);
    g[2] = value = static_cast<uint8_t>(value + kDeltas.delta[(v >> bits) & mask]);
    g[3] = value = static_cast<uint8_t>(value + kDeltas.delta[v & mask]);
  }
}

uint32_t ZigZag(uint8_t from, uint8_t to) {
  int delta = static_cast<int8_t>(static_cast<uint8_t>(to - from));
  return delta > 0 ? static_cast<uint32_t>(2 * delta - 1) : static_cast<uint32_t>(-2 * delta);
}

int BitsFor(uint32_t maxCode) {
  int n = 1;
  while (n < 8 && maxCode >= (1u << n)) ++n;
  return n;
}

void EncodePlane(BitWriter& out, const Surface& s, int plane) {
  std::vector<uint8_t> seq;
  seq.reserve(static_cast<size_t>(s.width) * static_cast<size_t>(s.height));
  for (Walk w(s.width, s.height); !w.Done(); w.Next()) {
    int32_t y = s.height - 1 - w.Row();
    seq.push_back(s.Row(y)[w.X() * 3 + plane]);
  }
  uint8_t value = seq[0];
  out.Write(value, 8);
  for (size_t i = 1; i < seq.size(); i += 4) {
    uint8_t group[4];
    for (size_t k = 0; k < 4; ++k) group[k] = seq[std::min(i + k, seq.size() - 1)];
    uint32_t widest = 0;
    uint8_t v = value;
    for (uint8_t g : group) {
      widest = std::max(widest, ZigZag(v, g));
      v = g;
    }
    int bits = widest == 0 ? 0 : BitsFor(widest);
    if (bits > 7) bits = 8;  // an 8-bit read replaces the value instead
    if (bits == 0) {
      out.Write(0, 3);
    } else if (bits <= 2) {
      out.Write(7, 3);
      out.Write(static_cast<uint32_t>(bits - 1), 1);
    } else {
      out.Write(static_cast<uint32_t>(bits - 2), 3);
    }
    for (uint8_t g : group) {
      if (bits == 8) out.Write(g, 8);
      else if (bits > 0) out.Write(ZigZag(value, g), bits);
      value = g;
    }
  }
}

}  // namespace

bool DecodeSpb(const uint8_t* data, size_t size, Surface& out) {
  if (size < 4) return false;
  int32_t w = (data[0] << 8) | data[1];
  int32_t h = (data[2] << 8) | data[3];
  if (w == 0 || h == 0) return false;
  // A damaged size would otherwise have us allocate a picture the data could
  // never fill.
  if (MinimumBits(static_cast<uint64_t>(w) * static_cast<uint64_t>(h)) > static_cast<uint64_t>(size) * 8) return false;
  if (!SurfaceSizeAllowed(w, h, 24)) return false;
  // Nothing below can refuse the stream, so the picture is made in `out`
  // itself, which keeps its storage when it held a picture of about this
  // size. (Past the memory budget, making it throws, and `out` is then left
  // empty: the picture it held was to be replaced.)
  Surface& s = out;
  if (!CreateSurface(s, w, h)) return false;
  // The planes are decoded in visiting order, then laid into the rows: even
  // rows from the top run left to right, odd ones right to left. Their
  // scratch stays with the thread for the next picture, up to a size.
  constexpr size_t kKeptScratch = 16u << 20;
  size_t pixels = static_cast<size_t>(w) * static_cast<size_t>(h);
  thread_local std::vector<uint8_t> kept;
  std::vector<uint8_t> once;
  std::vector<uint8_t>& seq = pixels * 3 + 4 <= kKeptScratch ? kept : once;
  if (seq.size() < pixels * 3 + 4) seq.resize(pixels * 3 + 4);
  WordBits bits(data, size);
  bits.Refill();
  bits.Take(32);
  for (int plane = 0; plane < 3; ++plane) {
    // Each plane runs a little past its end into the next one's start,
    // which that plane then writes over.
    DecodeSequence(bits, seq.data() + static_cast<size_t>(plane) * pixels, pixels);
  }
  const uint8_t* blue = seq.data();
  const uint8_t* green = blue + pixels;
  const uint8_t* red = green + pixels;
  for (int32_t row = 0; row < h; ++row) {
    uint8_t* dst = s.TopRow(row);
    size_t at = static_cast<size_t>(row) * static_cast<size_t>(w);
    if (row % 2 == 0) {
      for (int32_t x = 0; x < w; ++x, dst += 3) {
        dst[0] = blue[at + x];
        dst[1] = green[at + x];
        dst[2] = red[at + x];
      }
    } else {
      size_t last = at + static_cast<size_t>(w) - 1;
      for (int32_t x = 0; x < w; ++x, dst += 3) {
        dst[0] = blue[last - x];
        dst[1] = green[last - x];
        dst[2] = red[last - x];
      }
    }
  }
  return true;
}

std::vector<uint8_t> EncodeSpb(const Surface& s) {
  if (s.BitCount() != 24 || s.width < 1 || s.height < 1 || s.width > 65535 || s.height > 65535) return {};
  BitWriter out;
  out.Write(static_cast<uint32_t>(s.width), 16);
  out.Write(static_cast<uint32_t>(s.height), 16);
  for (int plane = 0; plane < 3; ++plane) EncodePlane(out, s, plane);
  return std::move(out.out);
}

}  // namespace sorv
