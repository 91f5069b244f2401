// Window points to game pixels with the menu strip and in full screen, on
// the arithmetic alone and through the real SDL backend (dummy driver), and
// the headless window's strip.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/headless/events_file.h"
#include "platform/platform.h"
#include "platform/sdl/viewport.h"
#include "platform/png_reader.h"
#include "support/engine_fixture.h"

namespace sorv::platform {
namespace {

// Every window pixel of a scaled window must land on the game pixel whose
// scaled square holds it: checked exhaustively on odd sizes.
TEST(WindowMapping, EveryPointOfOddWindowsHitsTheCoveringPixel) {
  struct Case {
    int ww, wh, gw, gh, band;
    bool whole;
  };
  for (Case c : {Case{333, 271, 64, 48, 0, false}, Case{333, 271, 64, 48, 7, false}, Case{1001, 377, 97, 61, 5, false},
                 Case{1024, 768, 101, 77, 3, true}, Case{97, 61, 97, 61, 0, false}}) {
    Viewport v = FitViewport(c.ww, c.wh, c.gw, c.gh + c.band, c.whole);
    for (int wy = 0; wy < c.wh; ++wy) {
      for (int wx = 0; wx < c.ww; ++wx) {
        int gx, gy;
        bool inside = WindowToGame(c.ww, c.wh, c.gw, c.gh, c.band, c.whole, wx, wy, gx, gy);
        bool onPicture = wx >= v.x && wx < v.x + v.w && wy >= v.y && wy < v.y + v.h;
        ASSERT_EQ(inside, onPicture) << wx << "," << wy;
        if (!inside) continue;
        // The pixel's square in window space contains the point.
        int64_t fy = gy + c.band;
        ASSERT_LE(int64_t{gx} * v.w, int64_t{wx - v.x} * c.gw);
        ASSERT_GT(int64_t{gx + 1} * v.w, int64_t{wx - v.x} * c.gw);
        ASSERT_LE(fy * v.h, int64_t{wy - v.y} * (c.gh + c.band));
        ASSERT_GT((fy + 1) * v.h, int64_t{wy - v.y} * (c.gh + c.band));
        ASSERT_GE(gy, -c.band);
      }
    }
  }
}

TEST(WindowMapping, FullScreenCentresASmallerPictureUnscaled) {
  // 800 x 600 on a 1024 x 768 desktop sits at (112, 84), as on a mask window.
  Viewport v = FitViewport(1024, 768, 800, 600, true);
  EXPECT_EQ(v.x, 112);
  EXPECT_EQ(v.y, 84);
  EXPECT_EQ(v.w, 800);
  EXPECT_TRUE(v.exact);
  int gx, gy;
  EXPECT_TRUE(WindowToGame(1024, 768, 800, 600, 0, true, 112 + 10, 84 + 20, gx, gy));
  EXPECT_EQ(gx, 10);
  EXPECT_EQ(gy, 20);
  EXPECT_FALSE(WindowToGame(1024, 768, 800, 600, 0, true, 100, 84, gx, gy));
  // Twice the size fits 1920 x 1080 only once scaled by whole factors: 2.
  v = FitViewport(1920, 1080, 640, 480, true);
  EXPECT_EQ(v.w, 1280);
  // The strip's rows come out negative, the picture's from 0.
  EXPECT_TRUE(WindowToGame(640, 500, 640, 480, 20, false, 5, 0, gx, gy));
  EXPECT_EQ(gy, -20);
  EXPECT_TRUE(WindowToGame(640, 500, 640, 480, 20, false, 5, 20, gx, gy));
  EXPECT_EQ(gy, 0);
}

TEST(EventsFile, MenuCommandsAreEvents) {
  EventsScript s = ParseEventsScript("10 menu 40016\n20 menu 3\n");
  ASSERT_EQ(s.events.size(), 2u);
  EXPECT_EQ(s.events[0].event.type, Event::Type::Command);
  EXPECT_EQ(s.events[0].event.command, 40016);
  EXPECT_EQ(s.events[1].event.command, 3);
  EXPECT_THROW(ParseEventsScript("0 menu\n"), std::runtime_error);
  EXPECT_THROW(ParseEventsScript("0 menu -1\n"), std::runtime_error);
  EXPECT_THROW(ParseEventsScript("0 menu 40016 x\n"), std::runtime_error);
}

TEST(HeadlessWindow, TheStripIsAboveThePictureOnlyWhenAskedFor) {
  test::TempDir dir;
  for (bool menuBar : {false, true}) {
    Options o;
    o.headless = true;
    o.menuBar = menuBar;
    o.screenshotFile = dir.File("shot.png");
    auto p = CreateHeadlessPlatform(o);
    p->CreateMainWindow(4, 3);
    EXPECT_EQ(p->HasMenuBand(), menuBar);
    p->SetMenuBand(2);
    int w, h;
    p->ClientSize(w, h);
    EXPECT_EQ(w, 4);
    EXPECT_EQ(h, menuBar ? 5 : 3);
    std::vector<uint8_t> band(4 * 2 * 3, 0x11), frame(4 * 3 * 3, 0x22);
    p->PresentMenuBand(band.data(), 4, 2, 12);
    p->Present(frame.data(), 4, 3, 12);
    p->Shutdown();
    testing::RgbImage img = testing::ReadPngRgb(dir.File("shot.png"));
    ASSERT_TRUE(img.ok);
    ASSERT_EQ(img.height, menuBar ? 5 : 3);
    EXPECT_EQ(img.At(0, 0), menuBar ? 0x111111u : 0x222222u);
    EXPECT_EQ(img.At(3, img.height - 1), 0x222222u);
  }
}

class ScopedDummyVideo {
 public:
  ScopedDummyVideo() {
    if (const char* old = std::getenv("SDL_VIDEODRIVER")) old_ = old;
    setenv("SDL_VIDEODRIVER", "dummy", 1);
  }
  ~ScopedDummyVideo() {
    if (old_.empty()) {
      unsetenv("SDL_VIDEODRIVER");
    } else {
      setenv("SDL_VIDEODRIVER", old_.c_str(), 1);
    }
  }

