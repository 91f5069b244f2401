// The authoring converters: the files they write, that they stay inside the
// game directory, and the GIF reader on good and damaged files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "graphics/decoders/decoders.h"
#include "graphics/gif_decoder.h"
#include "graphics/picture_files.h"
#include "support/engine_fixture.h"

namespace sorv {
namespace {

using test::At;
using test::MakePicture;
using test::TempDir;

struct Game {
  TempDir dir;
  Game() {
    Bmp("a.bmp", MakePicture(3, 2, [](int32_t x, int32_t y) { return 0x100000u * (x + 1) + 0x10u * (y + 1); }));
    Bmp("b.bmp", MakePicture(2, 4, [](int32_t, int32_t) { return 0x00FF00u; }));
    // A white-shown mask: left column white, the rest black.
    Bmp("m.bmp", MakePicture(3, 2, [](int32_t x, int32_t) { return x == 0 ? 0xFFFFFFu : 0u; }));
    Bmp("ink.bmp", MakePicture(2, 1, [](int32_t x, int32_t) { return x == 0 ? 0x000000u : 0xFFFFFFu; }));
  }
  void Bmp(const std::string& name, const Surface& s) { dir.Write(name, test::Bytes(EncodeBmp(s))); }
  test::RunResult Run(const std::string& body) {
    dir.Write("0.txt", "*define\ngame\n*start\n" + body + "end\n");
    return test::RunGameDir(dir.path());
  }
  Surface Read(const std::string& name) {
    std::ifstream in(dir.File(name), std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Surface s;
    EXPECT_TRUE(DecodeBmp(bytes.data(), bytes.size(), s)) << name;
    return s;
  }
};

TEST(Converters, ChainbmpAndBmpcut) {
  Game g;
  std::filesystem::create_directory(g.dir.File("out"));
  auto r = g.Run("chainbmp \"out\\c.bmp\",\"a.bmp\",\"b.bmp\",\"a.bmp\"\nbmpcut \"cut.bmp\",\"a.bmp\",1,0,2,2\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  Surface c = g.Read("out/c.bmp");
  ASSERT_EQ(c.width, 8);
  ASSERT_EQ(c.height, 4);
  EXPECT_EQ(At(c, 0, 0), 0x100010u);
  EXPECT_EQ(At(c, 2, 1), 0x300020u);
  EXPECT_EQ(At(c, 3, 3), 0x00FF00u);
  EXPECT_EQ(At(c, 0, 3), 0u);  // below a shorter picture: black
  EXPECT_EQ(At(c, 7, 1), 0x300020u);
  Surface cut = g.Read("cut.bmp");
  ASSERT_EQ(cut.width, 2);
  EXPECT_EQ(At(cut, 0, 1), 0x200020u);
  EXPECT_EQ(At(cut, 1, 0), 0x300010u);
  auto out = g.Run("bmpcut \"cut.bmp\",\"a.bmp\",2,0,2,2\n");
  EXPECT_EQ(out.status, 1);
  EXPECT_NE(out.errorMessage.find("bmpcut"), std::string::npos);
}

TEST(Converters, MaskPairsBecomeOnePictureWithItsMaskHalf) {
  Game g;
  auto r = g.Run("bw2a \"w.bmp\",\"a.bmp\",\"m.bmp\"\nbw2a2 \"k.bmp\",\"a.bmp\",\"m.bmp\"\nbw2a3 \"i.bmp\",\"ink.bmp\"\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  Surface w = g.Read("w.bmp"), k = g.Read("k.bmp"), i = g.Read("i.bmp");
  ASSERT_EQ(w.width, 6);
  EXPECT_EQ(At(w, 1, 1), 0x200020u);      // the picture half as it was
  EXPECT_EQ(At(w, 3, 0), 0x000000u);      // white in the mask: shown (black)
  EXPECT_EQ(At(w, 4, 0), 0xFFFFFFu);
  EXPECT_EQ(At(k, 3, 0), 0xFFFFFFu);      // bw2a2 takes the mask as it is
  EXPECT_EQ(At(k, 5, 1), 0x000000u);
  ASSERT_EQ(i.width, 4);
  EXPECT_EQ(At(i, 0, 0), 0u);
  EXPECT_EQ(At(i, 1, 0), 0u);             // the colour half is black ink
  EXPECT_EQ(At(i, 2, 0), 0x000000u);      // ink shown
  EXPECT_EQ(At(i, 3, 0), 0xFFFFFFu);      // paper clear
  // The result loads as an ALPHA picture.
  auto shown = g.Run("bg white,1\nlsp 1,\":a;i.bmp\",0,0\nprint 1\n");
  ASSERT_EQ(shown.status, 0) << shown.errorText;
  EXPECT_EQ(At(shown.engine->scene.display, 0, 0), 0u);
  EXPECT_EQ(At(shown.engine->scene.display, 1, 0), 0xFFFFFFu);
}

TEST(Converters, FilesStayInsideTheGameDirectory) {
  Game g;
  auto r = g.Run("chainbmp \"..\\escape.bmp\",\"a.bmp\"\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(g.dir.path()).parent_path() / "escape.bmp"));
  auto s = g.Run("convgif \"x.bmp\",\"/etc/passwd\"\n");
  EXPECT_EQ(s.status, 1);
  auto t = g.Run("chainbmp \"x.bmp\",\"missing.bmp\"\n");
  EXPECT_EQ(t.status, 1);
  EXPECT_FALSE(std::filesystem::exists(g.dir.File("x.bmp")));
}

TEST(Converters, Font2bmpDrawsTheText) {
  Game g;
  auto r = g.Run("font2bmp \"f.bmp\",\"\x82\x60" "A\",20,24,#ff0000\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  Surface f = g.Read("f.bmp");
  ASSERT_EQ(f.width, 30);  // one full-width and one half-width character
  ASSERT_EQ(f.height, 24);
  int red = 0, other = 0;
  for (int32_t y = 0; y < 24; ++y)
    for (int32_t x = 0; x < 30; ++x) {
      uint32_t p = At(f, x, y);
      if (p & 0x00FFFFu) ++other;
      else if (p) ++red;
    }
  EXPECT_GT(red, 20);
  EXPECT_EQ(other, 0);
}

// A 3 x 2 GIF: palette black, red, green, blue; pixels 1 2 3 / 3 2 1,
// LZW with a minimum code size of 2 written by hand.
std::vector<uint8_t> SmallGif(bool interlaced) {
  std::vector<uint8_t> g = {'G', 'I', 'F', '8', '9', 'a', 3, 0, 2, 0, 0x81, 0, 0,
                            0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255};
  // A graphic control extension the reader skips.
  g.insert(g.end(), {0x21, 0xF9, 4, 1, 0, 0, 0, 0});
  g.insert(g.end(), {0x2C, 0, 0, 0, 0, 3, 0, 2, 0, static_cast<uint8_t>(interlaced ? 0x40 : 0), 2});
  // Codes (3 bits): clear 4, 1, 2, 3, 3, 2, 1, end 5 -> packed LSB first.
  std::vector<int> codes = {4, 1, 2, 3, 3, 2, 1, 5};
  std::vector<uint8_t> packed;
  uint32_t bits = 0;
  int held = 0, size = 3, next = 6;
  bool first = true;
  for (int c : codes) {
    bits |= static_cast<uint32_t>(c) << held;
    held += size;
    while (held >= 8) {
      packed.push_back(static_cast<uint8_t>(bits));
      bits >>= 8;
      held -= 8;
    }
    if (c != 4 && c != 5) {
      if (!first && next < 4096) ++next;
      first = false;
      if (next == (1 << size)) ++size;
    }
  }
  if (held > 0) packed.push_back(static_cast<uint8_t>(bits));
  g.push_back(static_cast<uint8_t>(packed.size()));
  g.insert(g.end(), packed.begin(), packed.end());
  g.insert(g.end(), {0, 0x3B});
  return g;
}

TEST(Gif, DecodesTheFirstFrame) {
  Surface s;
  std::string error;
  std::vector<uint8_t> gif = SmallGif(false);
  ASSERT_TRUE(DecodeGif(gif.data(), gif.size(), s, error)) << error;
  ASSERT_EQ(s.width, 3);
  ASSERT_EQ(s.height, 2);
  EXPECT_EQ(At(s, 0, 0), 0xFF0000u);
  EXPECT_EQ(At(s, 1, 0), 0x00FF00u);
  EXPECT_EQ(At(s, 2, 0), 0x0000FFu);
  EXPECT_EQ(At(s, 0, 1), 0x0000FFu);
  EXPECT_EQ(At(s, 2, 1), 0xFF0000u);

  Game g;
  g.dir.Write("p.gif", std::string(gif.begin(), gif.end()));
  auto r = g.Run("convgif \"p.bmp\",\"p.gif\"\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(At(g.Read("p.bmp"), 1, 1), 0x00FF00u);
}

TEST(Gif, DamagedFilesAreRefusedWithAReason) {
  std::vector<uint8_t> gif = SmallGif(false);
  Surface s;
  std::string error;
  // Every truncation fails cleanly or decodes what came; none reads past the end.
  for (size_t n = 0; n < gif.size() - 2; ++n) {
    std::vector<uint8_t> cut(gif.begin(), gif.begin() + static_cast<std::ptrdiff_t>(n));
    if (!DecodeGif(cut.data(), cut.size(), s, error)) {
      EXPECT_FALSE(error.empty()) << n;
    }
  }
  std::vector<uint8_t> bad = gif;
  bad[0] = 'X';
  EXPECT_FALSE(DecodeGif(bad.data(), bad.size(), s, error));
  EXPECT_EQ(error, "not a GIF file");
  std::vector<uint8_t> huge = gif;
  huge[6] = huge[7] = huge[8] = huge[9] = 0xFF;  // 65535 x 65535
  EXPECT_FALSE(DecodeGif(huge.data(), huge.size(), s, error));
  std::vector<uint8_t> code = gif;
  code[code.size() - 5] = 0xFF;  // codes beyond the table
  if (!DecodeGif(code.data(), code.size(), s, error)) {
    EXPECT_FALSE(error.empty());
  }

  Game g;
  g.dir.Write("bad.gif", "GIF89a\x01");
  auto r = g.Run("convgif \"p.bmp\",\"bad.gif\"\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.errorMessage.find("bad.gif"), std::string::npos);
}

}  // namespace
}  // namespace sorv
