// SPB: three colour planes, each a serpentine walk over the picture coded as
// an 8-bit first value and groups of four small zig-zag deltas.
#include <algorithm>

#include "graphics/decoders/decoders.h"

namespace sorv {
namespace {

class BitReader {
 public:
  BitReader(const uint8_t* data, size_t size) : data_(data), bits_(static_cast<uint64_t>(size) * 8) {}
  // Bits past the end read as zero: a short stream gives a dark picture,
  // never a read outside the data.
  uint32_t Read(int count) {
    uint32_t v = 0;
    for (int i = 0; i < count; ++i) {
      uint32_t bit = 0;
      if (pos_ < bits_) bit = (data_[pos_ >> 3] >> (7 - (pos_ & 7))) & 1;
      ++pos_;
      v = (v << 1) | bit;
    }
    return v;
  }

 private:
  const uint8_t* data_;
  uint64_t bits_;
  uint64_t pos_ = 0;
};

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

void DecodePlane(BitReader& in, Surface& s, int plane) {
  Walk walk(s.width, s.height);
  uint32_t value = in.Read(8);
  auto put = [&](uint32_t v) {
    if (walk.Done()) return;  // values past the last row are read and dropped
    s.TopRow(walk.Row())[walk.X() * 3 + plane] = static_cast<uint8_t>(v);
    walk.Next();
  };
  put(value);
  while (!walk.Done()) {
    uint32_t code = in.Read(3);
    int bits = code == 0 ? 0 : code == 7 ? static_cast<int>(in.Read(1)) + 1 : static_cast<int>(code) + 2;
    for (int i = 0; i < 4; ++i) {
      if (bits == 8) {
        value = in.Read(8);
      } else if (bits > 0) {
        uint32_t d = in.Read(bits);
        // Only the low 8 bits reach the picture, so wrapping arithmetic gives
        // the same bytes as a plain integer without its overflow.
        value += (d & 1) ? (d + 1) / 2 : 0u - d / 2;
      }
      put(value);
    }
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
  BitReader in(data, size);
  int32_t w = static_cast<int32_t>(in.Read(16));
  int32_t h = static_cast<int32_t>(in.Read(16));
  if (w == 0 || h == 0) return false;
  // A damaged size would otherwise have us allocate a picture the data could
  // never fill.
  if (MinimumBits(static_cast<uint64_t>(w) * static_cast<uint64_t>(h)) > static_cast<uint64_t>(size) * 8) return false;
  Surface s;
  if (!CreateSurface(s, w, h)) return false;
  for (int plane = 0; plane < 3; ++plane) DecodePlane(in, s, plane);
  out = std::move(s);
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
