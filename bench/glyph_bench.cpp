// Drawing 1,000 different kanji at 26 x 26: cold (each rasterised at 3x,
// filtered, blended) beside FreeType alone rasterising the same outlines at
// the same size, and cached (only the blend into the screen image) beside
// memcpy of the same cells (the floor).
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstring>
#include <string>
#include <vector>

#include "bench_report.h"
#include "shell/engine.h"
#include "text/glyph_renderer.h"
#include "text/text_window.h"

namespace {

// 1,000 two-byte kanji codes, lead bytes 0x89 onwards.
const std::vector<std::string>& Codes() {
  static const std::vector<std::string> codes = [] {
    std::vector<std::string> v;
    for (int lead = 0x89; v.size() < 1000; ++lead) {
      for (int trail = 0x40; trail <= 0xFC && v.size() < 1000; ++trail) {
        if (trail == 0x7F) continue;
        v.push_back({static_cast<char>(lead), static_cast<char>(trail)});
      }
    }
    return v;
  }();
  return codes;
}

struct Setup {
  sorv::Engine e;
  sorv::GlyphStyle style;
  Setup() {
    e.screenWidth = 800;
    e.screenHeight = 600;
    sorv::ResetTextWindow(e);
    sorv::StartGameFonts(e);
    sorv::NewPage(e);
    style = sorv::WindowGlyphStyle(e);
  }
  void DrawAll() {
    sorv::ScreenView screen = sorv::TextScreen(e);
    int i = 0;
    for (const std::string& c : Codes()) {
      int32_t x = 21 + (i % 28) * 26, y = 16 + (i / 28 % 20) * 28;
      sorv::DrawGlyph(e, screen, c.data(), x, y, style);
      ++i;
    }
  }
};

Setup& Shared() {
  static Setup s;
  return s;
}

void BM_GlyphCold(benchmark::State& state) {
  Setup& s = Shared();
  for (auto _ : state) {
    sorv::Glyphs(s.e).ClearCache();
    s.DrawAll();
  }
}
BENCHMARK(BM_GlyphCold)->Unit(benchmark::kMillisecond);

// FreeType alone: the same characters at the same 78 x 78 size, rendered.
void BM_FreeTypeRender(benchmark::State& state) {
  Setup& s = Shared();
  std::string file = sorv::Glyphs(s.e).ResolvedFile(s.style.face);
  FT_Library lib;
  FT_Init_FreeType(&lib);
  FT_Face face;
  if (FT_New_Face(lib, file.c_str(), 0, &face) != 0) {
    state.SkipWithError("no face");
    return;
  }
  FT_Set_Pixel_Sizes(face, 78, 78);
  std::vector<uint32_t> cps;
  for (const std::string& c : Codes()) {
    cps.push_back(sorv::DecodeSjisChar(static_cast<uint16_t>((static_cast<unsigned char>(c[0]) << 8) |
                                                             static_cast<unsigned char>(c[1]))));
  }
  for (auto _ : state) {
    for (uint32_t cp : cps) {
      FT_Load_Char(face, cp, FT_LOAD_RENDER | FT_LOAD_NO_HINTING);
      benchmark::DoNotOptimize(face->glyph->bitmap.buffer);
    }
  }
  FT_Done_Face(face);
  FT_Done_FreeType(lib);
}
BENCHMARK(BM_FreeTypeRender)->Unit(benchmark::kMillisecond);

void BM_GlyphCached(benchmark::State& state) {
  Setup& s = Shared();
  s.DrawAll();
  for (auto _ : state) s.DrawAll();
  state.counters["ns_per_glyph"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * 1000, benchmark::Counter::kIsRate |
                                                                             benchmark::Counter::kInvert);
}
BENCHMARK(BM_GlyphCached)->Unit(benchmark::kMicrosecond)->Repetitions(5);

// The floor: copying the same 1,000 cells of 26 x 26 pixels.
void BM_CellMemcpy(benchmark::State& state) {
  Setup& s = Shared();
  sorv::ScreenView screen = sorv::TextScreen(s.e);
  std::vector<uint8_t> cell(26 * 26 * 3, 128);
  for (auto _ : state) {
    for (int i = 0; i < 1000; ++i) {
      int32_t x = 21 + (i % 28) * 26, y = 16 + (i / 28 % 20) * 28;
      for (int r = 0; r < 26; ++r) std::memcpy(screen.TopRow(y + r) + x * 3, &cell[r * 78], 78);
    }
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_CellMemcpy)->Unit(benchmark::kMicrosecond)->Repetitions(5);

// The aim for a cached glyph, 5 us, for the same 1,000 glyphs.
void BM_CachedBudget(benchmark::State& state) {
  for (auto _ : state) state.SetIterationTime(1000 * 5e-6);
}
BENCHMARK(BM_CachedBudget)->Unit(benchmark::kMicrosecond)->UseManualTime()->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  return sorv::bench::RunAndReport(argc, argv,
                                   {{"glyph_1000_cold", "BM_GlyphCold", "BM_FreeTypeRender", "freetype_render_78px"},
                                    {"glyph_1000_cached", "BM_GlyphCached/repeats:5", "BM_CellMemcpy/repeats:5", "memcpy_cells"},
                                    {"glyph_26px_cached_vs_5us", "BM_GlyphCached/repeats:5",
                                     "BM_CachedBudget/iterations:1/manual_time", "budget_5us_per_glyph"}});
}
