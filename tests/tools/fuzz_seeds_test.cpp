// The seed corpora of the archive and picture fuzz targets are made here,
// from the same writers the tool uses. A seed that is missing is written
// into fuzz/corpus/; set SORV_UPDATE_CORPUS=1 to rewrite them all.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <map>

#include "archive/formats.h"
#include "archive/pack.h"
#include "graphics/decoders/decoders.h"
#include "graphics/picture_files.h"
#include "platform/fs.h"

namespace sorv {
namespace {

using Seeds = std::map<std::string, std::string>;  // file name -> bytes

std::string B(const std::vector<uint8_t>& v) { return {v.begin(), v.end()}; }

Surface Picture(int32_t w, int32_t h) {
  return test::MakePicture(w, h, [](int32_t x, int32_t y) { return static_cast<uint32_t>((x * 9) << 16 | (y * 13) << 8 | ((x * y) & 255)); });
}

PackItem Item(const std::string& name, const std::string& data, uint8_t kind) {
  PackItem it;
  MakeSvaItem(name, std::vector<uint8_t>(data.begin(), data.end()), kind, it);
  return it;
}

std::map<std::string, Seeds> AllSeeds() {
  std::string bmp = B(EncodeBmp(Picture(12, 5)));
  std::map<std::string, Seeds> c;
  auto sva = [&](int prefix) {
    return std::string(1, static_cast<char>(prefix)) +
           B(BuildSva({Item("a.txt", "hello hello hello", kSvaLzss), Item("cg\\b.bmp", bmp, kSvaSpb),
                       Item("c.ogg", "stored", kSvaStored)},
                      prefix));
  };
  c["sva_index_fuzz"] = {{"plain.bin", sva(0)}, {"prefix3.bin", sva(3)}, {"empty.bin", std::string(1, '\0') + B(BuildSva({}))}};
  PackItem one{"x.png", 0, {1, 2, 3}, 0}, two{"dir\\y.bmp", 0, {4, 5}, 0};
  c["sv2_index_fuzz"] = {{"two.bin", B(BuildSv2({one, two}))}, {"plain.bin", B(BuildPlain({one, two}))}};
  std::string text = "the quick brown fox jumps over the lazy dog; the quick brown fox";
  c["lzss_fuzz"] = {{"text.bin", std::string("\x01\x00", 2) + B(LzssEncode(reinterpret_cast<const uint8_t*>(text.data()), text.size()))},
                    {"spaces.bin", std::string("\x01\x00\x00\x08", 4)}};
  c["spb_fuzz"] = {{"small.spb", B(EncodeSpb(Picture(7, 3)))}, {"wide.spb", B(EncodeSpb(Picture(40, 2)))}};
  Surface pal = test::MakePaletted(6, 3);
  c["bmp_fuzz"] = {{"rgb24.bmp", bmp}, {"pal8.bmp", B(EncodeBmp(pal))}};
  auto png = [](uint32_t alpha) {
    return B(test::EncodePng(6, 4, [alpha](int32_t x, int32_t y) { return alpha << 24 | static_cast<uint32_t>(x * 40 + y); }));
  };
  c["png_fuzz"] = {{"opaque.png", std::string(1, '\0') + png(255)}, {"alpha.png", std::string(1, '\5') + png(100)}};
  c["jpeg_fuzz"] = {{"small.jpg", B(test::EncodeJpeg(Picture(16, 16), 80))}};
  // sorv-arc's listing: a sound archive, an SV2 one (format byte 4), and one
  // whose only entry claims far more bytes than the file holds.
  std::string claims = B(BuildSva({Item("big.txt", "x", kSvaStored)}, 0));
  claims[claims.size() - 9] = '\x7F';  // the stored size's high byte
  c["arc_list_fuzz"] = {{"sva.bin", sva(1)},
                        {"sv2.bin", std::string(1, '\x04') + B(BuildSv2({one, two}))},
                        {"claims.bin", std::string(1, '\0') + claims}};
  c["events_fuzz"] = {{"clicks.txt", "# a session\n0 click 10 20\n100 rclick 5 5\n150 wheel -3\n200 key enter\n"},
                      {"mixed.txt", "0 mdown 1 2 right\n5 mup 1 2 right\n10 move 3 4\n20 text あいう x\n"
                                    "30 keydown ctrl\n40 keyup ctrl\n0 answer no\n50 close\n"},
                      {"bad.txt", "10 click 1 2\n5 click 1 2\n"}};
  c["image_tag_fuzz"] = {{"cells.txt", ":a/3,<10,20,30>,2;cg\\a.bmp"},
                         {"filters.txt", "<b128,rgb10,20,30>:#ff00ff/2,100,0;x.png"},
                         {"bands.txt", ">640,480,#ff0000#00ff00#0000ff"},
                         {"text.txt", ":s/24,24,0,1;#ffffff#ff0000Hello"},
                         {"mask.txt", ":mmask.bmp/1;base.bmp"}};
  return c;
}

TEST(FuzzSeeds, EveryTargetHasItsSeeds) {
  std::string root = std::string(SORV_TEST_SOURCE_DIR) + "/../fuzz/corpus/";
  bool update = std::getenv("SORV_UPDATE_CORPUS") != nullptr;
  for (const auto& [target, seeds] : AllSeeds()) {
    std::string dir = root + target;
    mkdir(dir.c_str(), 0755);
    for (const auto& [name, bytes] : seeds) {
      std::string path = dir + "/" + name;
      if (update || !platform::IsRegularFile(path)) {
        ASSERT_TRUE(platform::WriteFileAtomic(path, bytes.data(), bytes.size())) << path;
      }
      EXPECT_TRUE(platform::IsRegularFile(path)) << path;
    }
  }
}

}  // namespace
}  // namespace sorv
