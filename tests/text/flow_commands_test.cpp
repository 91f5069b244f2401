// The text-flow commands in whole headless games: settings they store, the
// text subroutine that takes waits over, and their error messages.
#include <gtest/gtest.h>

#include <string>

#include "platform/encoding.h"
#include "support/engine_fixture.h"

namespace sorv {
namespace {

using test::RunScript;

std::string Game(const std::string& utf8Body, const std::string& define = "") {
  return platform::Utf8ToSjis("*define\n" + define + "game\n*start\n" + utf8Body);
}

TEST(TextFlowCommands, SettingsAreStored) {
  auto r = RunScript(Game("textspeed 35\nindent 3\nrubyon 10,12,\"face\"\nkinsoku off\n"
                          "setcursor 1,\":l/4,100,2;c.bmp\",5,-3\nabssetcursor 0,\"c0.bmp\",600,440\n"
                          "textbtnstart 20\ntoplain $1,\"(漢字/かんじ)\\です\"\nend\n"));
  ASSERT_EQ(r.status, 0) << r.errorText;
  const Engine& e = *r.engine;
  EXPECT_EQ(e.textWindow.window.speed, 35);
  EXPECT_EQ(e.text.indent, 3);
  EXPECT_EQ(e.text.rubyMode, 1);
  EXPECT_EQ(e.text.rubyW, 10);
  EXPECT_EQ(e.text.rubyH, 12);
  EXPECT_EQ(e.text.rubyFace, "face");
  EXPECT_TRUE(e.text.kinsokuOff);
  EXPECT_EQ(e.text.cursors[1].tag, ":l/4,100,2;c.bmp");
  EXPECT_EQ(e.text.cursors[1].y, -3);
  EXPECT_FALSE(e.text.cursors[1].absolute);
  EXPECT_TRUE(e.text.cursors[0].absolute);
  EXPECT_EQ(e.text.cursors[0].x, 600);
  EXPECT_EQ(e.text.textButtonStart, 20);
  EXPECT_EQ(platform::SjisToUtf8(r.Str(1)), "漢字です");

  auto d = RunScript(Game("textspeeddefault\nrubyon2\nrubyoff\nend\n"));
  EXPECT_EQ(d.engine->textWindow.window.speed, -1);
  EXPECT_EQ(d.engine->text.rubyMode, 0);
  EXPECT_EQ(d.engine->text.rubyW, -1);
}

TEST(TextFlowCommands, TextSubroutineTakesTheWaitsOver) {
  // Each wait calls *tg instead of waiting; texec then finishes it: the
  // click wait keeps the line, the page wait starts a new page.
  auto r = RunScript(Game("あ@い\\\nう\nend\n*tg\ninc %1\ntexec\nreturn\n", "textgosub *tg\n"));
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(1), 2);
  ASSERT_EQ(r.engine->text.pageCells.size(), 1u);  // only the line after the page
  EXPECT_EQ(r.engine->text.pageCells[0].x, 21);
  EXPECT_EQ(r.engine->textWindow.cursor.line, 1);
}

TEST(TextFlowCommands, ClickWaitBeforeALineEndBreaksTheLineAtTexec) {
  auto r = RunScript(Game("あ@\nい\nend\n*tg\ntexec\nreturn\n", "textgosub *tg\n"));
  ASSERT_EQ(r.status, 0) << r.errorText;
  ASSERT_EQ(r.engine->text.pageCells.size(), 2u);
  EXPECT_EQ(r.engine->text.pageCells[1].y, 16 + 28);
}

TEST(TextFlowCommands, ErrorMessages) {
  struct Case {
    const char* body;
    const char* message;
  } cases[] = {
      {"kinsoku maybe\n", "kinsoku命令にはonかoffを指定してください。"},
      {"setcursor 2,\"c.bmp\",0,0\n", "カーソルは０（通常）と１（クリック消去用）です。"},
      {"abssetcursor -1,\"c.bmp\",0,0\n", "カーソルは０（通常）と１（クリック消去用）です。"},
      {"toplain $1,\"(abc\"\n", "ルビ形式に間違いがあります。"},
      {"toplain $1,\"(a/bc\"\n", "ルビ形式に間違いがあります。"},
      {"あ/い\n", "表示文中の、/の次は改行文字でなければなりません。"},
      {"{%1}\n", "表示文中の{}の指定が間違っています。"},
  };
  for (const Case& c : cases) {
    auto r = RunScript(Game(std::string(c.body) + "end\n"));
    EXPECT_EQ(r.status, 1) << c.body;
    EXPECT_EQ(r.errorMessage, c.message) << c.body;
  }
  auto face = RunScript(Game("rubyon 10,10,\"" + std::string(256, 'f') + "\"\nend\n"));
  EXPECT_EQ(face.errorMessage, "ルビフォント名が長すぎます。");
  std::string line;
  for (int k = 0; k < 24; ++k) line += "あ";
  auto over = RunScript(Game("locate 0,15\n" + line + "\nend\n"));
  EXPECT_EQ(over.errorMessage, "文字が枠をはみ出してしまいました。");
  EXPECT_EQ(over.errorTitle, "エラー");
}

}  // namespace
}  // namespace sorv
