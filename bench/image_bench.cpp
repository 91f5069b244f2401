// Loading an 800 x 600 picture as BMP, PNG and JPEG through the engine's
// loader (file lookup, read, decode), each beside reading the same file into
// memory: the cost of the decoding itself shows as the ratio.
#include <unistd.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "bench_picture.h"
#include "bench_report.h"
#include "graphics/decoders/decoders.h"
#include "graphics/picture_files.h"
#include "graphics/image_load.h"
#include "platform/fs.h"
#include "shell/engine.h"

namespace {

void Write(const std::string& path, const std::vector<uint8_t>& v) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(v.data()), v.size());
}

const std::string& GameDir() {
  static const std::string dir = [] {
    std::string templ = sorv::platform::TempDirectory() + "/sorv-bench-XXXXXX";
    std::string d = mkdtemp(templ.data());
    sorv::Surface s = BenchPicture();
    Write(d + "/pic.bmp", sorv::EncodeBmp(s));
    Write(d + "/pic.png", BenchPng());
    Write(d + "/pic.jpg", sorv::test::EncodeJpeg(s, 90));
    return d;
  }();
  return dir;
}

void Load(benchmark::State& state, const char* name) {
  sorv::Engine e;
  e.gameDir = GameDir();
  sorv::TaggedImage img;
  for (auto _ : state) {
    img.Clear();
    sorv::LoadImage(e, img, name);
    benchmark::DoNotOptimize(img.surface.bits.data());
  }
}

void ReadOnly(benchmark::State& state, const char* name) {
  for (auto _ : state) {
    auto data = sorv::platform::ReadWholeFile(GameDir() + "/" + name, 1 << 26);
    benchmark::DoNotOptimize(data->data());
  }
}

void BM_LoadBmp(benchmark::State& s) { Load(s, ":c;pic.bmp"); }
void BM_LoadPng(benchmark::State& s) { Load(s, ":c;pic.png"); }
void BM_LoadJpeg(benchmark::State& s) { Load(s, ":c;pic.jpg"); }
void BM_ReadBmp(benchmark::State& s) { ReadOnly(s, "pic.bmp"); }
void BM_ReadPng(benchmark::State& s) { ReadOnly(s, "pic.png"); }
void BM_ReadJpeg(benchmark::State& s) { ReadOnly(s, "pic.jpg"); }
BENCHMARK(BM_LoadBmp)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadBmp)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadPng)->Unit(benchmark::kMicrosecond);
// libpng decoding the same file, already in memory, into a plain buffer.
void BM_LibpngPng(benchmark::State& state) {
  std::vector<uint8_t> pixels;
  for (auto _ : state) {
    LibpngDecode(BenchPng(), pixels);
    benchmark::DoNotOptimize(pixels.data());
  }
}
BENCHMARK(BM_LibpngPng)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadPng)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadJpeg)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadJpeg)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  return sorv::bench::RunAndReport(argc, argv,
                                   {{"load_bmp_800x600", "BM_LoadBmp", "BM_ReadBmp", "file_read"},
                                    {"load_png_800x600", "BM_LoadPng", "BM_ReadPng", "file_read"},
                                    {"load_png_vs_libpng_800x600", "BM_LoadPng", "BM_LibpngPng", "libpng_decode"},
                                    {"load_jpeg_800x600", "BM_LoadJpeg", "BM_ReadJpeg", "file_read"}});
}
