// The bounds of a run seen from outside, through the real binary: the memory
// budget from the command line, an archive that is a FIFO, a hostile events
// file, and a busy loop under --max-time.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "shell/cli.h"
#include "support/engine_fixture.h"

namespace sorv {
namespace {

// Runs the binary under `timeout`, so that a run that blocks fails the test
// (status 124) instead of holding it.
int RunHeadless(const std::string& args, std::string* output) {
  return test::RunProgram("timeout 20 " + std::string(SORV_BINARY) + " --headless " + args, output);
}

TEST(RunLimits, MemoryLimitOption) {
  EXPECT_EQ(ParseCommandLine({"--memory-limit", "300"}).memoryLimitMiB, 300u);
  EXPECT_NE(ParseCommandLine({"--memory-limit", "8"}).error, "");
  EXPECT_NE(ParseCommandLine({"--memory-limit", "lots"}).error, "");

  test::TempDir game;
  std::string script = "*define\n";
  for (int i = 0; i < 80; ++i) script += "dim ?" + std::to_string(i) + "[16777215]\n";
  game.Write("0.txt", script + "game\n*start\nend\n");
  std::string out;
  EXPECT_EQ(RunHeadless("--memory-limit 200 " + game.path(), &out), 1);
  EXPECT_NE(out.find("エラー: メモリが足りません（上限200MB、--memory-limitで変えられます）。"), std::string::npos) << out;
  // 64 MiB an array, the first on line 2: the third or the fourth cannot fit in 200.
  size_t at = out.find("0.txt line:");
  ASSERT_NE(at, std::string::npos) << out;
  int line = std::stoi(out.substr(at + 11));
  EXPECT_GE(line, 4);
  EXPECT_LE(line, 5);
}

TEST(RunLimits, FifoArchiveHostileEventsAndBusyLoop) {
  test::TempDir game;
  game.Write("0.txt", "*define\nsva\ngame\n*start\nbg \"a.bmp\",1\nend\n");
  ASSERT_EQ(mkfifo(game.File("arc.sva").c_str(), 0644), 0);
  std::string out;
  EXPECT_EQ(RunHeadless(game.path(), &out), 1);
  EXPECT_NE(out.find("アーカイブ\"arc.sva\"が壊れています！"), std::string::npos) << out;

  std::string wheels;
  for (int i = 0; i < 2000; ++i) wheels += "0 wheel 1000\n";
  game.Write("events", wheels);
  out.clear();
  EXPECT_EQ(RunHeadless("--events " + game.File("events") + " " + game.path(), &out), 2);
  EXPECT_NE(out.find("events file line 1001"), std::string::npos) << out;

  game.Write("0.txt", "*define\ngame\n*start\n*l\ngoto *l\n");
  out.clear();
  EXPECT_EQ(RunHeadless("--max-time 500 " + game.path(), &out), 3);
  EXPECT_NE(out.find("time limit"), std::string::npos) << out;
}

}  // namespace
}  // namespace sorv
