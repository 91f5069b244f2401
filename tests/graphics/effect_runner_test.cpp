// The effect runner's rules (effect 0, undefined effects, speed, skipping,
// the messages), transition plug-ins, the exact blend kernels, the shakes
// and mosaics, and the effect commands run from a script.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <random>

#include "graphics/blend_table.h"
#include "graphics/effect.h"
#include "graphics/effect_frames.h"
#include "graphics/transition.h"

namespace sorv {
namespace {

using test::EffectBench;
using test::MakePicture;
using test::ShownFrame;

uint32_t OldColour(int32_t x, int32_t y) { return 0x204060u + 0x010101u * static_cast<uint32_t>((x * 3 + y) % 60); }
uint32_t NewColour(int32_t x, int32_t y) { return 0xE0C0A0u - 0x010101u * static_cast<uint32_t>((x + 2 * y) % 60); }

EffectBench Bench(int32_t w = 16, int32_t h = 12) {
  return EffectBench(w, h, MakePicture(w, h, OldColour), MakePicture(w, h, NewColour));
}

EffectRequest Fx(int32_t type, int32_t duration, std::string image = "") {
  return EffectRequest{type, duration, std::move(image)};
}

TEST(EffectRunner, EffectZeroWaitsForTheNextEffect) {
  EffectBench b = Bench();
  RunEffect(b.e, Fx(0, 500));
  EXPECT_TRUE(b.platform.frames.empty());
  EXPECT_EQ(b.Shown(4, 4), OldColour(4, 4));
  RunEffect(b.e, Fx(1, 500));  // instant: one frame and no pause
  ASSERT_EQ(b.platform.frames.size(), 1u);
  EXPECT_EQ(b.Shown(4, 4), NewColour(4, 4));
  EXPECT_EQ(b.Elapsed(), 0u);
  EXPECT_TRUE(b.e.scene.dirty.Empty());
}

TEST(EffectRunner, UndefinedAndMalformedEffectsAreReported) {
  EffectBench b = Bench();
  auto err = test::ExpectScriptError([&] { RunEffect(b.e, Fx(-1, 0)); });
  EXPECT_EQ(err.title, "エラー");
  EXPECT_EQ(err.message, "未定義のエフェクトを使いました");
  // Table entries never defined, and numbers outside the table.
  b.engine.At("7");
  EXPECT_EQ(ReadEffectArgument(b.e).type, -1);
  b.engine.At("300");
  EXPECT_EQ(ReadEffectArgument(b.e).type, -1);
  b.engine.At("18, 700, \"rule.bmp\"");
  EffectRequest inlineFx = ReadEffectArgument(b.e);
  EXPECT_EQ(inlineFx.type, 18);
  EXPECT_EQ(inlineFx.duration, 700);
  EXPECT_EQ(inlineFx.image, "rule.bmp");

  for (int32_t type : {15, 18}) {
    auto missing = test::ExpectScriptError([&] { RunEffect(b.e, Fx(type, 100)); });
    EXPECT_EQ(missing.message, "エフェクトの三番目の画像指定がありません。");
  }
  // An unknown type is said to be wrong and shown at once.
  RunEffect(b.e, Fx(50, 1000));
  ASSERT_EQ(b.platform.boxes.size(), 1u);
  EXPECT_EQ(b.platform.boxes[0], "エラー: 不正なエフェクト番号です。EFFECT命令をチェックしてください。");
  EXPECT_EQ(b.Shown(0, 0), NewColour(0, 0));
  EXPECT_EQ(b.Elapsed(), 0u);
}

TEST(EffectRunner, SpeedTwoMakesEverythingInstant) {
  for (const EffectRequest& fx : {Fx(10, 2000), Fx(15, 900), Fx(13, 900), Fx(99, 900, "absent.dll/x")}) {
    EffectBench b = Bench();
    b.e.effects.speed = 2;
    RunEffect(b.e, fx);  // no image and no library is needed either
    EXPECT_EQ(b.platform.frames.size(), 1u) << fx.type;
    EXPECT_EQ(b.Elapsed(), 0u) << fx.type;
    EXPECT_EQ(b.Shown(7, 7), NewColour(7, 7));
  }
}

TEST(EffectRunner, SpeedOneAndSkippingShortenTheTransition) {
  struct Case {
    int32_t speed;
    bool skipMode, effectCut, clickCut;
    uint32_t elapsed;
  };
  // Duration 1600 and the 30 ms pause; skipping divides by 8 only while
  // click cut is on, and with effectcut makes the effect instant.
  for (const Case& c : {Case{1, false, false, true, 800 + 30}, Case{0, true, false, true, 200 + 30},
                        Case{0, true, true, true, 0}, Case{0, true, true, false, 1600 + 30},
                        Case{1, true, false, true, 100 + 30}}) {
    EffectBench b = Bench();
    b.e.effects.speed = c.speed;
    b.e.effects.clickCut = c.clickCut;
    b.e.interp.skipMode = c.skipMode;
    b.e.graphicsSettings.effectCut = c.effectCut;
    RunEffect(b.e, Fx(2, 1600));
    EXPECT_EQ(b.Elapsed(), c.elapsed) << c.speed << c.skipMode << c.effectCut << c.clickCut;
    EXPECT_EQ(b.Shown(9, 3), NewColour(9, 3));
  }
}

TEST(EffectRunner, PluginEffectNeedsItsEntry) {
  test::TempDir dir;
  // A real shared library without an Effect entry stands in for a broken
  // plug-in: a copy in the game directory, as plug-ins load only from there.
  Dl_info info{};
  ASSERT_NE(dladdr(dlsym(RTLD_DEFAULT, "png_get_libpng_ver"), &info), 0);
  std::filesystem::copy_file(info.dli_fname, dir.File("fx.so"));
  for (const char* image : {"fx.dll/wipe", "absent.dll/wipe", "fx.dll"}) {
    EffectBench b = Bench();
    b.e.gameDir = dir.path();
    auto err = test::ExpectScriptError([&] { RunEffect(b.e, Fx(99, 500, image)); });
    EXPECT_EQ(err.title, "エラー");
    EXPECT_EQ(err.message, "エフェクトに指定したDLLが不正です") << image;
  }
  // effectcut while skipping never asks for the library.
  EffectBench b = Bench();
  b.e.interp.skipMode = true;
  b.e.graphicsSettings.effectCut = true;
  RunEffect(b.e, Fx(99, 500, "absent.dll/x"));
  EXPECT_EQ(b.Shown(1, 1), NewColour(1, 1));
}

void ExpectKernelsMatchTheTable(uint32_t seed);

// A transition plug-in built for the test: it wipes the rectangle in four
// bands, presenting and sleeping between them and stopping when asked, and
// keeps the parameters and duration it was given.
constexpr const char* kWipePlugin = R"(
#include <cstring>
#include "graphics/effect_plugin.h"
extern "C" {
char lastParameters[64];
int32_t lastDuration = -1, bandsDrawn = 0;
void Effect(const SorvEffectHost* host, uint8_t* display, const uint8_t* scene, const int32_t rect[4],
            const char* parameters, int32_t duration) {
  std::strncpy(lastParameters, parameters, sizeof lastParameters - 1);
  lastDuration = duration;
  bandsDrawn = 0;
  int32_t rows = rect[3] - rect[1];
  for (int32_t band = 0; band < 4; ++band) {
    for (int32_t y = rect[1] + rows * band / 4; y < rect[1] + rows * (band + 1) / 4; ++y) {
      size_t at = static_cast<size_t>(host->height - 1 - y) * host->stride + rect[0] * 3;
      std::memcpy(display + at, scene + at, static_cast<size_t>(rect[2] - rect[0]) * 3);
    }
    ++bandsDrawn;
    host->present(host->context);
    host->sleep(host->context, static_cast<uint32_t>(duration / 4));
    if (host->pump(host->context)) return;
  }
}
}
)";

TEST(EffectRunner, PluginEffectAnimatesThroughTheHost) {
  test::TempDir dir;
  dir.Write("wipe.cpp", kWipePlugin);
  std::string build = "c++ -std=c++17 -shared -fPIC -I" SORV_TEST_SOURCE_DIR "/../src -o " + dir.File("wipe.so") +
                      " " + dir.File("wipe.cpp") + " 2>/dev/null";
  if (std::system(build.c_str()) != 0) GTEST_SKIP() << "no compiler to build the test plug-in";

  EffectBench b = Bench();
  b.e.gameDir = dir.path();
  b.e.scene.dirty = Rect{2, 4, 10, 8};
  b.e.effects.speed = 1;
  RunEffect(b.e, Fx(99, 800, "Wipe.DLL/soft edge"));
  void* lib = nullptr;
  for (const LibraryEntry& l : b.e.app.libraries)
    if (l.handle) lib = l.handle;
  ASSERT_NE(lib, nullptr);
  EXPECT_STREQ(static_cast<const char*>(dlsym(lib, "lastParameters")), "soft edge");
  EXPECT_EQ(*static_cast<int32_t*>(dlsym(lib, "lastDuration")), 400);  // halved at speed 1
  auto& frames = b.platform.frames;
  ASSERT_EQ(frames.size(), 5u);  // four bands, then the engine's own copy
  EXPECT_EQ(frames[0].At(5, 4), NewColour(5, 4));
  EXPECT_EQ(frames[0].At(5, 5), OldColour(5, 5));
  EXPECT_EQ(frames[0].At(1, 4), OldColour(1, 4));
  EXPECT_EQ(frames[3].timeMs - 1000, 300u);
  EXPECT_EQ(b.Elapsed(), 400u + 30u);
  EXPECT_EQ(b.Shown(9, 7), NewColour(9, 7));
  EXPECT_EQ(b.Shown(10, 7), OldColour(10, 7));

  // A click tells the plug-in to stop; the engine still shows the scene.
  EffectBench c = Bench();
  c.e.gameDir = dir.path();
  c.platform.ClickAt(1150);
  RunEffect(c.e, Fx(99, 800, "wipe.dll"));
  for (const LibraryEntry& l : c.e.app.libraries)
    if (l.handle) lib = l.handle;
  EXPECT_EQ(*static_cast<int32_t*>(dlsym(lib, "bandsDrawn")), 1);
  EXPECT_EQ(c.Shown(3, 11), NewColour(3, 11));
  FreeLibraries(b.e);
  FreeLibraries(c.e);
}

TEST(BlendKernels, MatchTheBlendTableExactly) {
  for (uint32_t a = 0; a < 256; ++a)
    for (uint32_t v = 0; v < 256; ++v) ASSERT_EQ(Div255(static_cast<uint16_t>(a * v)), kBlend(a, v)) << a << " " << v;

  for (int level : {0, 1, 2}) {
    SetBlendKernelLevel(level);
    for (uint32_t seed : {7u, 8u, 9u, 10u}) ExpectKernelsMatchTheTable(seed);
  }
  SetBlendKernelLevel(2);
}

void ExpectKernelsMatchTheTable(uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> scene(301), old(301), rule(301), dst(301), before(301);
  for (size_t i = 0; i < scene.size(); ++i) {
    scene[i] = static_cast<uint8_t>(rng()), old[i] = static_cast<uint8_t>(rng());
    rule[i] = static_cast<uint8_t>(rng()), before[i] = static_cast<uint8_t>(rng());
  }
  // Every rule value somewhere, so that each level meets both ends of the
  // weights; and the picture bytes' own ends beside them.
  for (size_t i = 0; i < 256; ++i) rule[(i * 7) % 256] = static_cast<uint8_t>(i);
  for (size_t i = 0; i < 40; ++i) (i & 1 ? scene : old)[i * 7] = static_cast<uint8_t>(i & 2 ? 255 : 0);
  for (int32_t w = 0; w < 256; ++w) {
    for (int32_t phase = 0; phase < 2; ++phase) {
      dst = before;
      CrossFadeBytes(dst.data(), scene.data(), old.data(), dst.size(), w, phase);
      for (size_t i = 0; i < dst.size(); ++i) {
        int expect = (static_cast<int32_t>(i & 1) == phase) ? kBlend(w, scene[i]) + kBlend(255 - w, old[i]) : before[i];
        ASSERT_EQ(dst[i], expect) << w << " " << i;
      }
    }
  }
  // Every level, across both ends of the weights' range.
  for (int32_t level = -3; level <= 515; ++level) {
    SoftRuleBytes(dst.data(), scene.data(), old.data(), rule.data(), dst.size(), level);
    for (size_t i = 0; i < dst.size(); ++i) {
      int32_t d = level - rule[i];
      int expect = d > 254 ? scene[i] : d < 0 ? old[i] : kBlend(d, scene[i]) + kBlend(255 - d, old[i]);
      ASSERT_EQ(dst[i], expect) << level << " " << i;
    }
    dst = before;
    RuleBytes(dst.data(), scene.data(), rule.data(), dst.size(), level);
    for (size_t i = 0; i < dst.size(); ++i) ASSERT_EQ(dst[i], rule[i] <= level ? scene[i] : before[i]);
  }
}

// Runs a command line on the bench's engine.
void RunCmd(EffectBench& b, void (*cmd)(Engine&), const char* args) {
  b.engine.At(args);
  cmd(b.e);
}

TEST(Shakes, QuakeBelowOneFrameOnlyRedraws) {
  EffectBench b = Bench();
  RunCmd(b, Cmd_quake, "5, 99");
  ASSERT_EQ(b.platform.frames.size(), 1u);
  EXPECT_EQ(b.platform.frames[0].At(3, 3), OldColour(3, 3));
  EXPECT_EQ(b.Elapsed(), 0u);

  EffectBench c = Bench(20, 20);
  RunCmd(c, Cmd_quake, "2, 300");
  auto& frames = c.platform.frames;
  ASSERT_EQ(frames.size(), 4u);  // three shaken frames, then the display again
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(frames[i].timeMs - 1000, i * 100);
    // The frame is the display moved by a multiple of 2 within 6 each way.
    bool found = false;
    for (int32_t dy = -6; dy <= 6 && !found; dy += 2)
      for (int32_t dx = -6; dx <= 6 && !found; dx += 2)
        found = frames[i].At(10, 10) == OldColour(10 - dx, 10 - dy) && frames[i].At(9, 11) == OldColour(9 - dx, 11 - dy);
    EXPECT_TRUE(found) << i;
  }
  EXPECT_EQ(frames[3].At(0, 0), OldColour(0, 0));
  EXPECT_EQ(c.Elapsed(), 300u);
  EXPECT_EQ(c.Shown(0, 0), OldColour(0, 0));  // the display itself never moved
}

