// Native plug-ins loaded into a running game: the sample libraries of
// tests/plugins/, copied into a game directory.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "graphics/decoders/decoders.h"
#include "graphics/picture_files.h"
#include "platform/png_reader.h"
#include "plugin/plugin.h"
#include "shell/engine.h"
#include "sorv/plugin.h"
#include "support/engine_fixture.h"

namespace sorv {
namespace {

using platform::testing::ReadPngRgb;
using platform::testing::RgbImage;

constexpr uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF;

// A game directory with the sample plug-ins as "<name>.so".
struct PluginGame {
  test::TempDir dir;
  test::TempDir out;

  PluginGame() {
    for (const char* name : {"paint", "mover", "halves"}) {
      std::filesystem::copy_file(std::string(SORV_TEST_PLUGIN_DIR) + "/" + name + ".so",
                                 dir.File(std::string(name) + ".so"));
    }
  }
  void Block(const std::string& name, int32_t w, int32_t h, uint32_t rgb) {
    dir.Write(name, test::Bytes(EncodeBmp(test::MakePicture(w, h, [rgb](int32_t, int32_t) { return rgb; }))));
  }
  test::RunResult Run(const std::string& script, bool frames = false) {
    dir.Write("0.txt", script);
    platform::Options o;
    o.screenshotFile = out.File("shot.png");
    if (frames) o.dumpFramesDir = out.path();
    return test::RunGameDir(dir.path(), o);
  }
  RgbImage Shot() const { return ReadPngRgb(out.File("shot.png")); }
};

TEST(CommandPlugin, DrawsThroughTheExportsAndReturnsANumberAndAString) {
  PluginGame g;
  test::RunResult r = g.Run(
      "*define\ndim ?2[3]\ngame\n*start\nbg black,1\n"
      "exec_dll \"paint.dll/10,20,30,40,00ff00\"\n"
      "getret %1\ngetret $1\ngetret ?2[1]\n"
      "exec_dll \"paint.dll\"\ngetret %3\ngetret $3\nend\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(1), 1200);
  EXPECT_EQ(r.Str(1), "painted 30x40");
  EXPECT_EQ(r.Int(3), -1);  // no slash: an empty parameter string
  EXPECT_EQ(r.Str(3), "bad parameters: ");
  EXPECT_NE(r.stderrText.find("loaded plug-in library paint.dll from"), std::string::npos) << r.stderrText;
  RgbImage shot = g.Shot();
  ASSERT_TRUE(shot.ok);
  EXPECT_EQ(shot.At(10, 20), kGreen);
  EXPECT_EQ(shot.At(39, 59), kGreen);
  EXPECT_EQ(shot.At(40, 59), 0u);
  EXPECT_EQ(shot.At(9, 20), 0u);
}

// A line run through SorvExecWord runs once, and the script goes on behind
// the exec_dll line; a jump made by the line is kept.
TEST(CommandPlugin, ExecWordRunsTheLineOnceAndGivesThePositionBack) {
  PluginGame g;
  test::RunResult r = g.Run(
      "*define\ngame\n*start\nexec_dll \"paint.dll/exec:add %0,5\"\ngetret $1\nadd %0,100\n"
      "exec_dll \"paint.dll/exec:goto *there\"\nmov %2,1\n*there\nmov %3,1\nend\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(0), 105);
  EXPECT_EQ(r.Str(1), "after exec");
  EXPECT_EQ(r.Int(2), 0);
  EXPECT_EQ(r.Int(3), 1);
}

TEST(CommandPlugin, BadLibrariesAndErrorsInsideTheCallAreReported) {
  PluginGame g;
  g.dir.Write("broken.so", "this is not a library");
  struct Case {
    const char* line;
    const char* message;
    const char* said;
  } cases[] = {
      {"exec_dll \"broken.dll/x\"", "exec_dllへのDLL指定が不正です", "cannot load plug-in library broken.dll"},
      {"exec_dll \"absent.dll\"", "exec_dllへのDLL指定が不正です", "absent.dll: not found"},
      {"exec_dll \"mover.dll/x\"", "exec_dllへのDLL指定が不正です", "loaded plug-in library mover.dll"},
      {"exec_dll \"../paint.dll/x\"", "ゲームフォルダの外を指しています", "ゲームフォルダの外を指しています"},
      {"exec_dll \"/tmp/paint.dll/x\"", "exec_dllへのDLL指定が不正です", "outside the game directory"},
      // A script error met inside an exported function waits for the plug-in
      // to return and then ends the game like any other.
      {"exec_dll \"paint.dll/exec:nosuchcommand 1\"", "nosuchcommand", "loaded plug-in library paint.dll"},
  };
  for (const Case& c : cases) {
    test::RunResult r = g.Run(std::string("*define\ngame\n*start\n") + c.line + "\nend\n");
    EXPECT_EQ(r.status, 1) << c.line;
    EXPECT_NE(r.errorText.find(c.message), std::string::npos) << c.line << ": " << r.errorText;
    EXPECT_NE(r.stderrText.find(c.said), std::string::npos) << c.line << ": " << r.stderrText;
  }
  std::string longName(300, 'a');
  test::RunResult r = g.Run("*define\ngame\n*start\nexec_dll \"" + longName + "/x\"\n");
  EXPECT_NE(r.errorText.find("DLL名が長すぎます"), std::string::npos) << r.errorText;
}

// The dumped frames in the order they were shown.
std::vector<std::string> Frames(const test::TempDir& out) {
  std::ifstream list(out.File("frames.txt"));
  std::vector<std::string> files;
  std::string number;
  uint64_t ms = 0;
  while (list >> number >> ms) files.push_back(out.File("frame-" + number + ".png"));
  return files;
}

// The left edge of the red square on row 20, or -1.
int SquareAt(const RgbImage& img) {
  for (int x = 0; x < img.width; ++x) {
    if (img.At(x, 20) == kRed) return x;
  }
  return -1;
}

TEST(LayerPlugin, TimerMovesTheSquareAndItIsDrawnAtItsSpriteDepth) {
  PluginGame g;
  g.Block("green.bmp", 20, 40, kGreen);
  g.Block("blue.bmp", 100, 40, kBlue);
  test::RunResult r = g.Run(
      "*define\nsetlayer 3,100,\"mover.dll/ff0000\"\ngame\n*start\nbg black,1\n"
      "lsp 6,\":c;blue.bmp\",150,0\nlsp 5,\"*3\",0,0\nlsp 4,\":c;green.bmp\",200,0\nprint 1\n"
      "wait 550\nlayermessage 3,\"where\"\ngetret %0\ngetret $0\n"
      "layermessage 3,\"jump 195\"\nend\n",
      true);
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_GE(r.Int(0), 40);
  EXPECT_LE(r.Int(0), 60);
  EXPECT_EQ(r.Str(0), "x=" + std::to_string(r.Int(0)));
  EXPECT_NE(r.stderrText.find("mover: finalized at 195"), std::string::npos) << r.stderrText;

  // Every timer call shows the square 10 pixels further on.
  std::vector<int> positions;
  for (const std::string& frame : Frames(g.out)) {
    int x = SquareAt(ReadPngRgb(frame));
    if (x >= 0 && (positions.empty() || positions.back() != x)) positions.push_back(x);
  }
  ASSERT_GE(positions.size(), 4u);
  for (size_t i = 1; i + 1 < positions.size(); ++i) EXPECT_EQ(positions[i] - positions[i - 1], 10);
  EXPECT_EQ(positions.back(), 195);

  // Sprite 4 lies over the layer, the layer over sprite 6.
  RgbImage shot = g.Shot();
  ASSERT_TRUE(shot.ok);
  EXPECT_EQ(shot.At(195, 20), kRed);
  EXPECT_EQ(shot.At(199, 20), kRed);
  EXPECT_EQ(shot.At(200, 20), kGreen);
  EXPECT_EQ(shot.At(214, 20), kGreen);
  EXPECT_EQ(shot.At(190, 20), kBlue);
  EXPECT_EQ(shot.At(195, 35), kBlue);  // below the square
}

TEST(LayerPlugin, ShowingAndRemovingTheSpriteRedrawsTheLayer) {
  PluginGame g;
  test::RunResult r = g.Run(
      "*define\nsetlayer 3,0,\"mover.dll/ff0000\"\ngame\n*start\nbg black,1\n"
      "lsp 5,\"*3\",0,0\nprint 1\ncsp 5\nprint 1\nend\n",
      true);
  ASSERT_EQ(r.status, 0) << r.errorText;
  std::vector<int> shown;
  for (const std::string& frame : Frames(g.out)) shown.push_back(SquareAt(ReadPngRgb(frame)));
  EXPECT_NE(std::find(shown.begin(), shown.end(), 0), shown.end());  // no timer: it stays at 0
  ASSERT_FALSE(shown.empty());
  EXPECT_EQ(shown.back(), -1);
}

TEST(LayerPlugin, MissingLibrariesAndEntriesLeaveTheGameGoingOn) {
  PluginGame g;
  test::RunResult r = g.Run(
      "*define\nsetlayer 2,100,\"missing.dll/x\"\ngame\n*start\nbg black,1\n"
      "lsp 5,\"*2\",0,0\nlsp 6,\"*9\",0,0\nprint 1\nwait 300\nmov %1,7\nend\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(1), 7);
  EXPECT_NE(r.stderrText.find("cannot load plug-in library missing.dll: not found"), std::string::npos);
  EXPECT_EQ(g.Shot().At(5, 20), 0u);

  r = g.Run("*define\nsetlayer 2,100,\"missing.dll/x\"\ngame\n*start\nlayermessage 2,\"x\"\n");
  EXPECT_NE(r.errorText.find("そのレイヤにはメッセージ関数がありません。"), std::string::npos) << r.errorText;
  r = g.Run("*define\ngame\n*start\nlayermessage 40,\"x\"\n");
  EXPECT_NE(r.errorText.find("そのレイヤにはメッセージ関数がありません。"), std::string::npos) << r.errorText;
  r = g.Run("*define\nsetlayer 32,100,\"mover.dll\"\ngame\n");
  EXPECT_NE(r.errorText.find("レイヤ番号が不正です"), std::string::npos) << r.errorText;
}

TEST(EffectPlugin, RunsThroughTheTransition) {
  PluginGame g;
  test::RunResult r = g.Run(
      "*define\neffect 2,99,400,\"halves.dll/x\"\ngame\n*start\nbg black,1\nbg white,2\nend\n", true);
  ASSERT_EQ(r.status, 0) << r.errorText;
  bool halfway = false;
  RgbImage last;
  for (const std::string& frame : Frames(g.out)) {
    last = ReadPngRgb(frame);
    if (last.ok && last.At(10, 10) == 0xFFFFFF && last.At(630, 10) == 0) halfway = true;
  }
  EXPECT_TRUE(halfway);
  ASSERT_TRUE(last.ok);
  EXPECT_EQ(last.At(630, 470), 0xFFFFFFu);

  // Effect libraries are held to the game directory like every plug-in.
  r = g.Run("*define\neffect 2,99,400,\"../halves.dll/x\"\ngame\n*start\nbg white,2\nend\n");
  EXPECT_NE(r.errorText.find("ライブラリ..はゲームフォルダの外を指しています。"), std::string::npos) << r.errorText;
}

// The real executable: a plug-in resolves the engine's functions against it.
TEST(CommandPlugin, RunsInsideTheSorvExecutable) {
  PluginGame g;
  g.dir.Write("0.txt",
              "*define\ngame\n*start\nbg black,1\nexec_dll \"paint.dll/10,20,30,40,00ff00\"\n"
              "getret %1\nif %1 == 1200 exec_dll \"paint.dll/0,0,5,5,0000ff\"\nend\n");
  std::string command = std::string(SORV_BINARY) + " --headless --screenshot " + g.out.File("shot.png") + " " +
                        g.dir.path() + " 2>&1";
  FILE* p = popen(command.c_str(), "r");
  ASSERT_NE(p, nullptr);
  std::string output;
  char buf[256];
  while (size_t n = fread(buf, 1, sizeof buf, p)) output.append(buf, n);
  EXPECT_EQ(pclose(p), 0) << output;
  EXPECT_NE(output.find("loaded plug-in library paint.dll from " + g.dir.path()), std::string::npos) << output;
  RgbImage shot = g.Shot();
  ASSERT_TRUE(shot.ok);
  EXPECT_EQ(shot.At(20, 30), kGreen);
  EXPECT_EQ(shot.At(0, 0), kBlue);
}

// The exported functions called as a plug-in would, on the state a game
// left behind.
TEST(PluginExports, SpritesDibsAndHandles) {
  PluginGame g;
  g.dir.Write("cells.bmp", test::Bytes(EncodeBmp(test::MakePicture(6, 2, [](int32_t x, int32_t) {
    return x < 2 ? kRed : x < 4 ? kGreen : kBlue;
  }))));
  test::RunResult r = g.Run("*define\ngame\n*start\nbg black,1\nlsp 1,\":c/3,0,0;cells.bmp\",0,0\nend\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  Engine& e = *r.engine;
  PluginEngineScope scope(e);
  auto shown = [&](int32_t x, int32_t y) { return test::At(e.scene.display, x, y); };

  // Cells and alpha are clamped into what the sprite has.
  DrawSP(1, 7, 300, 0, 100);  // the last cell, opaque
  EXPECT_EQ(shown(0, 100), kBlue);
  DrawSP(1, -4, 255, 10, 100);  // the first cell
  EXPECT_EQ(shown(10, 100), kRed);
  DrawSP2(1, 5, 255, 100, 200, 200, 200, 90);  // the last cell, twice its size, about (100, 200)
  EXPECT_EQ(shown(100, 200), kBlue);
  EXPECT_EQ(shown(98, 199), kBlue);
  EXPECT_EQ(shown(101, 202), kBlue);
  EXPECT_EQ(shown(96, 196), 0u);
  DrawClear();
  EXPECT_EQ(shown(10, 100), 0u);
  EXPECT_EQ(shown(100, 200), 0u);
  RenderSprite(1, 9, 20, 100, 255);  // into the scene, never past the sprite's pixels
  EXPECT_EQ(test::At(e.scene.scene, 20, 100), kBlue);
  EXPECT_EQ(test::At(e.scene.scene, 22, 100), 0u);

  int32_t w = 0, h = 0, cells = 0;
  EXPECT_EQ(GetSpriteData(1, &w, &h, &cells), 3);
  EXPECT_EQ(w, 2);
  EXPECT_EQ(h, 2);
  EXPECT_EQ(GetSpriteCellNum(1), 3);

  SorvDIB dib{11, 12, 13, nullptr};
  GetSpriteDIB(2, &dib);  // empty: only the width changes
  EXPECT_EQ(dib.width, 0);
  EXPECT_EQ(dib.height, 12);
  EXPECT_EQ(dib.colours, 13);
  GetSpriteDIB(1, &dib);
  EXPECT_EQ(dib.width, 6);
  EXPECT_EQ(dib.bits, e.scene.sprites[1].image.surface.bits.data());
  FreeDIB(&dib);  // not ours to free: left alone
  EXPECT_EQ(dib.bits, e.scene.sprites[1].image.surface.bits.data());

  AllocDIB(&dib, "cells.bmp");
  ASSERT_NE(dib.bits, nullptr);
  EXPECT_EQ(dib.width, 6);
  EXPECT_EQ(dib.bits[2], 0xFF);  // bottom-left pixel's red
  FreeDIB(&dib);
  EXPECT_EQ(dib.bits, nullptr);
  AllocDIB(&dib, "absent.bmp");
  EXPECT_EQ(dib.width, 0);
  EXPECT_EQ(dib.bits, nullptr);
  EXPECT_FALSE(e.plugins.pending);

  // Only the engine's own handles are drawn into.
  SorvDIB bits{};
  EXPECT_EQ(SorvGetDCBits(SorvGetSrcDC(), &bits), 1);
  EXPECT_EQ(bits.bits, e.scene.scene.bits.data());
  int32_t junk[64] = {};
  EXPECT_EQ(SorvGetDCBits(reinterpret_cast<SorvDC>(junk), &bits), 0);
  BltSpriteTo(reinterpret_cast<SorvDC>(junk), 1);
  BltSpriteTo(SorvGetDestDC(), 1);
  EXPECT_EQ(shown(0, 0), kRed);
  EXPECT_EQ(shown(5, 1), kBlue);

  // An error raised inside waits for the plug-in to return.
  SorvSystemCall("nonsense");
  EXPECT_TRUE(e.plugins.pending);
  DrawFill(255, 255, 255);  // ignored until then
  EXPECT_EQ(shown(5, 1), kBlue);
  auto err = test::ExpectScriptError([&] { RaisePluginError(e); });
  EXPECT_EQ(err.message, "システムコールの文字列が不正です。");
  DrawFill(255, 255, 255);
  EXPECT_EQ(shown(5, 1), 0xFFFFFFu);
}

}  // namespace
}  // namespace sorv
