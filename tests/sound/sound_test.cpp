// Sound: volumes as gains, the commands' checks and lookups, and what the
// headless device says would be heard on the virtual clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "archive/pack.h"
#include "interp/interp.h"
#include "platform/fs.h"
#include "platform/headless/null_audio.h"
#include "script/reader.h"
#include "sound/sound.h"
#include "support/engine_fixture.h"
#include "support/sound_files.h"

namespace sorv {
namespace {

using platform::NullAudio;

std::string Bytes(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

// MPEG-1 layer III frames (128 kbit/s, 44.1 kHz) of silence: enough for the
// headless device to tell an MP3 and its length.
std::vector<uint8_t> MakeMp3Frames(int frames) {
  std::vector<uint8_t> out;
  for (int i = 0; i < frames; ++i) {
    std::vector<uint8_t> frame(417, 0);
    frame[0] = 0xFF, frame[1] = 0xFB, frame[2] = 0x90, frame[3] = 0x64;
    out.insert(out.end(), frame.begin(), frame.end());
  }
  return out;
}

class SoundTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::Options options;
    options.headless = true;
    platform_ = platform::CreateHeadlessPlatform(options);
    e.platform = platform_.get();
    e.gameDir = dir.path();
    InitialiseSound(e);
  }
  void TearDown() override { CloseSound(e); }

  // Runs one statement as the statement loop would dispatch it.
  void Run(std::string_view line) {
    script.At(line);
    std::string word;
    ReadWord(e, word);
    DispatchCommand(e, word, false);
  }
  // Lets virtual time pass with the idle step running, as a wait does.
  void Wait(uint32_t ms) {
    uint32_t end = Now() + ms;
    while (static_cast<int32_t>(Now() - end) < 0) {
      SoundIdle(e);
      platform_->SleepMs(1);
    }
    SoundIdle(e);
  }
  uint32_t Now() { return platform_->NowMs(); }
  NullAudio& Audio() { return static_cast<NullAudio&>(*e.sound.device); }
  void WriteWav(const std::string& name, uint32_t ms) { dir.Write(name, Bytes(test::MakeWav(ms))); }

