// Loading images by tag through the engine: the lookup order and its
// messages, archives, bands, masks, filters and the jpegmode retry.
#include <gtest/gtest.h>

#include "archive/archive.h"
#include "archive/pack.h"
#include "graphics/decoders/decoders.h"
#include "graphics/image_load.h"
#include "graphics/picture_files.h"
#include "support/engine_fixture.h"

namespace sorv {
namespace {

using test::At;
using test::Bytes;
using test::ExpectScriptError;
using test::MakePicture;

uint32_t Pattern(int32_t x, int32_t y) { return static_cast<uint32_t>((x * 40) << 16 | (y * 30) << 8 | (x + y)); }

struct LoadTest : ::testing::Test {
  test::TempDir dir;
  test::ScriptEngine se{"*define\ngame\n*start\nend\n"};
  Engine& e = *se;
  LoadTest() { e.gameDir = dir.path(); }

  Surface picture = MakePicture(6, 4, Pattern);
  void WriteBmp(const std::string& name, const Surface& s) { dir.Write(name, Bytes(EncodeBmp(s))); }
  void WriteSva(const std::string& name, const std::vector<PackItem>& items, int prefix = 0) {
    dir.Write(name, Bytes(BuildSva(items, prefix)));
  }
  PackItem Item(const std::string& name, const std::vector<uint8_t>& file, uint8_t kind) {
    PackItem it;
    EXPECT_TRUE(MakeSvaItem(name, file, kind, it));
    return it;
  }
  ScriptError Refusal(const std::string& tag) {
    return ExpectScriptError([&] {
      TaggedImage img;
      LoadImage(e, img, tag);
    });
  }
  void ExpectPicture(const TaggedImage& img, const Surface& want) {
    ASSERT_TRUE(img.HasSurface());
    ASSERT_EQ(img.surface.width, want.width);
    ASSERT_EQ(img.surface.height, want.height);
    for (int32_t y = 0; y < want.height; ++y) {
      for (int32_t x = 0; x < want.width; ++x) ASSERT_EQ(At(img.surface, x, y), At(want, x, y));
    }
  }
};

TEST_F(LoadTest, TheSameTagAgainOnlyRewindsTheCell) {
  WriteBmp("a.bmp", picture);
  TaggedImage img;
  LoadImage(e, img, ":l/3,100,0;a.bmp");
  EXPECT_EQ(img.tag, ":l/3,100,0;a.bmp");
  EXPECT_EQ(img.cellCount, 3);
  EXPECT_EQ(img.transMode, kTransLeftUp);
  img.currentCell = 2;
  img.opacity = 77;
  img.surface.bits[0] = 99;  // would be undone by a reload
  LoadImage(e, img, ":l/3,100,0;a.bmp");
  EXPECT_EQ(img.currentCell, 0);
  EXPECT_EQ(img.opacity, 77);
  EXPECT_EQ(img.surface.bits[0], 99);
  LoadImage(e, img, ":c;a.bmp");
  EXPECT_EQ(img.opacity, -1);
  EXPECT_EQ(img.cellCount, 1);
  ExpectPicture(img, picture);
}

TEST_F(LoadTest, ColourBandsLeaveTheRemainderUnfilled) {
  TaggedImage img;
  LoadImage(e, img, ">640,480,#ff0000#00ff00#0000ff");
  ASSERT_EQ(img.surface.width, 640);
  ASSERT_EQ(img.surface.height, 480);
  EXPECT_EQ(At(img.surface, 0, 0), 0xFF0000u);
  EXPECT_EQ(At(img.surface, 212, 479), 0xFF0000u);
  EXPECT_EQ(At(img.surface, 213, 0), 0x00FF00u);
  EXPECT_EQ(At(img.surface, 638, 200), 0x0000FFu);
  EXPECT_EQ(At(img.surface, 639, 200), 0x000000u);
}

TEST_F(LoadTest, DefaultModePlaceholderAndFileLog) {
  WriteBmp("pic/a.bmp", picture);
  e.images.defaultTransMode = kTransAlpha;
  e.persistSettings.fileLog = true;
  TaggedImage img;
  LoadImage(e, img, "PIC/A.BMP");
  EXPECT_EQ(img.transMode, kTransAlpha);
  EXPECT_TRUE(InFileLog(e, "pic\\a.bmp"));
  LoadImage(e, img, "*bgcpy");
  EXPECT_EQ(img.surface.width, 1);
  EXPECT_EQ(img.transMode, kTransLeftUp);
}

TEST_F(LoadTest, JpegModeRetriesQuietly) {
  dir.Write("a.jpg", Bytes(test::EncodeJpeg(MakePicture(16, 8, Pattern))));
  e.images.jpegMode = true;
  TaggedImage img;
  LoadImage(e, img, ":c;a.bmp");
  ASSERT_TRUE(img.HasSurface());
  EXPECT_EQ(img.surface.width, 16);
  EXPECT_EQ(img.tag, ":c;a.jpg");
  EXPECT_EQ(JpegModeTag("x.BMP"), "x.JPG");

  ScriptError err = Refusal(":c;none.bmp");
  EXPECT_EQ(err.title, "ロードエラー(JPEGMODE)");
  EXPECT_EQ(err.message, ":c;none.bmp");
}

TEST_F(LoadTest, MissingFilesAndTheirSwitches) {
  ScriptError err = Refusal("gone.bmp");
  EXPECT_EQ(err.title, "ロードエラー");
  EXPECT_EQ(err.message, "ファイルgone.bmpを開けません。");
  dir.Write("x.qqq", "data");
  EXPECT_EQ(Refusal("x.qqq").message, "ファイルx.qqqを開けません。");

  e.archives.svaOn = true;  // no arc.sva: an empty index
  err = Refusal("gone.bmp");
  EXPECT_EQ(err.title, "エラー");
  EXPECT_EQ(err.message, "SVAアーカイブからファイルgone.bmpがみつかりません");

  e.images.loadingCursor = true;
  TaggedImage cursor;
  LoadImage(e, cursor, ":l/3,160,2;cursor0.bmp");
  EXPECT_EQ(cursor.surface.width, 2);
  e.images.loadingCursor = false;

  e.images.noLoadError = true;
  TaggedImage img;
  LoadImage(e, img, "gone.bmp");
  EXPECT_FALSE(img.HasSurface());
  EXPECT_EQ(img.tag, "gone.bmp");
}

TEST_F(LoadTest, DamagedLooseFilesAreReportedByKind) {
  std::string bmp = Bytes(EncodeBmp(picture));
  dir.Write("cut.bmp", bmp.substr(0, bmp.size() - 10));
  EXPECT_EQ(Refusal("cut.bmp").message, "BMPファイルcut.bmpが壊れています。");
  dir.Write("cut.png", Bytes(test::EncodePng(8, 8, [](int32_t, int32_t) { return 0xFF123456u; })).substr(0, 40));
  EXPECT_EQ(Refusal("cut.png").message, "PNGファイルcut.pngのロードに失敗しました。");
  dir.Write("cut.jpg", "\xFF\xD8\xFF");
  EXPECT_EQ(Refusal("cut.jpg").message, "JPEGがロード出来ません。OLEが使えません");
  dir.Write("cut.spb", "\xFF\xFF\xFF\xFF\x00");
  EXPECT_EQ(Refusal("cut.spb").message, "SPBファイルcut.spbが壊れています。");
  // A plug-in that is registered but absent gives no picture.
  e.images.plugins.push_back("ifnone.spi|xyz");
  dir.Write("p.xyz", "data");
  EXPECT_EQ(Refusal("p.xyz").message, "ロード失敗!");
}

TEST_F(LoadTest, SvaEntriesByKindAndExtension) {
  std::vector<uint8_t> bmp = EncodeBmp(picture);
  std::vector<uint8_t> jpg = test::EncodeJpeg(picture);
  std::vector<uint8_t> png = test::EncodePng(3, 2, [](int32_t x, int32_t) { return 0xFF000000u | (x * 0x40u); });
  WriteSva("arc.sva", {Item("img\\spb.bmp", bmp, kSvaSpb), Item("img\\lz.bmp", bmp, kSvaLzss),
                       Item("raw.bmp", bmp, kSvaStored), Item("p.png", png, kSvaStored),
                       Item("j.jpg", jpg, kSvaStored)},
           1);
  e.archives.svaOn = e.archives.sv2Prefix = true;
  TaggedImage img;
  LoadImage(e, img, "img/SPB.bmp");
  ExpectPicture(img, picture);
  LoadImage(e, img, "IMG\\lz.bmp");
  ExpectPicture(img, picture);
  LoadImage(e, img, ":a;p.png");
  EXPECT_EQ(img.surface.width, 6);
  EXPECT_EQ(At(img.surface, 2, 0), 0x80u);
  LoadImage(e, img, "j.jpg");
  EXPECT_EQ(img.surface.width, 6);
  EXPECT_EQ(Refusal("raw.bmp").message, "BMPが圧縮されていません");
}

TEST_F(LoadTest, AnSvaEntryPastTheArchiveEndIsReported) {
  PackItem it = Item("a.bmp", EncodeBmp(picture), kSvaLzss);
  std::vector<uint8_t> arc = BuildSva({it});
  arc.resize(arc.size() - 5);
  dir.Write("arc.sva", Bytes(arc));
  e.archives.svaOn = true;
  ScriptError err = Refusal("a.bmp");
  EXPECT_EQ(err.message, "アーカイブ\"arc.sva\"が壊れています！");
}

TEST_F(LoadTest, Sv2EntriesAndAFileOnlyInTheSvaArchive) {
  std::vector<uint8_t> bmp = EncodeBmp(picture);
  PackItem b{"s.bmp", 0, bmp, 0}, o{"s.ogg", 0, {1, 2, 3}, 0};
  dir.Write("00.sv2", Bytes(BuildSv2({b, o})));
  WriteSva("arc.sva", {Item("only.bmp", bmp, kSvaSpb)});
  e.archives.svaOn = true;
  OpenSv2Archives(e);
  ASSERT_TRUE(e.archives.sv2On);
  TaggedImage img;
  LoadImage(e, img, "S.BMP");
  ExpectPicture(img, picture);
  // Not in the SV2 archives, but in arc.sva: no "not found" on the way.
  LoadImage(e, img, "only.bmp");
  ExpectPicture(img, picture);
  EXPECT_EQ(Refusal("s.ogg").message, "SV2形式はBMP,JPEG,PNG以外には対応していません。");
}

TEST_F(LoadTest, FiltersOnFullColourOnly) {
  WriteBmp("a.bmp", picture);
  TaggedImage img;
  LoadImage(e, img, "<b255>a.bmp");
  ExpectPicture(img, picture);
  LoadImage(e, img, "<b0>a.bmp");
  for (uint8_t v : img.surface.bits) ASSERT_EQ(v, 0);
  LoadImage(e, img, "<b128 rgb255,0,510>a.bmp");
  // Brightness first, then the channels: red kept, green gone, blue doubled (capped).
  uint32_t src = At(picture, 5, 3), got = At(img.surface, 5, 3);
  uint32_t r = (src >> 16 & 255) * 128 / 255, b = (src & 255) * 128 / 255;
  EXPECT_EQ(got, (r << 16) | std::min<uint32_t>(255, b * 510 / 255));

  WriteBmp("p8.bmp", test::MakePaletted(4, 4));
  ScriptError err = Refusal("<b10>p8.bmp");
  EXPECT_EQ(err.message, "フルカラー画像以外ではフィルタはかけられません");
  LoadImage(e, img, "p8.bmp");
  EXPECT_EQ(img.surface.BitCount(), 8);
}

TEST_F(LoadTest, MaskFileMakesAnAlphaImage) {
  WriteBmp("base.bmp", picture);
  WriteBmp("mask.bmp", MakePicture(6, 4, [](int32_t x, int32_t) { return x < 3 ? 0u : 0xFFFFFFu; }));
  TaggedImage img;
  LoadImage(e, img, ":mmask.bmp;base.bmp");
  ASSERT_EQ(img.surface.width, 12);
  EXPECT_EQ(img.transMode, kTransAlpha);
  EXPECT_EQ(At(img.surface, 5, 3), At(picture, 5, 3));
  EXPECT_EQ(At(img.surface, 6 + 2, 0), 0u);
  EXPECT_EQ(At(img.surface, 6 + 3, 0), 0xFFFFFFu);
  EXPECT_EQ(Refusal(":mmask.bmp/2;base.bmp").message,
            "画像指定タグ:mファイル名のときは複数セル画像はサポートしていません。");
}

TEST_F(LoadTest, TextSpritesAreSizedAndBlankUntilDrawn) {
  e.values.strVars[3] = "abcd";
  TaggedImage img;
  LoadImage(e, img, ":s/20,22,2;#ff0000#00ff00$3");
  EXPECT_TRUE(img.textSprite);
  EXPECT_EQ(img.transMode, kTransAlpha);
  EXPECT_EQ(img.cellCount, 2);
  // Each half: 4 bytes x (20 + 2) / 2 = 44 pixels; two cells of two halves.
  EXPECT_EQ(img.surface.width, 176);
  EXPECT_EQ(img.surface.height, 22);
  EXPECT_EQ(img.textSpriteSpec.text, "abcd");
  EXPECT_EQ(At(img.surface, 0, 0), 0u);
  EXPECT_EQ(At(img.surface, 44, 0), 0xFFFFFFu);
}

}  // namespace
}  // namespace sorv
