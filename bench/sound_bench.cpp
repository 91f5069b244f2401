// The mixer's cost: one second of 44.1 kHz stereo with 16 effect channels
// looping and Ogg music streaming, beside decoding that same Ogg alone.
// The mixer runs on SDL's file audio driver with no pacing, so it produces
// audio as fast as it can; an iteration is the time one more second of
// output takes to appear.
#include <sys/stat.h>
#include <vorbis/vorbisfile.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "../tests/support/sound_files.h"
#include "bench_report.h"
#include "platform/audio.h"
#include "platform/fs.h"

namespace {

constexpr uint64_t kSecondBytes = 44100 * 4;

std::vector<uint8_t>& Ogg() {
  static std::vector<uint8_t> ogg = sorv::test::MakeOgg(1000, 440, 0.3);
  return ogg;
}

struct MemoryFile {
  const std::vector<uint8_t>* data;
  size_t pos = 0;
};

size_t ReadMem(void* dst, size_t size, size_t n, void* src) {
  auto* f = static_cast<MemoryFile*>(src);
  size_t want = std::min(size * n, f->data->size() - f->pos);
  std::memcpy(dst, f->data->data() + f->pos, want);
  f->pos += want;
  return size ? want / size : 0;
}

void DecodeOgg(benchmark::State& state) {
  std::vector<char> pcm(4096);
  for (auto _ : state) {
    MemoryFile f{&Ogg()};
    OggVorbis_File vf;
    ov_callbacks cb{ReadMem, nullptr, nullptr, nullptr};
    if (ov_open_callbacks(&f, &vf, nullptr, 0, cb) != 0) std::abort();
    int section = 0;
    long got = 0, total = 0;
    while ((got = ov_read(&vf, pcm.data(), static_cast<int>(pcm.size()), 0, 2, 1, &section)) > 0) total += got;
    benchmark::DoNotOptimize(total);
    ov_clear(&vf);
  }
}

uint64_t FileSize(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

void MixSixteenAndMusic(benchmark::State& state) {
  std::string out = sorv::platform::TempDirectory() + "/sorv-sound-bench.raw";
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", out.c_str(), 1);
  setenv("SDL_DISKAUDIODELAY", "0", 1);
  std::string why;
  auto device = sorv::platform::CreateSdlAudio(&why);
  if (!device) {
    state.SkipWithError(why.c_str());
    return;
  }
  auto ogg = std::make_shared<const std::vector<uint8_t>>(Ogg());
  for (int ch = 1; ch <= 16; ++ch) {
    auto wav = std::make_shared<const std::vector<uint8_t>>(sorv::test::MakeWav(700 + 37 * ch, 200 + 40 * ch, 0.05));
    device->LoadChannel(ch, wav, 0, &why);
    device->SetChannelGain(ch, 0.5);
    device->PlayChannel(ch, true);
  }
  device->PlayMusic(ogg, true, 0, &why);
  for (auto _ : state) {
    uint64_t target = FileSize(out) + kSecondBytes;
    auto start = std::chrono::steady_clock::now();
    while (FileSize(out) < target) std::this_thread::yield();
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  device.reset();
  std::remove(out.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::RegisterBenchmark("mix_16_channels_and_music", MixSixteenAndMusic)->UseManualTime();
  benchmark::RegisterBenchmark("decode_ogg_1s", DecodeOgg);
  return sorv::bench::RunAndReport(argc, argv,
                                   {{"sound_mix_1s", "mix_16_channels_and_music/manual_time", "decode_ogg_1s", "ogg_decode"}});
}
