// The SDL device's PCM stream (a movie's sound) on SDL's file audio driver:
// what is queued is heard, at the stream's gain, and closing the stream
// silences what still waited.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <thread>
#include <vector>

#include "platform/audio.h"
#include "sound/sound.h"
#include "support/engine_fixture.h"
#include "support/file_audio.h"

namespace sorv {
namespace {

constexpr double kPi = 3.14159265358979323846;

// `frames` of a stereo sine at `hz`, peak `amplitude`, same on both sides.
std::vector<int16_t> Tone(int rate, size_t frames, double hz, int amplitude) {
  std::vector<int16_t> pcm(frames * 2);
  for (size_t i = 0; i < frames; ++i) {
    auto v = static_cast<int16_t>(std::lround(amplitude * std::sin(2 * kPi * hz * static_cast<double>(i) / rate)));
    pcm[i * 2] = pcm[i * 2 + 1] = v;
  }
  return pcm;
}

bool WaitFor(const std::function<bool()>& done, int ms = 3000) {
  for (int i = 0; i < ms / 5; ++i) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return done();
}

// A stretch of sound in the output: where it starts, how long it is, its
// loudest sample and how often its left side changes sign.
struct Stretch {
  size_t start = 0, frames = 0;
  int peak = 0;
  size_t crossings = 0;
};

// The sounding stretches of a stereo output, split at silences of at least
// `gap` frames.
std::vector<Stretch> Stretches(const std::vector<int16_t>& s, size_t gap) {
  std::vector<Stretch> runs;
  size_t frames = s.size() / 2, quiet = gap;
  for (size_t i = 0; i < frames; ++i) {
    int l = s[i * 2], r = s[i * 2 + 1];
    if (l == 0 && r == 0) {
      ++quiet;
      continue;
    }
    if (quiet >= gap) runs.push_back({i, 0, 0, 0});
    quiet = 0;
    Stretch& run = runs.back();
    run.frames = i + 1 - run.start;
    run.peak = std::max({run.peak, std::abs(l), std::abs(r)});
  }
  for (Stretch& run : runs) {
    for (size_t i = run.start + 1; i < run.start + run.frames; ++i) {
      run.crossings += (s[(i - 1) * 2] < 0) != (s[i * 2] < 0);
    }
  }
  return runs;
}

TEST(SdlStream, QueuedSoundIsHeardAtTheStreamGainAndClosingSilencesIt) {
  test::TempDir dir;
  std::string out = dir.File("out.raw");
  std::string why;
  auto device = test::OpenFileAudio(out, &why);
  if (!device) GTEST_SKIP() << "no file audio driver: " << why;
  const int rate = device->StreamRate();
  ASSERT_EQ(rate, 44100);
  const auto pause = std::chrono::milliseconds(120);  // a silence between the parts

  // Nothing is taken before the stream is opened.
  std::vector<int16_t> tone = Tone(rate, 11025, 1000, 8000);  // 250 ms
  EXPECT_EQ(device->QueueStream(tone.data(), 11025), 0u);

  // 1. Full gain: the tone as queued, its position counting it out.
  device->OpenStream();
  device->SetStreamGain(AttenuationGain(0));
  ASSERT_EQ(device->QueueStream(tone.data(), 11025), 11025u);
  ASSERT_TRUE(WaitFor([&] { return device->StreamPosition() == 11025; })) << device->StreamPosition();
  EXPECT_EQ(device->StreamQueued(), 0u);
  std::this_thread::sleep_for(pause);

  // 2. Attenuation 50 from a louder tone; 3. attenuation 100, silence.
  std::vector<int16_t> loud = Tone(rate, 11025, 500, 24000);
  device->OpenStream();
  EXPECT_EQ(device->StreamPosition(), 0);
  device->SetStreamGain(AttenuationGain(50));
  ASSERT_EQ(device->QueueStream(loud.data(), 11025), 11025u);
  ASSERT_TRUE(WaitFor([&] { return device->StreamPosition() == 11025; }));
  std::this_thread::sleep_for(pause);
  device->SetStreamGain(AttenuationGain(100));
  ASSERT_EQ(device->QueueStream(loud.data(), 11025), 11025u);
  ASSERT_TRUE(WaitFor([&] { return device->StreamPosition() == 2 * 11025; }));
  std::this_thread::sleep_for(pause);

  // 4. Closed while a second waits: what waited is dropped at once, the
  // position stops and nothing more is heard; a closed stream takes nothing.
  std::vector<int16_t> more = Tone(rate, 44100, 1000, 12000);
  device->OpenStream();
  device->SetStreamGain(AttenuationGain(0));
  ASSERT_EQ(device->QueueStream(more.data(), 44100), 44100u);
  EXPECT_EQ(device->QueueStream(more.data(), 10), 0u);  // the ring holds a second
  ASSERT_TRUE(WaitFor([&] { return device->StreamPosition() > 2048; }));
  device->CloseStream();
  int64_t playedAtClose = device->StreamPosition();
  EXPECT_EQ(device->StreamQueued(), 0u);
  EXPECT_LT(playedAtClose, 44100);
  std::this_thread::sleep_for(pause);
  EXPECT_EQ(device->StreamPosition(), playedAtClose);
  EXPECT_EQ(device->QueueStream(more.data(), 10), 0u);
  device.reset();  // closes the file

  std::ifstream in(out, std::ios::binary);
  std::vector<char> raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<int16_t> s(raw.size() / 2);
  std::memcpy(s.data(), raw.data(), s.size() * 2);
  std::vector<Stretch> runs = Stretches(s, 2048);
  ASSERT_EQ(runs.size(), 3u);
  // A sine's own zero samples may shorten a run by a frame at either end.
  EXPECT_NEAR(static_cast<double>(runs[0].frames), 11025, 2);
  EXPECT_NEAR(runs[0].peak, 8000, 1);
  EXPECT_NEAR(static_cast<double>(runs[0].crossings), 2 * 250, 2);  // 1 kHz
  const double half = 24000 * AttenuationGain(50);
  EXPECT_NEAR(static_cast<double>(runs[1].frames), 11025, 2);
  EXPECT_NEAR(runs[1].peak, half, 24000 / 256.0 + 1);  // the gain is applied in 256ths
  EXPECT_NEAR(static_cast<double>(runs[1].crossings), 2 * 125, 2);  // 500 Hz
  EXPECT_NEAR(static_cast<double>(runs[2].frames), static_cast<double>(playedAtClose), 2);
  EXPECT_NEAR(runs[2].peak, 12000, 1);
}

}  // namespace
}  // namespace sorv
