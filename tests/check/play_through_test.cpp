// Unattended play-through: --choose answers every choice by its policy,
// --coverage says which lines ran; and what a newcomer sees first: the
// demo's last frame and the README's state of the engine.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "graphics/decoders/decoders.h"
#include "input/choose.h"
#include "shell/cli.h"
#include "platform/png_reader.h"
#include "support/engine_fixture.h"

namespace sorv {
namespace {

const std::string kSource = SORV_TEST_SOURCE_DIR;

struct SorvRun {
  int status = -1;
  std::string stderrText;
};

SorvRun RunSorv(const std::string& args, const test::TempDir& scratch) {
  std::string err = scratch.File("stderr.txt");
  int rc = std::system((std::string(SORV_BINARY) + " " + args + " > /dev/null 2> " + err).c_str());
  SorvRun r;
  r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  std::ifstream in(err);
  std::stringstream ss;
  ss << in.rdbuf();
  r.stderrText = ss.str();
  return r;
}

// The lines of 0.txt the coverage report lists as run ("ran 0.txt 1-3,7").
std::set<int> LinesRan(const std::string& report) {
  std::set<int> lines;
  std::ifstream in(report);
  std::string word, file, ranges;
  while (in >> word) {
    if (word != "ran") {
      std::getline(in, word);
      continue;
    }
    in >> file >> ranges;
    if (file != "0.txt") continue;
    std::stringstream parts(ranges);
    std::string part;
    while (std::getline(parts, part, ',')) {
      int a = 0, b = 0;
      if (std::sscanf(part.c_str(), "%d-%d", &a, &b) == 2) {
        for (int i = a; i <= b; ++i) lines.insert(i);
      } else {
        lines.insert(std::atoi(part.c_str()));
      }
    }
  }
  return lines;
}

TEST(PlayThrough, ChoicePoliciesParseAndPick) {
  ChoosePolicy p;
  EXPECT_TRUE(ParseChoosePolicy("last", 0, p));
  EXPECT_EQ(ChooseIndex(p, 5), 4);
  EXPECT_TRUE(ParseChoosePolicy("first", 0, p));
  EXPECT_EQ(ChooseIndex(p, 5), 0);
  EXPECT_FALSE(ParseChoosePolicy("random:", 0, p));
  EXPECT_FALSE(ParseChoosePolicy("random:x1", 0, p));
  EXPECT_FALSE(ParseChoosePolicy("sometimes", 0, p));
  ASSERT_TRUE(ParseChoosePolicy("random:7", 0, p));
  ChoosePolicy again = p;
  std::set<int32_t> seen;
  for (int i = 0; i < 64; ++i) {
    int32_t pick = ChooseIndex(p, 3);
    ASSERT_GE(pick, 0);
    ASSERT_LT(pick, 3);
    EXPECT_EQ(pick, ChooseIndex(again, 3));  // the same seed, the same answers
    seen.insert(pick);
  }
  EXPECT_EQ(seen.size(), 3u);
}

TEST(PlayThrough, RandomSeedsReachEveryBranchOfNestedChoices) {
  test::TempDir scratch;
  const std::string game = kSource + "/games/nested_choices";
  std::set<int> ran;
  std::set<std::string> endings;
  for (int seed = 1; seed <= 10; ++seed) {
    std::string report = scratch.File("cov" + std::to_string(seed) + ".txt");
    SorvRun r = RunSorv("--headless --choose random:" + std::to_string(seed) + " --coverage " + report + " " + game,
                    scratch);
    ASSERT_EQ(r.status, 0) << r.stderrText;
    EXPECT_NE(r.stderrText.find("sorv: coverage: "), std::string::npos) << r.stderrText;
    std::set<int> lines = LinesRan(report);
    ran.insert(lines.begin(), lines.end());
    size_t at = r.stderrText.find("end: branch ");
    if (at != std::string::npos) endings.insert(r.stderrText.substr(at + 12, 1));
  }
  // The mesbox of each of the four endings (B, D, E, F) and the select of
  // each level ran in some run.
  for (int line : {6, 8, 10, 13, 15, 18, 21}) EXPECT_TRUE(ran.count(line)) << "line " << line;
  EXPECT_EQ(endings, (std::set<std::string>{"B", "D", "E", "F"}));

  // The fixed policies walk one path each.
  EXPECT_NE(RunSorv("--headless --choose first " + game, scratch).stderrText.find("branch E"), std::string::npos);
  EXPECT_NE(RunSorv("--headless --choose last " + game, scratch).stderrText.find("branch B"), std::string::npos);
  // Choices are answered either by a policy or by an events file, not both.
  EXPECT_EQ(RunSorv("--headless --choose first --events /dev/null " + game, scratch).status, 2);
}

TEST(PlayThrough, ButtonWaitsAnswerByThePolicy) {
  test::TempDir scratch, game;
  Surface picture;
  ASSERT_TRUE(CreateSurface(picture, 60, 10));
  std::vector<uint8_t> bmp = EncodeBmp(picture);
  game.Write("b.bmp", std::string(bmp.begin(), bmp.end()));
  game.Write("0.txt",
             "*define\ngame\n*start\nbtndef \"b.bmp\"\n"
             "btn 4,0,0,10,10,0,0\nbtn 5,20,0,10,10,20,0\nbtn 6,40,0,10,10,40,0\n"
             "btnwait %0\nitoa $0,%0\nmesbox $0,\"button\"\nend\n");
  auto answer = [&](const std::string& policy) {
    std::string err = RunSorv("--headless --choose " + policy + " " + game.path(), scratch).stderrText;
    size_t at = err.find("button: ");
    return at == std::string::npos ? std::string("none: ") + err : err.substr(at + 8, 1);
  };
  EXPECT_EQ(answer("first"), "4");
  EXPECT_EQ(answer("last"), "6");
  std::set<std::string> seen;
  for (int seed = 1; seed <= 12; ++seed) seen.insert(answer("random:" + std::to_string(seed)));
  EXPECT_EQ(seen, (std::set<std::string>{"4", "5", "6"}));
}

TEST(PlayThrough, CommandLineOfTheAuthorsTools) {
  CommandLine cl = ParseCommandLine({"--headless", "--choose", "random:42", "--coverage", "c.txt", "g"});
  EXPECT_EQ(cl.error, "");
  EXPECT_EQ(cl.choose, "random:42");
  EXPECT_EQ(cl.coverageFile, "c.txt");
  EXPECT_TRUE(ParseCommandLine({"--check", "g"}).check);
  EXPECT_NE(ParseCommandLine({"--choose", "first", "g"}).error, "");  // needs --headless
  EXPECT_NE(ParseCommandLine({"--headless", "--choose", "middle", "g"}).error, "");
  EXPECT_NE(ParseCommandLine({"--headless", "--choose", "first", "--events", "e", "g"}).error, "");
}

TEST(PlayThrough, CoverageReportCountsDisplayAndCommandLines) {
  test::TempDir scratch, game;
  game.Write("0.txt",
             "*define\n"
             "game\n"
             "*start\n"
             "mov %1,1\n"
             "\x82\xa0\x82\xa2@\n"
             "if %1==1 goto *done\n"
             "\x82\xa4\x82\xa6@\n"
             "mov %2,2\n"
             "*done\n"
             "end\n");
  std::string report = scratch.File("cov.txt");
  SorvRun r = RunSorv("--headless --coverage " + report + " " + game.path(), scratch);
  ASSERT_EQ(r.status, 0) << r.stderrText;
  std::ifstream in(report);
  std::stringstream ss;
  ss << in.rdbuf();
  // Commands on lines 2, 4, 6, 10 ran; 8 did not. One of two display lines.
  EXPECT_NE(ss.str().find("file 0.txt display 1/2 50.0% commands 4/5 80.0%\nran 0.txt 2,4-6,10\n"),
            std::string::npos)
      << ss.str();
  EXPECT_NE(r.stderrText.find("display lines 1/2 (50.0%), command lines 4/5 (80.0%)"), std::string::npos)
      << r.stderrText;
}

TEST(PlayThrough, DemoEndsOnAFrameThatShowsTheGame) {
  test::TempDir scratch;
  std::string shot = scratch.File("demo.png");
  SorvRun r = RunSorv("--headless --screenshot " + shot + " " + kSource + "/../examples/demo", scratch);
  ASSERT_EQ(r.status, 0) << r.stderrText;
  platform::testing::RgbImage image = platform::testing::ReadPngRgb(shot);
  ASSERT_TRUE(image.ok);
  std::set<uint32_t> colours;
  size_t black = 0;
  for (int y = 0; y < image.height; y += 2) {
    for (int x = 0; x < image.width; x += 2) {
      uint32_t c = image.At(x, y);
      colours.insert(c);
      black += c == 0;
    }
  }
  EXPECT_GT(colours.size(), 50u);  // pictures, sprites and text, not one fill
  EXPECT_LT(black * 4, static_cast<size_t>(image.width / 2) * static_cast<size_t>(image.height / 2));
}

TEST(PlayThrough, ReadmeStateMatchesTheCatalogue) {
  std::string cmd = "bash " + kSource + "/../scripts/update-readme-state.sh --check " + SORV_BINARY +
                    " > /dev/null 2>&1";
  int rc = std::system(cmd.c_str());
  EXPECT_TRUE(WIFEXITED(rc) && WEXITSTATUS(rc) == 0)
      << "README.md's state section is out of date: run scripts/update-readme-state.sh";
}

}  // namespace
}  // namespace sorv
