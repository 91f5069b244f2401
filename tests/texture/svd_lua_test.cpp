// Lua drawing textures through the SVD functions in whole headless runs:
// the frame they leave, the drawing library giving the same picture, the
// texture procedures of native libraries, and the errors games meet.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "graphics/decoders/decoders.h"
#include "graphics/picture_files.h"
#include "platform/encoding.h"
#include "support/engine_fixture.h"
#include "texture/texture.h"

namespace sorv {
namespace {

// A game made for Windows ships this instead of a library we can load; our
// own Lua library beside the executable takes its place.
const char kWindowsLibrary[] = "MZ\x90 stands for the Windows build of the Lua library";

uint32_t PicturePixel(int32_t x, int32_t y) {
  uint32_t alpha = x < 4 ? 0xFF : 0x80;
  return alpha << 24 | uint32_t(x * 30) << 16 | uint32_t(y * 40) << 8 | 0x5A;
}

struct TextureGame {
  test::TempDir dir;

  explicit TextureGame(const std::string& body) {
    dir.Write("svlua.dll", kWindowsLibrary);
    dir.Write("0.txt", "*define\nluasub draw\ngame\n*start\ndraw\nend\n");
    dir.Write("system.lua", platform::Utf8ToSjis("function SVCOM_draw()\n" + body + "\nend\n"));
    dir.Write("pic.png", test::Bytes(test::EncodePng(6, 4, PicturePixel)));
  }
  test::RunResult Run() { return test::RunGameDir(dir.path()); }
};

std::string Utf8(const std::string& sjis) { return platform::SjisToUtf8(sjis); }

uint32_t DisplayAt(const test::RunResult& r, int32_t x, int32_t y) { return test::At(r.engine->scene.display, x, y); }

// What the drawing below must leave, made with the drawing routines
// directly (their own tests hold them to the rules).
const char kDrawing[] = R"~(
  SVDLoad(0, "pic.png")
  local w, h = SVDGetSize(0)
  SVSetIntValue(1, w * 100 + h)
  SVDFill(0, 0, 640, 480, 40, 80, 120)
  SVDFill(300, 0, 640, 480, 250, 240, 230)
  SVDBlt(0, -2, 0, w, h, 0, 0)
  SVDSp(0, 20, 10, w, h, 0, 0, 128)
  SVDSpAdd(0, 310, 10, w, h, 0, 0, 200)
  SVDSp2(0, 60, 60, 0, 0, w, h, 200, 200, 0, 255)
  SVDSp2(0, 100, 60, 0, 0, w, h, 100, 100, 90, 255)
  SVDSp2Add(0, 340, 60, 0, 0, w, h, 300, 300, 0, 160)
  SVDSp3(0, 150, 40, 162, 40, 156, 60, 168, 60, 0, 0, w, h, 255)
  SVDSp3Add(0, 350, 140, 362, 140, 350, 148, 362, 148, 0, 0, w, h, 255)
  SVDGetScreen(9)
  SVDSp2(9, 500, 300, 0, 0, 100, 80, 100, 100, 90, 255)
  SVDPresent()
)~";

Surface ExpectedDrawing() {
  Texture tex;
  std::vector<uint8_t> png = test::EncodePng(6, 4, PicturePixel);
  EXPECT_TRUE(DecodeTexturePng(png.data(), png.size(), tex));
  Surface s;
  CreateSurface(s, 640, 480);
  DrawTarget t = TargetOf(s);
  FillTarget(t, 0, 0, 640, 480, 40, 80, 120);
  FillTarget(t, 300, 0, 640, 480, 250, 240, 230);
  DrawTexture(t, tex, BltRect{-2, 0, 6, 4, 0, 0}, TextureBlend::Copy, 255);
  DrawTexture(t, tex, BltRect{20, 10, 6, 4, 0, 0}, TextureBlend::Alpha, 128);
  DrawTexture(t, tex, BltRect{310, 10, 6, 4, 0, 0}, TextureBlend::Add, 200);
  DrawTextureRotated(t, tex, 60, 60, 0, 0, 6, 4, 200, 200, 0, 255, false);
  DrawTextureRotated(t, tex, 100, 60, 0, 0, 6, 4, 100, 100, 90, 255, false);
  DrawTextureRotated(t, tex, 340, 60, 0, 0, 6, 4, 300, 300, 0, 160, true);
  const int32_t q1[8] = {150, 40, 162, 40, 156, 60, 168, 60};
  DrawTextureQuad(t, tex, q1, 0, 0, 6, 4, 255, false);
  const int32_t q2[8] = {350, 140, 362, 140, 350, 148, 362, 148};
  DrawTextureQuad(t, tex, q2, 0, 0, 6, 4, 255, true);
  // The screen as drawn so far, taken back as a texture.
  Texture screen;
  CreateTexture(screen, 640, 480);
  for (int32_t y = 0; y < 480; ++y) {
    for (int32_t x = 0; x < 640; ++x) {
      uint32_t c = test::At(s, x, y);
      uint8_t* p = screen.Row(y) + x * 4;
      p[0] = c & 0xFF, p[1] = (c >> 8) & 0xFF, p[2] = (c >> 16) & 0xFF, p[3] = 255;
    }
  }
  DrawTextureRotated(t, screen, 500, 300, 0, 0, 100, 80, 100, 100, 90, 255, false);
  return s;
}

TEST(SvdLua, SoftwareDrawingLeavesTheFrame) {
  TextureGame g(kDrawing);
  auto r = g.Run();
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(1), 604);
  Surface want = ExpectedDrawing();
  // Spot checks of what the rules give: column 2 of the picture at column
  // 0, a half blend, a saturated add.
  EXPECT_EQ(DisplayAt(r, 0, 1), 0x3C285Au);
  EXPECT_EQ(DisplayAt(r, 20, 10), 0x142869u);
  EXPECT_EQ(DisplayAt(r, 311, 10), 0xFFF0FFu);
  for (int32_t y = 0; y < 480; ++y) {
    for (int32_t x = 0; x < 640; ++x) ASSERT_EQ(DisplayAt(r, x, y), test::At(want, x, y)) << x << "," << y;
  }
}

