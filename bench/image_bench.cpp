// Loading an 800 x 600 picture as BMP, PNG and JPEG through the engine's
// loader (file lookup, read, decode), each beside reading the same file into
// memory: the cost of the decoding itself shows as the ratio.
#include <unistd.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <png.h>

#include "bench_picture.h"
#include "bench_report.h"
#include "graphics/decoders/decoders.h"
#include "graphics/image_load.h"
#include "platform/fs.h"
#include "shell/engine.h"

namespace {

void Write(const std::string& path, const std::vector<uint8_t>& v) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(v.data()), v.size());
}

std::vector<uint8_t> Png(const sorv::Surface& s) {
  std::vector<uint8_t> rgb(800 * 600 * 3);
  for (int y = 0; y < 600; ++y) {
    const uint8_t* row = s.Row(599 - y);
    for (int x = 0; x < 800; ++x) {
      rgb[(y * 800 + x) * 3] = row[x * 3 + 2];
      rgb[(y * 800 + x) * 3 + 1] = row[x * 3 + 1];
      rgb[(y * 800 + x) * 3 + 2] = row[x * 3];
    }
  }
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = 800;
  image.height = 600;
  image.format = PNG_FORMAT_RGB;
  png_alloc_size_t size = 0;
  png_image_write_to_memory(&image, nullptr, &size, 0, rgb.data(), 0, nullptr);
  std::vector<uint8_t> out(size);
  png_image_write_to_memory(&image, out.data(), &size, 0, rgb.data(), 0, nullptr);
  out.resize(size);
  return out;
}

std::vector<uint8_t> Jpeg(const sorv::Surface& s) {
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* mem = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &mem, &size);
  c.image_width = 800;
  c.image_height = 600;
  c.input_components = 3;
  c.in_color_space = JCS_EXT_BGR;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 90, TRUE);
  jpeg_start_compress(&c, TRUE);
  while (c.next_scanline < 600) {
    JSAMPROW row = const_cast<uint8_t*>(s.Row(599 - static_cast<int>(c.next_scanline)));
    jpeg_write_scanlines(&c, &row, 1);
  }
  jpeg_finish_compress(&c);
  std::vector<uint8_t> out(mem, mem + size);
  jpeg_destroy_compress(&c);
  free(mem);
  return out;
}

const std::string& GameDir() {
  static const std::string dir = [] {
    std::string templ = sorv::platform::TempDirectory() + "/sorv-bench-XXXXXX";
    std::string d = mkdtemp(templ.data());
    sorv::Surface s = BenchPicture();
    Write(d + "/pic.bmp", sorv::EncodeBmp(s));
    Write(d + "/pic.png", Png(s));
    Write(d + "/pic.jpg", Jpeg(s));
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
BENCHMARK(BM_ReadPng)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadJpeg)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadJpeg)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  return sorv::bench::RunAndReport(argc, argv,
                                   {{"load_bmp_800x600", "BM_LoadBmp", "BM_ReadBmp", "file_read"},
                                    {"load_png_800x600", "BM_LoadPng", "BM_ReadPng", "file_read"},
                                    {"load_jpeg_800x600", "BM_LoadJpeg", "BM_ReadJpeg", "file_read"}});
}
