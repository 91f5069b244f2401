// The software texture drawing against pictures worked out independently:
// each expected pixel comes from the blending rules and the inverse mapping
// computed afresh in floating point.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "texture/texture.h"

namespace sorv {
namespace {

struct Frame {
  Surface s;
  DrawTarget t;
  Frame(int32_t w, int32_t h, uint32_t rgb) {
    CreateSurface(s, w, h);
    t = TargetOf(s);
    FillTarget(t, 0, 0, w, h, (rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
  }
  uint32_t At(int32_t x, int32_t y) const {
    const uint8_t* p = t.TopRow(y) + x * 3;
    return (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
  }
};

// A texture whose pixel (x, y) is argb(x, y) = 0xAARRGGBB.
Texture MakeTexture(int32_t w, int32_t h, const std::function<uint32_t(int32_t, int32_t)>& argb) {
  Texture tex;
  CreateTexture(tex, w, h);
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      uint32_t c = argb(x, y);
      uint8_t* p = tex.Row(y) + x * 4;
      p[0] = c & 0xFF, p[1] = (c >> 8) & 0xFF, p[2] = (c >> 16) & 0xFF, p[3] = c >> 24;
    }
  }
  return tex;
}

uint32_t Texel(const Texture& tex, int32_t x, int32_t y) {
  const uint8_t* p = tex.Row(y) + x * 4;
  return (uint32_t{p[3]} << 24) | (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
}

uint32_t Mix(uint32_t target, uint32_t argb, int32_t alpha, bool add) {
  int32_t level = alpha * static_cast<int32_t>(argb >> 24) / 255;
  uint32_t out = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    int32_t t = (target >> shift) & 0xFF, s = (argb >> shift) & 0xFF;
    int32_t v = add ? std::min(255, t + s * level / 255) : t + (s - t) * level / 255;
    out |= static_cast<uint32_t>(v) << shift;
  }
  return out;
}

// The expected frame of a transformed draw: every pixel centre is taken
// back through `inverse` into area coordinates. Pixels whose point lies
// within a hair of an area edge may go either way and are not compared.
void ExpectMapped(const Frame& f, uint32_t background, const Texture& tex, int32_t sx, int32_t sy, int32_t w,
                  int32_t h, int32_t alpha, bool add,
                  const std::function<void(double x, double y, double& u, double& v)>& inverse) {
  int checked = 0;
  for (int32_t y = 0; y < f.t.height; ++y) {
    for (int32_t x = 0; x < f.t.width; ++x) {
      double u, v;
      inverse(x + 0.5, y + 0.5, u, v);
      double eu = std::min(std::fabs(u - std::round(u)), 1.0), ev = std::min(std::fabs(v - std::round(v)), 1.0);
      if ((eu < 1e-3 && u > -1 && u < w + 1) || (ev < 1e-3 && v > -1 && v < h + 1)) continue;
      uint32_t want = background;
      if (u >= 0 && u < w && v >= 0 && v < h) {
        want = Mix(background, Texel(tex, sx + int32_t(std::floor(u)), sy + int32_t(std::floor(v))), alpha, add);
      }
      ASSERT_EQ(f.At(x, y), want) << "at " << x << "," << y << " from " << u << "," << v;
      ++checked;
    }
  }
  EXPECT_GT(checked, f.t.width * f.t.height / 2);
}

uint32_t Distinct(int32_t x, int32_t y) { return 0xFF000000u | uint32_t(x * 40 + 10) << 16 | uint32_t(y * 50 + 5) << 8 | 0x33; }

TEST(TextureDraw, AlphaAndAdditiveFollowTheirRules) {
  // Opaque, half covered and transparent columns over a grey frame.
  Texture tex = MakeTexture(3, 2, [](int32_t x, int32_t) {
    const uint32_t cols[3] = {0xFFFF8000u, 0x80FFFFFFu, 0x00FFFFFFu};
    return cols[x];
  });
  Frame f(8, 4, 0x604020);
  DrawTexture(f.t, tex, BltRect{2, 1, 3, 2, 0, 0}, TextureBlend::Alpha, 128);
  EXPECT_EQ(f.At(2, 1), Mix(0x604020, 0xFFFF8000u, 128, false));
  EXPECT_EQ(f.At(2, 1), 0xAF6010u);  // about half and half
  EXPECT_EQ(f.At(3, 2), Mix(0x604020, 0x80FFFFFFu, 128, false));
  EXPECT_EQ(f.At(4, 1), 0x604020u);  // alpha 0 leaves the target
  EXPECT_EQ(f.At(1, 1), 0x604020u);
  EXPECT_EQ(f.At(2, 3), 0x604020u);

  Frame bright(4, 1, 0xF0F0F0);
  Texture white = MakeTexture(4, 1, [](int32_t x, int32_t) { return 0xFFFFFFFFu - uint32_t(x) * 0x10000000u; });
  DrawTexture(bright.t, white, BltRect{0, 0, 4, 1, 0, 0}, TextureBlend::Add, 255);
  for (int x = 0; x < 4; ++x) EXPECT_EQ(bright.At(x, 0), 0xFFFFFFu);
  Frame dark(2, 1, 0x102030);
  Texture red = MakeTexture(2, 1, [](int32_t, int32_t) { return 0xFF800000u; });
  DrawTexture(dark.t, red, BltRect{0, 0, 2, 1, 0, 0}, TextureBlend::Add, 100);
  EXPECT_EQ(dark.At(0, 0), Mix(0x102030, 0xFF800000u, 100, true));
  EXPECT_EQ(dark.At(0, 0), 0x422030u);

  // Opacities outside 0..255 are held to that range, never wrapping a
  // channel past black or white.
  Frame over(2, 1, 0x102030);
  DrawTexture(over.t, red, BltRect{0, 0, 1, 1, 0, 0}, TextureBlend::Alpha, 1000);
  DrawTexture(over.t, red, BltRect{1, 0, 1, 1, 0, 0}, TextureBlend::Alpha, -5);
  EXPECT_EQ(over.At(0, 0), 0x800000u);
  EXPECT_EQ(over.At(1, 0), 0x102030u);
}

TEST(TextureDraw, ClippingShiftsSourceAndCutsToBothPictures) {
  Texture tex = MakeTexture(32, 4, [](int32_t x, int32_t y) { return 0xFF000000u | uint32_t(x) << 16 | uint32_t(y); });
  Frame f(20, 6, 0x000000);
  DrawTexture(f.t, tex, BltRect{-10, 0, 32, 4, 0, 0}, TextureBlend::Copy, 255);
  EXPECT_EQ(f.At(0, 0), 0x0A0000u);  // column 10 lands on column 0
  EXPECT_EQ(f.At(19, 3), 0x1D0003u);
  EXPECT_EQ(f.At(0, 4), 0u);         // no row below the texture

  Frame g(20, 6, 0x000000);
  DrawTexture(g.t, tex, BltRect{2, -3, 40, 40, 28, 0}, TextureBlend::Copy, 255);
  EXPECT_EQ(g.At(2, 0), 0x1C0003u);  // row 3, from column 28
  EXPECT_EQ(g.At(5, 0), 0x1F0003u);
  EXPECT_EQ(g.At(6, 0), 0u);         // the texture ends after four columns
  EXPECT_EQ(g.At(2, 1), 0u);

  // A source corner before the texture moves the picture, never reads
  // outside it; corners beyond either picture draw nothing.
  Frame h(8, 8, 0x000000);
  DrawTexture(h.t, tex, BltRect{0, 0, 4, 4, -2, -1}, TextureBlend::Copy, 255);
  EXPECT_EQ(h.At(0, 0), 0u);
  EXPECT_EQ(h.At(3, 1), 0x010000u);  // texel (1, 0)
  EXPECT_EQ(h.At(3, 2), 0x010001u);
  EXPECT_EQ(h.At(4, 1), 0u);
  BltRect r{8, 0, 4, 4, 0, 0};
  EXPECT_FALSE(ClipBlt(h.t, tex, r));
  r = BltRect{0, 0, 4, 4, 32, 0};
  EXPECT_FALSE(ClipBlt(h.t, tex, r));
  r = BltRect{-5, 0, 4, 4, 0, 0};
  EXPECT_FALSE(ClipBlt(h.t, tex, r));
}

TEST(TextureDraw, RotatedQuarterTurnIsCounterClockwise) {
  Texture tex = MakeTexture(4, 2, Distinct);
  Frame f(20, 20, 0x101010);
  DrawTextureRotated(f.t, tex, 10, 10, 0, 0, 4, 2, 100, 100, 90, 255, false);
  // The box turns from 4 x 2 to 2 x 4 about (10, 10); the top-left texel
  // ends at the bottom-left, the top-right at the top-left.
  EXPECT_EQ(f.At(9, 11), Distinct(0, 0) & 0xFFFFFF);
  EXPECT_EQ(f.At(9, 8), Distinct(3, 0) & 0xFFFFFF);
  EXPECT_EQ(f.At(10, 11), Distinct(0, 1) & 0xFFFFFF);
  EXPECT_EQ(f.At(8, 10), 0x101010u);
  EXPECT_EQ(f.At(11, 10), 0x101010u);
  double cs = std::cos(M_PI / 2), sn = std::sin(M_PI / 2);
  ExpectMapped(f, 0x101010, tex, 0, 0, 4, 2, 255, false, [&](double x, double y, double& u, double& v) {
    u = 2 + cs * (x - 10) - sn * (y - 10);
    v = 1 + sn * (x - 10) + cs * (y - 10);
  });
}

TEST(TextureDraw, TransformedDrawsMatchTheInverseMapping) {
  Texture tex = MakeTexture(6, 5, [](int32_t x, int32_t y) {
    return (x == 5 ? 0x80000000u : 0xFF000000u) | uint32_t(x * 40) << 16 | uint32_t(y * 50) << 8 | 0x77;
  });
  {
    // Doubled, half transparent, from the area at (1, 1).
    Frame f(24, 24, 0x204060);
    DrawTextureRotated(f.t, tex, 12, 11, 1, 1, 4, 3, 200, 200, 0, 128, false);
    ExpectMapped(f, 0x204060, tex, 1, 1, 4, 3, 128, false, [](double x, double y, double& u, double& v) {
      u = 2 + (x - 12) / 2, v = 1.5 + (y - 11) / 2;
    });
  }
  {
    // Any angle and unequal scales, additive.
    Frame f(30, 30, 0x204060);
    DrawTextureRotated(f.t, tex, 15, 14, 0, 0, 6, 5, 300, 150, 33, 200, true);
    double th = 33 * 3.1415926536 / 180, cs = std::cos(th), sn = std::sin(th);
    ExpectMapped(f, 0x204060, tex, 0, 0, 6, 5, 200, true, [&](double x, double y, double& u, double& v) {
      double dx = x - 15, dy = y - 14;
      u = 3 + (cs * dx - sn * dy) / 3, v = 2.5 + (sn * dx + cs * dy) / 1.5;
    });
  }
  {
    // Four corners making a sheared parallelogram: one affine map.
    Frame f(30, 30, 0x000000);
    const int32_t c[8] = {4, 2, 16, 6, 8, 22, 20, 26};  // d00, d10, d01, d11
    DrawTextureQuad(f.t, tex, c, 0, 0, 6, 5, 255, false);
    ExpectMapped(f, 0, tex, 0, 0, 6, 5, 255, false, [](double x, double y, double& u, double& v) {
      // x - 4 = 2u + (4/5) v, y - 2 = (4/6) u + 4 v.
      double px = x - 4, py = y - 2, a = 2, b = 0.8, cc = 4.0 / 6, d = 4, det = a * d - b * cc;
      u = (d * px - b * py) / det, v = (-cc * px + a * py) / det;
    });
  }
  {
    // A trapezoid: each corner texel lies at its corner.
    Frame f(40, 40, 0x000000);
    const int32_t c[8] = {10, 5, 30, 5, 2, 35, 38, 35};
    DrawTextureQuad(f.t, tex, c, 0, 0, 6, 5, 255, false);
    EXPECT_EQ(f.At(10, 5), Texel(tex, 0, 0) & 0xFFFFFF);
    EXPECT_EQ(f.At(3, 34), Texel(tex, 0, 4) & 0xFFFFFF);
    EXPECT_NE(f.At(20, 20), 0u);
    EXPECT_EQ(f.At(5, 6), 0u);
  }
}

TEST(TextureDraw, TransformedDrawsStayInsideTextureAndFrame) {
  Texture tex = MakeTexture(4, 4, Distinct);
  Frame f(16, 16, 0x000000);
  // Areas reaching past the texture draw only its part; centres far off the
  // frame, zero scales and degenerate quadrilaterals draw nothing.
  DrawTextureRotated(f.t, tex, 8, 8, -2, -2, 8, 8, 100, 100, 45, 255, false);
  DrawTextureRotated(f.t, tex, -100000, 5, 0, 0, 4, 4, 100, 100, 10, 255, false);
  DrawTextureRotated(f.t, tex, 2000000000, 2000000000, 0, 0, 4, 4, 1, 1, 0, 255, true);
  const int32_t flat[8] = {0, 0, 10, 10, 5, 5, 15, 15};
  DrawTextureQuad(f.t, tex, flat, 0, 0, 4, 4, 255, false);
  const int32_t huge[8] = {-2000000000, -2000000000, 2000000000, -2000000000, -2000000000, 2000000000,
                           2000000000, 2000000000};
  DrawTextureQuad(f.t, tex, huge, 0, 0, 4, 4, 255, true);
  const int32_t thin[8] = {0, 0, 16000000, 1, 0, 1, 16000000, 2};
  DrawTextureQuad(f.t, tex, thin, 0, 0, 4, 4, 255, true);
  const int32_t needle[8] = {5, 5, 5, 5, 5, 5, 6, 16000000};
  DrawTextureQuad(f.t, tex, needle, 0, 0, 4, 4, 255, false);
  Frame none(16, 16, 0x000000);
  DrawTextureRotated(none.t, tex, 8, 8, 0, 0, 4, 4, 0, 100, 0, 255, false);
  DrawTextureRotated(none.t, tex, 8, 8, 4, 0, 4, 4, 100, 100, 0, 255, false);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) ASSERT_EQ(none.At(x, y), 0u);
  }
}

TEST(TextureDraw, ColourBlocks) {
  int32_t w, h;
  uint8_t bgra[4];
  ASSERT_TRUE(ParseColourBlock("*16,16,255,0,0,255", w, h, bgra));
  EXPECT_EQ(w, 16);
  EXPECT_EQ(h, 16);
  EXPECT_EQ(bgra[0], 0);
  EXPECT_EQ(bgra[2], 255);
  EXPECT_EQ(bgra[3], 255);
  ASSERT_TRUE(ParseColourBlock("*3, 2", w, h, bgra));
  EXPECT_EQ(bgra[0] | bgra[1] | bgra[2] | bgra[3], 0);
  for (const char* bad : {"*", "*3", "*3,2,1", "*3,2,1,2,3,256", "*3,2,1,2,3,4,5", "16,16", "*a,2", "*3,2,"}) {
    EXPECT_FALSE(ParseColourBlock(bad, w, h, bgra)) << bad;
  }
}

}  // namespace
}  // namespace sorv