TEST(Shakes, QuakeYSwingsDownThenUpAndBlackensTheGap) {
  EffectBench b = Bench();
  RunCmd(b, Cmd_quakey, "1, 160");
  auto& frames = b.platform.frames;
  // Positions are 10 ms apart: every other one is not drawn, as a display
  // shows at most 60 frames a second (never the last).
  const size_t shown[] = {0, 2, 4, 6, 8, 10, 12, 14, 15};
  ASSERT_EQ(frames.size(), std::size(shown) + 1);
  const int32_t expected[16] = {3, 6, 9, 12, 9, 6, 3, 0, -3, -6, -9, -12, -9, -6, -3, 0};
  for (size_t f = 0; f < std::size(shown); ++f) {
    size_t i = shown[f];
    int32_t dy = expected[i];
    const auto& frame = frames[f];
    EXPECT_EQ(frame.timeMs - 1000, i * 10);
    int32_t y = dy >= 0 ? 11 : 0;
    if (dy > 0) {
      EXPECT_EQ(frame.At(4, 0), 0u) << i;
    }
    if (std::abs(dy) < 12) {
      EXPECT_EQ(frame.At(4, y), OldColour(4, y - dy)) << i;
    }
  }
  EXPECT_EQ(b.Elapsed(), 160u);
}

