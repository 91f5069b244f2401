// The drawing primitives and the layer order, checked pixel for pixel on
// small pictures made here.
#include <gtest/gtest.h>

#include "graphics/blend_table.h"
#include "graphics/picture_files.h"
#include "graphics/scene.h"
#include "shell/engine.h"
#include "text/text_window.h"

namespace sorv {
namespace {

using test::At;
using test::MakePicture;

uint32_t Pack(uint8_t b, uint8_t g, uint8_t r) { return uint32_t{b} | uint32_t{g} << 8 | uint32_t{r} << 16; }

TaggedImage Image(Surface s, int32_t mode, int32_t cells = 1) {
  TaggedImage img;
  img.surface = std::move(s);
  img.transMode = mode;
  img.cellCount = cells;
  img.tag = "test";
  return img;
}

TaggedImage Solid(int32_t w, int32_t h, uint32_t rgb, int32_t mode = kTransCopy) {
  return Image(MakePicture(w, h, [rgb](int32_t, int32_t) { return rgb; }), mode);
}

Surface Target(int32_t w, int32_t h, uint32_t rgb = 0) {
  return MakePicture(w, h, [rgb](int32_t, int32_t) { return rgb; });
}

const Rect kAll{0, 0, 10000, 10000};

// A small engine with its buffers and a background of one colour.
struct SceneFixture {
  Engine e;
  explicit SceneFixture(int32_t w = 16, int32_t h = 16, uint32_t bg = 0x000000) {
    e.screenWidth = w, e.screenHeight = h;
    RecreateSurfaces(e);
    ResetTextWindow(e);
    ResetScene(e);
    e.scene.background = Solid(w, h, bg);
  }
  Sprite& Put(int32_t n, TaggedImage img, int32_t x, int32_t y) {
    Sprite& sp = e.scene.sprites[static_cast<size_t>(n)];
    sp.image = std::move(img);
    sp.tag = "test";
    sp.visible = true;
    sp.x = x, sp.y = y;
    return sp;
  }
  StandingImage& Stand(int i, TaggedImage img, int32_t x, int32_t y) {
    StandingImage& s = e.scene.standing[static_cast<size_t>(i)];
    s.image = std::move(img);
    s.tag = "test";
    s.x = x, s.y = y;
    return s;
  }
  uint32_t Px(int32_t x, int32_t y) { return At(e.scene.scene, x, y); }
  void Compose() { ComposeRect(e, Rect{0, 0, e.scene.width, e.scene.height}); }
};

TEST(SceneBlend, TableAndCopyOpacity) {
  EXPECT_EQ(kBlend(255, 200), 200);
  EXPECT_EQ(kBlend(128, 255), 128);
  EXPECT_EQ(kBlend(127, 100), 49);  // 12700 / 255, truncated
  TaggedImage img = Solid(2, 1, 0xC86432);
  img.opacity = 100;
  Surface t = Target(2, 1, 0x1020F0);
  DrawImage(img, t, 0, 0, kAll);
  // d = T[o][s] + T[255 - o][d] on every channel.
  uint32_t want = Pack(kBlend(100, 0x32) + kBlend(155, 0xF0), kBlend(100, 0x64) + kBlend(155, 0x20),
                       kBlend(100, 0xC8) + kBlend(155, 0x10));
  EXPECT_EQ(At(t, 0, 0), want);
  EXPECT_EQ(At(t, 1, 0), want);
}

TEST(SceneBlend, AlphaMaskRules) {
  // One cell 2 wide: colour half, then mask half (blue byte = mask).
  TaggedImage img = Image(MakePicture(4, 1, [](int32_t x, int32_t) -> uint32_t {
                            const uint32_t colours[] = {0xC86432, 0xFFFFFF, 0x000080, 0x0000FF};
                            return colours[x];
                          }),
                          kTransAlpha);
  Surface t = Target(2, 1, 0x000000);
  DrawImage(img, t, 0, 0, kAll);
  // Mask 128 over black: T[s][127] per channel; mask 255 leaves the target.
  EXPECT_EQ(At(t, 0, 0), Pack(kBlend(0x32, 127), kBlend(0x64, 127), kBlend(0xC8, 127)));
  EXPECT_EQ(At(t, 1, 0), 0u);

  img.opacity = 200;
  Surface t2 = Target(2, 1, 0x102030);
  DrawImage(img, t2, 0, 0, kAll);
  int a = kBlend(127, 200);
  EXPECT_EQ(At(t2, 0, 0), Pack(kBlend(0x32, a) + kBlend(0x30, 255 - a), kBlend(0x64, a) + kBlend(0x20, 255 - a),
                               kBlend(0xC8, a) + kBlend(0x10, 255 - a)));

  // Text sprites carry premultiplied colour: d = min(255, T[d][m] + s).
  img.opacity = -1;
  img.textSprite = true;
  Surface t3 = Target(2, 1, 0xF0F0F0);
  DrawImage(img, t3, 0, 0, kAll);
  EXPECT_EQ(At(t3, 0, 0), Pack(std::min(255, kBlend(0xF0, 128) + 0x32), std::min(255, kBlend(0xF0, 128) + 0x64),
                               std::min(255, kBlend(0xF0, 128) + 0xC8)));
}

TEST(SceneBlend, KeyColoursAndCells) {
  // Two cells of 2 x 1; the key is the top-left pixel of the whole picture.
  TaggedImage img = Image(MakePicture(4, 1, [](int32_t x, int32_t) -> uint32_t {
                            const uint32_t colours[] = {0x00FF00, 0x111111, 0x00FF00, 0x222222};
                            return colours[x];
                          }),
                          kTransLeftUp, 2);
  img.currentCell = 1;
  Surface t = Target(2, 1, 0xABCDEF);
  DrawImage(img, t, 0, 0, kAll);
  EXPECT_EQ(At(t, 0, 0), 0xABCDEFu);
  EXPECT_EQ(At(t, 1, 0), 0x222222u);

  // RIGHTUP takes the last cell's corner for every cell; cell 7 clamps to 1.
  img.transMode = kTransRightUp;
  img.currentCell = 7;
  Surface t2 = Target(2, 1, 0xABCDEF);
  DrawImage(img, t2, 0, 0, kAll);
  EXPECT_EQ(At(t2, 0, 0), 0x00FF00u);
  EXPECT_EQ(At(t2, 1, 0), 0xABCDEFu);

  img.transMode = kTransSelect;
  img.keyRed = img.keyGreen = img.keyBlue = 0x22;
  Surface t3 = Target(2, 1, 0xABCDEF);
  DrawImage(img, t3, 0, 0, kAll);
  EXPECT_EQ(At(t3, 0, 0), 0x00FF00u);
  EXPECT_EQ(At(t3, 1, 0), 0xABCDEFu);
}

TEST(SceneBlend, PalettedLeftUpComparesIndices) {
  Surface s;
  ASSERT_TRUE(CreateSurfaceDepth(s, 3, 1, 8, 256));
  s.palette[0] = RgbQuad{10, 20, 30, 0};
  s.palette[5] = RgbQuad{10, 20, 30, 0};  // same colour, other index
  s.palette[9] = RgbQuad{1, 2, 3, 0};
  s.TopRow(0)[0] = 0, s.TopRow(0)[1] = 5, s.TopRow(0)[2] = 9;
  TaggedImage img = Image(std::move(s), kTransLeftUp);
  Surface t = Target(3, 1, 0xFFFFFF);
  DrawImage(img, t, 0, 0, kAll);
  EXPECT_EQ(At(t, 0, 0), 0xFFFFFFu);
  EXPECT_EQ(At(t, 1, 0), 0x1E140Au);
  EXPECT_EQ(At(t, 2, 0), 0x030201u);

  // ALPHA needs 24 bits: an 8-bit picture in that mode draws nothing.
  img.transMode = kTransAlpha;
  Surface t2 = Target(3, 1, 0xFFFFFF);
  DrawImage(img, t2, 0, 0, kAll);
  EXPECT_EQ(At(t2, 1, 0), 0xFFFFFFu);
}

TEST(SceneBlend, ClippingKeepsEverythingInBounds) {
  TaggedImage img = Solid(4, 4, 0x123456);
  Surface t = Target(4, 4, 0);
  DrawImage(img, t, -2, 3, Rect{0, 0, 3, 4});
  EXPECT_EQ(At(t, 0, 3), 0x123456u);
  EXPECT_EQ(At(t, 1, 3), 0x123456u);
  EXPECT_EQ(At(t, 2, 3), 0u);  // beyond the picture
  EXPECT_EQ(At(t, 0, 2), 0u);
  DrawImage(img, t, 100000, -100000, kAll);  // far outside: nothing, no fault
}

TEST(SceneFilters, NegaAndMonochromeOnPartOfTheScreen) {
  SceneFixture f(8, 8, 0x204080);
  f.Compose();
  f.e.scene.nega = 2;
  ComposeRect(f.e, Rect{2, 3, 5, 6});
  for (int32_t y = 0; y < 8; ++y) {
    for (int32_t x = 0; x < 8; ++x) {
      bool inside = x >= 2 && x < 5 && y >= 3 && y < 6;
      EXPECT_EQ(f.Px(x, y), inside ? 0xDFBF7Fu : 0x204080u) << x << "," << y;
    }
  }
  f.e.scene.nega = 0;
  f.e.scene.monochrome = true;
  f.e.scene.monochromeTint = 0xFF8000;
  f.Compose();
  int g = (0x80 + 0x40 + 0x20) / 3;
  EXPECT_EQ(f.Px(0, 0), Pack(kBlend(g, 0), kBlend(g, 0x80), kBlend(g, 0xFF)));
}

TEST(SceneOrder, HumanzSplitsTheSprites) {
  SceneFixture f;
  f.Stand(kStandCentre, Solid(4, 4, 0xFF0000), 0, 0);
  int32_t z = f.e.graphicsSettings.humanz;
  f.Put(z, Solid(2, 2, 0x00FF00), 0, 0);
  f.Put(z + 1, Solid(2, 2, 0x0000FF), 2, 0);
  f.Compose();
  EXPECT_EQ(f.Px(0, 0), 0x00FF00u);  // number humanz: in front
  EXPECT_EQ(f.Px(2, 0), 0xFF0000u);  // humanz + 1: behind

  f.e.graphicsSettings.humanz = 10;
  f.e.scene.sprites[static_cast<size_t>(z)].x = 8;
  f.Put(10, Solid(2, 2, 0x00FFFF), 2, 2);
  f.Put(11, Solid(2, 2, 0xFFFF00), 0, 2);
  f.Compose();
  EXPECT_EQ(f.Px(2, 2), 0x00FFFFu);
  EXPECT_EQ(f.Px(0, 2), 0xFF0000u);
}

TEST(SceneOrder, LowerNumbersInFrontAndHiddenSprites) {
  SceneFixture f;
  f.Put(0, Solid(4, 4, 0x111111), 0, 0);
  f.Put(1, Solid(4, 4, 0x222222), 2, 2);
  f.Compose();
  EXPECT_EQ(f.Px(3, 3), 0x111111u);
  EXPECT_EQ(f.Px(5, 5), 0x222222u);

  f.e.scene.hideFirst = 0, f.e.scene.hideLast = 0;
  f.Compose();
  EXPECT_EQ(f.Px(3, 3), 0x222222u);
  f.e.scene.hideFirst = 9999, f.e.scene.hideLast = -9999;
  f.e.scene.sprites[0].visible = false;
  f.Compose();
  EXPECT_EQ(f.Px(3, 3), 0x222222u);
  f.e.scene.allSpHide = true;
  f.Compose();
  EXPECT_EQ(f.Px(5, 5), 0u);
}

TEST(SceneOrder, StandingOrderAndAllSpHide) {
  SceneFixture f;
  f.Stand(kStandLeft, Solid(4, 4, 0x0000AA), 0, 0);
  f.Stand(kStandCentre, Solid(4, 4, 0x00AA00), 0, 0);
  f.Stand(kStandRight, Solid(4, 4, 0xAA0000), 0, 0);
  f.Compose();
  EXPECT_EQ(f.Px(0, 0), 0xAA0000u);  // right in front by default
  f.e.scene.humanOrder = "Cl";
  f.Compose();
  EXPECT_EQ(f.Px(0, 0), 0x00AA00u);
  f.e.scene.allSpHide = true;
  f.Compose();
  EXPECT_EQ(f.Px(0, 0), 0u);
  f.e.graphicsSettings.notEraseMan = true;
  f.Compose();
  EXPECT_EQ(f.Px(0, 0), 0x00AA00u);
}

TEST(SceneOrder, WindowBackPutsFrontSpritesOverTheTextWindow) {
  SceneFixture f;
  TextWindowState& w = f.e.textWindow.window;
  w.shown = 1;
  w.left = 0, w.top = 0, w.right = 4, w.bottom = 4;
  w.windowColour = 0x808080;
  f.Put(0, Solid(2, 2, 0x00FF00), 0, 0);
  f.e.scene.nega = 1;
  f.Compose();
  // The window last, over the negated sprite.
  EXPECT_EQ(f.Px(0, 0), 0x800080u);
  EXPECT_EQ(f.Px(3, 3), 0x808080u);
  EXPECT_EQ(f.Px(5, 5), 0xFFFFFFu);
  f.e.graphicsSettings.windowBack = true;
  f.Compose();
  // The sprite now lies over the window, and the filter runs beneath both.
  EXPECT_EQ(f.Px(0, 0), 0x00FF00u);
  EXPECT_EQ(f.Px(3, 3), 0x808080u);
  EXPECT_EQ(f.Px(5, 5), 0xFFFFFFu);
  // Window colour white leaves what lies beneath as it is.
  w.windowColour = 0xFFFFFF;
  f.Compose();
  EXPECT_EQ(f.Px(3, 3), 0xFFFFFFu);
}

TEST(SceneOrder, GaugesAndBgalia) {
  SceneFixture f(8, 8, 0x333333);
  f.e.scene.gauges[0] = Gauge{1, 2, 6, 1, 1, 3, 0xFF0000};
  f.e.scene.gauges[1] = Gauge{0, 4, 6, 1, 5, 0, 0x00FF00};  // maximum 0: nothing
  f.Compose();
  EXPECT_EQ(f.Px(1, 2), 0xFF0000u);
  EXPECT_EQ(f.Px(2, 2), 0xFF0000u);
  EXPECT_EQ(f.Px(3, 2), 0x333333u);  // 6 x 1 / 3 = 2 wide
  EXPECT_EQ(f.Px(0, 4), 0x333333u);

  f.e.graphicsSettings.bgaliaX = 2, f.e.graphicsSettings.bgaliaY = 1;
  f.e.graphicsSettings.bgaliaW = 3, f.e.graphicsSettings.bgaliaH = 3;
  f.e.scene.background = Solid(3, 3, 0x445566);
  f.e.scene.gauges = {};
  for (auto& g : f.e.scene.gauges) g.x = -1;
  f.Compose();
  EXPECT_EQ(f.Px(1, 1), 0u);
  EXPECT_EQ(f.Px(2, 1), 0x445566u);
  EXPECT_EQ(f.Px(4, 3), 0x445566u);
  EXPECT_EQ(f.Px(5, 3), 0u);
}

// A 5 x 3 picture whose every pixel differs.
TaggedImage Pattern(int32_t mode = kTransCopy) {
  return Image(MakePicture(5, 3, [](int32_t x, int32_t y) { return 0x010000u * (x + 1) + 0x000100u * (y + 1) + 7; }),
               mode);
}

TEST(SceneTransformed, IdentityRotationsAndHalfTurn) {
  TaggedImage img = Pattern();
  img.opacity = 255;
  Surface a = Target(20, 20, 0xEEEEEE), b = Target(20, 20, 0xEEEEEE);
  DrawImageTransformed(0, img, a, 10, 10, 100, 100, kBlendNormal, kAll);
  DrawImageTransformed(360, img, b, 10, 10, 100, 100, kBlendNormal, kAll);
  EXPECT_EQ(a.bits, b.bits);
  // Scale 100 at rotation 0 is the picture with its centre (2, 1) at (10, 10).
  for (int32_t y = 0; y < 20; ++y) {
    for (int32_t x = 0; x < 20; ++x) {
      bool inside = x >= 8 && x < 13 && y >= 9 && y < 12;
      EXPECT_EQ(At(a, x, y), inside ? At(img.surface, x - 8, y - 9) : 0xEEEEEEu) << x << "," << y;
    }
  }
  Surface c = Target(20, 20, 0xEEEEEE);
  DrawImageTransformed(180, img, c, 10, 10, 100, 100, kBlendNormal, kAll);
  EXPECT_EQ(At(c, 11, 10), At(img.surface, 1, 1));
  EXPECT_EQ(At(c, 10, 11), At(img.surface, 2, 0));

  Surface d = Target(20, 20, 0xEEEEEE);
  DrawImageTransformed(0, img, d, 10, 10, 200, 100, kBlendNormal, kAll);
  EXPECT_EQ(At(d, 6, 10), At(img.surface, 0, 1));
  EXPECT_EQ(At(d, 7, 10), At(img.surface, 0, 1));
  EXPECT_EQ(At(d, 8, 10), At(img.surface, 1, 1));
  DrawImageTransformed(0, img, d, 10, 10, 0, 100, kBlendNormal, kAll);  // no inverse: nothing
}

TEST(SceneTransformed, BlendsAndCoverage) {
  TaggedImage img = Solid(3, 3, 0x406080);
  img.opacity = 128;
  Surface t = Target(9, 9, 0x808080);
  DrawImageTransformed(0, img, t, 4, 4, 100, 100, kBlendAdd, kAll);
  EXPECT_EQ(At(t, 4, 4), Pack(0x80 + kBlend(128, 0x80), 0x80 + kBlend(128, 0x60), 0x80 + kBlend(128, 0x40)));
  Surface u = Target(9, 9, 0x808080);
  DrawImageTransformed(0, img, u, 4, 4, 100, 100, kBlendSubtract, kAll);
  EXPECT_EQ(At(u, 4, 4), Pack(0x80 - kBlend(128, 0x80), 0x80 - kBlend(128, 0x60), 0x80 - kBlend(128, 0x40)));
  Surface v = Target(9, 9, 0x808080);
  DrawImageTransformed(0, img, v, 4, 4, 100, 100, kBlendNormal, kAll);
  EXPECT_EQ(At(v, 4, 4), Pack(kBlend(0x80, 128) + kBlend(0x80, 127), kBlend(0x60, 128) + kBlend(0x80, 127),
                              kBlend(0x40, 128) + kBlend(0x80, 127)));

  // ALPHA below full opacity: a = T[255 - m][o].
  TaggedImage al = Image(MakePicture(2, 1, [](int32_t x, int32_t) { return x == 0 ? 0xFF0000u : 0x000040u; }),
                         kTransAlpha);
  al.opacity = 200;
  Surface w = Target(3, 3, 0);
  DrawImageTransformed(0, al, w, 1, 1, 100, 100, kBlendNormal, kAll);
  EXPECT_EQ(At(w, 1, 1), Pack(0, 0, kBlend(0xFF, kBlend(255 - 0x40, 200))));
}

TEST(SceneTransformed, MatrixDraw) {
  TaggedImage img = Image(MakePicture(6, 2, [](int32_t x, int32_t y) {
                            return x < 3 ? 0x100000u * (x + 1) + 0x10u * (y + 1) : 0u;  // mask half opaque
                          }),
                          kTransAlpha);
  img.opacity = 255;
  Surface t = Target(10, 10, 0x999999);
  DrawImageMatrix(img, t, 5, 5, 1000, 0, 0, 1000, kAll);
  EXPECT_EQ(At(t, 4, 4), At(img.surface, 0, 0));
  EXPECT_EQ(At(t, 6, 5), At(img.surface, 2, 1));
  EXPECT_EQ(At(t, 7, 5), 0x999999u);
  Surface u = Target(10, 10, 0x999999);
  DrawImageMatrix(img, u, 5, 5, 1, 0, 0, 1, kAll);  // determinant 1e-12: nothing
  EXPECT_EQ(u.bits, Target(10, 10, 0x999999).bits);
}

TEST(SceneCells, AnimationModes) {
  SceneFixture f;
  auto animated = [&](int32_t n, int32_t mode) -> TaggedImage& {
    Sprite& sp = f.Put(n, Image(MakePicture(3, 1, [](int32_t x, int32_t) { return 0x111111u * (x + 1); }),
                                kTransCopy, 3),
                       0, 0);
    sp.image.cellTime = 100;
    sp.image.animationMode = mode;
    sp.image.loadTime = 1000;
    return sp.image;
  };
  TaggedImage& loop = animated(0, 0);
  TaggedImage& once = animated(1, 1);
  TaggedImage& ping = animated(2, 2);
  std::vector<int32_t> seen[3];
  uint32_t now = 1000;
  for (int i = 0; i < 5; ++i) {
    now += 101;
    AnimateCells(f.e, now);
    seen[0].push_back(loop.currentCell), seen[1].push_back(once.currentCell), seen[2].push_back(ping.currentCell);
  }
  EXPECT_EQ(seen[0], (std::vector<int32_t>{1, 2, 0, 1, 2}));
  EXPECT_EQ(seen[1], (std::vector<int32_t>{1, 2, 2, 2, 2}));
  EXPECT_EQ(seen[2], (std::vector<int32_t>{1, 2, 1, 0, 1}));
  // Exactly the cell time is not yet enough; a clock that wrapped is.
  loop.loadTime = now;
  EXPECT_TRUE(AnimateCells(f.e, now + 100).Empty());
  EXPECT_FALSE(AnimateCells(f.e, now - 5).Empty());
}

}  // namespace
}  // namespace sorv
