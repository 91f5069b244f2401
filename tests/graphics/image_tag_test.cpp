// The image tag grammar: every part, and the tags that must be refused.
#include <gtest/gtest.h>

#include "graphics/image_tag.h"
#include "support/engine_fixture.h"

namespace sorv {
namespace {

using test::ExpectScriptError;

struct TagTest : ::testing::Test {
  test::ScriptEngine se{"*define\ngame\n*start\nend\n"};
  ImageTag Parse(const std::string& tag, int32_t mode = kTransLeftUp) { return ParseImageTag(*se, tag, mode); }
  void ExpectRefused(const std::string& tag, const char* title, const char* message) {
    ScriptError err = ExpectScriptError([&] { Parse(tag); });
    EXPECT_EQ(err.title, title) << tag;
    EXPECT_EQ(err.message, message) << tag;
  }
};

TEST_F(TagTest, ModeLettersKeysAndTheDefault) {
  EXPECT_EQ(Parse("a.bmp", kTransCopy).mode, kTransCopy);
  EXPECT_EQ(Parse("a.bmp", kTransCopy).body, "a.bmp");
  EXPECT_EQ(Parse(":a;x.bmp").mode, kTransAlpha);
  EXPECT_EQ(Parse(":c;x.bmp").mode, kTransCopy);
  EXPECT_EQ(Parse(":r;x.bmp").mode, kTransRightUp);
  EXPECT_EQ(Parse(":l;x.bmp", kTransCopy).mode, kTransLeftUp);
  EXPECT_EQ(Parse(": \tA;x.bmp").mode, kTransAlpha);

  ImageTag key = Parse(":#12aBcd;x.bmp");
  EXPECT_EQ(key.mode, kTransSelect);
  EXPECT_EQ(key.keyRed, 0x12);
  EXPECT_EQ(key.keyGreen, 0xAB);
  EXPECT_EQ(key.keyBlue, 0xCD);
  ImageTag index = Parse(":!17;x.bmp");
  EXPECT_EQ(index.mode, kTransSelect);
  EXPECT_EQ(index.keyIndex, 17);

  ImageTag mask = Parse(":mmask.bmp;base.bmp");
  EXPECT_EQ(mask.maskFile, "mask.bmp");
  EXPECT_EQ(mask.mode, kTransCopy);
  EXPECT_EQ(mask.body, "base.bmp");

  // Other characters in the mode part are passed over.
  EXPECT_EQ(Parse(":zza;x.bmp").mode, kTransAlpha);
  EXPECT_EQ(Parse(":a;").body, "");
  EXPECT_TRUE(Parse("*bgcpy").placeholder);
}

TEST_F(TagTest, CellParts) {
  ImageTag t = Parse(":a/3,100,0;x.bmp");
  EXPECT_EQ(t.cells, 3);
  EXPECT_EQ(t.cellTime, 100);
  EXPECT_EQ(t.animationMode, 0);
  EXPECT_EQ(t.body, "x.bmp");

  // "/3;" and animation mode 3 never advance.
  t = Parse(":l/3;x.bmp");
  EXPECT_EQ(t.cells, 3);
  EXPECT_EQ(t.cellTime, kCellNeverAdvance);
  EXPECT_EQ(t.animationMode, 3);
  t = Parse(":l/3,100,3;x.bmp");
  EXPECT_EQ(t.cellTime, kCellNeverAdvance);
  t = Parse(":l/2,<10,20>,3;x.bmp");
  EXPECT_EQ(t.cellTime, kCellNeverAdvance);

  t = Parse(":l/3,<10, 20,30>,2;x.bmp");
  EXPECT_EQ(t.cellTime, kCellTimeList);
  EXPECT_EQ(t.cellTimes, (std::vector<int32_t>{10, 20, 30}));
  EXPECT_EQ(t.animationMode, 2);

  // A single time of -1 must not read as "see the list".
  EXPECT_EQ(Parse(":l/2,-1,0;x.bmp").cellTime, 0);
}

TEST_F(TagTest, DamagedCellPartsAndFilters) {
  for (const char* tag : {":l/3,100;x.bmp", ":l/3,100,0", ":l/3,<10,20,0;x.bmp", ":l/3,<10,20>,0;x.bmp",
                          ":l/3,<10,20,30,40>,0;x.bmp", ":l/0;x.bmp", ":l/;x.bmp", ":l/3,x,0;a", "<b>", "<q1>a.bmp",
                          "<b128", "<rgb1,2>a.bmp", "<rg1,2,3>a.bmp", ":#12345;a.bmp"}) {
    ExpectRefused(tag, "タグエラー", "タグの指定がおかしいです。");
  }
}

TEST_F(TagTest, Filters) {
  ImageTag t = Parse("<B128, rgb 10,20,30>:c;x.bmp");
  EXPECT_TRUE(t.brightness);
  EXPECT_EQ(t.brightnessValue, 128);
  EXPECT_TRUE(t.rgb);
  EXPECT_EQ(t.red, 10);
  EXPECT_EQ(t.green, 20);
  EXPECT_EQ(t.blue, 30);
  EXPECT_EQ(t.mode, kTransCopy);
  EXPECT_EQ(Parse("<RGB1,2,3>x.bmp").body, "x.bmp");
}

TEST_F(TagTest, TextSprites) {
  ImageTag t = Parse(":s/20,22,2,1;#ff0000#00ff00hello");
  EXPECT_TRUE(t.textSprite);
  EXPECT_EQ(t.mode, kTransAlpha);
  EXPECT_TRUE(t.text.sized);
  EXPECT_EQ(t.text.width, 20);
  EXPECT_EQ(t.text.height, 22);
  EXPECT_EQ(t.text.pitch, 2);
  EXPECT_EQ(t.text.style, 1);
  EXPECT_EQ(t.text.colours, (std::vector<int32_t>{0xFF0000, 0x00FF00}));
  EXPECT_EQ(t.text.text, "hello");

  t = Parse(":s#ffffff$12");
  EXPECT_FALSE(t.text.sized);
  EXPECT_EQ(t.text.style, -1);
  EXPECT_EQ(t.textVariable, 12);

  // At most eleven colours: a twelfth is text.
  std::string many = ":s";
  for (int i = 0; i < 12; ++i) many += "#010203";
  t = Parse(many);
  EXPECT_EQ(t.text.colours.size(), 11u);
  EXPECT_EQ(t.text.text, "#010203");

  ExpectRefused(":sno colour", "エラー", "画像タグ:sの次は色指定#rrggbbです。");
}

TEST_F(TagTest, ColourBands) {
  ColourBands b = ParseColourBands(*se, ">640,480,#ff0000#00ff00#0000ff");
  EXPECT_EQ(b.width, 640);
  EXPECT_EQ(b.height, 480);
  EXPECT_EQ(b.colours, (std::vector<int32_t>{0xFF0000, 0x00FF00, 0x0000FF}));

  std::string body = ">64,4,";
  for (int i = 0; i < 32; ++i) body += "#000001";
  EXPECT_EQ(ParseColourBands(*se, body).colours.size(), 32u);
  ScriptError err = ExpectScriptError([&] { ParseColourBands(*se, body + "#000001"); });
  EXPECT_EQ(err.message, "矩形塗りつぶしの数は32個までです");

  for (const char* bad : {">640,480", ">640 480,#ffffff", ">640,480,", ">640,480,#ffffff x", ">640,480,#fffff"}) {
    err = ExpectScriptError([&] { ParseColourBands(*se, bad); });
    EXPECT_EQ(err.message, "グラフィックファイルのタグ指定>が間違っています。") << bad;
    EXPECT_EQ(err.title, "エラー");
  }
}

}  // namespace
}  // namespace sorv