TEST(SvdLua, DrawingLibraryGivesTheSamePicture) {
  TextureGame g(std::string("SVDDirectX()\n") + kDrawing);
  auto r = g.Run();
  ASSERT_EQ(r.status, 0) << r.errorText;
  // The library drew: it was loaded and found its renderer.
  ASSERT_NE(r.stderrText.find("loaded drawing library"), std::string::npos) << r.stderrText;
  ASSERT_EQ(r.stderrText.find("found no renderer"), std::string::npos) << r.stderrText;
  Surface want = ExpectedDrawing();
  int differing = 0;
  for (int32_t y = 0; y < 480; ++y) {
    for (int32_t x = 0; x < 640; ++x) {
      uint32_t a = DisplayAt(r, x, y), b = test::At(want, x, y);
      for (int shift = 0; shift < 24; shift += 8) {
        int d = std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF));
        if (d > 1) {
          ++differing;
          ADD_FAILURE() << x << "," << y << ": " << std::hex << a << " against " << b;
          break;
        }
      }
      if (differing > 10) return;
    }
  }
}

TEST(SvdLua, ProceduresFillColourBlocks) {
  TextureGame g(R"~(
  local p = SVDDLL("texgen.dll", "Inspect")
  SVSetIntValue(1, p)
  SVDCall(3, "*16,16,255,0,0,255", p, "abc")
  SVDBlt(3, 0, 0, 16, 16, 0, 0)
  SVDCall(4, "*2,1", p)
  SVDBlt(4, 20, 0, 2, 1, 0, 0)
  SVDCall(5, "pic.png", p, "")
  SVDBlt(5, 30, 0, 2, 1, 0, 0)
  SVDPresent()
)~");
  std::filesystem::copy_file(std::string(SORV_TEST_PLUGIN_DIR) + "/texgen.so", g.dir.File("texgen.so"));
  auto r = g.Run();
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(1), 0);
  EXPECT_EQ(DisplayAt(r, 0, 0), 0x00FF00u);  // it arrived opaque red
  EXPECT_EQ(DisplayAt(r, 1, 0), 0x030000u);  // with its parameter
  EXPECT_EQ(DisplayAt(r, 2, 0), 0xFF0000u);
  EXPECT_EQ(DisplayAt(r, 15, 15), 0xFF0000u);
  EXPECT_EQ(DisplayAt(r, 16, 15), 0x000000u);
  EXPECT_EQ(DisplayAt(r, 20, 0), 0x0000FFu);  // black, transparent: not red
  EXPECT_EQ(DisplayAt(r, 21, 0), 0xFF0000u);  // no parameter
  EXPECT_EQ(DisplayAt(r, 30, 0), 0x0000FFu);
  EXPECT_EQ(DisplayAt(r, 31, 0), 0x000000u);  // an empty parameter
}

