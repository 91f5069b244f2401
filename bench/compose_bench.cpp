// Composing a whole 800 x 600 frame (a background, three standing images and
// 100 ALPHA sprites at opacity 128) beside pixman doing the same composites
// in its own fastest formats and beside memcpy of the frame; one rotated and
// scaled sprite beside pixman's nearest-neighbour transform.
#include <pixman.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "bench_report.h"
#include "graphics/scene.h"
#include "shell/engine.h"

namespace {

using namespace sorv;

constexpr int kW = 800, kH = 600;
constexpr int kSprites = 100, kSpriteSide = 64;
constexpr int kStandW = 240, kStandH = 480;

uint32_t Noise(int x, int y) { return static_cast<uint32_t>(x * 2654435761u ^ y * 40503u) & 0xFFFFFF; }

Surface Picture(int w, int h, uint32_t (*rgb)(int, int)) {
  Surface s;
  CreateSurface(s, w, h);
  for (int y = 0; y < h; ++y) {
    uint8_t* row = s.TopRow(y);
    for (int x = 0; x < w; ++x) {
      uint32_t c = rgb(x, y);
      row[x * 3] = static_cast<uint8_t>(c), row[x * 3 + 1] = static_cast<uint8_t>(c >> 8);
      row[x * 3 + 2] = static_cast<uint8_t>(c >> 16);
    }
  }
  return s;
}

// Sprites: a colour half and a mask half of a soft disc.
uint32_t SpritePixel(int x, int y) {
  if (x < kSpriteSide) return Noise(x, y);
  int dx = x - kSpriteSide - kSpriteSide / 2, dy = y - kSpriteSide / 2;
  int d = static_cast<int>(std::sqrt(static_cast<double>(dx * dx + dy * dy)) * 8);
  uint32_t m = static_cast<uint32_t>(std::min(255, std::max(0, d - 100)));
  return m * 0x010101u;
}

// Standing images: keyed by their top-left colour outside an ellipse.
uint32_t StandingPixel(int x, int y) {
  double ex = (x - kStandW / 2.0) / (kStandW / 2.0), ey = (y - kStandH / 2.0) / (kStandH / 2.0);
  return ex * ex + ey * ey > 1.0 ? 0x00FF00u : Noise(x, y) | 0x010000u;
}

struct EngineScene {
  Engine e;
  EngineScene() {
    e.screenWidth = kW, e.screenHeight = kH;
    RecreateSurfaces(e);
    ResetScene(e);
    e.scene.background.surface = Picture(kW, kH, Noise);
    e.scene.background.transMode = kTransCopy;
    for (int i = 0; i < 3; ++i) {
      StandingImage& s = e.scene.standing[static_cast<size_t>(i)];
      s.tag = "stand";
      s.image.surface = Picture(kStandW, kStandH, StandingPixel);
      s.image.transMode = kTransLeftUp;
      s.x = e.scene.standingCentre[static_cast<size_t>(i)] - kStandW / 2;
      s.y = kH - kStandH;
    }
    for (int n = 0; n < kSprites; ++n) {
      Sprite& sp = e.scene.sprites[static_cast<size_t>(n * 7)];
      sp.tag = "sprite";
      sp.visible = true;
      sp.image.surface = Picture(kSpriteSide * 2, kSpriteSide, SpritePixel);
      sp.image.transMode = kTransAlpha;
      sp.image.opacity = 128;
      sp.x = (n * 97) % (kW - kSpriteSide), sp.y = (n * 61) % (kH - kSpriteSide);
    }
  }
};

void BM_EngineComposeFrame(benchmark::State& state) {
  EngineScene s;
  for (auto _ : state) {
    ComposeRect(s.e, Rect{0, 0, kW, kH});
    benchmark::DoNotOptimize(s.e.scene.scene.bits.data());
  }
}
BENCHMARK(BM_EngineComposeFrame)->Unit(benchmark::kMicrosecond);

// The same frame in pixman's formats: premultiplied ARGB sources over an
// xRGB frame, the sprites through a solid mask of 128.
struct PixmanScene {
  std::vector<uint32_t> frame, bg, stand, sprite;
  pixman_image_t *dst, *bgImg, *standImg, *spriteImg, *mask;
  PixmanScene() : frame(kW * kH), bg(kW * kH), stand(kStandW * kStandH), sprite(kSpriteSide * kSpriteSide) {
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) bg[static_cast<size_t>(y * kW + x)] = Noise(x, y);
    for (int y = 0; y < kStandH; ++y)
      for (int x = 0; x < kStandW; ++x) {
        uint32_t c = StandingPixel(x, y);
        stand[static_cast<size_t>(y * kStandW + x)] = c == 0x00FF00u ? 0 : 0xFF000000u | c;
      }
    for (int y = 0; y < kSpriteSide; ++y)
      for (int x = 0; x < kSpriteSide; ++x) {
        uint32_t a = 255 - (SpritePixel(x + kSpriteSide, y) & 0xFF), c = Noise(x, y);
        uint32_t r = ((c >> 16) & 255) * a / 255, g = ((c >> 8) & 255) * a / 255, b = (c & 255) * a / 255;
        sprite[static_cast<size_t>(y * kSpriteSide + x)] = a << 24 | r << 16 | g << 8 | b;
      }
    dst = pixman_image_create_bits(PIXMAN_x8r8g8b8, kW, kH, frame.data(), kW * 4);
    bgImg = pixman_image_create_bits(PIXMAN_x8r8g8b8, kW, kH, bg.data(), kW * 4);
    standImg = pixman_image_create_bits(PIXMAN_a8r8g8b8, kStandW, kStandH, stand.data(), kStandW * 4);
    spriteImg = pixman_image_create_bits(PIXMAN_a8r8g8b8, kSpriteSide, kSpriteSide, sprite.data(), kSpriteSide * 4);
    pixman_color_t half = {0, 0, 0, 0x8080};
    mask = pixman_image_create_solid_fill(&half);
  }
  ~PixmanScene() {
    for (pixman_image_t* i : {dst, bgImg, standImg, spriteImg, mask}) pixman_image_unref(i);
  }
};