// The script chooses the count: quakex 4096 asks for 65,536 positions. No
// more than 60 frames a second are drawn, and the shake still ends on time
// with the display as it was.
TEST(Shakes, HugeCountsDrawAtMostSixtyFramesASecond) {
  EffectBench b = Bench(8, 8);
  RunCmd(b, Cmd_quakex, "4096, 100000");
  auto& frames = b.platform.frames;
  // 1 ms a position (100000 / 65536, truncated): 65.5 seconds of shaking.
  EXPECT_EQ(b.Elapsed(), 65536u);
  EXPECT_LE(frames.size(), 65536u / 16 + 2);
  EXPECT_GE(frames.size(), 65536u / 17);
  for (size_t i = 1; i + 2 < frames.size(); ++i) ASSERT_GE(frames[i].timeMs - frames[i - 1].timeMs, 16u) << i;
  EXPECT_EQ(b.Shown(0, 0), OldColour(0, 0));
}

TEST(Shakes, FlashWaveAndPanoramaLeaveTheDisplayAsItWas) {
  struct Case {
    void (*cmd)(Engine&);
    const char* args;
  };
  for (const Case& c : {Case{Cmd_flushout, "200"}, Case{Cmd_yugami, "6, 200"}, Case{Cmd_panoramatest, "200"}}) {
    EffectBench b = Bench();
    std::vector<uint8_t> before = b.e.scene.display.bits;
    RunCmd(b, c.cmd, c.args);
    auto& frames = b.platform.frames;
    ASSERT_GE(frames.size(), 10u) << c.args;
    for (size_t i = 1; i + 1 < frames.size(); ++i) EXPECT_GE(frames[i].timeMs - frames[i - 1].timeMs, 16u);
    EXPECT_NE(frames[frames.size() / 2].bits, before) << c.args;  // something moved
    EXPECT_EQ(frames.back().bits, before) << c.args;
    EXPECT_EQ(b.e.scene.display.bits, before);
    EXPECT_LE(b.Elapsed(), 200u);
    EXPECT_GE(b.Elapsed(), 190u);
  }
  // The flash is white at its height.
  EffectBench b = Bench();
  RunCmd(b, Cmd_flushout, "160");
  EXPECT_EQ(b.platform.frames[4].At(3, 3), 0xFFFFFFu);

  // Skipping text shakes nothing.
  EffectBench c = Bench();
  c.e.interp.skipMode = true;
  RunCmd(c, Cmd_quake, "4, 1000");
  EXPECT_EQ(c.platform.frames.size(), 1u);
  EXPECT_EQ(c.Elapsed(), 0u);
}

