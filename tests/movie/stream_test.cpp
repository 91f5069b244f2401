// The null device's PCM stream, which is the clock of a movie with sound in
// headless runs: it plays on the platform clock while it has frames, waits
// when it runs dry, and holds no more than its capacity.
#include <gtest/gtest.h>

#include "platform/headless/null_audio.h"
#include "support/windowless_platform.h"

namespace sorv::test {
namespace {

class Clock final : public WindowlessPlatform {
 public:
  void Present(const uint8_t*, int, int, int) override {}
  bool PollEvent(platform::Event&) override { return false; }
  bool HasFocus() const override { return true; }
  bool Unattended() const override { return true; }
  uint32_t NowMs() override { return now; }
  void SleepMs(uint32_t ms) override { now += ms; }
  platform::MessageBoxAnswer ShowMessageBox(const std::string&, const std::string&, platform::MessageBoxButtons,
                                            platform::MessageBoxIcon) override {
    return platform::MessageBoxAnswer::Ok;
  }
  uint32_t now = 5000;
};

TEST(NullStream, PlaysOnTheClockWhileFedAndWaitsWhenDry) {
  Clock clock;
  platform::NullAudio audio(clock);
  std::vector<int16_t> pcm(2 * 44100, 100);
  EXPECT_EQ(audio.QueueStream(pcm.data(), 10), 0u);  // not open
  audio.OpenStream();
  EXPECT_EQ(audio.QueueStream(pcm.data(), 4410), 4410u);  // 100 ms
  clock.SleepMs(40);
  EXPECT_EQ(audio.StreamPosition(), 1764);
  EXPECT_EQ(audio.StreamQueued(), 4410u - 1764u);
  // Odd milliseconds add up without drift.
  for (int i = 0; i < 3; ++i) clock.SleepMs(1);
  EXPECT_EQ(audio.StreamPosition(), 1764 + 132);
  clock.SleepMs(500);  // runs dry at 100 ms and waits there
  EXPECT_EQ(audio.StreamPosition(), 4410);
  audio.QueueStream(pcm.data(), 441);
  clock.SleepMs(5);
  EXPECT_EQ(audio.StreamPosition(), 4410 + 220);
  // At most a second waits.
  EXPECT_EQ(audio.QueueStream(pcm.data(), 44100), 44100u - 221u);
  EXPECT_EQ(audio.QueueStream(pcm.data(), 10), 0u);
  audio.CloseStream();
  EXPECT_EQ(audio.StreamQueued(), 0u);
  EXPECT_FALSE(audio.StreamIsOpen());
  ASSERT_EQ(audio.StreamLog().size(), 3u);
  EXPECT_EQ(audio.StreamLog()[0].ms, 5000u);
  EXPECT_EQ(audio.StreamLog()[0].peak, 100);
}

}  // namespace
}  // namespace sorv::test
