// One frame of the blending transitions over 800 x 600 (the cross-fade and
// the soft rule image) beside memcpy of the frame: a transition holds 60
// frames a second only if a frame costs a small multiple of a plain copy.
#include <cstring>
#include <vector>

#include "bench_report.h"
#include "graphics/surface.h"
#include "graphics/transition.h"

namespace {

using namespace sorv;

constexpr int kW = 800, kH = 600;

Surface Picture(uint32_t seed) {
  Surface s;
  CreateSurface(s, kW, kH);
  for (size_t i = 0; i < s.bits.size(); ++i) s.bits[i] = static_cast<uint8_t>((i * 2654435761u + seed) >> 13);
  return s;
}

struct Frames {
  Surface scene = Picture(1), old = Picture(2), display = Picture(3), rule = Picture(4);
  std::vector<uint8_t> ruleMap;
  Frames() { BuildRuleMap(rule, kW, kH, display.stride, ruleMap); }
};

void BM_CrossFadeFrame(benchmark::State& state) {
  Frames f;
  int32_t w = 1;
  for (auto _ : state) {
    for (int32_t y = 0; y < kH; ++y) {
      CrossFadeBytes(f.display.Row(y), f.scene.Row(y), f.old.Row(y), kW * 3, w, w & 1);
    }
    w = w % 254 + 1;
    benchmark::DoNotOptimize(f.display.bits.data());
  }
}
BENCHMARK(BM_CrossFadeFrame)->Unit(benchmark::kMicrosecond);

void BM_SoftRuleFrame(benchmark::State& state) {
  Frames f;
  int32_t level = 1;
  for (auto _ : state) {
    for (int32_t y = 0; y < kH; ++y) {
      size_t at = static_cast<size_t>(y) * static_cast<size_t>(f.display.stride);
      SoftRuleBytes(f.display.Row(y), f.scene.Row(y), f.old.Row(y), f.ruleMap.data() + at, kW * 3, level);
    }
    level = level % 510 + 1;
    benchmark::DoNotOptimize(f.display.bits.data());
  }
}
BENCHMARK(BM_SoftRuleFrame)->Unit(benchmark::kMicrosecond);

// The same two frames with the baseline vector code, as on processors
// without AVX2.
void BM_CrossFadeFrameBaseline(benchmark::State& state) {
  SetBlendKernelLevel(1);
  BM_CrossFadeFrame(state);
  SetBlendKernelLevel(2);
}
BENCHMARK(BM_CrossFadeFrameBaseline)->Unit(benchmark::kMicrosecond);

void BM_SoftRuleFrameBaseline(benchmark::State& state) {
  SetBlendKernelLevel(1);
  BM_SoftRuleFrame(state);
  SetBlendKernelLevel(2);
}
BENCHMARK(BM_SoftRuleFrameBaseline)->Unit(benchmark::kMicrosecond);

void BM_MemcpyFrame(benchmark::State& state) {
  Frames f;
  for (auto _ : state) {
    std::memcpy(f.display.bits.data(), f.scene.bits.data(), f.scene.bits.size());
    benchmark::DoNotOptimize(f.display.bits.data());
  }
}
BENCHMARK(BM_MemcpyFrame)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  return sorv::bench::RunAndReport(argc, argv,
                                   {{"crossfade_frame_vs_memcpy", "BM_CrossFadeFrame", "BM_MemcpyFrame", "memcpy"},
                                    {"softrule_frame_vs_memcpy", "BM_SoftRuleFrame", "BM_MemcpyFrame", "memcpy"},
                                    {"crossfade_frame_baseline_vs_memcpy", "BM_CrossFadeFrameBaseline",
                                     "BM_MemcpyFrame", "memcpy"},
                                    {"softrule_frame_baseline_vs_memcpy", "BM_SoftRuleFrameBaseline",
                                     "BM_MemcpyFrame", "memcpy"}});
}