TEST(Mosaics, BlocksHoldTheMeanAndMosaicInWithNoStepsShowsTheScene) {
  EffectBench b = Bench(5, 4);
  ComposeRect(b.e, Rect{0, 0, 5, 4});  // the scene the mosaics read
  RunCmd(b, Cmd_mosaicout, "4, 2, 100");
  auto& frames = b.platform.frames;
  ASSERT_EQ(frames.size(), 2u);
  auto mean = [](int32_t x0, int32_t y0, int32_t w, int32_t h, int shift) {
    uint32_t sum = 0;
    for (int32_t y = y0; y < y0 + h; ++y)
      for (int32_t x = x0; x < x0 + w; ++x) sum += NewColour(x, y) >> shift & 0xFF;
    return sum / static_cast<uint32_t>(w * h);
  };
  EXPECT_EQ(frames[0].At(1, 1) & 0xFF, mean(0, 0, 2, 2, 0));
  EXPECT_EQ(frames[0].At(4, 3) >> 16, mean(4, 2, 1, 2, 16));  // cut at the edges
  EXPECT_EQ(frames[1].At(0, 0) >> 8 & 0xFF, mean(0, 0, 4, 4, 8));
  EXPECT_EQ(frames[1].timeMs - 1000, 50u);
  EXPECT_EQ(b.Elapsed(), 100u);

  EffectBench c = Bench(5, 4);
  ComposeRect(c.e, Rect{0, 0, 5, 4});
  RunCmd(c, Cmd_mosaicin, "8, 0, 40");
  ASSERT_EQ(c.platform.frames.size(), 1u);
  EXPECT_EQ(c.Shown(2, 3), NewColour(2, 3));
  EXPECT_EQ(c.Elapsed(), 40u);

  // Skipping text shows only the last frame, at once.
  EffectBench k = Bench(5, 4);
  ComposeRect(k.e, Rect{0, 0, 5, 4});
  k.e.interp.skipMode = true;
  RunCmd(k, Cmd_mosaicin, "8, 4, 400");
  ASSERT_EQ(k.platform.frames.size(), 1u);
  EXPECT_EQ(k.Shown(4, 1), NewColour(4, 1));
  EXPECT_EQ(k.Elapsed(), 0u);

  EffectBench d = Bench(5, 4);
  RunCmd(d, Cmd_mosaicout, "8, 0, 40");
  RunCmd(d, Cmd_mosaicin, "8, -1, 40");
  EXPECT_TRUE(d.platform.frames.empty());
}

