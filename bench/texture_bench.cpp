// Lua texture drawing, software path: a 256 x 256 texture with varying alpha,
// turned 30 degrees and drawn at opacity 200 onto an 800 x 600 frame, beside
// pixman doing the same transform (nearest texels, OVER through a solid
// mask). A straight alpha draw of the same texture is measured too.
#include <pixman.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "bench_report.h"
#include "texture/texture.h"

namespace sorv {
namespace {

constexpr int kW = 800, kH = 600, kSide = 256;
constexpr int kAngle = 30, kOpacity = 200;

uint32_t Noise(int x, int y) {
  uint32_t v = static_cast<uint32_t>(x) * 73856093u ^ static_cast<uint32_t>(y) * 19349663u;
  v ^= v >> 13;
  v *= 0x5bd1e995u;
  return v ^ (v >> 15);
}

// Alpha rises across the texture, so every coverage level is met.
uint32_t Pixel(int x, int y) { return (static_cast<uint32_t>(x) << 24) | (Noise(x, y) & 0xFFFFFF); }

Texture MakeTexture() {
  Texture tex;
  CreateTexture(tex, kSide, kSide);
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x) {
      uint32_t c = Pixel(x, y);
      uint8_t* p = tex.Row(y) + x * 4;
      p[0] = c & 0xFF, p[1] = (c >> 8) & 0xFF, p[2] = (c >> 16) & 0xFF, p[3] = c >> 24;
    }
  }
  return tex;
}

void BM_EngineTextureRotated(benchmark::State& state) {
  Texture tex = MakeTexture();
  Surface frame;
  CreateSurface(frame, kW, kH);
  DrawTarget t = TargetOf(frame);
  FillTarget(t, 0, 0, kW, kH, 40, 80, 120);
  for (auto _ : state) {
    DrawTextureRotated(t, tex, kW / 2, kH / 2, 0, 0, kSide, kSide, 100, 100, kAngle, kOpacity, false);
    benchmark::DoNotOptimize(frame.bits.data());
  }
}
BENCHMARK(BM_EngineTextureRotated)->Unit(benchmark::kMicrosecond);

void BM_PixmanTextureRotated(benchmark::State& state) {
  std::vector<uint32_t> frame(static_cast<size_t>(kW) * kH, 0xFF285078u);
  std::vector<uint32_t> pix(static_cast<size_t>(kSide) * kSide);
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x) pix[static_cast<size_t>(y * kSide + x)] = Pixel(x, y);
  }
  pixman_image_t* dst = pixman_image_create_bits(PIXMAN_x8r8g8b8, kW, kH, frame.data(), kW * 4);
  pixman_image_t* src = pixman_image_create_bits(PIXMAN_a8r8g8b8, kSide, kSide, pix.data(), kSide * 4);
  pixman_color_t opacity = {0, 0, 0, static_cast<uint16_t>(kOpacity * 257)};
  pixman_image_t* mask = pixman_image_create_solid_fill(&opacity);
  // Destination to source about the box's centre, turned back by the angle.
  int r = static_cast<int>(std::ceil(0.5 * std::sqrt(2.0) * kSide));
  double th = -kAngle * M_PI / 180;
  pixman_f_transform ft;
  pixman_f_transform_init_translate(&ft, -r, -r);
  pixman_f_transform_rotate(&ft, nullptr, std::cos(th), std::sin(th));
  pixman_f_transform_translate(&ft, nullptr, kSide / 2.0, kSide / 2.0);
  pixman_transform_t tr;
  pixman_transform_from_pixman_f_transform(&tr, &ft);
  pixman_image_set_transform(src, &tr);
  pixman_image_set_filter(src, PIXMAN_FILTER_NEAREST, nullptr, 0);
  for (auto _ : state) {
    pixman_image_composite32(PIXMAN_OP_OVER, src, mask, dst, 0, 0, 0, 0, kW / 2 - r, kH / 2 - r, 2 * r, 2 * r);
    benchmark::DoNotOptimize(frame.data());
  }
  for (pixman_image_t* i : {dst, src, mask}) pixman_image_unref(i);
}
BENCHMARK(BM_PixmanTextureRotated)->Unit(benchmark::kMicrosecond);

void BM_EngineTextureStraight(benchmark::State& state) {
  Texture tex = MakeTexture();
  Surface frame;
  CreateSurface(frame, kW, kH);
  DrawTarget t = TargetOf(frame);
  for (auto _ : state) {
    DrawTexture(t, tex, BltRect{100, 100, kSide, kSide, 0, 0}, TextureBlend::Alpha, kOpacity);
    benchmark::DoNotOptimize(frame.bits.data());
  }
}
BENCHMARK(BM_EngineTextureStraight)->Unit(benchmark::kMicrosecond);

void BM_PixmanTextureStraight(benchmark::State& state) {
  std::vector<uint32_t> frame(static_cast<size_t>(kW) * kH, 0xFF285078u);
  std::vector<uint32_t> pix(static_cast<size_t>(kSide) * kSide);
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x) pix[static_cast<size_t>(y * kSide + x)] = Pixel(x, y);
  }
  pixman_image_t* dst = pixman_image_create_bits(PIXMAN_x8r8g8b8, kW, kH, frame.data(), kW * 4);
  pixman_image_t* src = pixman_image_create_bits(PIXMAN_a8r8g8b8, kSide, kSide, pix.data(), kSide * 4);
  pixman_color_t opacity = {0, 0, 0, static_cast<uint16_t>(kOpacity * 257)};
  pixman_image_t* mask = pixman_image_create_solid_fill(&opacity);
  for (auto _ : state) {
    pixman_image_composite32(PIXMAN_OP_OVER, src, mask, dst, 0, 0, 0, 0, 100, 100, kSide, kSide);
    benchmark::DoNotOptimize(frame.data());
  }
  for (pixman_image_t* i : {dst, src, mask}) pixman_image_unref(i);
}
BENCHMARK(BM_PixmanTextureStraight)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace sorv

int main(int argc, char** argv) {
  return sorv::bench::RunAndReport(argc, argv,
                                   {
                                       {"texture_rotated_alpha_vs_pixman", "BM_EngineTextureRotated",
                                        "BM_PixmanTextureRotated", "pixman"},
                                       {"texture_straight_alpha_vs_pixman", "BM_EngineTextureStraight",
                                        "BM_PixmanTextureStraight", "pixman"},
                                   });
}
