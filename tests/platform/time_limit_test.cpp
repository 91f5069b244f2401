// A headless run that reaches --max-time while sound plays ends with the
// time-limit status; stopping the sound afterwards reads the clock again.
#include <gtest/gtest.h>

#include "support/engine_fixture.h"
#include "support/sound_files.h"

namespace sorv {
namespace {

TEST(HeadlessTimeLimit, EndsOnceEvenWhileASoundPlays) {
  test::TempDir dir;
  std::vector<uint8_t> wav = test::MakeWav(3000);
  dir.Write("long.wav", std::string(wav.begin(), wav.end()));
  dir.Write("0.txt", "*define\ngame\n*start\ndwave 0,\"long.wav\"\nwait 5000\nend\n");
  platform::Options options;
  options.maxTimeMs = 1000;
  test::RunResult r = test::RunGameDir(dir.path(), options);
  EXPECT_EQ(r.status, 3);
}

}  // namespace
}  // namespace sorv