TEST(EffectCommands, SettingsFromTheScript) {
  auto r = test::RunScript(
      "*define\neffect 5,99,300,\"fx.dll/slow\"\neffect 6,10\ngame\n*start\n"
      "effectskip 0\nseteffectspeed 1\ngeteffectspeed %3\nwindoweffect 10,300\n"
      "mov %4,1\nend\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  const Engine& e = *r.engine;
  EXPECT_FALSE(e.effects.clickCut);
  EXPECT_EQ(r.Int(3), 1);
  EffectRequest w = WindowEffectRequest(e);
  EXPECT_EQ(w.type, 10);
  EXPECT_EQ(w.duration, 300);
  EXPECT_EQ(e.graphicsSettings.effects[5].image, "fx.dll/slow");
  EXPECT_EQ(e.graphicsSettings.effects[6].type, 10);  // the duration may be left out
  EXPECT_EQ(e.graphicsSettings.effects[6].duration, 0);

  auto s = test::RunScript("*define\neffect 4,10,500\ngame\n*start\nwindoweffect 4\nbg white,4\nquake 2,200\nend\n");
  ASSERT_EQ(s.status, 0) << s.errorText;
  EXPECT_EQ(WindowEffectRequest(*s.engine).type, 10);
  EXPECT_EQ(test::At(s.engine->scene.display, 3, 3), 0xFFFFFFu);
}

}  // namespace
}  // namespace sorv
