// Movies played through the real run loop, headless: the pictures in the
// dumped frames at their virtual times and in their rectangle, the sound on
// the null device's stream, clicks, async and stop, archives, damaged files.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "archive/pack.h"
#include "movie/movie_files.h"
#include "platform/headless/null_audio.h"
#include "platform/png_reader.h"
#include "sound/sound.h"
#include "shell/window.h"
#include "support/engine_fixture.h"

namespace sorv::test {
namespace {

using platform::testing::ReadPngRgb;

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

bool Near(uint32_t a, uint32_t b, int tolerance = 24) {
  for (int shift : {0, 8, 16}) {
    int d = static_cast<int>(a >> shift & 0xFF) - static_cast<int>(b >> shift & 0xFF);
    if (d > tolerance || d < -tolerance) return false;
  }
  return true;
}

// The movie frame a colour belongs to, -1 for none.
int MovieFrameOf(uint32_t colour, int frames) {
  for (int k = 0; k < frames && k < 8; ++k) {
    if (Near(colour, TestMovieColour(k))) return k;
  }
  return -1;
}

struct DumpedFrame {
  uint64_t ms = 0;
  std::string png;
};

std::vector<DumpedFrame> DumpedFrames(const std::string& dir) {
  std::vector<DumpedFrame> frames;
  std::ifstream list(dir + "/frames.txt");
  std::string index;
  uint64_t ms = 0;
  while (list >> index >> ms) frames.push_back({ms, dir + "/frame-" + index + ".png"});
  return frames;
}

class MovieGame : public ::testing::Test {
 protected:
  void Movie(const std::string& name, const TestMovie& m) {
    std::string why;
    ASSERT_TRUE(WriteTestMovie(dir.File(name), m, &why)) << why;
  }
  // Runs the game as RunGameDir does, keeping a copy of the null device's
  // stream log at every idle step (the device is gone when the run ends).
  RunResult Run(const std::string& script, const std::string& events = "") {
    dir.Write("0.txt", script);
    platform::Options options;
    options.headless = true;
    if (dump) options.dumpFramesDir = frames.path();
    options.screenshotFile = screenshot;
    options.maxTimeMs = maxTimeMs;
    if (!events.empty()) {
      dir.Write("events", events);
      options.eventsFile = dir.File("events");
    }
    RunResult r;
    r.platform = platform::CreateHeadlessPlatform(options);
    r.engine = std::make_unique<Engine>();
    r.engine->platform = r.platform.get();
    r.engine->gameDir = dir.path();
    r.engine->input.hooks.idle.push_back([this](Engine& en) {
      if (auto* null = dynamic_cast<platform::NullAudio*>(en.sound.device.get())) {
        streamLog = null->StreamLog();
        streamOpen = null->StreamIsOpen();
      }
    });
    r.platform->CreateMainWindow(r.engine->screenWidth, r.engine->screenHeight);
    testing::internal::CaptureStderr();
    r.status = RunEngine(*r.engine);
    r.platform->Shutdown();
    r.stderrText = testing::internal::GetCapturedStderr();
    r.errorTitle = r.engine->app.errorTitle;
    r.errorMessage = r.engine->app.errorMessage;
    return r;
  }
  TempDir dir, frames;
  bool dump = true;          // --dump-frames into `frames`
  std::string screenshot;    // --screenshot
  int64_t maxTimeMs = -1;    // --max-time
  std::vector<platform::NullAudio::StreamChunk> streamLog;
  bool streamOpen = false;
};

// Ten pictures of 40 ms in a 320 x 240 rectangle at (100, 50): each reaches
// the window 40 ms after the one before, scaled into the rectangle over the
// frame that was shown, and the window shows the game again afterwards.
TEST_F(MovieGame, PicturesReachTheWindowAtTheirTimesInTheirRectangle) {
  TestMovie m;
  Movie("op.mpg", m);
  RunResult r = Run("*define\ngame\n*start\nbg #336699,1\nmovie \"op.mpg\",pos,100,50,320,240\nmov %1,5\nwait 1\nend\n");
  ASSERT_EQ(r.status, 0) << r.stderrText;
  EXPECT_EQ(r.Int(1), 5);
  std::vector<int> seen;
  std::vector<uint64_t> times;
  bool restored = false;
  for (const DumpedFrame& f : DumpedFrames(frames.path())) {
    auto png = ReadPngRgb(f.png);
    ASSERT_TRUE(png.ok);
    int k = MovieFrameOf(png.At(260, 170), m.frames);
    if (k < 0) {
      if (!seen.empty() && png.At(260, 170) == 0x336699) restored = true;
      continue;
    }
    // The rectangle's corners are the movie's, just outside is the game's.
    EXPECT_TRUE(Near(png.At(100, 50), TestMovieColour(k))) << k;
    EXPECT_TRUE(Near(png.At(419, 289), TestMovieColour(k))) << k;
    EXPECT_EQ(png.At(99, 50), 0x336699u);
    EXPECT_EQ(png.At(420, 289), 0x336699u);
    EXPECT_EQ(png.At(100, 290), 0x336699u);
    seen.push_back(k);
    times.push_back(f.ms);
  }
  ASSERT_EQ(seen.size(), 10u);
  for (int k = 0; k < 10; ++k) {
    EXPECT_EQ(seen[static_cast<size_t>(k)], k % 8);
    EXPECT_EQ(times[static_cast<size_t>(k)] - times[0], static_cast<uint64_t>(40 * k)) << k;
  }
  EXPECT_TRUE(restored);
  EXPECT_FALSE(r.engine->movie.playing);
  EXPECT_EQ(r.engine->movie.outcome, kMovieRanOut);

  // The sound went to the device's stream: the whole tone, loud, at the
  // music's volume, queued ahead of the pictures.
  const auto& log = streamLog;
  ASSERT_FALSE(log.empty());
  size_t queued = 0;
  int peak = 0;
  for (const auto& c : log) {
    queued += c.frames;
    peak = std::max(peak, c.peak);
    EXPECT_EQ(c.gain, 1.0);
  }
  EXPECT_GE(queued, 44100u * 10 / 25);
  EXPECT_LT(queued, 44100u * 10 / 25 + 4410);
  EXPECT_GT(peak, 7000);
  EXPECT_LE(log.front().ms, times[0]);
  EXPECT_FALSE(streamOpen);
}

// Without options the movie fills the screen; the music volume sets the
// movie's (mp3vol 0 is silence).
TEST_F(MovieGame, WithoutOptionsFillsTheScreenAtTheMusicVolume) {
  TestMovie m;
  m.frames = 3;
  Movie("op.mpg", m);
  RunResult r = Run("*define\ngame\n*start\nmp3vol 50\nmovie \"op.mpg\"\nmp3vol 0\nmovie \"op.mpg\"\nwait 1\nend\n");
  ASSERT_EQ(r.status, 0) << r.stderrText;
  int full = 0;
  for (const DumpedFrame& f : DumpedFrames(frames.path())) {
    auto png = ReadPngRgb(f.png);
    if (MovieFrameOf(png.At(0, 0), 3) >= 0 && MovieFrameOf(png.At(639, 479), 3) >= 0) ++full;
  }
  EXPECT_EQ(full, 6);
  std::map<double, int> gains;
  for (const auto& c : streamLog) ++gains[c.gain];
  ASSERT_EQ(gains.size(), 2u);
  EXPECT_NEAR(gains.rbegin()->first, AttenuationGain(50), 1e-9);
  EXPECT_EQ(gains.begin()->first, 0.0);
}

// A left click ends a clickable movie (outcome 1) and the script goes on at
// once; mpegplay also stops on a right click (outcome 0); without the click
// flag clicks are ignored and the movie runs to its end.
TEST_F(MovieGame, ClicksStopClickableMovies) {
  TestMovie m;
  m.frames = 50;  // 2 s
  m.sound = false;
  Movie("op.mpg", m);
  const char* script =
      "*define\ngame\n*start\nresettimer\nmovie \"op.mpg\",click\ngettimer %1\n"
      "resettimer\nmpegplay \"op.mpg\",1\ngettimer %2\n"
      "resettimer\nmpegplay \"op.mpg\",0\ngettimer %3\nend\n";
  {
    RunResult r = Run(script, "1000 click 10 10\n2500 rclick 10 10\n3000 click 10 10\n");
    ASSERT_EQ(r.status, 0) << r.stderrText;
    EXPECT_GT(r.Int(1), 300);
    EXPECT_LT(r.Int(1), 700);
    EXPECT_GT(r.Int(2), 1000);
    EXPECT_LT(r.Int(2), 2000);
    EXPECT_GE(r.Int(3), 1960);  // the whole movie, the click at 3000 ignored
    EXPECT_EQ(r.engine->movie.outcome, kMovieRanOut);
  }
  {
    RunResult r = Run("*define\ngame\n*start\nmovie \"op.mpg\",click\nend\n", "1000 click 10 10\n");
    EXPECT_EQ(r.engine->movie.outcome, kMovieLeftClick);
    RunResult r2 = Run("*define\ngame\n*start\nmpegplay \"op.mpg\",1\nend\n", "1000 rclick 10 10\n");
    EXPECT_EQ(r2.engine->movie.outcome, kMovieRightClick);
  }
}

// `movie ...,async` returns at once and the movie plays on in the waits;
// `movie stop` ends it (and does nothing when no movie plays); a looping
// movie keeps going past its length until stopped.
TEST_F(MovieGame, AsyncPlaysInTheWaitsUntilStopped) {
  TestMovie m;
  m.frames = 5;  // 200 ms
  Movie("op.mpg", m);
  RunResult r = Run(
      "*define\ngame\n*start\nmovie stop\nresettimer\nmovie \"op.mpg\",async,loop,pos,0,0,64,64\n"
      "gettimer %1\nwait 1000\nmovie stop\nwait 300\nend\n");
  ASSERT_EQ(r.status, 0) << r.stderrText;
  EXPECT_LT(r.Int(1), 20);
  int movieFrames = 0;
  uint64_t last = 0;
  for (const DumpedFrame& f : DumpedFrames(frames.path())) {
    auto png = ReadPngRgb(f.png);
    if (MovieFrameOf(png.At(32, 32), 5) >= 0) {
      ++movieFrames;
      last = f.ms;
    }
  }
  // About 25 pictures in the second it ran: the loop went round five times.
  EXPECT_GE(movieFrames, 20);
  EXPECT_LE(movieFrames, 27);
  EXPECT_FALSE(r.engine->movie.playing);
  EXPECT_FALSE(r.engine->movie.async);
  auto png = ReadPngRgb(DumpedFrames(frames.path()).back().png);
  EXPECT_EQ(png.At(32, 32), 0u);  // the game's black screen is back
  EXPECT_LT(last, DumpedFrames(frames.path()).back().ms);
}

// A run that keeps no frames leaves the pictures unconverted; the movie
// still takes its time, shows as many pictures and plays the same sound.
TEST_F(MovieGame, AMovieNobodySeesKeepsItsTimeAndSound) {
  TestMovie m;
  m.frames = 30;
  Movie("op.mpg", m);
  const char* script = "*define\ngame\n*start\nresettimer\nmovie \"op.mpg\",pos,-20,10,200,100\ngettimer %1\nwait 1\nend\n";
  RunResult seen = Run(script);
  ASSERT_EQ(seen.status, 0) << seen.stderrText;
  std::vector<platform::NullAudio::StreamChunk> seenSound = streamLog;
  dump = false;
  RunResult unseen = Run(script);
  ASSERT_EQ(unseen.status, 0) << unseen.stderrText;
  EXPECT_GE(seen.Int(1), 1200);
  EXPECT_EQ(unseen.Int(1), seen.Int(1));
  ASSERT_EQ(streamLog.size(), seenSound.size());
  for (size_t i = 0; i < streamLog.size(); ++i) {
    EXPECT_EQ(streamLog[i].ms, seenSound[i].ms) << i;
    EXPECT_EQ(streamLog[i].frames, seenSound[i].frames) << i;
  }
}

// A run whose time limit falls inside a movie with sound, played through or
// asynchronous, ends as any other run out of time: status 3 and the
// screenshot of what the window shows once the movie is closed.
TEST_F(MovieGame, TheTimeLimitEndsAMovieCleanly) {
  TestMovie m;
  m.frames = 100;  // 4 s
  Movie("op.mpg", m);
  dump = false;
  screenshot = dir.File("shot.png");
  maxTimeMs = 2000;
  // %1 is 1 only while the movie plays.
  for (const char* line : {"mov %1,1\nmovie \"op.mpg\",pos,10,10,64,64\nmov %1,2\n",
                           "movie \"op.mpg\",pos,10,10,64,64,async\nmov %1,1\nwait 5000\nmov %1,2\n"}) {
    std::remove(screenshot.c_str());
    RunResult r = Run(std::string("*define\ngame\n*start\nbg #336699,1\n") + line + "end\n");
    EXPECT_EQ(r.status, 3) << line << r.stderrText;
    EXPECT_EQ(r.Int(1), 1) << line;
    auto png = ReadPngRgb(screenshot);
    ASSERT_TRUE(png.ok) << line;
    EXPECT_EQ(png.At(20, 20), 0x336699u) << line;
    EXPECT_FALSE(r.engine->movie.playing) << line;
  }
}

// A movie stored in an SVA archive, stored or packed, plays from it.
TEST_F(MovieGame, MoviesInArchivesPlay) {
  TestMovie m;
  m.frames = 4;
  Movie("src.mpg", m);
  std::vector<uint8_t> bytes = ReadBytes(dir.File("src.mpg"));
  std::remove(dir.File("src.mpg").c_str());
  PackItem stored, packed;
  ASSERT_TRUE(MakeSvaItem("op.mpg", bytes, 0, stored));
  ASSERT_TRUE(MakeSvaItem("ed.mpg", bytes, 2, packed));
  std::vector<uint8_t> arc = BuildSva({stored, packed});
  dir.Write("arc.sva", std::string(arc.begin(), arc.end()));
  RunResult r = Run("*define\nsva\ngame\n*start\nmovie \"op.mpg\"\nmpegplay2 %1,\"ed.mpg\",0\nend\n");
  ASSERT_EQ(r.status, 0) << r.stderrText;
  EXPECT_EQ(r.Int(1), 1);
  int movieFrames = 0;
  for (const DumpedFrame& f : DumpedFrames(frames.path())) {
    if (MovieFrameOf(ReadPngRgb(f.png).At(320, 240), 4) >= 0) ++movieFrames;
  }
  EXPECT_EQ(movieFrames, 8);
}

// A damaged movie is reported and skipped, the game goes on (mpegplay2 gives
// 0); a missing one is the load error, which noloaderror silences.
TEST_F(MovieGame, DamagedAndMissingMovies) {
  std::string junk;
  for (int i = 0; i < 500; ++i) junk += "not a movie at all ";
  dir.Write("bad.mpg", junk);
  RunResult r = Run("*define\ngame\n*start\nmovie \"bad.mpg\"\nmpegplay2 %2,\"bad.mpg\",1\nmov %1,7\nend\n");
  ASSERT_EQ(r.status, 0) << r.stderrText;
  EXPECT_EQ(r.Int(1), 7);
  EXPECT_EQ(r.Int(2), 0);
  EXPECT_NE(r.stderrText.find("ムービーエラー: ムービーbad.mpgを再生できません。"), std::string::npos) << r.stderrText;
  EXPECT_FALSE(r.engine->movie.playing);

  RunResult missing = Run("*define\ngame\n*start\nmovie \"none.mpg\"\nend\n");
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.errorTitle, "ロードエラー");
  EXPECT_EQ(missing.errorMessage, "ファイルnone.mpgを開けません。");

