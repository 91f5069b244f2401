// The picture decoders on pictures made here: exact pixels where the format
// is lossless, sizes and refusals for damaged or oversized data.
#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cstring>

#include "graphics/decoders/decoders.h"
#include "graphics/picture_files.h"
#include "platform/memory_budget.h"

namespace sorv {
namespace {

using test::At;
using test::MakePicture;

uint32_t Gradient(int32_t x, int32_t y) {
  return (static_cast<uint32_t>(x * 7) & 255) << 16 | (static_cast<uint32_t>(y * 5) & 255) << 8 |
         (static_cast<uint32_t>(x * y) & 255);
}

// Pseudo-random bytes: no run or small delta for the coders to lean on.
uint32_t Noise(int32_t x, int32_t y) {
  uint32_t v = static_cast<uint32_t>(x) * 2654435761u ^ static_cast<uint32_t>(y) * 40503u;
  v ^= v >> 13;
  return (v * 2246822519u) & 0xFFFFFF;
}

void ExpectSamePixels(const Surface& a, const Surface& b) {
  ASSERT_EQ(a.width, b.width);
  ASSERT_EQ(a.height, b.height);
  for (int32_t y = 0; y < a.height; ++y) {
    for (int32_t x = 0; x < a.width; ++x) ASSERT_EQ(At(a, x, y), At(b, x, y)) << x << "," << y;
  }
}

TEST(Bmp, KeepsDepthPaletteAndRowOrder) {
  Surface s24 = MakePicture(13, 7, Gradient);  // 13 * 3 = 39: rows are padded
  Surface back;
  std::vector<uint8_t> file = EncodeBmp(s24);
  ASSERT_TRUE(DecodeBmp(file.data(), file.size(), back));
  EXPECT_EQ(back.BitCount(), 24);
  ExpectSamePixels(s24, back);
  EXPECT_EQ(back.fileHeader[0], 'B');

  Surface s8 = test::MakePaletted(9, 4);
  file = EncodeBmp(s8);
  ASSERT_TRUE(DecodeBmp(file.data(), file.size(), back));
  EXPECT_EQ(back.BitCount(), 8);
  EXPECT_EQ(back.paletteCount, 256);
  EXPECT_EQ(back.palette[200].red, 200);
  EXPECT_EQ(back.bits, s8.bits);
}

TEST(Bmp, TopDownRowsAndLargerHeadersAreReadRight) {
  Surface s = MakePicture(4, 3, Gradient);
  std::vector<uint8_t> file = EncodeBmp(s);
  // Same picture stored top-down: negative height, rows reversed.
  std::vector<uint8_t> topDown(file.begin(), file.begin() + 54);
  int32_t negative = -3;
  std::memcpy(&topDown[22], &negative, 4);
  for (int y = 2; y >= 0; --y) topDown.insert(topDown.end(), s.Row(y), s.Row(y) + s.stride);
  Surface back;
  ASSERT_TRUE(DecodeBmp(topDown.data(), topDown.size(), back));
  EXPECT_EQ(back.height, 3);
  ExpectSamePixels(s, back);

  // A 124-byte header: the pixels follow it, not byte 54.
  std::vector<uint8_t> v5(file.begin(), file.begin() + 54);
  v5[14] = 124;
  v5.insert(v5.end(), 124 - 40, 0xEE);
  v5.insert(v5.end(), file.begin() + 54, file.end());
  ASSERT_TRUE(DecodeBmp(v5.data(), v5.size(), back));
  ExpectSamePixels(s, back);
}

TEST(Bmp, DamagedFilesAreRefused) {
  Surface s = MakePicture(16, 16, Gradient);
  std::vector<uint8_t> file = EncodeBmp(s);
  Surface back;
  std::vector<uint8_t> cut(file.begin(), file.end() - 1);  // one pixel byte short
  EXPECT_FALSE(DecodeBmp(cut.data(), cut.size(), back));
  EXPECT_FALSE(DecodeBmp(file.data(), 53, back));

  // A size the file could never hold must not be allocated.
  std::vector<uint8_t> huge = file;
  int32_t side = 30000;
  std::memcpy(&huge[18], &side, 4);
  std::memcpy(&huge[22], &side, 4);
  EXPECT_FALSE(DecodeBmp(huge.data(), huge.size(), back));

  std::vector<uint8_t> badDepth = file;
  badDepth[28] = 7;
  EXPECT_FALSE(DecodeBmp(badDepth.data(), badDepth.size(), back));

  std::vector<uint8_t> palette = file;
  uint32_t colours = 0x40000000;
  std::memcpy(&palette[46], &colours, 4);
  EXPECT_FALSE(DecodeBmp(palette.data(), palette.size(), back));
  EXPECT_TRUE(back.Empty());
}

TEST(Spb, RoundTripsPixelForPixel) {
  for (auto [w, h] : {std::pair{1, 1}, {1, 9}, {9, 1}, {5, 3}, {64, 48}, {33, 17}}) {
    for (auto* fn : {&Gradient, &Noise}) {
      Surface s = MakePicture(w, h, fn);
      std::vector<uint8_t> spb = EncodeSpb(s);
      Surface back;
      ASSERT_TRUE(DecodeSpb(spb.data(), spb.size(), back)) << w << "x" << h;
      ExpectSamePixels(s, back);
    }
  }
}

TEST(Spb, DecodesTheSerpentineWalkAndItsCodes) {
  // 3 x 2, one plane after another. Blue: 8-bit 10, then a group with code 7
  // and one bit: deltas +1 (d=1), 0, +1, 0; the second row runs right to
  // left, so the top row reads 10 11 11 and the bottom row, from the right,
  // 12 12. The fifth and sixth values of a group of four past the last pixel
  // are dropped. Green and red: 8-bit value, code 0 (repeat).
  std::vector<uint8_t> bits;
  auto bit = [&, n = 0](uint32_t v, int count) mutable {
    for (int i = count - 1; i >= 0; --i, ++n) {
      if (n % 8 == 0) bits.push_back(0);
      bits.back() |= static_cast<uint8_t>(((v >> i) & 1) << (7 - n % 8));
    }
  };
  bit(3, 16);
  bit(2, 16);
  bit(10, 8);
  bit(7, 3);
  bit(0, 1);
  for (uint32_t d : {1u, 0u, 1u, 0u}) bit(d, 1);
  bit(7, 3);
  bit(0, 1);  // second group: the last pixel and three dropped values
  for (uint32_t d : {0u, 0u, 0u, 0u}) bit(d, 1);
  for (int plane = 1; plane < 3; ++plane) {
    bit(200, 8);
    bit(0, 3);
    bit(0, 3);
  }
  Surface s;
  ASSERT_TRUE(DecodeSpb(bits.data(), bits.size(), s));
  ASSERT_EQ(s.width, 3);
  ASSERT_EQ(s.height, 2);
  EXPECT_EQ(At(s, 0, 0), 0xC8C80Au);
  EXPECT_EQ(At(s, 1, 0), 0xC8C80Bu);
  EXPECT_EQ(At(s, 2, 0), 0xC8C80Bu);
  EXPECT_EQ(At(s, 2, 1), 0xC8C80Cu);
  EXPECT_EQ(At(s, 1, 1), 0xC8C80Cu);
  EXPECT_EQ(At(s, 0, 1), 0xC8C80Cu);
}

// The format's decoder a bit and a pixel at a time, walking the picture as
// described: the measure for the engine's decoder on arbitrary streams.
Surface PlainSpb(const std::vector<uint8_t>& data, int32_t w, int32_t h) {
  size_t pos = 32;
  auto read = [&](int count) {
    uint32_t v = 0;
    for (int i = 0; i < count; ++i, ++pos) {
      uint32_t bit = pos < data.size() * 8 ? (data[pos >> 3] >> (7 - (pos & 7))) & 1 : 0;
      v = (v << 1) | bit;
    }
    return v;
  };
  Surface s;
  CreateSurface(s, w, h);
  for (int plane = 0; plane < 3; ++plane) {
    int32_t x = 0, row = 0, dir = 1;
    int value = static_cast<int>(read(8));
    auto put = [&](int v) {
      if (row >= h) return;
      s.TopRow(row)[x * 3 + plane] = static_cast<uint8_t>(v);
      if (x + dir < 0 || x + dir >= w) {
        ++row;
        dir = -dir;
      } else {
        x += dir;
      }
    };
    put(value);
    while (row < h) {
      uint32_t code = read(3);
      int bits = code == 0 ? 0 : code == 7 ? static_cast<int>(read(1)) + 1 : static_cast<int>(code) + 2;
      for (int i = 0; i < 4; ++i) {
        if (bits == 8) {
          value = static_cast<int>(read(8));
        } else if (bits > 0) {
          int d = static_cast<int>(read(bits));
          value += (d & 1) ? (d + 1) / 2 : -(d / 2);
        }
        put(value);
      }
    }
  }
  return s;
}

TEST(Spb, DecoderMatchesThePlainWalkOnAnyStream) {
  uint32_t seed = 11;
  auto next = [&] { return seed = seed * 1664525 + 1013904223; };
  // One surface takes every picture in turn, over whatever the last one
  // left, larger or smaller; it must hold what a fresh one does.
  Surface reused;
  for (int round = 0; round < 400; ++round) {
    int32_t w = static_cast<int32_t>(next() % 40 + 1), h = static_cast<int32_t>(next() % 30 + 1);
    // Random codes, from streams long enough to be accepted up to streams
    // running out early (the rest reads as zeros).
    size_t bytes = 4 + (static_cast<size_t>(w) * h * 3 * (round % 4 + 1)) / 4 + next() % 16;
    std::vector<uint8_t> data(bytes);
    for (uint8_t& b : data) b = static_cast<uint8_t>(next() >> 24);
    data[0] = static_cast<uint8_t>(w >> 8);
    data[1] = static_cast<uint8_t>(w);
    data[2] = static_cast<uint8_t>(h >> 8);
    data[3] = static_cast<uint8_t>(h);
    Surface fast;
    if (!DecodeSpb(data.data(), data.size(), fast)) continue;
    Surface plain = PlainSpb(data, w, h);
    ASSERT_EQ(fast.bits, plain.bits) << "round " << round << ", " << w << "x" << h;
    ASSERT_TRUE(DecodeSpb(data.data(), data.size(), reused));
    ASSERT_EQ(reused.width, w);
    ASSERT_EQ(reused.height, h);
    ASSERT_EQ(reused.bits, plain.bits) << "over the last picture, round " << round;
  }
}

TEST(Spb, ASizeTheDataCannotFillIsRefused) {
  Surface s = MakePicture(8, 8, Gradient);
  std::vector<uint8_t> spb = EncodeSpb(s);
  spb[0] = spb[1] = spb[2] = spb[3] = 0xFF;  // 65535 x 65535 from a few bytes
  Surface back;
  EXPECT_FALSE(DecodeSpb(spb.data(), spb.size(), back));
  EXPECT_TRUE(back.Empty());
  uint8_t zero[4] = {0, 0, 0, 5};
  EXPECT_FALSE(DecodeSpb(zero, 4, back));

  // A refused stream leaves the picture it was to replace as it was.
  std::vector<uint8_t> good = EncodeSpb(s);
  ASSERT_TRUE(DecodeSpb(good.data(), good.size(), back));
  spb = good;
  spb[1] = 200;  // 200 x 8 from the bytes of 8 x 8
  EXPECT_FALSE(DecodeSpb(spb.data(), spb.size(), back));
  ExpectSamePixels(s, back);
}

// A surface made again over its own storage allocates nothing, so it is
// not refused where the picture it replaces already fits the budget; one
// that needs new storage gives the old back before it is counted.
TEST(Surface, MadeAgainWithinTheMemoryBudget) {
  using namespace platform;
  struct Restore {
    uint64_t limit = MemoryLimit();
    ~Restore() { SetMemoryLimit(limit); }
  } restore;
  constexpr int32_t kSide = 3000;  // 27 MB at 24 bits
  Surface s;
  SetMemoryLimit(HeapInUse() + (40ull << 20));
  ASSERT_TRUE(CreateSurface(s, kSide, kSide));
  s.bits[12345] = 7;
  EXPECT_NO_THROW(CreateSurface(s, kSide, kSide));
  EXPECT_EQ(s.bits.size(), static_cast<size_t>(s.stride) * kSide);
  EXPECT_EQ(s.bits[12345], 0);  // made again means blank again
  EXPECT_NO_THROW(CreateSurface(s, kSide, kSide / 3));  // too small to keep the storage
  EXPECT_NO_THROW(CreateSurface(s, kSide, kSide));
}

TEST(Png, ColourAndMaskHalvesPerCell) {
  // Two cells of 2 x 1: alpha 255, 0, 128, 255 across the row.
  uint8_t alphas[4] = {255, 0, 128, 255};
  std::vector<uint8_t> png =
      test::EncodePng(4, 1, [&](int32_t x, int32_t) { return (static_cast<uint32_t>(alphas[x]) << 24) | (0x10u * (x + 1)); });
  Surface s;
  ASSERT_TRUE(DecodePng(png.data(), png.size(), true, 2, s));
  ASSERT_EQ(s.width, 8);
  // cell 0: colour x0 x1, mask x0 x1; cell 1: colour x2 x3, mask x2 x3
  EXPECT_EQ(At(s, 0, 0), 0x10u);
  EXPECT_EQ(At(s, 1, 0), 0x20u);
  EXPECT_EQ(At(s, 2, 0), 0x000000u);  // opaque is black
  EXPECT_EQ(At(s, 3, 0), 0xFFFFFFu);  // transparent is white
  EXPECT_EQ(At(s, 4, 0), 0x30u);
  EXPECT_EQ(At(s, 6, 0), 0x7F7F7Fu);
  EXPECT_EQ(At(s, 7, 0), 0x000000u);

  ASSERT_TRUE(DecodePng(png.data(), png.size(), false, 1, s));
  EXPECT_EQ(s.width, 4);
  EXPECT_EQ(At(s, 3, 0), 0x40u);
}

// A PNG written through libpng's own writer, with the chunks a test asks for.
struct PngKind {
  bool alphaChannel = false;
  bool srgb = false;
  int gamma = 0;  // a gAMA chunk when non-zero
  bool interlaced = false;
};

std::vector<uint8_t> WritePng(int32_t w, int32_t h, const PngKind& k, uint32_t seed) {
  std::vector<uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(
      png, &out,
      [](png_structp p, png_bytep d, png_size_t n) {
        auto* v = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(p));
        v->insert(v->end(), d, d + n);
      },
      nullptr);
  png_set_IHDR(png, info, static_cast<png_uint_32>(w), static_cast<png_uint_32>(h), 8,
               k.alphaChannel ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB,
               k.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (k.srgb) png_set_sRGB(png, info, PNG_sRGB_INTENT_PERCEPTUAL);
  if (k.gamma) png_set_gAMA_fixed(png, info, k.gamma);
  png_write_info(png, info);
  int channels = k.alphaChannel ? 4 : 3;
  std::vector<uint8_t> pixels(static_cast<size_t>(w) * h * channels);
  for (uint8_t& b : pixels) b = static_cast<uint8_t>((seed = seed * 1664525 + 1013904223) >> 24);
  std::vector<png_bytep> rows(static_cast<size_t>(h));
  for (int32_t y = 0; y < h; ++y) rows[static_cast<size_t>(y)] = &pixels[static_cast<size_t>(y) * w * channels];
  png_write_image(png, rows.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

// The picture libpng's simplified reader gives, laid out as the engine lays
// PNG pictures out (colour, then mask = 255 - alpha, per cell).
Surface SimplifiedPng(const std::vector<uint8_t>& file, bool alpha, int32_t cells) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  png_image_begin_read_from_memory(&image, file.data(), file.size());
  image.format = PNG_FORMAT_BGRA;
  std::vector<uint8_t> px(PNG_IMAGE_SIZE(image));
  png_image_finish_read(&image, nullptr, px.data(), 0, nullptr);
  int32_t w = static_cast<int32_t>(image.width), h = static_cast<int32_t>(image.height);
  Surface s;
  CreateSurface(s, alpha ? w * 2 : w, h);
  int32_t cellWidth = std::max(1, w / std::max(1, cells));
  int32_t shown = alpha ? cellWidth * (w / cellWidth) : w;
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < shown; ++x) {
      const uint8_t* src = &px[(static_cast<size_t>(y) * w + x) * 4];
      int32_t dst = alpha ? (x / cellWidth) * cellWidth * 2 + x % cellWidth : x;
      std::memcpy(s.TopRow(y) + dst * 3, src, 3);
      if (alpha) std::memset(s.TopRow(y) + (dst + cellWidth) * 3, 255 - src[3], 3);
    }
  }
  return s;
}

TEST(Png, EveryKindGivesTheSimplifiedReadersPixels) {
  uint32_t seed = 3;
  PngKind kinds[] = {{false, false, 0, false}, {true, false, 0, false}, {true, true, 0, false},
                     {false, false, 45455, false}, {true, false, 100000, false}, {false, false, 0, true},
                     {true, true, 0, true}};
  for (const PngKind& k : kinds) {
    for (auto [w, h] : {std::pair{1, 1}, {7, 3}, {33, 5}, {64, 2}}) {
      std::vector<uint8_t> file = WritePng(w, h, k, seed++);
      for (bool alpha : {false, true}) {
        for (int32_t cells : {1, 2, 3}) {
          Surface got;
          ASSERT_TRUE(DecodePng(file.data(), file.size(), alpha, cells, got));
          Surface want = SimplifiedPng(file, alpha, cells);
          ASSERT_EQ(got.width, want.width);
          ASSERT_EQ(got.bits, want.bits) << w << "x" << h << " alpha " << alpha << " cells " << cells
                                         << " kind " << k.alphaChannel << k.srgb << k.gamma << k.interlaced;
        }
      }
    }
  }
}

TEST(Png, TruncatedDataFails) {
  std::vector<uint8_t> png = test::EncodePng(32, 32, [](int32_t x, int32_t y) { return 0xFF000000u | Noise(x, y); });
  Surface s;
  EXPECT_FALSE(DecodePng(png.data(), png.size() / 2, false, 1, s));
  EXPECT_FALSE(DecodePng(png.data(), 10, false, 1, s));
  EXPECT_TRUE(s.Empty());
}

TEST(Jpeg, DecodesBottomUpAndRefusesTruncatedData) {
  // Top half red, bottom half blue: rows must not come out upside down.
  Surface src = MakePicture(32, 32, [](int32_t, int32_t y) { return y < 16 ? 0xFF0000u : 0x0000FFu; });
  std::vector<uint8_t> jpg = test::EncodeJpeg(src);
  Surface s;
  ASSERT_TRUE(DecodeJpeg(jpg.data(), jpg.size(), s));
  ASSERT_EQ(s.width, 32);
  ASSERT_EQ(s.height, 32);
  uint32_t top = At(s, 16, 4), bottom = At(s, 16, 28);
  EXPECT_GT(top >> 16 & 255, 200u);
  EXPECT_LT(top & 255, 60u);
  EXPECT_GT(bottom & 255, 200u);
  EXPECT_LT(bottom >> 16 & 255, 60u);

  Surface cut;
  EXPECT_FALSE(DecodeJpeg(jpg.data(), jpg.size() * 2 / 3, cut));
  EXPECT_FALSE(DecodeJpeg(jpg.data(), 2, cut));
  EXPECT_TRUE(cut.Empty());
}

}  // namespace
}  // namespace sorv
