// Scene faults found by playing real scripts, and the scene words: text
// sprites on a grid, gradients, blt, standing-image opacity, underline.
#include <gtest/gtest.h>

#include "graphics/blend_table.h"
#include "graphics/decoders/decoders.h"
#include "graphics/picture_files.h"
#include "support/engine_fixture.h"

namespace sorv {
namespace {

using test::At;
using test::MakePicture;
using test::TempDir;

struct Game {
  TempDir dir;
  Game() {
    Bmp("red.bmp", MakePicture(20, 20, [](int32_t, int32_t) { return 0xFF0000u; }));
    // Green with a black key border one pixel wide.
    Bmp("framed.bmp", MakePicture(6, 5, [](int32_t x, int32_t y) {
      return x == 0 || y == 0 || x == 5 || y == 4 ? 0x000000u : 0x00FF00u;
    }));
    // Left half red, right half blue: the btndef picture of blt.
    Bmp("btn.bmp", MakePicture(8, 4, [](int32_t x, int32_t) { return x < 4 ? 0xFF0000u : 0x0000FFu; }));
  }
  void Bmp(const std::string& name, const Surface& s) { dir.Write(name, test::Bytes(EncodeBmp(s))); }
  test::RunResult Run(const std::string& body) {
    dir.Write("0.txt", "*define\ngame\n*start\n" + body);
    return test::RunGameDir(dir.path());
  }
};

uint32_t Shown(const test::RunResult& r, int32_t x, int32_t y) { return At(r.engine->scene.display, x, y); }

// No background was ever loaded: the screen under a sprite that goes away
// is black again, whichever way it went.
TEST(SceneFaults, WithoutABackgroundWhatASpriteLeavesIsCleared) {
  Game g;
  for (const char* change : {"csp 1", "csp -1", "vsp 1,0", "amsp 1,200,200"}) {
    auto r = g.Run(std::string("lsp 1,\":c;red.bmp\",10,10\nprint 1\n") + change + "\nprint 1\nend\n");
    ASSERT_EQ(r.status, 0) << r.errorText;
    EXPECT_EQ(Shown(r, 15, 15), 0u) << change;
  }
  auto r = g.Run("lsp 1,\":c;red.bmp\",10,10\nprint 1\namsp 1,200,200\nprint 1\nend\n");
  EXPECT_EQ(Shown(r, 205, 205), 0xFF0000u);
}

// A shown text window is part of every refresh that reaches it; only
// erasetextwindow takes it away (bg, ld, cl and print with an effect).
TEST(SceneFaults, TheShownTextWindowIsComposedIntoEveryRefresh) {
  Game g;
  const std::string window = "setwindow 20,300,20,3,20,20,0,2,10,1,1,#808080,0,290,639,479\nsetwindow2 #ffff00\n";
  struct Case {
    const char* setting;
    const char* refresh;
    uint32_t underWindow;  // at (5, 400): blue background tinted yellow = black
  } cases[] = {
      {"erasetextwindow 0", "print 1", 0x000000u},
      {"erasetextwindow 0", "print 10,200", 0x000000u},
      {"erasetextwindow 0", "lsp 2,\":c;red.bmp\",0,390:print 1", 0xFF0000u},
      {"erasetextwindow 0", "bg #00ffff,1", 0x00FF00u},
      {"erasetextwindow 2", "ld c,\":c;red.bmp\",1", 0x000000u},
      {"erasetextwindow 2", "ld c,\":c;red.bmp\",1:cl c,10,100", 0x000000u},
      {"erasetextwindow 1", "print 1", 0x000000u},  // an instant refresh keeps it
      {"erasetextwindow 1", "print 10,200", 0x0000FFu},  // taken away before the fade
  };
  for (const Case& c : cases) {
    auto r = g.Run(std::string("bg #0000ff,1\n") + c.setting + "\n" + window + c.refresh + "\nend\n");
    ASSERT_EQ(r.status, 0) << r.errorText;
    EXPECT_EQ(Shown(r, 5, 400), c.underWindow) << c.setting << " " << c.refresh;
    EXPECT_EQ(Shown(r, 5, 5) != 0x000000u, true) << c.refresh;  // above the window: untinted
  }
}

TEST(SceneWords, StrspMakesAGridTextSprite) {
  Game g;
  // Three full-width characters on 2 columns x 2 rows of 20 x 20 cells with
  // 2 pixels between: the third wraps to the second row.
  auto r = g.Run("strsp 4,\"\x82\x60\x82\x60\x82\x60\",30,40,2,2,20,20,2,2,0,0,#ff0000,#00ff00\n"
                 "strsph 5,\"\x82\x60\",0,0,1,1,16,16,0,0,1,1\n"
                 "getspsize 4,%1,%2\ngetspmode %3,4\ngetspmode %4,5\nprint 1\nend\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(1), 44);  // 2 x (20 + 2)
  EXPECT_EQ(r.Int(2), 44);
  EXPECT_EQ(r.Int(3), 1);
  EXPECT_EQ(r.Int(4), 0);  // strsph: hidden
  const Sprite& sp = r.engine->scene.sprites[4];
  EXPECT_EQ(sp.image.cellCount, 2);
  EXPECT_TRUE(sp.image.textSprite);
  // The colour half of cell 0 holds red glyph pixels in both rows, none of
  // another colour; cell 1 is green.
  auto inked = [&](int32_t x0, int32_t y0, int32_t y1, uint32_t colour) {
    int n = 0;
    for (int32_t y = y0; y < y1; ++y)
      for (int32_t x = x0; x < x0 + 22; ++x) {
        uint32_t p = At(sp.image.surface, x, y);
        if (p != 0 && (p & ~colour) == 0) ++n;
      }
    return n;
  };
  EXPECT_GT(inked(0, 0, 22, 0xFF0000u), 10);
  EXPECT_GT(inked(0, 22, 44, 0xFF0000u), 10);
  EXPECT_EQ(inked(22, 22, 44, 0xFF0000u), 0);  // the second row holds one character
  EXPECT_GT(inked(88, 0, 22, 0x00FF00u), 10);
  // On screen: the red text over black at the sprite's place.
  int red = 0;
  for (int32_t y = 40; y < 84; ++y)
    for (int32_t x = 30; x < 74; ++x) red += (Shown(r, x, y) >> 16) > 0x80;
  EXPECT_GT(red, 20);
  auto bad = g.Run("strsp 1,\"a\",0,0,100000,100000,20,20,0,0,0,0\nend\n");
  EXPECT_EQ(bad.status, 1);
}

TEST(SceneWords, SpRgbGradationKeepsTheKeyColour) {
  Game g;
  auto r = g.Run("lsp 1,\":c;framed.bmp\",0,0\nsp_rgb_gradation 1,0,0,0,255,255,255,0,0,0,0\n"
                 "lsp 2,\":c;framed.bmp\",0,0\nsp_rgb_gradation 2,200,0,0,0,0,100,0,0,0,1\nend\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  const Surface& down = r.engine->scene.sprites[1].image.surface;
  EXPECT_EQ(At(down, 0, 0), 0u);         // the key stays
  EXPECT_EQ(At(down, 2, 1), 0x3F3F3Fu);  // row 1 of 0..4: 255 x 1 / 4
  EXPECT_EQ(At(down, 2, 3), 0xBFBFBFu);
  const Surface& across = r.engine->scene.sprites[2].image.surface;
  EXPECT_EQ(At(across, 1, 2), 0xA00014u);  // column 1 of 0..5: 200 - 200/5, 100/5
  EXPECT_EQ(At(across, 5, 2), 0u);
  auto bad = g.Run("sp_rgb_gradation 7,0,0,0,0,0,0,0,0,0,0\nend\n");
  EXPECT_EQ(bad.errorMessage, "定義されていないスプライト7を使おうとしました。");
}

TEST(SceneWords, BltDrawsTheButtonPictureUntilTheNextRefresh) {
  Game g;
  // The 4 x 4 red half doubled to 8 x 8 at (100, 100); blue half 1:1.
  auto r = g.Run("bg #102030,1\nbtndef \"btn.bmp\"\nblt 100,100,8,8,0,0,4,4\nblt 0,0,4,4,4,0,4,4\nend\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(Shown(r, 100, 100), 0xFF0000u);
  EXPECT_EQ(Shown(r, 107, 107), 0xFF0000u);
  EXPECT_EQ(Shown(r, 108, 100), 0x102030u);
  EXPECT_EQ(Shown(r, 3, 3), 0x0000FFu);
  EXPECT_EQ(At(r.engine->scene.scene, 100, 100), 0x102030u);  // the layers are untouched
  auto s = g.Run("bg #102030,1\nbtndef \"btn.bmp\"\nblt 100,100,8,8,0,0,4,4\nbg #102030,1\nend\n");
  EXPECT_EQ(Shown(s, 100, 100), 0x102030u);
}

TEST(SceneWords, TalSetsTheStandingImagesOpacity) {
  Game g;
  auto r = g.Run("bg #0000ff,1\nld c,\":c;red.bmp\",1\ntal c,128\nprint 1\nend\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  uint32_t blended = uint32_t(kBlend(128, 255)) << 16 | kBlend(127, 255);
  EXPECT_EQ(Shown(r, 320, 470), blended);
  // Kept for the position: a new picture there shows at the same opacity.
  auto s = g.Run("bg #0000ff,1\ntal \"c\",128\nld c,\":c;red.bmp\",1\nend\n");
  EXPECT_EQ(Shown(s, 320, 470), blended);
  auto t = g.Run("bg #0000ff,1\nld c,\":c;red.bmp\",1\ntal c,128\ntal c,255\nprint 1\nend\n");
  EXPECT_EQ(Shown(t, 320, 470), 0xFF0000u);
}

TEST(SceneWords, UnderlineIsKept) {
  Game g;
  auto r = g.Run("underline 1\nend\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.engine->textWindow.underline, 1);
}

}  // namespace
}  // namespace sorv