  RunResult quiet = Run("*define\nnoloaderror\ngame\n*start\nmov %2,5\nmpegplay2 %2,\"none.mpg\",1\nmov %1,7\nend\n");
  EXPECT_EQ(quiet.status, 0) << quiet.stderrText;
  EXPECT_EQ(quiet.Int(1), 7);
  EXPECT_EQ(quiet.Int(2), 5);
}

TEST_F(MovieGame, WrongWordsAreScriptErrors) {
  TestMovie m;
  m.frames = 1;
  Movie("op.mpg", m);
  struct Case {
    const char* line;
    const char* message;
  } cases[] = {
      {"movie \"op.mpg\",zoom", "movie命令に与えるパラメータが間違っています。"},
      {"movie \"op.mpg\",click,pos,1,2", "コンマが必要なところにコンマが有りません。"},
      {"movie start", "movie命令への指定が間違っています。"},
      {"mpegplay2 $1,\"op.mpg\",0", "mpegplay2の第一引数は数字変数です。"},
  };
  for (const Case& c : cases) {
    RunResult r = Run(std::string("*define\ngame\n*start\n") + c.line + "\nend\n");
    EXPECT_EQ(r.status, 1) << c.line;
    EXPECT_EQ(r.errorMessage, c.message) << c.line;
  }
  // swf is passed over with whatever follows it.
  RunResult r = Run("*define\ngame\n*start\nswf \"a.swf\",1,2:mov %1,3\nend\n");
  EXPECT_EQ(r.status, 0) << r.stderrText;
  EXPECT_EQ(r.Int(1), 3);
}

// The engine binary carries no movie decoder: it loads the av module from
// beside itself when the first movie plays. Without the module the movie is
// reported, naming the module, and the game goes on.
TEST_F(MovieGame, WithoutTheAvModuleMoviesAreReportedAndSkipped) {
  TestMovie m;
  Movie("op.mpg", m);
  dir.Write("0.txt", "*define\ngame\n*start\nmovie \"op.mpg\"\nend\n");
  TempDir alone;
  const std::string copy = alone.File("sorv");
  std::error_code ec;
  std::filesystem::copy_file(SORV_BINARY, copy, ec);
  ASSERT_FALSE(ec) << ec.message();
  std::string out;
  EXPECT_EQ(RunProgram(copy + " --headless " + dir.path(), &out), 0) << out;
  EXPECT_NE(out.find("the movie op.mpg cannot be played: movies need sorv-av.so beside the engine"),
            std::string::npos)
      << out;

  out.clear();
  EXPECT_EQ(RunProgram(std::string(SORV_BINARY) + " --headless " + dir.path(), &out), 0) << out;
  EXPECT_EQ(out.find("cannot be played"), std::string::npos) << out;
}

}  // namespace
}  // namespace sorv::test
