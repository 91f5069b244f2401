// The text window: the 3:1 filter and the blend formulas, cell geometry, the
// position checks, fonts and pages, vertical writing, the window background
// and the commands that set it.
#include <gtest/gtest.h>

#include <algorithm>

#include "graphics/decoders/decoders.h"
#include "graphics/picture_files.h"
#include "support/engine_fixture.h"
#include "text/glyph_renderer.h"
#include "text/text_commands.h"
#include "text/text_window.h"

namespace sorv {
namespace {

using test::ExpectScriptError;

// Shift-JIS "あ" and "漢".
const char kA[2] = {'\x82', '\xA0'};
const char kKan[2] = {'\x8A', '\xBF'};

struct TextWindowTest : ::testing::Test {
  test::ScriptEngine se{"*define\ngame\n*start\nend\n"};
  Engine& e = *se;
  TextWindowTest() {
    ResetTextWindow(e);
    StartGameFonts(e);
    NewPage(e);
  }
  // Runs script text at the scratch line.
  void Run(std::string_view line, void (*cmd)(Engine&)) {
    se.At(line);
    cmd(e);
  }
  // Fills the text window's own screen with one grey.
  void FillScreen(uint8_t v) {
    TextScreen(e);
    std::fill(e.textWindow.ownScreen.bits.begin(), e.textWindow.ownScreen.bits.end(), v);
  }
  const uint8_t* Px(int32_t x, int32_t y) { return TextScreen(e).TopRow(y) + x * 3; }
};

TEST(GlyphFilter, WeightsTheThreeByThreeBlock) {
  // Two output pixels from a 6 x 3 scratch: the left block is full white,
  // the right one has only its centre, then only its corners, lit.
  uint8_t s[3][6] = {{255, 255, 255, 0, 0, 0}, {255, 255, 255, 0, 255, 0}, {255, 255, 255, 0, 0, 0}};
  uint8_t out[2];
  FilterScratch(&s[0][0], 6, 2, 1, out);
  EXPECT_EQ(out[0], 255);
  EXPECT_EQ(out[1], 63);  // 4 x 255 >> 4
  uint8_t corners[3][3] = {{255, 0, 255}, {0, 0, 0}, {255, 0, 255}};
  FilterScratch(&corners[0][0], 3, 1, 1, out);
  EXPECT_EQ(out[0], 63);  // 4 x 255 >> 4
  uint8_t edges[3][3] = {{0, 100, 0}, {100, 0, 100}, {0, 100, 0}};
  FilterScratch(&edges[0][0], 3, 1, 1, out);
  EXPECT_EQ(out[0], 50);  // 8 x 100 >> 4
}

TEST(GlyphFilter, BlendTableAndGlyphChannel) {
  const BlendTable& t = Blend();
  EXPECT_EQ(t(255, 77), 77);
  EXPECT_EQ(t(128, 255), 128);
  EXPECT_EQ(t(200, 127), 99);  // floor(25400 / 255)
  EXPECT_EQ(t(0, 255), 0);
  EXPECT_EQ(BlendGlyphChannel(200, 255, 128), 99 + 128);
  EXPECT_EQ(BlendGlyphChannel(200, 0, 255), 0);    // full coverage of black
  EXPECT_EQ(BlendGlyphChannel(200, 90, 0), 200);   // no coverage keeps the pixel
  EXPECT_EQ(BlendGlyphChannel(255, 255, 100), 255);  // 155 + 100, at the top
}

TEST_F(TextWindowTest, GlyphPassMatchesTheFormulaPixelForPixel) {
  FillScreen(100);
  GlyphStyle style = WindowGlyphStyle(e);
  style.shadow = false;
  style.colour = 0xFF8040;
  const int32_t x = 40, y = 30;
  DrawGlyph(e, TextScreen(e), kKan, x, y, style);
  const GlyphCoverage& g = GlyphCoverageFor(e, style, kKan);
  ASSERT_EQ(g.w, 26);
  ASSERT_EQ(g.h, 26);
  const BlendTable& t = Blend();
  ScreenView layer = e.textWindow.layer.View();
  int lit = 0;
  for (int32_t j = 0; j < g.h; ++j) {
    for (int32_t i = 0; i < g.w; ++i) {
      uint8_t c = g.values[j * g.w + i];
      lit += c > 0;
      const uint8_t* p = Px(x + i, y + j);
      ASSERT_EQ(p[0], BlendGlyphChannel(100, 0x40, c));
      ASSERT_EQ(p[1], BlendGlyphChannel(100, 0x80, c));
      ASSERT_EQ(p[2], BlendGlyphChannel(100, 0xFF, c));
      ASSERT_EQ(e.textWindow.coverage.At(x + i, y + j), c);
      ASSERT_EQ(layer.TopRow(y + j)[(x + i) * 3 + 2], t(0xFF, c));
    }
  }
  EXPECT_GT(lit, 40);
  EXPECT_EQ(Px(x + 26, y)[0], 100);  // nothing beside the cell without a shadow
}

TEST_F(TextWindowTest, DefaultShadowDarkensThePixelToTheRight) {
  FillScreen(200);
  GlyphStyle style = WindowGlyphStyle(e);  // shadow on, no offset given
  style.colour = 0xFFFFFF;
  const int32_t x = 40, y = 30;
  DrawGlyph(e, TextScreen(e), kKan, x, y, style);
  const GlyphCoverage& g = GlyphCoverageFor(e, style, kKan);
  const BlendTable& t = Blend();
  for (int32_t j = 0; j < g.h; ++j) {
    for (int32_t i = 0; i <= g.w; ++i) {
      uint8_t left = i > 0 ? g.values[j * g.w + i - 1] : 0;
      uint8_t base = t(200, static_cast<uint8_t>(255 - left));
      uint8_t want = i < g.w ? BlendGlyphChannel(base, 255, g.values[j * g.w + i]) : base;
      ASSERT_EQ(Px(x + i, y + j)[0], want) << i << "," << j;
    }
  }
}

TEST_F(TextWindowTest, OffsetShadowFallsAtTheGivenDistance) {
  Run("3,4", Cmd_shadedistance);
  FillScreen(200);
  GlyphStyle style = WindowGlyphStyle(e);
  DrawGlyph(e, TextScreen(e), kKan, 40, 30, style);
  const GlyphCoverage& g = GlyphCoverageFor(e, style, kKan);
  const BlendTable& t = Blend();
  // Below and right of the cell only the shadow reaches.
  for (int32_t j = 0; j < g.h; ++j) {
    for (int32_t i = g.w - 3; i < g.w; ++i) {
      uint8_t want = t(200, static_cast<uint8_t>(255 - g.values[j * g.w + i]));
      ASSERT_EQ(Px(40 + i + 3, 30 + j + 4)[1], want);
    }
  }
}

TEST_F(TextWindowTest, DefaultCellGeometry) {
  const TextWindowState& w = e.textWindow.window;
  EXPECT_EQ(w.glyphW, 26);
  EXPECT_EQ(w.glyphH, 26);
  EXPECT_EQ(w.bold, 1);
  EXPECT_EQ(w.shadow, 1);
  for (int32_t col : {0, 5, 22}) {
    for (int32_t line : {0, 3, 15}) {
      int32_t x, y;
      CellPosition(e, col, line, x, y);
      EXPECT_EQ(x, 21 + 26 * col);
      EXPECT_EQ(y, 16 + 28 * line);
    }
  }
  // A drawn character stays inside its cell and its one-pixel shadow.
  FillScreen(0);
  e.textWindow.window.shown = 1;
  e.textWindow.cursor = {4, 2};
  CellDrawn d = DrawCharacterAtCursor(e, kA, false);
  EXPECT_TRUE(d.drawn);
  EXPECT_EQ(d.x, 21 + 26 * 4);
  EXPECT_EQ(d.y, 16 + 28 * 2);
  EXPECT_EQ(e.textWindow.cursor.column, 5);
  int inside = 0, outside = 0;
  for (int32_t y = 0; y < 480; ++y) {
    for (int32_t x = 0; x < 640; ++x) {
      bool lit = Px(x, y)[0] != 0;
      bool in = x >= d.x && x <= d.x + 26 && y >= d.y && y < d.y + 26;
      (in ? inside : outside) += lit;
    }
  }
  EXPECT_GT(inside, 40);
  EXPECT_EQ(outside, 0);
}

TEST_F(TextWindowTest, PositionChecks) {
  TextWindowState& w = e.textWindow.window;
  w.left = 0;
  w.top = 0;
  w.right = 300;
  w.bottom = 400;
  // x + glyphW == right: the glyph reaches the bound, an error.
  ScriptError err = ExpectScriptError([&] { DrawGlyphChecked(e, kA, 274, 10, WindowGlyphStyle(e), false); });
  EXPECT_EQ(err.title, "エラー！");
  EXPECT_EQ(err.message, "文字がウィンドウからはみ出ました");
  EXPECT_TRUE(DrawGlyphChecked(e, kA, 273, 10, WindowGlyphStyle(e), false));
  // The screen bound as well, and negative positions.
  w.right = 10000;
  ExpectScriptError([&] { DrawGlyphChecked(e, kA, 614, 10, WindowGlyphStyle(e), false); });
  ExpectScriptError([&] { DrawGlyphChecked(e, kA, -1, 10, WindowGlyphStyle(e), false); });
  w.textMode = 0;
  err = ExpectScriptError([&] { DrawGlyphChecked(e, kA, 10, 10, WindowGlyphStyle(e), false); });
  EXPECT_EQ(err.message, "textmodeが非表示設定なのに文字を書こうとしました。");
}

TEST_F(TextWindowTest, FontChangesShowFromTheNextPage) {
  Run("\"IPAPGothic\"", Cmd_font);
  EXPECT_EQ(WindowGlyphStyle(e).face, e.textSettings.defaultFace);
  GlyphRenderer& r = Glyphs(e);
  std::string before = r.ResolvedFile(WindowGlyphStyle(e).face);
  se.At("");
  Cmd_textclear(e);
  EXPECT_EQ(WindowGlyphStyle(e).face, "IPAPGothic");
  std::string after = r.ResolvedFile(WindowGlyphStyle(e).face);
  EXPECT_NE(after.find("ipagp.ttf"), std::string::npos);
  EXPECT_NE(before, after);
}

TEST_F(TextWindowTest, TateyokoTakesEffectAtPageStartOnly) {
  Run("1", Cmd_tateyoko);  // cursor at 0,0: at once
  EXPECT_TRUE(e.textWindow.verticalActive);
  int32_t x, y;
  CellPosition(e, 2, 1, x, y);
  EXPECT_EQ(x, (23 - 1 - 1) * 26 + 21);
  EXPECT_EQ(y, 2 * 28 + 16);
  e.textWindow.cursor = {3, 0};
  Run("0", Cmd_tateyoko);  // mid-page: waits for the page
  EXPECT_TRUE(e.textWindow.verticalActive);
  NewPage(e);
  EXPECT_FALSE(e.textWindow.verticalActive);
}

TEST_F(TextWindowTest, WindowColourTintsOnlyTheWindow) {
  Surface bg;
  ASSERT_TRUE(CreateSurface(bg, 64, 48));
  for (size_t i = 0; i < bg.bits.size(); ++i) bg.bits[i] = static_cast<uint8_t>(i * 7);
  const std::vector<uint8_t> original = bg.bits;
  TextWindowState& w = e.textWindow.window;
  w.left = 8;
  w.top = 4;
  w.right = 39;
  w.bottom = 19;
  w.windowColour = 0xFFFFFF;
  DrawWindowBackground(e, ViewOf(bg), {0, 0, 64, 48});
  EXPECT_EQ(bg.bits, original);
  EXPECT_EQ(w.shown, 1);
  w.windowColour = 0x000000;
  DrawWindowBackground(e, ViewOf(bg), {0, 0, 64, 48});
  ScreenView v = ViewOf(bg);
  for (int32_t y = 0; y < 48; ++y) {
    for (int32_t x = 0; x < 64; ++x) {
      bool in = x >= 8 && x <= 39 && y >= 4 && y <= 19;
      size_t off = static_cast<size_t>(v.TopRow(y) - bg.bits.data()) + x * 3;
      ASSERT_EQ(bg.bits[off], in ? 0 : original[off]) << x << "," << y;
    }
  }
  // A grey multiplies each channel through the table.
  bg.bits = original;
  w.windowColour = 0x80C040;
  DrawWindowBackground(e, v, {0, 0, 64, 48});
  const uint8_t* p = v.TopRow(10) + 20 * 3;
  const uint8_t* o = original.data() + (p - bg.bits.data());
  EXPECT_EQ(p[0], Blend()(0x40, o[0]));
  EXPECT_EQ(p[1], Blend()(0xC0, o[1]));
  EXPECT_EQ(p[2], Blend()(0x80, o[2]));
}

TEST(TextWindowCommands, SetwindowWithAnImageTakesItsSize) {
  test::TempDir dir;
  Surface pic = test::MakePicture(40, 20, [](int32_t x, int32_t y) { return static_cast<uint32_t>(x * 5 + y); });
  dir.Write("win.bmp", test::Bytes(EncodeBmp(pic)));
  dir.Write("0.txt",
            "*define\ngame\n*start\n"
            "setwindow 110,60,5,2,12,12,1,2,0,0,0,\"win.bmp\",100,50\nend\n");
  test::RunResult r = test::RunGameDir(dir.path());
  ASSERT_EQ(r.status, 0) << r.errorText;
  const TextWindowState& w = r.engine->textWindow.window;
  EXPECT_EQ(w.left, 100);
  EXPECT_EQ(w.top, 50);
  EXPECT_EQ(w.right, 139);
  EXPECT_EQ(w.bottom, 69);
  EXPECT_EQ(w.windowColour, -1);
  EXPECT_EQ(w.advanceX, 13);
  EXPECT_EQ(w.advanceY, 14);
  EXPECT_EQ(w.shown, 0);
  // The image is the background, pixel for pixel, at (left, top).
  Surface screen;
  ASSERT_TRUE(CreateSurface(screen, 640, 480));
  DrawWindowBackground(*r.engine, ViewOf(screen), {0, 0, 640, 480});
  ScreenView v = ViewOf(screen);
  for (int32_t y : {0, 7, 19}) {
    for (int32_t x : {0, 13, 39}) {
      const uint8_t* p = v.TopRow(50 + y) + (100 + x) * 3;
      EXPECT_EQ(p[0], (x * 5 + y) & 255);
    }
  }
  EXPECT_EQ(v.TopRow(49)[100 * 3], 0);
  EXPECT_EQ(v.TopRow(50)[140 * 3], 0);
}

TEST(TextWindowCommands, SetwindowColourAndErrors) {
  test::RunResult r = test::RunScript(
      "*define\ngame\n*start\n"
      "setwindow 8,16,20,3,16,16,0,4,10,1,0,#336699,5,6,400,90\nend\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  const TextWindowState& w = r.engine->textWindow.window;
  EXPECT_EQ(w.windowColour, 0x336699);
  EXPECT_EQ(w.right, 400);
  EXPECT_EQ(w.bottom, 90);
  EXPECT_EQ(w.advanceY, 20);
  EXPECT_EQ(w.speed, 10);

  r = test::RunScript("*define\ngame\n*start\nsetwindow 8,16,-1,3,16,16,0,4,10,1,0,#336699,5,6,400,90\n");
  EXPECT_EQ(r.errorTitle, "エラー");
  EXPECT_EQ(r.errorMessage, "setwindowの縦横文字数指定が間違っています。");
  r = test::RunScript("*define\ngame\n*start\nsetcolor 256,#ffffff\n");
  EXPECT_EQ(r.errorMessage, "setcolorの番号は0-255です");
  r = test::RunScript("*define\ngame\n*start\nspfont 12\n");
  EXPECT_EQ(r.errorMessage, "spfontの引数は、文字列もしくはclearです。");
}

TEST_F(TextWindowTest, SpfontCopiesOrSetsTheSpriteFont) {
  Run("\"IPAGothic\"", Cmd_spfont);
  EXPECT_TRUE(e.textWindow.spriteFont.set);
  EXPECT_EQ(e.textWindow.spriteFont.advanceY, 28);
  Run("\"IPAGothic\",10,12,2,3,0,1", Cmd_spfont);
  EXPECT_EQ(e.textWindow.spriteFont.advanceX, 12);
  EXPECT_EQ(e.textWindow.spriteFont.advanceY, 15);
  Run("clear", Cmd_spfont);
  EXPECT_FALSE(e.textWindow.spriteFont.set);
}

TEST_F(TextWindowTest, GlyphCacheRasterisesOnce) {
  GlyphRenderer& r = Glyphs(e);
  GlyphStyle style = WindowGlyphStyle(e);
  const GlyphCoverage& a = GlyphCoverageFor(e, style, kA);
  uint64_t after = r.Rasterised();
  const GlyphCoverage& b = GlyphCoverageFor(e, style, kA);
  EXPECT_EQ(&a, &b);
  EXPECT_EQ(r.Rasterised(), after);
  int lit = static_cast<int>(std::count_if(a.values.begin(), a.values.end(), [](uint8_t c) { return c > 128; }));
  EXPECT_GT(lit, 30);
  // The default face names no Japanese face here: the gothic fallback serves.
  EXPECT_FALSE(r.ResolvedFile(style.face).empty());
  // Bold is heavier than regular.
  style.bold = false;
  const GlyphCoverage& thin = GlyphCoverageFor(e, style, kA);
  auto sum = [](const GlyphCoverage& g) {
    long s = 0;
    for (uint8_t c : g.values) s += c;
    return s;
  };
  EXPECT_GT(sum(a), sum(thin));
  // A sheer size is drawn as nothing rather than allocated.
  style.glyphW = style.glyphH = 100000;
  EXPECT_TRUE(GlyphCoverageFor(e, style, kA).values.empty());
}

TEST_F(TextWindowTest, StringDrawerAndNumberDisplay) {
  FillScreen(0);
  // "あa漢" from an absolute position: three characters, one half-width.
  int32_t n = DrawString(e, "\x82\xA0" "a\x8A\xBF", -100, -200, {0xFFFFFF, false, false});
  EXPECT_EQ(n, 3);
  int lit = 0;
  for (int32_t y = 200; y < 226; ++y) {
    for (int32_t x = 100; x < 100 + 26 + 13 + 27; ++x) lit += Px(x, y)[0] != 0;
  }
  EXPECT_GT(lit, 60);
  EXPECT_EQ(Px(99, 210)[0], 0);

  Surface s;
  ASSERT_TRUE(CreateSurface(s, 120, 60));
  DrawNumberDisplay(e, ViewOf(s), 42, 10, 20, 12, 16, 0xFF0000, {0, 0, 120, 60});
  ScreenView v = ViewOf(s);
  int red = 0, stray = 0;
  for (int32_t y = 0; y < 60; ++y) {
    for (int32_t x = 0; x < 120; ++x) {
      const uint8_t* p = v.TopRow(y) + x * 3;
      bool in = x >= 10 + 12 && x < 10 + 36 && y >= 20 && y < 36;  // the first cell is a blank
      if (p[2] != 0) (in ? red : stray) += 1;
      ASSERT_EQ(p[0], 0);
    }
  }
  EXPECT_GT(red, 20);
  EXPECT_EQ(stray, 0);
}

}  // namespace
}  // namespace sorv