  test::TempDir dir;
  test::ScriptEngine script{""};
  Engine& e = *script;
  std::unique_ptr<platform::Platform> platform_;
};

TEST(SoundVolume, AttenuationsBecomeGains) {
  EXPECT_DOUBLE_EQ(AttenuationGain(0), 1.0);                      // volume 100: 0 dB
  EXPECT_NEAR(AttenuationGain(40), std::pow(10.0, -0.5), 1e-12);  // volume 60: -10 dB
  EXPECT_NEAR(AttenuationGain(99), std::pow(10.0, -24.75 / 20), 1e-12);
  EXPECT_EQ(AttenuationGain(100), 0.0);  // volume 0: silent
  EXPECT_EQ(AttenuationHundredthsDb(40), -1000);
  EXPECT_EQ(AttenuationHundredthsDb(100), -10000);
}

TEST_F(SoundTest, VoiceVolumeReachesTheVoiceChannel) {
  WriteWav("a.wav", 1000);
  for (auto [volume, gain] : {std::pair{100, 1.0}, {60, std::pow(10.0, -0.5)}, {0, 0.0}}) {
    Run("voicevol " + std::to_string(volume));
    Run("dwave 0,\"a.wav\"");
    EXPECT_NEAR(Audio().ChannelGain(0), gain, 1e-9) << volume;
    EXPECT_TRUE(Audio().ChannelPlaying(0));
  }
  // Effects keep their own volume; chvol overrides one channel.
  Run("sevol 80");
  Run("dwaveloop 5,\"a.wav\"");
  EXPECT_NEAR(Audio().ChannelGain(5), AttenuationGain(20), 1e-9);
  EXPECT_TRUE(Audio().ChannelLooping(5));
  Run("chvol 5,100");
  EXPECT_DOUBLE_EQ(Audio().ChannelGain(5), 1.0);
  Run("dwavestop 5");
  EXPECT_FALSE(Audio().ChannelLoaded(5));
}

TEST_F(SoundTest, VolumeRangeAndGetters) {
  auto err = test::ExpectScriptError([&] { Run("sevol 101"); });
  EXPECT_EQ(err.title, "エラー");
  EXPECT_EQ(err.message, "ボリュームは０～１００です。");
  err = test::ExpectScriptError([&] { Run("chvol 3,-1"); });
  EXPECT_EQ(err.message, "ボリュームは０～１００です。");

  // The define block's defaults hold until a command sets a volume.
  e.soundSettings.defVoiceVol = 70;
  Run("getvoicevol %1");
  Run("bgmvol 25");
  Run("getmp3vol %2");
  Run("getbgmvol %3");
  EXPECT_EQ(e.values.intVars[1], 70);
  EXPECT_EQ(e.values.intVars[2], 25);
  EXPECT_EQ(e.values.intVars[3], 25);
}

TEST_F(SoundTest, LoopPairSwitchesWhenTheIntroductionEnds) {
  WriteWav("intro.wav", 500);
  WriteWav("loop.wav", 300);
  uint32_t start = Now();
  Run("loopbgm \"intro.wav\",\"loop.wav\"");
  EXPECT_TRUE(Audio().ChannelPlaying(198));
  EXPECT_FALSE(Audio().ChannelPlaying(199));
  Wait(499);
  EXPECT_FALSE(Audio().ChannelPlaying(199));
  Wait(200);
  EXPECT_EQ(e.sound.loopPairState, 2);
  EXPECT_TRUE(Audio().ChannelLooping(199));
  EXPECT_FALSE(Audio().ChannelLoaded(198));
  // The loop started in the very millisecond the introduction ended.
  const auto& log = Audio().Log();
  auto loop = std::find_if(log.begin(), log.end(), [](auto& x) { return x.what == "loop" && x.channel == 199; });
  ASSERT_NE(loop, log.end());
  EXPECT_EQ(loop->ms - start, 500u);
  Run("loopbgmstop");
  EXPECT_FALSE(Audio().ChannelLoaded(199));
  EXPECT_EQ(e.sound.loopPairState, 0);
}

TEST_F(SoundTest, DuckingHalvesTheMusicWhileTheVoicePlays) {
  WriteWav("music.wav", 5000);
  WriteWav("voice.wav", 400);
  Run("bgmdownmode 1");
  Run("bgm \"music.wav\"");
  EXPECT_DOUBLE_EQ(Audio().MusicGain(), 1.0);
  Run("dwave 0,\"voice.wav\"");
  Wait(150);
  double mid = Audio().MusicGain();
  EXPECT_LT(mid, 1.0);
  EXPECT_GT(mid, AttenuationGain(50));  // still going down, in steps
  Wait(200);
  EXPECT_NEAR(Audio().MusicGain(), AttenuationGain(50), 1e-9);
  Wait(500);  // the voice ended at 400 ms; the music is back 200 ms later
  EXPECT_DOUBLE_EQ(Audio().MusicGain(), 1.0);
  EXPECT_FALSE(Audio().ChannelLoaded(0));  // the voice's channel was released
}

TEST_F(SoundTest, FadeOutStepsThenStops) {
  WriteWav("music.wav", 5000);
  Run("bgmfadeout 1000");
  Run("bgm \"music.wav\"");
  EXPECT_EQ(e.sound.musicFile, "music.wav");
  size_t before = Audio().Log().size();
  uint32_t start = Now();
  Run("bgmstop");
  EXPECT_NEAR(static_cast<double>(Now() - start), 1000, 15);
  EXPECT_FALSE(Audio().MusicPlaying());
  EXPECT_TRUE(e.sound.musicFile.empty());
  // One step of 0.25 dB every 10 ms, always down.
  std::vector<double> gains;
  for (size_t i = before; i < Audio().Log().size(); ++i) {
    const auto& entry = Audio().Log()[i];
    if (entry.channel != -1) continue;
    if (entry.what == "stop") break;
    if (entry.what == "gain") gains.push_back(entry.gain);
  }
  ASSERT_GE(gains.size(), 99u);
  EXPECT_NEAR(gains[0], AttenuationGain(1), 1e-9);
  EXPECT_TRUE(std::is_sorted(gains.rbegin(), gains.rend()));

  EXPECT_DOUBLE_EQ(Audio().MusicGain(), 1.0);  // the next music starts at its volume

  // Skipping text divides the fade time by 8: 125 ms, in steps of whole
  // milliseconds (100 steps of 1 ms).
  Run("bgm \"music.wav\"");
  e.interp.skipMode = true;
  start = Now();
  Run("mp3stop");
  EXPECT_NEAR(static_cast<double>(Now() - start), 100, 5);
}

TEST_F(SoundTest, FadeInRunsInTheBackground) {
  WriteWav("music.wav", 5000);
  Run("mp3fadein 500");
  uint32_t start = Now();
  Run("mp3loop \"(2)music.wav\"");
  EXPECT_EQ(Now(), start);  // the script goes on at once
  EXPECT_EQ(Audio().MusicGain(), 0.0);
  Wait(250);
  EXPECT_GT(Audio().MusicGain(), 0.0);
  EXPECT_LT(Audio().MusicGain(), 1.0);
  Wait(300);
  EXPECT_DOUBLE_EQ(Audio().MusicGain(), 1.0);
  EXPECT_TRUE(Audio().MusicLooping());
  EXPECT_EQ(e.sound.musicFile, "(2)music.wav");
}

TEST_F(SoundTest, ArchivedSoundsPlayFromMemory) {
  std::vector<uint8_t> ogg = test::MakeOgg(300);
  std::vector<PackItem> items(2);
  items[0] = {"bgm\\Theme.ogg", 0, ogg, static_cast<uint32_t>(ogg.size())};
  items[1] = {"pic.wav", 1, std::vector<uint8_t>(64, 1), 64};
  dir.Write("arc.sva", Bytes(BuildSva(items)));
  e.archives.svaOn = true;

  Run("dwave 3,\"BGM/theme.ogg\"");
  EXPECT_TRUE(Audio().ChannelPlaying(3));
  EXPECT_EQ(Audio().ChannelBytes(3), ogg.size());
  Wait(400);
  EXPECT_FALSE(Audio().ChannelPlaying(3));  // the Ogg's own length, about 300 ms

  auto err = test::ExpectScriptError([&] { Run("dwave 4,\"pic.wav\""); });
  EXPECT_EQ(err.title, "エラー");
  EXPECT_EQ(err.message, "pic.wavが開けませんでした。");
}

TEST_F(SoundTest, MissingFilesAndNoLoadError) {
  auto err = test::ExpectScriptError([&] { Run("dwave 1,\"none.wav\""); });
  EXPECT_EQ(err.title, "ロードエラー");
  EXPECT_EQ(err.message, "ファイルnone.wavを開けません。");
  dir.Write("junk.wav", "not a sound at all");
  err = test::ExpectScriptError([&] { Run("wave \"junk.wav\""); });
  EXPECT_EQ(err.message, "ファイルjunk.wavを開けません。");

  e.images.noLoadError = true;
  Run("dwave 1,\"none.wav\"");
  Run("bgm \"none.ogg\"");
  EXPECT_FALSE(Audio().ChannelLoaded(1));
  EXPECT_FALSE(Audio().MusicPlaying());
}

TEST_F(SoundTest, VoiceShorthandsAndSoundOff) {
  WriteWav("voice/001.wav", 200);
  dir.Write("voice/002.mp3", Bytes(MakeMp3Frames(40)));
  Run("v001");
  EXPECT_TRUE(Audio().ChannelPlaying(platform::kWaveChannel));
  Run("dv001");
  EXPECT_TRUE(Audio().ChannelPlaying(0));
  EXPECT_TRUE(VoiceChannelPlaying(e));
  Run("mv002");
  EXPECT_TRUE(Audio().MusicPlaying());
  EXPECT_FALSE(Audio().MusicLooping());
  Wait(1100);  // 40 frames of 1152 samples: about 1045 ms
  EXPECT_FALSE(Audio().MusicPlaying());

  // Out-of-range channels are left alone rather than written past the table.
  Run("dwave 200,\"voice\\001.wav\"");
  Run("dwave -1,\"voice\\001.wav\"");

  SetSoundEffectsOn(e, false);
  Run("dwave 2,\"voice\\001.wav\"");
  EXPECT_FALSE(Audio().ChannelLoaded(2));
  SetSoundEffectsOn(e, true);
  Run("dwaveload 2,\"voice\\001.wav\"");
  EXPECT_TRUE(Audio().ChannelLoaded(2));
  EXPECT_FALSE(Audio().ChannelPlaying(2));
  Run("dwaveplay 2");
  EXPECT_TRUE(Audio().ChannelPlaying(2));
}

TEST_F(SoundTest, CdTracksComeFromFiles) {
  WriteWav("cd/track02.wav", 1000);
  Run("play \"*2\"");
  EXPECT_TRUE(Audio().ChannelLooping(platform::kCdTrackChannel));
  EXPECT_EQ(e.sound.cdTrack, 2);
  Run("setcdvol 32768");
  Run("getcdvol %4");
  EXPECT_EQ(e.values.intVars[4], 32768);
  EXPECT_NEAR(Audio().ChannelGain(platform::kCdTrackChannel), 32768.0 / 65535, 1e-9);
  Run("restorecdvol");
  EXPECT_DOUBLE_EQ(Audio().ChannelGain(platform::kCdTrackChannel), 1.0);
  Run("play \"*7\"");  // no such track: silence, as with no disc
  EXPECT_FALSE(Audio().ChannelLoaded(platform::kCdTrackChannel));
  EXPECT_EQ(e.sound.cdTrack, -1);
}

TEST(SoundProbe, LengthsOfEachFormat) {
  auto wav = test::MakeWav(750);
  auto info = platform::ProbeSound(wav.data(), wav.size());
  EXPECT_EQ(info.format, platform::SoundFormat::Wav);
  EXPECT_EQ(info.durationMs, 750);
  // A data chunk that claims more than the file holds counts what is there.
  wav.resize(wav.size() / 2);
  EXPECT_LT(platform::ProbeSound(wav.data(), wav.size()).durationMs, 400);

  auto ogg = test::MakeOgg(1200);
  info = platform::ProbeSound(ogg.data(), ogg.size());
  EXPECT_EQ(info.format, platform::SoundFormat::Ogg);
  EXPECT_NEAR(static_cast<double>(info.durationMs), 1200, 30);

  auto mp3 = MakeMp3Frames(100);
  info = platform::ProbeSound(mp3.data(), mp3.size());
  EXPECT_EQ(info.format, platform::SoundFormat::Mp3);
  EXPECT_EQ(info.durationMs, 2612);  // 100 x 1152 / 44100 s

  // Truncated headers of every kind stay inside the bytes.
  const std::string heads[] = {std::string("RIFF\x10\0\0\0WAVEfmt ", 16), std::string("OggS\0\0", 6), "fLaC",
                               "\xFF\xFB\x90"};
  for (const std::string& head : heads) {
    std::vector<uint8_t> bytes(head.begin(), head.end());
    platform::ProbeSound(bytes.data(), bytes.size());
  }
}

}  // namespace
}  // namespace sorv