TEST(SvdLua, ErrorsNameTheProblem) {
  TextureGame g(R"~(
  local function try(n, f, ...)
    local ok, msg = pcall(f, ...)
    SVSetStrValue(n, ok and "no error" or msg)
  end
  try(1, SVDSp, 64, 0, 0, 1, 1, 0, 0, 255)
  try(2, SVDSp, 5, 0, 0, 1, 1, 0, 0, 255)
  try(3, SVDGetSize, 5)
  try(4, SVDLoad, 0, "pic.bmp")
  try(5, SVDLoad, 0, "none.png")
  try(6, SVDSp, "x")
  try(7, SVDCall, 0, "*1,1", 7)
  try(8, SVDDLL, "none.dll", "Fill")
  try(9, SVDLoad, -1, "pic.png")
  try(10, SVDLoad, 0, "broken.png")
  SVDOffMode(1)
  try(11, SVDPresent)
  try(12, SVDPresentRect, 0, 0, 1, 1)
  try(13, SVDSp2, 0)
  try(14, SVDSp3Add, 0)
  SVDOffMode(0)
  try(15, SVDPresent)
)~");
  g.dir.Write("broken.png", "\x89PNG\r\n\x1a\n but nothing after");
  auto r = g.Run();
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(Utf8(r.Str(1)), "SVD系命令のテクスチャ番号64が範囲外です(0～63)");
  EXPECT_EQ(Utf8(r.Str(2)), "ロードされていないテクスチャ番号5を使いました。");
  EXPECT_EQ(Utf8(r.Str(3)), "SVDGetSize:存在しないテクスチャ5の幅と高さを得ようとしました。");
  EXPECT_EQ(Utf8(r.Str(4)), "SVDLoad命令はPNGファイルしか読み込めません。");
  EXPECT_EQ(Utf8(r.Str(5)), "テクスチャに読み込もうとしたファイル\"none.png\"がありません。");
  EXPECT_EQ(Utf8(r.Str(6)), "SVDSpの引数が間違っています。\nSVDSp(num,dx,dy,w,h,sx,sy,alpha)");
  EXPECT_EQ(Utf8(r.Str(7)), "SVDDLLで登録されていない番号7でSVDCALLを呼び出しました。");
  EXPECT_EQ(Utf8(r.Str(8)), "SVDDLLに指定されたDLL関数(none.dll/Fill)が見つかりません。");
  EXPECT_EQ(Utf8(r.Str(9)), "SVD系命令のテクスチャ番号-1が範囲外です(0～63)");
  EXPECT_EQ(Utf8(r.Str(10)), "テクスチャに読み込もうとしたファイル\"broken.png\"はPNG画像として読めません。");
  EXPECT_EQ(Utf8(r.Str(11)), "オフスクリーン描画モードの時にSVDPresentを使ってはいけません。");
  EXPECT_EQ(Utf8(r.Str(12)), "オフスクリーン描画モードの時にSVDPresentRectを使ってはいけません。");
  EXPECT_EQ(Utf8(r.Str(13)),
            "SVDSp2の引数が間違っています。\nSVDSp2(num,dcx,dcy,sx,sy,w,h,xs,ys,rot,alpha)");
  EXPECT_EQ(Utf8(r.Str(14)), "SVDSp3Addの引数が間違っています。");
  EXPECT_EQ(r.Str(15), "no error");
}

TEST(SvdLua, TexturesBecomeSpritesAndBackgrounds) {
  TextureGame g(R"~(
  SVDLoad(2, "pic.png")
  SVDSetSprite(7, 2)
  SVDOffMode(1)
  SVDFill(0, 0, 640, 480, 0, 0, 0)
  SVDFill(0, 0, 10, 10, 255, 0, 0)
  SVDCopyToBg()
  SVDTransition(10, 100)
  SVDOffMode(0)
  SVDDelete(2)
  local ok = pcall(SVDGetSize, 2)
  SVSetIntValue(1, ok and 1 or 0)
)~");
  auto r = g.Run();
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(1), 0);
  const Sprite& sp = r.engine->scene.sprites[7];
  EXPECT_TRUE(sp.visible);
  EXPECT_EQ(sp.x, 640);
  EXPECT_EQ(sp.y, 480);
  EXPECT_EQ(sp.tag, ":a;>12,4,#000000");
  const Surface& s = sp.image.surface;
  ASSERT_EQ(s.width, 12);
  EXPECT_EQ(test::At(s, 1, 2), PicturePixel(1, 2) & 0xFFFFFF);
  EXPECT_EQ(test::At(s, 6 + 1, 2), 0x000000u);  // opaque: a black mask
  EXPECT_EQ(test::At(s, 6 + 5, 0), 0x7F7F7Fu);  // half: grey
  EXPECT_EQ(r.engine->scene.backgroundName, "*bgcpy");
  EXPECT_EQ(test::At(r.engine->scene.background.surface, 5, 5), 0xFF0000u);
  EXPECT_EQ(DisplayAt(r, 5, 5), 0xFF0000u);
  EXPECT_EQ(DisplayAt(r, 50, 50), 0x000000u);
}

}  // namespace
}  // namespace sorv
