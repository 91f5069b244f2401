// The shipped demo, run headless without clicks: the first message line is on
// screen, waiting at its full stop. The window's pixels must show one glyph per
// character cell and nothing after the line.
#include <gtest/gtest.h>

#include "graphics/decoders/decoders.h"
#include "graphics/scene.h"
#include "shell/engine.h"
#include "support/engine_fixture.h"

namespace sorv {
namespace {

// Pixels as bright as the default white text in one glyph cell.
int LitPixels(const Surface& s, const TextWindowState& w, int column, int line) {
  int lit = 0;
  int32_t x0 = w.originX + column * w.advanceX, y0 = w.originY + line * w.advanceY;
  for (int32_t y = y0; y < y0 + w.advanceY; ++y) {
    for (int32_t x = x0; x < x0 + w.advanceX; ++x) {
      uint8_t bgr[3];
      PixelColour(s, x, s.height - 1 - y, bgr);  // rows are stored bottom-up
      if (bgr[0] > 200 && bgr[1] > 200 && bgr[2] > 200) ++lit;
    }
  }
  return lit;
}

TEST(DemoScreen, FirstLineShowsJapaneseTextCellByCell) {
  test::TempDir dir;
  dir.Write("events.txt", "# nobody clicks\n");
  platform::Options options;
  options.headless = true;
  options.eventsFile = dir.File("events.txt");
  options.maxTimeMs = 5000;
  test::RunResult r = test::RunGameDir(SORV_TEST_SOURCE_DIR "/../examples/demo", options);
  ASSERT_EQ(r.status, 3) << r.errorMessage;

  const Surface& shown = r.engine->scene.display;
  const TextWindowState& w = r.engine->textWindow.window;
  // "こんにちは、ｓｏｒｖのデモです。": sixteen full-width characters.
  for (int column = 0; column < 16; ++column) {
    int lit = LitPixels(shown, w, column, 0);
    EXPECT_GT(lit, 8) << "column " << column;
    EXPECT_LT(lit, w.advanceX * w.advanceY / 2) << "column " << column;
  }
  // Kana with many strokes light more of their cell than the comma does.
  EXPECT_GT(LitPixels(shown, w, 4, 0), LitPixels(shown, w, 5, 0));
  for (int column = 16; column < 20; ++column) EXPECT_EQ(LitPixels(shown, w, column, 0), 0) << column;
  for (int column = 0; column < 20; ++column) EXPECT_EQ(LitPixels(shown, w, column, 1), 0) << column;
}

// A three-cell cursor picture: each 6 x 6 cell red, its top-left pixel
// black (the transparent colour of the tag's l mode).
std::string CursorBmp() {
  Surface s;
  CreateSurface(s, 18, 6);
  for (int32_t y = 0; y < 6; ++y) {
    for (int32_t x = 0; x < 18; ++x) {
      uint8_t* p = s.TopRow(y) + x * 3;
      bool key = (x == 0 && y == 0);
      p[0] = 0, p[1] = 0, p[2] = key ? 0 : 255;
    }
  }
  std::vector<uint8_t> bytes = EncodeBmp(s);
  return std::string(bytes.begin(), bytes.end());
}

bool Red(const Surface& s, int32_t x, int32_t y) {
  uint8_t bgr[3];
  PixelColour(s, x, s.height - 1 - y, bgr);
  return bgr[2] == 255 && bgr[1] == 0 && bgr[0] == 0;
}

// The click wait's cursor sits behind the text while the game waits, and the
// click takes it away again.
TEST(WaitCursorPicture, DrawnDuringTheWaitAndRemovedAfter) {
  test::TempDir dir;
  dir.Write("cursor0.bmp", CursorBmp());
  // Shift-JIS "あ@" and a second click wait that nobody answers.
  dir.Write("0.txt", "*define\ngame\n*start\n\x82\xa0@\n\x82\xa2@\nend\n");
  dir.Write("events.txt", "1000 click 5 5\n");  // the run starts at 500 ms
  platform::Options options;
  options.headless = true;
  options.eventsFile = dir.File("events.txt");
  options.maxTimeMs = 3000;
  test::RunResult r = test::RunGameDir(dir.path(), options);
  ASSERT_EQ(r.status, 3) << r.errorMessage;
  const Surface& shown = r.engine->scene.display;
  int32_t x1 = 21 + 26, y = 16;  // behind the first character
  EXPECT_FALSE(Red(shown, x1 + 1, y + 1)) << "the first wait's cursor stayed";
  int32_t x2 = 21 + 26, y2 = 16 + 28;  // behind the character of the second line
  EXPECT_FALSE(Red(shown, x2, y2)) << "the transparent corner was drawn";
  EXPECT_TRUE(Red(shown, x2 + 1, y2));
  EXPECT_TRUE(Red(shown, x2 + 5, y2 + 5));
  EXPECT_FALSE(Red(shown, x2 + 6, y2 + 1)) << "only one cell is drawn";
}

}  // namespace
}  // namespace sorv
