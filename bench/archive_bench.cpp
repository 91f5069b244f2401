// LZSS and SPB decoding beside memcpy of the same output (the floor) and
// beside the field: zlib inflating the same bytes (deflated at zlib's default
// level), libpng decoding the same picture as PNG. And an SVA index of 20,000 entries: built from the archive, then 20,000 lookups,
// beside a std::unordered_map doing the same inserts and finds.
#include <unistd.h>
#include <zlib.h>

#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "archive/archive.h"
#include "archive/pack.h"
#include "bench_picture.h"
#include "bench_report.h"
#include "graphics/decoders/decoders.h"
#include "platform/fs.h"
#include "shell/engine.h"

namespace {

// About 1 MB of script-like text: what LZSS entries mostly hold.
const std::vector<uint8_t>& Plain() {
  static const std::vector<uint8_t> data = [] {
    std::vector<uint8_t> v;
    const char* lines[] = {"mov %1,%2+3:add $1,\"abc\"\n", "lsp 10,\":a/3,100,0;cg\\chara01.bmp\",120,40\n",
                           "\x82\xa0\x82\xa2\x82\xa4\x82\xa6\x82\xa8@\n", "if %5>10 goto *label_"};
    uint32_t seed = 1;
    while (v.size() < (1u << 20)) {
      seed = seed * 1103515245 + 12345;
      const char* l = lines[(seed >> 16) % 4];
      v.insert(v.end(), l, l + std::strlen(l));
      std::string n = std::to_string(seed % 1000);
      v.insert(v.end(), n.begin(), n.end());
    }
    return v;
  }();
  return data;
}

const std::vector<uint8_t>& Packed() {
  static const std::vector<uint8_t> p = sorv::LzssEncode(Plain().data(), Plain().size());
  return p;
}

void BM_LzssDecode(benchmark::State& state) {
  std::vector<uint8_t> out;
  for (auto _ : state) {
    sorv::LzssDecode(Packed().data(), Packed().size(), static_cast<uint32_t>(Plain().size()), out);
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(BM_LzssDecode)->Unit(benchmark::kMicrosecond);

void BM_LzssMemcpy(benchmark::State& state) {
  std::vector<uint8_t> out(Plain().size());
  for (auto _ : state) {
    std::memcpy(out.data(), Plain().data(), out.size());
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_LzssMemcpy)->Unit(benchmark::kMicrosecond);

const std::vector<uint8_t>& Deflated() {
  static const std::vector<uint8_t> d = [] {
    uLongf n = compressBound(Plain().size());
    std::vector<uint8_t> v(n);
    compress2(v.data(), &n, Plain().data(), Plain().size(), Z_DEFAULT_COMPRESSION);
    v.resize(n);
    return v;
  }();
  return d;
}

void BM_ZlibInflate(benchmark::State& state) {
  std::vector<uint8_t> out(Plain().size());
  for (auto _ : state) {
    uLongf n = out.size();
    if (uncompress(out.data(), &n, Deflated().data(), Deflated().size()) != Z_OK) state.SkipWithError("inflate");
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(BM_ZlibInflate)->Unit(benchmark::kMicrosecond);

void BM_LibpngDecode(benchmark::State& state) {
  std::vector<uint8_t> pixels;
  for (auto _ : state) {
    LibpngDecode(BenchPng(), pixels);
    benchmark::DoNotOptimize(pixels.data());
  }
}
BENCHMARK(BM_LibpngDecode)->Unit(benchmark::kMicrosecond);

void BM_PngDecode(benchmark::State& state) {
  sorv::Surface s;
  for (auto _ : state) {
    sorv::DecodePng(BenchPng().data(), BenchPng().size(), false, 1, s);
    benchmark::DoNotOptimize(s.bits.data());
  }
}
BENCHMARK(BM_PngDecode)->Unit(benchmark::kMicrosecond);

void BM_SpbDecode(benchmark::State& state) {
  static const std::vector<uint8_t> spb = sorv::EncodeSpb(BenchPicture());
  sorv::Surface s;
  for (auto _ : state) {
    sorv::DecodeSpb(spb.data(), spb.size(), s);
    benchmark::DoNotOptimize(s.bits.data());
  }
}
BENCHMARK(BM_SpbDecode)->Unit(benchmark::kMicrosecond);

void BM_SpbMemcpy(benchmark::State& state) {
  std::vector<uint8_t> out(BenchPicture().bits.size());
  for (auto _ : state) {
    std::memcpy(out.data(), BenchPicture().bits.data(), out.size());
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_SpbMemcpy)->Unit(benchmark::kMicrosecond);

constexpr int kEntries = 20000;

std::string EntryName(int i) { return "cg\\chapter" + std::to_string(i % 40) + "\\Image" + std::to_string(i) + ".bmp"; }

const std::string& ArchiveDir() {
  static const std::string dir = [] {
    std::string templ = sorv::platform::TempDirectory() + "/sorv-bench-XXXXXX";
    std::string d = mkdtemp(templ.data());
    std::vector<sorv::PackItem> items(kEntries);
    for (int i = 0; i < kEntries; ++i) {
      items[i].name = EntryName(i);
      items[i].data = {static_cast<uint8_t>(i)};
      items[i].unpacked = 1;
    }
    std::vector<uint8_t> arc = sorv::BuildSva(items);
    std::ofstream(d + "/arc.sva", std::ios::binary).write(reinterpret_cast<const char*>(arc.data()), arc.size());
    return d;
  }();
  return dir;
}

void BM_SvaIndexAndLookups(benchmark::State& state) {
  auto e = std::make_unique<sorv::Engine>();
  e->gameDir = ArchiveDir();
  std::vector<std::string> names;
  for (int i = 0; i < kEntries; ++i) names.push_back(EntryName((i * 7919) % kEntries));
  for (auto _ : state) {
    e->archives.svaOn = true;
    sorv::InvalidateSvaIndex(*e);
    size_t found = 0;
    for (const std::string& n : names) found += sorv::FindSvaEntry(*e, n).has_value();
    benchmark::DoNotOptimize(found);
  }
}
BENCHMARK(BM_SvaIndexAndLookups)->Unit(benchmark::kMillisecond);

// The same work with the index as a plain hash map of the names read from
// the same file.
void BM_HashMapIndexAndLookups(benchmark::State& state) {
  std::vector<std::string> names;
  for (int i = 0; i < kEntries; ++i) names.push_back(EntryName((i * 7919) % kEntries));
  for (auto _ : state) {
    sorv::FileSource src(ArchiveDir() + "/arc.sva");
    std::vector<sorv::SvaEntry> entries;
    sorv::ReadSvaIndex(src, 0, entries);
    std::unordered_map<std::string, size_t> map;
    for (size_t i = 0; i < entries.size(); ++i) map.emplace(sorv::NormaliseArchiveName(entries[i].name), i);
    size_t found = 0;
    for (const std::string& n : names) found += map.count(sorv::NormaliseArchiveName(n));
    benchmark::DoNotOptimize(found);
  }
}
BENCHMARK(BM_HashMapIndexAndLookups)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  return sorv::bench::RunAndReport(argc, argv,
                                   {{"lzss_decode_1MB", "BM_LzssDecode", "BM_LzssMemcpy", "memcpy"},
                                    {"lzss_vs_inflate_1MB", "BM_LzssDecode", "BM_ZlibInflate", "zlib_inflate"},
                                    {"spb_decode_800x600", "BM_SpbDecode", "BM_SpbMemcpy", "memcpy"},
                                    {"spb_vs_libpng_800x600", "BM_SpbDecode", "BM_LibpngDecode", "libpng_decode"},
                                    {"png_decode_800x600", "BM_PngDecode", "BM_LibpngDecode", "libpng_decode"},
                                    {"sva_index_20000", "BM_SvaIndexAndLookups", "BM_HashMapIndexAndLookups",
                                     "unordered_map"}});
}
