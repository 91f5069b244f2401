#include "platform/sdl/viewport.h"

#include <gtest/gtest.h>

namespace sorv::platform {
namespace {

void ExpectViewport(const Viewport& v, int x, int y, int w, int h, bool exact) {
  EXPECT_EQ(v.x, x);
  EXPECT_EQ(v.y, y);
  EXPECT_EQ(v.w, w);
  EXPECT_EQ(v.h, h);
  EXPECT_EQ(v.exact, exact);
}

TEST(Viewport, ScalesByWholeFactorsFromTwiceTheSize) {
  ExpectViewport(FitViewport(640, 480, 640, 480), 0, 0, 640, 480, true);
  ExpectViewport(FitViewport(1280, 960, 640, 480), 0, 0, 1280, 960, true);
  ExpectViewport(FitViewport(1920, 1080, 640, 480), 320, 60, 1280, 960, true);
  ExpectViewport(FitViewport(2000, 1500, 640, 480), 40, 30, 1920, 1440, true);
}

TEST(Viewport, FitsWithBarsBelowTwiceTheSize) {
  ExpectViewport(FitViewport(1000, 600, 640, 480), 100, 0, 800, 600, false);
  ExpectViewport(FitViewport(800, 1000, 640, 480), 0, 200, 800, 600, false);
  ExpectViewport(FitViewport(320, 240, 640, 480), 0, 0, 320, 240, false);
  ExpectViewport(FitViewport(1279, 959, 640, 480), 0, 0, 1279, 959, false);
}

TEST(Viewport, MapsOutputPointsToFramePixels) {
  Viewport v = FitViewport(1920, 1080, 640, 480);
  int x = -1, y = -1;
  EXPECT_TRUE(OutputToFrame(v, 640, 480, 320, 60, x, y));
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
  EXPECT_TRUE(OutputToFrame(v, 640, 480, 1599, 1019, x, y));
  EXPECT_EQ(x, 639);
  EXPECT_EQ(y, 479);
  EXPECT_TRUE(OutputToFrame(v, 640, 480, 323, 63, x, y));
  EXPECT_EQ(x, 1);
  EXPECT_EQ(y, 1);
  // On the bars: outside, clamped to the nearest edge.
  EXPECT_FALSE(OutputToFrame(v, 640, 480, 319, 500, x, y));
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 220);
  EXPECT_FALSE(OutputToFrame(v, 640, 480, 1700, 1079, x, y));
  EXPECT_EQ(x, 639);
  EXPECT_EQ(y, 479);

  Viewport fit = FitViewport(1000, 600, 640, 480);  // 1.25x, bars left and right
  EXPECT_TRUE(OutputToFrame(fit, 640, 480, 100 + 125, 125, x, y));
  EXPECT_EQ(x, 100);
  EXPECT_EQ(y, 100);
}

}  // namespace
}  // namespace sorv::platform