void BM_PixmanComposeFrame(benchmark::State& state) {
  PixmanScene s;
  for (auto _ : state) {
    pixman_image_composite32(PIXMAN_OP_SRC, s.bgImg, nullptr, s.dst, 0, 0, 0, 0, 0, 0, kW, kH);
    for (int i = 0; i < 3; ++i) {
      int cx = (i + 1) * kW / 4;
      pixman_image_composite32(PIXMAN_OP_OVER, s.standImg, nullptr, s.dst, 0, 0, 0, 0, cx - kStandW / 2,
                               kH - kStandH, kStandW, kStandH);
    }
    for (int n = kSprites - 1; n >= 0; --n) {
      int x = (n * 97) % (kW - kSpriteSide), y = (n * 61) % (kH - kSpriteSide);
      pixman_image_composite32(PIXMAN_OP_OVER, s.spriteImg, s.mask, s.dst, 0, 0, 0, 0, x, y, kSpriteSide,
                               kSpriteSide);
    }
    benchmark::DoNotOptimize(s.frame.data());
  }
}
BENCHMARK(BM_PixmanComposeFrame)->Unit(benchmark::kMicrosecond);

void BM_MemcpyFrame(benchmark::State& state) {
  std::vector<uint8_t> a(static_cast<size_t>(kW) * kH * 3, 1), b(a.size());
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), a.size());
    benchmark::DoNotOptimize(b.data());
  }
}
BENCHMARK(BM_MemcpyFrame)->Unit(benchmark::kMicrosecond);

// One 200 x 200 sprite at 150 % and 30 degrees.
constexpr int kRotSide = 200;

void BM_EngineSprite2(benchmark::State& state) {
  EngineScene s;
  TaggedImage img;
  img.surface = Picture(kRotSide, kRotSide, Noise);
  img.transMode = kTransCopy;
  img.opacity = 255;
  for (auto _ : state) {
    DrawImageTransformed(30, img, s.e.scene.scene, kW / 2, kH / 2, 150, 150, kBlendNormal, Rect{0, 0, kW, kH});
    benchmark::DoNotOptimize(s.e.scene.scene.bits.data());
  }
}
BENCHMARK(BM_EngineSprite2)->Unit(benchmark::kMicrosecond);

void BM_PixmanSprite2(benchmark::State& state) {
  PixmanScene s;
  std::vector<uint32_t> pix(kRotSide * kRotSide);
  for (int y = 0; y < kRotSide; ++y)
    for (int x = 0; x < kRotSide; ++x) pix[static_cast<size_t>(y * kRotSide + x)] = 0xFF000000u | Noise(x, y);
  pixman_image_t* src = pixman_image_create_bits(PIXMAN_a8r8g8b8, kRotSide, kRotSide, pix.data(), kRotSide * 4);
  // Destination to source: about the box's centre, rotate by -30 degrees, scale by 1 / 1.5.
  int r = static_cast<int>(0.5 * std::sqrt(2.0) * kRotSide * 1.5);
  pixman_f_transform ft;
  pixman_f_transform_init_translate(&ft, -r, -r);
  pixman_f_transform_rotate(&ft, nullptr, std::cos(-M_PI / 6), std::sin(-M_PI / 6));
  pixman_f_transform_scale(&ft, nullptr, 1 / 1.5, 1 / 1.5);
  pixman_f_transform_translate(&ft, nullptr, kRotSide / 2.0, kRotSide / 2.0);
  pixman_transform_t t;
  pixman_transform_from_pixman_f_transform(&t, &ft);
  pixman_image_set_transform(src, &t);
  pixman_image_set_filter(src, PIXMAN_FILTER_NEAREST, nullptr, 0);
  for (auto _ : state) {
    pixman_image_composite32(PIXMAN_OP_OVER, src, nullptr, s.dst, 0, 0, 0, 0, kW / 2 - r, kH / 2 - r, 2 * r, 2 * r);
    benchmark::DoNotOptimize(s.frame.data());
  }
  pixman_image_unref(src);
}
BENCHMARK(BM_PixmanSprite2)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  return sorv::bench::RunAndReport(argc, argv,
                                   {
                                       {"compose_frame_vs_pixman", "BM_EngineComposeFrame",
                                        "BM_PixmanComposeFrame", "pixman"},
                                       {"compose_frame_vs_memcpy", "BM_EngineComposeFrame",
                                        "BM_MemcpyFrame", "memcpy"},
                                       {"sprite2_150pct_30deg", "BM_EngineSprite2",
                                        "BM_PixmanSprite2", "pixman"},
                                   });
}
