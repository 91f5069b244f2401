// The smaller words of the text window and the scene: textmode, br, texthide
// and textshow, textcommit, getbgname, spreload.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "graphics/decoders/decoders.h"
#include "platform/encoding.h"
#include "shell/engine.h"
#include "support/engine_fixture.h"

namespace sorv {
namespace {

using test::RunScript;

std::string Game(const std::string& utf8Body) {
  return platform::Utf8ToSjis("*define\ngame\n*start\n" + utf8Body);
}

TEST(TextWindowWords, TextModeOffRefusesText) {
  auto r = RunScript(Game("textmode 0\nあ\nend\n"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.errorTitle, "エラー！");
  EXPECT_EQ(r.errorMessage, "textmodeが非表示設定なのに文字を書こうとしました。");
  auto ok = RunScript(Game("textmode 0\ntextmode 1\nあ\nend\n"));
  EXPECT_EQ(ok.status, 0) << ok.errorText;
}

TEST(TextWindowWords, BrBreaksTheLineAndOverflowsAtTheLastOne) {
  auto r = RunScript(Game("あ/\nbr\nい\nend\n"));
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.engine->text.pageText, platform::Utf8ToSjis("あ\nい\n"));
  auto full = RunScript(Game("setwindow 8,16,10,2,26,26,0,2,20,1,1,#999999,0,0,639,479\nbr\nbr\nend\n"));
  EXPECT_EQ(full.status, 1);
  EXPECT_EQ(full.errorMessage, "文字が枠をはみ出してしまいました。");
}

TEST(TextWindowWords, TextHideAndShowKeepThePage) {
  auto r = RunScript(Game("あ\ntexthide\nmov %1,%0\ntextshow\nend\n"));
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.engine->textWindow.window.shown, 1);
  EXPECT_EQ(r.engine->text.pageText, platform::Utf8ToSjis("あ\n"));
}

TEST(SceneWords, GetBgNameAndSpReload) {
  test::TempDir dir;
  Surface pic;
  CreateSurface(pic, 4, 2);
  std::vector<uint8_t> bmp = EncodeBmp(pic);
  dir.Write("a.bmp", std::string(bmp.begin(), bmp.end()));
  dir.Write("0.txt", "*define\ngame\n*start\nbg \"a.bmp\",1\ngetbgname $1\n"
                     "lsp 5,\":a/2,0,0;a.bmp\",30,40,90\ncell 5,1\nspreload 5\nend\n");
  auto r = test::RunGameDir(dir.path());
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Str(1), "a.bmp");
  const Sprite& sp = r.engine->scene.sprites[5];
  EXPECT_EQ(sp.x, 30);
  EXPECT_EQ(sp.y, 40);
  EXPECT_EQ(sp.image.opacity, 90);
  EXPECT_EQ(sp.image.currentCell, 1);
  EXPECT_EQ(sp.image.surface.width, 4);
  auto undefined = RunScript(Game("spreload 7\nend\n"));
  EXPECT_EQ(undefined.status, 1);
  EXPECT_EQ(undefined.errorMessage, "定義されていないスプライト7を使おうとしました。");
}

TEST(SceneWords, SpStrRunsAnActionString) {
  test::TempDir dir;
  Surface pic;
  CreateSurface(pic, 4, 2);
  std::vector<uint8_t> bmp = EncodeBmp(pic);
  dir.Write("a.bmp", std::string(bmp.begin(), bmp.end()));
  dir.Write("0.txt", "*define\ngame\n*start\nlsp 5,\"a.bmp\",0,0\nlsph 6,\"a.bmp\",0,0\n"
                     "spstr \"C5 M6,10,20\"\nend\n");
  auto r = test::RunGameDir(dir.path());
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_FALSE(r.engine->scene.sprites[5].visible);
  const Sprite& moved = r.engine->scene.sprites[6];
  EXPECT_TRUE(moved.visible);
  EXPECT_EQ(moved.x, 10);
  EXPECT_EQ(moved.y, 20);
}

TEST(SceneWords, EffectsTakeTheTextWindowAwayAsErasetextwindowSays) {
  struct Case {
    const char* setting;
    const char* command;
    int shown;
  };
  const Case cases[] = {
      {"", "print 10,100", 0},
      {"", "print 1", 1},  // an instant refresh is no transition
      {"", "print 0", 1},  // nothing is shown yet, so nothing is hidden
      {"erasetextwindow 0\n", "print 10,100", 1},
      {"erasetextwindow 2\n", "cl a,1", 1},
      {"erasetextwindow 2\n", "bg black,10,100", 0},
  };
  for (const Case& c : cases) {
    auto r = RunScript(Game(std::string(c.setting) + "あ\n" + c.command + "\nend\n"));
    ASSERT_EQ(r.status, 0) << r.errorText;
    EXPECT_EQ(r.engine->textWindow.window.shown, c.shown) << c.setting << c.command;
  }
}

// A window effect brings the window on through its transition: the screen
// shows frames in between, where without one it appears in a single frame.
TEST(SceneWords, WindowEffectShowsTheWindowThroughATransition) {
  auto frames = [](const std::string& setting) {
    test::TempDir dir;
    dir.Write("0.txt", platform::Utf8ToSjis("*define\ngame\n*start\n" + setting + "あ\nend\n"));
    platform::Options options;
    options.headless = true;
    options.dumpFramesDir = dir.File("frames");
    auto r = test::RunGameDir(dir.path(), options);
    EXPECT_EQ(r.status, 0) << r.errorText;
    std::ifstream in(dir.File("frames/frames.txt"));
    std::string line;
    long count = 0;
    while (std::getline(in, line)) ++count;
    return count;
  };
  long plain = frames("");
  long faded = frames("windoweffect 10,400\n");
  EXPECT_GT(faded, plain + 5);
}

}  // namespace
}  // namespace sorv
