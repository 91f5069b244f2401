// A small GIF reader: header, colour tables, extension blocks skipped, and
// the variable-length LZW of the first image, bounded by the frame's size.
#include "graphics/gif_decoder.h"

#include <algorithm>
#include <array>
#include <vector>

#include "graphics/scene.h"

namespace sorv {
namespace {

class Reader {
 public:
  Reader(const uint8_t* d, size_t n) : d_(d), n_(n) {}
  bool Has(size_t k) const { return n_ - at_ >= k; }
  uint8_t Byte() { return Has(1) ? d_[at_++] : (fail_ = true, 0); }
  uint16_t Word() {
    uint16_t lo = Byte();
    return static_cast<uint16_t>(lo | Byte() << 8);
  }
  const uint8_t* Take(size_t k) {
    if (!Has(k)) {
      fail_ = true;
      return nullptr;
    }
    const uint8_t* p = d_ + at_;
    at_ += k;
    return p;
  }
  bool failed() const { return fail_; }

 private:
  const uint8_t* d_;
  size_t n_, at_ = 0;
  bool fail_ = false;
};

using Palette = std::vector<std::array<uint8_t, 3>>;

bool ReadPalette(Reader& in, uint8_t flags, Palette& p) {
  size_t count = size_t{2} << (flags & 7);
  const uint8_t* bytes = in.Take(count * 3);
  if (!bytes) return false;
  p.resize(count);
  for (size_t i = 0; i < count; ++i) p[i] = {bytes[i * 3], bytes[i * 3 + 1], bytes[i * 3 + 2]};
  return true;
}

// The data sub-blocks that follow an image descriptor, joined.
bool ReadSubBlocks(Reader& in, std::vector<uint8_t>* out) {
  while (true) {
    uint8_t len = in.Byte();
    if (in.failed()) return false;
    if (len == 0) return true;
    const uint8_t* p = in.Take(len);
    if (!p) return false;
    if (out) out->insert(out->end(), p, p + len);
  }
}

// LZW with codes of minSize + 1 to 12 bits, least significant bit first.
// Stops at the end code or when `count` indices are out; a code that is not
// yet in the table is damage.
bool Lzw(const std::vector<uint8_t>& data, int minSize, size_t count, std::vector<uint8_t>& out) {
  if (minSize < 2 || minSize > 8) return false;
  const int clear = 1 << minSize, end = clear + 1;
  std::vector<uint16_t> prefix(4096);
  std::vector<uint8_t> suffix(4096), stack;
  stack.reserve(4096);
  for (int i = 0; i < clear; ++i) suffix[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
  int size = minSize + 1, next = end + 1, previous = -1;
  uint8_t first = 0;
  uint32_t bits = 0;
  int held = 0;
  size_t at = 0;
  out.clear();
  out.reserve(count);
  while (out.size() < count) {
    while (held < size) {
      if (at >= data.size()) return !out.empty();  // a short image: what came is kept
      bits |= uint32_t{data[at++]} << held;
      held += 8;
    }
    int code = static_cast<int>(bits & ((1u << size) - 1));
    bits >>= size;
    held -= size;
    if (code == clear) {
      size = minSize + 1, next = end + 1, previous = -1;
      continue;
    }
    if (code == end) break;
    if (previous < 0) {
      if (code >= clear) return false;
      out.push_back(static_cast<uint8_t>(code));
      previous = code, first = static_cast<uint8_t>(code);
      continue;
    }
    int walk = code;
    if (code > next || (code == next && next >= 4096)) return false;
    if (code == next) {
      stack.push_back(first);
      walk = previous;
    }
    while (walk >= clear) {
      stack.push_back(suffix[static_cast<size_t>(walk)]);
      walk = prefix[static_cast<size_t>(walk)];
      if (stack.size() > 4096) return false;
    }
    first = static_cast<uint8_t>(walk);
    stack.push_back(first);
    while (!stack.empty() && out.size() < count) {
      out.push_back(stack.back());
      stack.pop_back();
    }
    stack.clear();
    if (next < 4096) {
      prefix[static_cast<size_t>(next)] = static_cast<uint16_t>(previous);
      suffix[static_cast<size_t>(next)] = first;
      ++next;
      if (next == (1 << size) && size < 12) ++size;
    }
    previous = code;
  }
  return true;
}

// Row order of an interlaced frame: every 8th from 0, every 8th from 4,
// every 4th from 2, every 2nd from 1.
std::vector<int32_t> RowOrder(int32_t h, bool interlaced) {
  std::vector<int32_t> rows;
  rows.reserve(static_cast<size_t>(h));
  if (!interlaced) {
    for (int32_t y = 0; y < h; ++y) rows.push_back(y);
    return rows;
  }
  const int32_t start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass) {
    for (int32_t y = start[pass]; y < h; y += step[pass]) rows.push_back(y);
  }
  return rows;
}

}  // namespace

bool DecodeGif(const uint8_t* data, size_t size, Surface& out, std::string& error) {
  Reader in(data, size);
  const uint8_t* sig = in.Take(6);
  if (!sig || !std::equal(sig, sig + 3, "GIF")) {
    error = "not a GIF file";
    return false;
  }
  int32_t width = in.Word(), height = in.Word();
  uint8_t flags = in.Byte(), background = in.Byte();
  in.Byte();  // aspect ratio
  Palette global;
  if ((flags & 0x80) && !ReadPalette(in, flags, global)) {
    error = "truncated colour table";
    return false;
  }
  if (in.failed() || width <= 0 || height <= 0 || !SurfaceSizeAllowed(width, height, 24) ||
      !CreateSurface(out, width, height)) {
    error = "bad picture size";
    return false;
  }
  if (background < global.size()) {
    const auto& c = global[background];
    FillRect(out, Rect{0, 0, width, height}, c[0] << 16 | c[1] << 8 | c[2]);
  }
  while (true) {
    uint8_t kind = in.Byte();
    if (in.failed() || kind == 0x3B) {
      error = "no image in the file";
      return false;
    }
    if (kind == 0x21) {
      in.Byte();  // label: graphic control, comment, application... none changes the first frame
      if (!ReadSubBlocks(in, nullptr)) {
        error = "truncated extension block";
        return false;
      }
      continue;
    }
    if (kind != 0x2C) {
      error = "unknown block";
      return false;
    }
    int32_t fx = in.Word(), fy = in.Word(), fw = in.Word(), fh = in.Word();
    uint8_t frameFlags = in.Byte();
    Palette local;
    if ((frameFlags & 0x80) && !ReadPalette(in, frameFlags, local)) {
      error = "truncated colour table";
      return false;
    }
    const Palette& palette = local.empty() ? global : local;
    int minSize = in.Byte();
    std::vector<uint8_t> packed, indices;
    if (in.failed() || !ReadSubBlocks(in, &packed)) {
      error = "truncated image data";
      return false;
    }
    if (palette.empty()) {
      error = "no colour table";
      return false;
    }
    size_t count = static_cast<size_t>(fw) * static_cast<size_t>(fh);
    if (count == 0) return true;
    if (!Lzw(packed, minSize, count, indices)) {
      error = "damaged image data";
      return false;
    }
    std::vector<int32_t> rows = RowOrder(fh, (frameFlags & 0x40) != 0);
    for (size_t i = 0; i < indices.size(); ++i) {
      int32_t y = fy + rows[i / static_cast<size_t>(fw)], x = fx + static_cast<int32_t>(i % static_cast<size_t>(fw));
      if (x >= width || y >= height) continue;
      const auto& c = palette[std::min<size_t>(indices[i], palette.size() - 1)];
      uint8_t* p = out.TopRow(y) + static_cast<size_t>(x) * 3;
      p[0] = c[2], p[1] = c[1], p[2] = c[0];
    }
    return true;
  }
}

}  // namespace sorv
