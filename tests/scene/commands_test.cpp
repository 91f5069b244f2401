// The scene commands run from scripts, headless: what reaches the display
// buffer and the screenshot, the sprite state they leave, and their messages.
#include <gtest/gtest.h>

#include "graphics/blend_table.h"
#include "graphics/decoders/decoders.h"
#include "graphics/picture_files.h"
#include "platform/png_reader.h"
#include "support/engine_fixture.h"

namespace sorv {
namespace {

using test::At;
using test::MakePicture;
using test::TempDir;

// A game directory with a few pictures: a.bmp (4 x 2, every pixel its own
// colour), red.bmp (2 x 2) and wide.bmp (6 x 4 with a green top-left key).
struct Game {
  TempDir dir;
  Game() {
    Bmp("a.bmp", MakePicture(4, 2, [](int32_t x, int32_t y) { return 0x300000u * (x + 1) + 0x50u * (y + 1); }));
    Bmp("red.bmp", MakePicture(2, 2, [](int32_t, int32_t) { return 0xFF0000u; }));
    Bmp("wide.bmp", MakePicture(6, 4, [](int32_t x, int32_t) { return x == 0 ? 0x00FF00u : 0x0000FFu; }));
  }
  void Bmp(const std::string& name, const Surface& s) { dir.Write(name, test::Bytes(EncodeBmp(s))); }
  test::RunResult Run(const std::string& body, platform::Options options = {}, const std::string& define = "") {
    dir.Write("0.txt", "*define\n" + define + "game\n*start\n" + body);
    return test::RunGameDir(dir.path(), options);
  }
};

uint32_t Shown(const test::RunResult& r, int32_t x, int32_t y) { return At(r.engine->scene.display, x, y); }

TEST(SceneCommands, SpritesReachTheDisplayOnlyThroughAnEffect) {
  Game g;
  auto r = g.Run("bg white,0\nlsp 3,\":c;a.bmp\",10,20\nprint 0\nmov %1,1\nend\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(Shown(r, 10, 20), 0u);  // print 0 shows nothing yet
  auto s = g.Run("bg white,0\nlsp 3,\":c;a.bmp\",10,20\nprint 1\nend\n");
  ASSERT_EQ(s.status, 0) << s.errorText;
  EXPECT_EQ(Shown(s, 9, 20), 0xFFFFFFu);
  EXPECT_EQ(Shown(s, 10, 20), 0x300050u);
  EXPECT_EQ(Shown(s, 13, 21), 0xC000A0u);
  EXPECT_EQ(Shown(s, 14, 20), 0xFFFFFFu);
}

TEST(SceneCommands, MspOpacityStartsFromOpaque) {
  Game g;
  auto r = g.Run("bg #204060,0\nlsp 0,\":c;red.bmp\",0,0\nmsp 0,1,1,-55\nprint 1\nend\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  const Sprite& sp = r.engine->scene.sprites[0];
  EXPECT_EQ(sp.image.opacity, 200);
  EXPECT_EQ(sp.x, 1);
  EXPECT_EQ(Shown(r, 1, 1), uint32_t(kBlend(200, 0xFF) + kBlend(55, 0x20)) << 16 | uint32_t(kBlend(55, 0x40)) << 8 |
                                kBlend(55, 0x60));
  EXPECT_EQ(Shown(r, 0, 0), 0x204060u);  // the old place is shown again

  auto s = g.Run("lsp 0,\":c;red.bmp\",0,0,10\nmsp 0,0,0,-55\nmov %1,0\nend\n");
  EXPECT_EQ(s.engine->scene.sprites[0].image.opacity, 0);  // clamped
  auto t = g.Run("lsp 0,\":c;red.bmp\",0,0\namsp 0,5,6,300\nend\n");
  EXPECT_EQ(t.engine->scene.sprites[0].image.opacity, 255);
  EXPECT_EQ(t.engine->scene.sprites[0].y, 6);
}

TEST(SceneCommands, UndefinedAndOutOfRangeSprites) {
  Game g;
  struct Case {
    const char* line;
    const char* title;
    const char* message;
  } cases[] = {
      {"msp 5,1,1", "エラー", "定義されていないスプライト5を使おうとしました。"},
      {"amsp 7,1,1", "エラー", "定義されていないスプライト7を使おうとしました。"},
      {"msp2 3,1,1,0,0,0", "エラー", "定義されていないスプライト２3を使おうとしました。"},
      {"amsp2 3,1,1,100,100,0", "エラー", "定義されていないスプライト２3を使おうとしました。"},
      {"lsp 1000,\"a.bmp\",0,0", "エラー", "スプライト番号1000は範囲外です。"},
      {"vsp2 256,1", "エラー", "スプライト２番号256は範囲外です。"},
      {"monocro \"grey\"", "構文エラー", "monocro命令の次は#rrggbbで色指定、もしくは、offでモノクロ指定を解除、です。"},
      {"getsppos 0,%1,$2", "構文エラー", "getspposの第三引数は数字変数です。"},
      {"getspsize 0,$1,%2", "構文エラー", "getspsizeの第ニ引数は数字変数です。"},
      {"getspmode $1,0", "構文エラー", "getspmodeの第一引数は数字変数です。"},
  };
  for (const Case& c : cases) {
    auto r = g.Run(std::string(c.line) + "\nend\n");
    EXPECT_EQ(r.status, 1) << c.line;
    EXPECT_EQ(r.errorTitle, c.title) << c.line;
    EXPECT_EQ(r.errorMessage, c.message) << c.line;
  }
}

TEST(SceneCommands, SpriteQueriesAndSprite2Geometry) {
  Game g;
  auto r = g.Run(
      "lsph 2,\":a;a.bmp\",7,8\ngetspmode %1,2\ngetsppos 2,%2,%3\ngetspsize 2,%4,%5\nvsp 2,1\ngetspmode %6,2\n"
      "lsp2 4,\"red.bmp\",50,60,100,100,350\nmsp2 4,1,2,3,4,20,-10\nmov %7,0\n"
      "lsp2add 5,\"red.bmp\",0,0,100,100,10\nmsp2 5,0,0,0,0,-20\nend\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(1), 0);
  EXPECT_EQ(r.Int(2), 7);
  EXPECT_EQ(r.Int(3), 8);
  EXPECT_EQ(r.Int(4), 2);  // ALPHA: half the surface
  EXPECT_EQ(r.Int(5), 2);
  EXPECT_EQ(r.Int(6), 1);
  const Sprite2& s = r.engine->scene.sprite2[4];
  EXPECT_EQ(s.cx, 51);
  EXPECT_EQ(s.scaleY, 104);
  EXPECT_EQ(s.rotation, 10);  // 350 + 20 brought back once
  EXPECT_EQ(s.image.opacity, 245);
  EXPECT_EQ(s.blend, kBlendNormal);
  EXPECT_EQ(r.engine->scene.sprite2[5].rotation, 350);
  EXPECT_EQ(r.engine->scene.sprite2[5].blend, kBlendAdd);
}

TEST(SceneCommands, BackgroundAndStandingImages) {
  Game g;
  // wide.bmp 6 x 4 at the left anchor 100, base line 300: x = 97, y = 296.
  auto r = g.Run("bg \"red.bmp\",1\nhumanpos 100,320,540,300\nld l,\":l;wide.bmp\",1\nld r,\":c;red.bmp\",1\nend\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  const SceneState& sc = r.engine->scene;
  EXPECT_EQ(sc.standing[kStandLeft].x, 97);
  EXPECT_EQ(sc.standing[kStandLeft].y, 296);
  EXPECT_EQ(Shown(r, 97, 296), 0u);  // the key colour lets the black around show
  EXPECT_EQ(Shown(r, 98, 299), 0x0000FFu);
  EXPECT_EQ(Shown(r, 319, 239), 0xFF0000u);  // the 2 x 2 background centred on black
  EXPECT_EQ(Shown(r, 320, 240), 0xFF0000u);
  EXPECT_EQ(Shown(r, 318, 240), 0u);
  EXPECT_EQ(Shown(r, 539, 298), 0xFF0000u);

  auto s = g.Run("ld c,\"red.bmp\",1\nbg #336699,1\nend\n");
  ASSERT_EQ(s.status, 0) << s.errorText;
  EXPECT_TRUE(s.engine->scene.standing[kStandCentre].tag.empty());  // bg clears them
  EXPECT_EQ(Shown(s, 320, 479), 0x336699u);
  auto t = g.Run("ld c,\"red.bmp\",1\ncl a,1\nend\n");
  EXPECT_EQ(Shown(t, 320, 479), 0u);
}

TEST(SceneCommands, FiltersAndDrawingIntoTheDisplay) {
  Game g;
  auto r = g.Run("bg #204080,0\nnega 1\nprint 1\nend\n");
  EXPECT_EQ(Shown(r, 5, 5), 0xDFBF7Fu);
  auto s = g.Run("bg white,0\nmonocro #FF0000\nprint 1\nmonocro off\nend\n");
  EXPECT_EQ(Shown(s, 5, 5), 0xFF0000u);
  EXPECT_FALSE(s.engine->scene.monochrome);
  auto t = g.Run("lsph 1,\":c;red.bmp\",0,0\ndrawfill 1,2,3\ndrawsp 1,5,128,10,10\nend\n");
  ASSERT_EQ(t.status, 0) << t.errorText;
  EXPECT_EQ(Shown(t, 0, 0), 0x010203u);
  EXPECT_EQ(Shown(t, 10, 10), uint32_t(kBlend(128, 255) + kBlend(127, 1)) << 16 | uint32_t(kBlend(127, 2)) << 8 |
                                  kBlend(127, 3));
  EXPECT_EQ(t.engine->scene.sprites[1].image.currentCell, 1);  // limited to the cell count
  EXPECT_EQ(t.engine->scene.sprites[1].image.opacity, 128);
}

TEST(SceneCommands, EffectsBeyondTheInstantOnes) {
  Game g;
  auto r = g.Run("bg black,2\nend\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.errorMessage, "未定義のエフェクトを使いました");
  auto s = g.Run("bg white,2\nend\n", {}, "effect 2,10,500\n");  // a cross-fade
  EXPECT_EQ(s.status, 0) << s.errorText;
  EXPECT_EQ(Shown(s, 0, 0), 0xFFFFFFu);
  auto t = g.Run("bg white,1,0\nend\n");  // an inline instant effect
  EXPECT_EQ(t.status, 0) << t.errorText;
  EXPECT_EQ(Shown(t, 0, 0), 0xFFFFFFu);
}

TEST(SceneCommands, HeadlessScreenshotShowsTheFrame) {
  Game g;
  platform::Options o;
  o.headless = true;
  o.screenshotFile = g.dir.File("shot.png");
  auto r = g.Run("bg #102030,1\nlsp 0,\":c;red.bmp\",600,400\nprint 1\nend\n", o);
  ASSERT_EQ(r.status, 0) << r.errorText;
  auto png = platform::testing::ReadPngRgb(o.screenshotFile);
  ASSERT_TRUE(png.ok);
  EXPECT_EQ(png.At(0, 0), 0x102030u);
  EXPECT_EQ(png.At(601, 401), 0xFF0000u);
  EXPECT_EQ(png.At(602, 401), 0x102030u);
}

TEST(SceneCommands, TextSpritesHaveAColourAndAMaskHalfPerColour) {
  Game g;
  // A full-width space and "A": 3 bytes x 20 / 2 = 30 pixels a half cell.
  auto r = g.Run("bg #123456,0\nlsp 0,\":s/20,20,0;#FF0000#00FF00\x81\x40" "A\",0,0\ngetspsize 0,%1,%2\nprint 1\nend\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(1), 30);
  EXPECT_EQ(r.Int(2), 20);
  const TaggedImage& img = r.engine->scene.sprites[0].image;
  EXPECT_EQ(img.surface.width, 120);
  EXPECT_EQ(img.cellCount, 2);
  EXPECT_TRUE(img.textSprite);
  // Under the space nothing is drawn: black colour, white mask, the
  // background shows through untouched.
  EXPECT_EQ(At(img.surface, 5, 10), 0u);
  EXPECT_EQ(At(img.surface, 35, 10), 0xFFFFFFu);
  EXPECT_EQ(Shown(r, 5, 10), 0x123456u);
}

}  // namespace
}  // namespace sorv