 private:
  std::string old_;
};

// A press at window point (wx, wy): the game pixel it lands on.
bool PressAt(Platform& p, int wx, int wy, Event& out) {
  out.type = Event::Type::MouseDown;
  return p.WindowPointToGame(wx, wy, out.x, out.y);
}

TEST(SdlWindow, StripResizesTheWindowAndClicksMapThroughScaleAndFullScreen) {
  ScopedDummyVideo video;
  Options o;
  o.scale = 1;
  auto p = CreateSdlPlatform(o);
  ASSERT_NE(p, nullptr);
  ASSERT_TRUE(p->CreateMainWindow(320, 240));
  p->ShowMainWindow();
  std::vector<uint8_t> frame(320 * 3 * 240, 0x40);
  p->Present(frame.data(), 320, 240, 320 * 3);
  int w, h;
  p->ClientSize(w, h);
  EXPECT_EQ(w, 320);
  EXPECT_EQ(h, 240);

  // The strip grows the window by its height, and shrinks it again.
  ASSERT_TRUE(p->HasMenuBand());
  p->SetMenuBand(20);
  p->ClientSize(w, h);
  EXPECT_EQ(h, 260);
  Event ev;
  ASSERT_TRUE(PressAt(*p, 10, 5, ev));
  EXPECT_EQ(ev.x, 10);
  EXPECT_EQ(ev.y, -15);  // over the strip
  ASSERT_TRUE(PressAt(*p, 10, 25, ev));
  EXPECT_EQ(ev.y, 5);

  // Bars on both sides of a wide window; the picture keeps its aspect.
  p->SetClientSize(961, 261);
  while (p->PollEvent(ev)) {
  }
  // 261 / 260 rows: the picture is 321 wide, from x 320.
  ASSERT_TRUE(PressAt(*p, 320 + 33, 20 + 17, ev));
  EXPECT_EQ(ev.x, 32);
  EXPECT_EQ(ev.y, 16);
  EXPECT_FALSE(PressAt(*p, 5, 100, ev));  // on the bar: not the game's

  p->SetMenuBand(0);
  p->SetFullscreen(true);
  EXPECT_TRUE(p->IsFullscreen());
  int dw, dh;
  p->ClientSize(dw, dh);
  if (dw >= 640 && dh >= 480) {
    int f = std::min(dw / 320, dh / 240);
    int x0 = (dw - 320 * f) / 2, y0 = (dh - 240 * f) / 2;
    ASSERT_TRUE(PressAt(*p, x0 + 7 * f, y0 + 9 * f + f - 1, ev));
    EXPECT_EQ(ev.x, 7);
    EXPECT_EQ(ev.y, 9);
  }
  // Back to the window with its size and place.
  p->SetFullscreen(false);
  EXPECT_FALSE(p->IsFullscreen());
  p->ClientSize(w, h);
  EXPECT_EQ(w, 961);
  EXPECT_EQ(h, 241);  // as it was when it went full screen, the strip's rows gone
  p->Shutdown();
}

}  // namespace
}  // namespace sorv::platform
