// The row loops of the compositor take shortcuts on wide pictures (blocks of
// pixels classified at once, grey masks read directly); each is checked here
// against the per-pixel rule on rows long enough to take every path.
#include <gtest/gtest.h>

#include <vector>

#include "graphics/blend_table.h"
#include "graphics/draw_rows.h"
#include "graphics/picture_files.h"
#include "graphics/scene.h"

namespace sorv {
namespace {

using test::At;
using test::MakePicture;

constexpr uint32_t kKey = 0x20A040;

uint8_t Channel(uint32_t c, int k) { return static_cast<uint8_t>(c >> (8 * k)); }

uint32_t Blend(uint32_t src, uint32_t dst, int a) {
  uint32_t out = 0;
  for (int k = 0; k < 3; ++k)
    out |= static_cast<uint32_t>(kBlend(a, Channel(src, k)) + kBlend(255 - a, Channel(dst, k))) << (8 * k);
  return out;
}

uint32_t Background(int32_t x, int32_t y) { return static_cast<uint32_t>(x * 2654435761u ^ y * 97u) & 0xFFFFFF; }

// Runs of key pixels of many lengths, single key pixels inside opaque
// blocks, pixels differing from the key in one byte only, and rows whose
// width is not a multiple of the block.
uint32_t KeyedPixel(int32_t x, int32_t y) {
  int32_t phase = (x + y * 7) % 53;
  if (phase < 17 || phase == 30 || phase == 41) return kKey;
  if (phase == 35) return kKey ^ 0x000100;
  return Background(x + 5, y + 3) | 0x010000;
}

TEST(SceneRows, KeyedRowsMatchThePixelRule) {
  for (int32_t opacity : {-1, 100}) {
    Surface pic = MakePicture(131, 9, KeyedPixel);
    pic.Row(pic.height - 1)[0] = Channel(kKey, 0);  // the key colour in the top-left corner
    pic.Row(pic.height - 1)[1] = Channel(kKey, 1);
    pic.Row(pic.height - 1)[2] = Channel(kKey, 2);
    TaggedImage img;
    img.surface = pic;
    img.transMode = kTransLeftUp;
    img.opacity = opacity;
    Surface target = MakePicture(140, 12, Background);
    DrawImage(img, target, 3, 2, Rect{0, 0, 140, 12});
    for (int32_t y = 0; y < 12; ++y) {
      for (int32_t x = 0; x < 140; ++x) {
        uint32_t want = Background(x, y);
        bool inside = x >= 3 && x < 134 && y >= 2 && y < 11;
        uint32_t src = inside ? At(pic, x - 3, y - 2) : kKey;
        if (src != kKey) want = opacity < 0 ? src : Blend(src, want, opacity);
        ASSERT_EQ(At(target, x, y), want) << "x " << x << " y " << y << " opacity " << opacity;
      }
    }
  }
}

TEST(SceneRows, AlphaMasksGreyAndColouredMatchThePixelRule) {
  constexpr int32_t kW = 300;  // wider than one blending chunk
  for (bool grey : {true, false}) {
    for (int32_t opacity : {-1, 128}) {
      Surface pic = MakePicture(kW * 2, 3, [grey](int32_t x, int32_t y) -> uint32_t {
        if (x < kW) return Background(x * 3, y + 1);
        uint32_t m = static_cast<uint32_t>((x * 7 + y * 13) % 256);
        // A coloured mask only counts its blue byte.
        return grey ? m * 0x010101u : m | ((m * 3) & 255) << 8 | (255 - m) << 16;
      });
      TaggedImage img;
      img.surface = pic;
      img.transMode = kTransAlpha;
      img.opacity = opacity;
      Surface target = MakePicture(kW, 3, Background);
      DrawImage(img, target, 0, 0, Rect{0, 0, kW, 3});
      for (int32_t y = 0; y < 3; ++y) {
        for (int32_t x = 0; x < kW; ++x) {
          int m = Channel(At(pic, x + kW, y), 0);
          int a = opacity < 0 ? 255 - m : kBlend(255 - m, opacity);
          ASSERT_EQ(At(target, x, y), Blend(At(pic, x, y), Background(x, y), a))
              << "x " << x << " y " << y << " grey " << grey << " opacity " << opacity;
        }
      }
    }
  }
}

// Both builds of the ALPHA row (the wide one where the processor has it)
// against the pixel rule: every opacity, every mask value in every byte
// position of a pixel, coloured masks, and widths that end inside and
// outside a step of the wide kernel.
TEST(SceneRows, AlphaRowKernelsMatchTheTableAtEveryOpacity) {
  constexpr int32_t kMaxW = 101;
  std::vector<uint8_t> src(kMaxW * 3), mask(kMaxW * 3), base(kMaxW * 3), got(kMaxW * 3);
  for (int32_t opacity = -1; opacity <= 255; ++opacity) {
    for (int32_t w : {1, 31, 32, 33, 64, 95, 96, 97, kMaxW}) {
      for (int32_t seed = 0; seed < 3; ++seed) {
        for (int32_t i = 0; i < w * 3; ++i) {
          src[i] = static_cast<uint8_t>(i * 151 + seed * 77 + opacity);
          base[i] = static_cast<uint8_t>(i * 89 + seed * 31 + 7);
          // Blue bytes run through all 256 values across the seeds; the
          // green and red bytes of the mask differ from it and must not count.
          mask[i] = static_cast<uint8_t>(i % 3 == 0 ? (i / 3 + seed * kMaxW + opacity) : i * 37 + 1);
        }
        for (bool wide : {true, false}) {
          got = base;
          if (wide) {
            AlphaRow24(got.data(), src.data(), mask.data(), w, opacity);
          } else {
            AlphaRow24Portable(got.data(), src.data(), mask.data(), w, opacity);
          }
          for (int32_t i = 0; i < w * 3; ++i) {
            int m = mask[i - i % 3];
            int a = opacity < 0 ? 255 - m : kBlend(255 - m, opacity);
            ASSERT_EQ(got[i], kBlend(a, src[i]) + kBlend(255 - a, base[i]))
                << "byte " << i << " width " << w << " opacity " << opacity << " wide " << wide;
          }
          for (int32_t i = w * 3; i < kMaxW * 3; ++i) ASSERT_EQ(got[i], base[i]) << "past the row, byte " << i;
        }
      }
    }
  }
}

}  // namespace
}  // namespace sorv
