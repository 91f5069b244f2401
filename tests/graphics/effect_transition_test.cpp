// The built-in transitions frame by frame on a virtual clock: what each
// presented frame holds, when it was presented, and that every transition
// ends on the exact scene.
#include <gtest/gtest.h>

#include "graphics/blend_table.h"
#include "graphics/decoders/decoders.h"
#include "graphics/effect.h"
#include "graphics/effect_frames.h"
#include "graphics/transition.h"

namespace sorv {
namespace {

using test::EffectBench;
using test::MakePicture;
using test::ShownFrame;

uint32_t OldColour(int32_t x, int32_t y) { return 0x102030u + 0x010101u * static_cast<uint32_t>((x * 7 + y * 3) % 50); }
uint32_t NewColour(int32_t x, int32_t y) { return 0xF0E0D0u - 0x010203u * static_cast<uint32_t>((x + y * 5) % 40); }

Surface OldPicture(int32_t w, int32_t h) { return MakePicture(w, h, OldColour); }
Surface NewPicture(int32_t w, int32_t h) { return MakePicture(w, h, NewColour); }

bool FrameIs(const ShownFrame& f, uint32_t (*colour)(int32_t, int32_t)) {
  for (int32_t y = 0; y < f.height; ++y)
    for (int32_t x = 0; x < f.width; ++x)
      if (f.At(x, y) != colour(x, y)) return false;
  return true;
}

EffectRequest Fx(int32_t type, int32_t duration, std::string image = "") {
  return EffectRequest{type, duration, std::move(image)};
}

TEST(Transitions, BlindStepCopiesExactlyItsColumns) {
  for (int32_t type : {2, 3}) {
    EffectBench b(40, 6, OldPicture(40, 6), NewPicture(40, 6));
    b.e.scene.dirty = Rect{3, 1, 37, 5};
    RunEffect(b.e, Fx(type, 160));
    auto& frames = b.platform.frames;
    ASSERT_EQ(frames.size(), 17u);  // 16 steps and the final copy
    for (int32_t step : {0, 5, 15}) {
      const ShownFrame& f = frames[static_cast<size_t>(step)];
      EXPECT_EQ(f.timeMs - 1000, static_cast<uint32_t>(step * 10)) << type;
      for (int32_t y = 0; y < 6; ++y) {
        for (int32_t x = 0; x < 40; ++x) {
          int32_t k = (x - 3) % 16;
          bool done = x >= 3 && x < 37 && y >= 1 && y < 5 && (type == 2 ? k <= step : k >= 15 - step);
          ASSERT_EQ(f.At(x, y), done ? NewColour(x, y) : OldColour(x, y)) << type << " step " << step << " " << x;
        }
      }
    }
    EXPECT_EQ(b.Elapsed(), 160u + 30u);  // the steps and the pause after the effect
  }
}

TEST(Transitions, HorizontalBlindsCopyRows) {
  EffectBench b(8, 40, OldPicture(8, 40), NewPicture(8, 40));
  RunEffect(b.e, Fx(5, 32));
  const ShownFrame& first = b.platform.frames.front();
  for (int32_t y = 0; y < 40; ++y) EXPECT_EQ(first.At(2, y), y % 16 == 15 ? NewColour(2, y) : OldColour(2, y));
  EXPECT_TRUE(FrameIs(b.platform.frames.back(), NewColour));
}

TEST(Transitions, CurtainsReachEveryLineBeforeTheFinalCopy) {
  // On a small screen too: the frame before the final copy already shows all.
  for (int32_t type : {6, 7, 8, 9}) {
    EffectBench b(320, 40, OldPicture(320, 40), NewPicture(320, 40));
    RunEffect(b.e, Fx(type, 300));
    auto& frames = b.platform.frames;
    ASSERT_GE(frames.size(), 3u);
    EXPECT_TRUE(FrameIs(frames[frames.size() - 2], NewColour)) << type;
    EXPECT_FALSE(FrameIs(frames[0], NewColour)) << type;
  }
}

TEST(Transitions, CrossFadeMiddleFrameIsTheAverage) {
  // A plain old and new picture, so every byte's target is known.
  EffectBench b(16, 4, MakePicture(16, 4, [](int32_t, int32_t) { return 0x00FF20u; }),
                MakePicture(16, 4, [](int32_t, int32_t) { return 0xFF0080u; }));
  RunEffect(b.e, Fx(10, 8192));
  auto& frames = b.platform.frames;
  ASSERT_GT(frames.size(), 200u);
  // Frames land at fixed times: level w is due at w x 8192 / 256 ms.
  for (size_t i = 1; i + 1 < frames.size(); ++i) ASSERT_EQ(frames[i].timeMs - 1000, (i + 1) * 32) << i;
  const ShownFrame& mid = frames[127];  // level 128
  for (int32_t x = 0; x < 16; ++x) {
    uint32_t c = mid.At(x, 2);
    EXPECT_NEAR(static_cast<int>(c >> 16), 0xFF / 2, 1);
    EXPECT_NEAR(static_cast<int>(c >> 8 & 0xFF), 0xFF / 2, 1);
    EXPECT_NEAR(static_cast<int>(c & 0xFF), (0x20 + 0x80) / 2, 1);
  }
  EXPECT_EQ(frames.back().At(5, 1), 0xFF0080u);
}

TEST(Transitions, CrossFadeKeepsToTheDisplaysPace) {
  // A short fade is not drawn faster than a 60 Hz display shows frames.
  EffectBench b(8, 8, OldPicture(8, 8), NewPicture(8, 8));
  RunEffect(b.e, Fx(10, 500));
  auto& frames = b.platform.frames;
  for (size_t i = 1; i + 1 < frames.size(); ++i) EXPECT_GE(frames[i].timeMs - frames[i - 1].timeMs, 16u) << i;
  EXPECT_LE(frames[frames.size() - 2].timeMs - 1000, 520u);
  EXPECT_TRUE(FrameIs(frames.back(), NewColour));
}

TEST(Transitions, ClickDuringAFadeShowsTheSceneAtOnce) {
  EffectBench b(16, 8, OldPicture(16, 8), NewPicture(16, 8));
  b.platform.ClickAt(1500);
  RunEffect(b.e, Fx(10, 2000));
  EXPECT_LE(b.Elapsed(), 500u + 30u + 17u);
  EXPECT_TRUE(FrameIs(b.platform.frames.back(), NewColour));
  EXPECT_EQ(b.Shown(3, 3), NewColour(3, 3));

  // With click cut off the click changes nothing.
  EffectBench c(16, 8, OldPicture(16, 8), NewPicture(16, 8));
  c.e.effects.clickCut = false;
  c.platform.ClickAt(1500);
  RunEffect(c.e, Fx(10, 2000));
  EXPECT_GE(c.Elapsed(), 2000u);
}

TEST(Transitions, RuleImageSmallerThanTheScreenIsTiled) {
  test::TempDir dir;
  // 4 x 2 rule: values 0, 60, 120, 180 along x, +1 on the second row.
  Surface rule = MakePicture(4, 2, [](int32_t x, int32_t y) { return static_cast<uint32_t>(x * 60 + y); });
  dir.Write("rule.bmp", test::Bytes(EncodeBmp(rule)));
  EffectBench b(10, 5, OldPicture(10, 5), NewPicture(10, 5));
  b.e.gameDir = dir.path();
  RunEffect(b.e, Fx(15, 2560, "rule.bmp"));
  auto& frames = b.platform.frames;
  ASSERT_GT(frames.size(), 100u);
  // The frame at level 60: rule values 0, 1 and 60 are shown, 61 is not.
  const ShownFrame* at60 = nullptr;
  for (const ShownFrame& f : frames)
    if (f.timeMs - 1000 == 600) at60 = &f;
  ASSERT_NE(at60, nullptr);
  for (int32_t y = 0; y < 5; ++y) {
    for (int32_t x = 0; x < 10; ++x) {
      int32_t r = (x % 4) * 60 + y % 2;
      EXPECT_EQ(at60->At(x, y), r <= 60 ? NewColour(x, y) : OldColour(x, y)) << x << "," << y;
    }
  }
  EXPECT_TRUE(FrameIs(frames.back(), NewColour));

  // The map itself: first bytes of the picture, tiled from the top-left.
  std::vector<uint8_t> map;
  BuildRuleMap(rule, 7, 3, 24, map);
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 7; ++x)
      EXPECT_EQ(map[static_cast<size_t>(2 - y) * 24 + static_cast<size_t>(x) * 3 + 1], (x % 4) * 60 + y % 2);
}

TEST(Transitions, SoftRuleBlendsAroundTheLevel) {
  test::TempDir dir;
  Surface rule = MakePicture(2, 1, [](int32_t x, int32_t) { return x == 0 ? 0u : 200u; });
  dir.Write("soft.bmp", test::Bytes(EncodeBmp(rule)));
  EffectBench b(4, 2, MakePicture(4, 2, [](int32_t, int32_t) { return 0x000000u; }),
                MakePicture(4, 2, [](int32_t, int32_t) { return 0xFFFFFFu; }));
  b.e.gameDir = dir.path();
  RunEffect(b.e, Fx(18, 5120, "soft.bmp"));
  // Level L is due at L x 10 ms; at L = 300 rule 0 is done and rule 200 is at 100.
  int checked = 0;
  for (const ShownFrame& f : b.platform.frames) {
    if (f.timeMs - 1000 != 3000) continue;
    ++checked;
    EXPECT_EQ(f.At(0, 0), 0xFFFFFFu);
    EXPECT_EQ(f.At(1, 0) & 0xFF, kBlend(100, 255));
    EXPECT_EQ(f.At(3, 1) & 0xFF, kBlend(100, 255));
  }
  EXPECT_EQ(checked, 1);
  EXPECT_EQ(b.Shown(1, 1), 0xFFFFFFu);
}

TEST(Transitions, PushesEndOnTheExactScene) {
  // Sizes that are not multiples of the step: the last step takes the rest.
  for (int32_t type : {11, 12, 13, 14}) {
    EffectBench b(20, 14, OldPicture(20, 14), NewPicture(20, 14));
    RunEffect(b.e, Fx(type, 1000));
    auto& frames = b.platform.frames;
    ASSERT_GE(frames.size(), 4u);
    EXPECT_TRUE(FrameIs(frames[frames.size() - 2], NewColour)) << type;
    EXPECT_TRUE(FrameIs(frames.back(), NewColour)) << type;

    // A small change still pushes the whole picture, and what ends on the
    // display is the scene buffer everywhere.
    EffectBench c(20, 14, OldPicture(20, 14), NewPicture(20, 14));
    c.e.scene.dirty = Rect{5, 5, 6, 6};
    RunEffect(c.e, Fx(type, 1000));
    EXPECT_EQ(c.e.scene.display.bits, c.e.scene.scene.bits) << type;
    EXPECT_EQ(c.Shown(5, 5), NewColour(5, 5));
    EXPECT_EQ(c.Shown(6, 5), OldColour(6, 5));
  }
  EffectBench b(20, 4, OldPicture(20, 4), NewPicture(20, 4));
  RunEffect(b.e, Fx(11, 1000));
  const ShownFrame& first = b.platform.frames.front();
  for (int32_t x = 0; x < 20; ++x) {
    EXPECT_EQ(first.At(x, 1), x < 8 ? NewColour(12 + x, 1) : OldColour(x - 8, 1)) << x;
  }
}

TEST(Transitions, MosaicOutShowsTheOldPictureInCornerBlocks) {
  EffectBench b(12, 12, OldPicture(12, 12), NewPicture(12, 12));
  RunEffect(b.e, Fx(16, 1000));
  const ShownFrame& first = b.platform.frames.front();  // blocks of 5 from the bottom-left
  EXPECT_EQ(first.At(0, 11), OldColour(0, 11));
  EXPECT_EQ(first.At(4, 7), OldColour(0, 11));
  EXPECT_EQ(first.At(5, 6), OldColour(5, 6));
  EXPECT_EQ(first.At(11, 0), OldColour(10, 1));
  EXPECT_TRUE(FrameIs(b.platform.frames.back(), NewColour));
}

}  // namespace
}  // namespace sorv
