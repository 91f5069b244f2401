// A 2,000-character chunk shown instantly (speed 0) with 26 x 26 glyphs,
// beside the same 2,000 cached glyph draws at the same cells: the ratio is
// the text flow's own cost (pacing checks, look-ahead, line breaking).
#include <string>

#include "bench_report.h"
#include "shell/engine.h"
#include "text/text_window.h"
#include "text/textflow.h"

namespace {

constexpr int kChars = 2000;
constexpr int kColumns = 50;
constexpr int kRows = 41;  // room for the line break that ends the chunk

struct Setup {
  sorv::Engine e;
  std::string chunk;
  Setup() {
    e.screenWidth = 1400;
    e.screenHeight = 1200;
    sorv::ResetTextWindow(e);
    sorv::TextWindowState& w = e.textWindow.window;
    w.columns = kColumns;
    w.rows = kRows;
    w.right = 1399;
    w.bottom = 1199;
    w.speed = 0;
    sorv::StartGameFonts(e);
    sorv::NewPage(e);
    // Ordinary prose: kana and kanji with punctuation the line breaker
    // has to look at.
    const char* pieces[] = {"\x82\xa0", "\x82\xa2", "\x8a\xbf", "\x8e\x9a", "\x81\x41", "\x82\xa4", "\x81\x42", "\x82\xa6"};
    for (int i = 0; i < kChars; ++i) chunk += pieces[(i * 7 + i / 5) % 8];
  }
  void Home() {
    e.textWindow.cursor = {};
    e.text.shownChunks.clear();
    e.text.pageCells.clear();
    e.text.pageText.clear();
  }
};

Setup& Shared() {
  static Setup s;
  return s;
}

void BM_TextFlowInstantChunk(benchmark::State& state) {
  Setup& s = Shared();
  for (auto _ : state) {
    s.Home();
    sorv::ShowTextChunk(s.e, s.chunk);
  }
}
BENCHMARK(BM_TextFlowInstantChunk)->Unit(benchmark::kMicrosecond)->Repetitions(5);

void BM_CachedGlyphDraws(benchmark::State& state) {
  Setup& s = Shared();
  sorv::GlyphStyle style = sorv::WindowGlyphStyle(s.e);
  for (auto _ : state) {
    sorv::ScreenView screen = sorv::TextScreen(s.e);
    for (int i = 0; i < kChars; ++i) {
      int32_t x = 21 + (i % kColumns) * 26, y = 16 + (i / kColumns) * 28;
      sorv::DrawGlyph(s.e, screen, s.chunk.data() + 2 * i, x, y, style);
    }
  }
}
BENCHMARK(BM_CachedGlyphDraws)->Unit(benchmark::kMicrosecond)->Repetitions(5);

}  // namespace

int main(int argc, char** argv) {
  return sorv::bench::RunAndReport(argc, argv,
                                   {{"textflow_instant_2000", "BM_TextFlowInstantChunk/repeats:5",
                                     "BM_CachedGlyphDraws/repeats:5", "cached_glyph_draws"}});
}
