// The command line, and the sorv binary's start-up behaviour.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "platform/instance_lock.h"
#include "shell/cli.h"
#include "support/engine_fixture.h"

namespace sorv {
namespace {

CommandLine Parse(std::vector<std::string> args) { return ParseCommandLine(args); }

TEST(CommandLine, OptionsAndGameDirectory) {
  CommandLine cl = Parse({"--headless", "--events", "ev.txt", "--screenshot", "s.png", "--dump-frames", "fr",
                          "--max-time", "1500", "game"});
  EXPECT_EQ(cl.error, "");
  EXPECT_TRUE(cl.options.headless);
  EXPECT_EQ(cl.options.eventsFile, "ev.txt");
  EXPECT_EQ(cl.options.screenshotFile, "s.png");
  EXPECT_EQ(cl.options.dumpFramesDir, "fr");
  EXPECT_EQ(cl.options.maxTimeMs, 1500);
  EXPECT_EQ(cl.gameDir, "game");

  cl = Parse({"--fullscreen", "--scale", "2"});
  EXPECT_EQ(cl.error, "");
  EXPECT_TRUE(cl.options.fullscreen);
  EXPECT_EQ(cl.options.scale, 2);
}

TEST(CommandLine, UsageErrors) {
  EXPECT_NE(Parse({"--bogus"}).error, "");
  EXPECT_NE(Parse({"--events"}).error, "");
  EXPECT_NE(Parse({"--headless", "--max-time", "soon"}).error, "");
  EXPECT_NE(Parse({"--scale", "0"}).error, "");
  EXPECT_NE(Parse({"a", "b"}).error, "");
  // Options that only make sense without a window say so.
  EXPECT_NE(Parse({"--screenshot", "x.png"}).error, "");
}

TEST(CommandLine, DefaultGameDirectory) {
  test::TempDir with;
  with.Write("00.txt", "*define\n");
  EXPECT_TRUE(HoldsScript(with.path()));
  test::TempDir without;
  EXPECT_FALSE(HoldsScript(without.path()));
  EXPECT_EQ(ChooseGameDirectory("given"), "given");
}

int RunBinary(const std::string& command, std::string* output) { return test::RunProgram(command, output); }

TEST(Binary, UsageAndCatalogue) {
  std::string out;
  EXPECT_EQ(RunBinary(std::string(SORV_BINARY) + " --bogus", &out), 2);
  out.clear();
  EXPECT_EQ(RunBinary(std::string(SORV_BINARY) + " --commands", &out), 0);
  EXPECT_NE(out.find("mov\tvalues\timplemented\n"), std::string::npos);
  EXPECT_NE(out.find("aviwriteopen\tmovie\timplemented\n"), std::string::npos);
  EXPECT_NE(out.find("savenumber\tdefine\t"), std::string::npos);
  out.clear();
  test::TempDir empty;
  EXPECT_EQ(RunBinary(std::string(SORV_BINARY) + " --headless " + empty.path() + "/missing", &out), 2);
}

// A second windowed copy is refused while the first runs; headless runs are
// not counted.
TEST(Binary, SecondWindowedInstanceIsRefused) {
  test::TempDir lockDir, game;
  game.Write("0.txt", "*define\ngame\n*start\n*l\ngoto *l\n");
  setenv("SORV_LOCK_DIR", lockDir.path().c_str(), 1);
  std::string env = "SDL_VIDEODRIVER=dummy SORV_LOCK_DIR=" + lockDir.path() + " ";

  pid_t first = fork();
  ASSERT_GE(first, 0);
  if (first == 0) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    execl(SORV_BINARY, SORV_BINARY, game.path().c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  // Wait until the first copy holds the lock.
  platform::InstanceLock probe;
  bool held = false;
  for (int i = 0; i < 200 && !held; ++i) {
    if (probe.Acquire("MutexDesu2")) {
      probe.Release();
      usleep(20000);
    } else {
      held = true;
    }
  }
  ASSERT_TRUE(held);

  std::string out;
  int status = RunBinary(env + SORV_BINARY + " " + game.path(), &out);
  EXPECT_EQ(status, 2);
  EXPECT_NE(out.find("同時に二つ実行しないでください"), std::string::npos) << out;

  out.clear();
  test::TempDir other;
  other.Write("0.txt", "*define\ngame\n*start\nend\n");
  EXPECT_EQ(RunBinary(env + SORV_BINARY + " --headless " + other.path(), &out), 0) << out;

  kill(first, SIGKILL);
  waitpid(first, nullptr, 0);
  // The lock of a killed process is never stale.
  EXPECT_TRUE(probe.Acquire("MutexDesu2"));
  unsetenv("SORV_LOCK_DIR");
}

}  // namespace
}  // namespace sorv
