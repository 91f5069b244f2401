// The real mixer path: SDL2_mixer writing to SDL's file audio driver, so
// the test hears what a player would.
#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "platform/audio.h"
#include "support/engine_fixture.h"
#include "support/file_audio.h"
#include "support/sound_files.h"

namespace sorv {
namespace {

std::vector<int16_t> ReadSamples(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<int16_t> samples(raw.size() / 2);
  std::memcpy(samples.data(), raw.data(), samples.size() * 2);
  return samples;
}

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

void PlayToEnd(platform::AudioDevice& d, int ch) {
  ASSERT_TRUE(d.PlayChannel(ch, false));
  for (int i = 0; i < 300 && d.ChannelPlaying(ch); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_FALSE(d.ChannelPlaying(ch));
}

TEST(SdlAudio, ToneReachesTheOutputAtItsLoudness) {
  test::TempDir dir;
  std::string out = dir.File("out.raw");
  std::string why;
  auto device = test::OpenFileAudio(out, &why);
  if (!device) GTEST_SKIP() << "no file audio driver: " << why;

  auto wav = std::make_shared<const std::vector<uint8_t>>(test::MakeWav(250, 440, 0.5));
  ASSERT_TRUE(device->LoadChannel(7, wav, 0, &why)) << why;
  device->SetChannelGain(7, 1.0);
  PlayToEnd(*device, 7);
  device->SetChannelGain(7, std::pow(10.0, -0.5));  // volume 60: -10 dB
  PlayToEnd(*device, 7);
  device.reset();  // closes the file

  // RMS of every 10 ms window; the two tones are the loud and the quiet runs.
  std::vector<int16_t> s = ReadSamples(out);
  const size_t window = 441 * 2;
  std::vector<double> loud, quiet;
  size_t crossings = 0, loudSamples = 0;
  for (size_t at = 0; at + window <= s.size(); at += window) {
    double sum = 0;
    for (size_t i = at; i < at + window; ++i) sum += double(s[i]) * s[i];
    double rms = std::sqrt(sum / window);
    if (rms > 8000) {
      loud.push_back(rms);
      for (size_t i = at + 2; i < at + window; i += 2) crossings += (s[i - 2] < 0) != (s[i] < 0);
      loudSamples += window / 2;
    } else if (rms > 2000) {
      quiet.push_back(rms);
    }
  }
  const double full = 0.5 * 32767 / std::sqrt(2.0);
  ASSERT_GE(loud.size(), 20u);
  ASSERT_GE(quiet.size(), 20u);
  EXPECT_NEAR(Median(loud), full, full * 0.03);
  EXPECT_NEAR(Median(quiet), full * std::pow(10.0, -0.5), full * 0.02);
  // Two zero crossings a period: the tone is 440 Hz.
  EXPECT_NEAR(crossings * 44100.0 / 2 / loudSamples, 440, 10);
}

}  // namespace
}  // namespace sorv
