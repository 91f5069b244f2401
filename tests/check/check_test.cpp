// The script checker: each kind of fault at its line, no false alarms on
// working scripts, and the exit status of `sorv --check`.
#include <gtest/gtest.h>

#include <dirent.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "check/check.h"
#include "script/script.h"
#include "support/engine_fixture.h"

namespace sorv {
namespace {

std::string Describe(const std::vector<Finding>& found) {
  std::string out;
  for (const Finding& f : found) out += FormatFinding(f) + "\n";
  return out;
}

std::vector<Finding> CheckText(const std::string& text, const std::function<void(test::TempDir&)>& files = {}) {
  test::TempDir dir;
  dir.Write("0.txt", text);
  if (files) files(dir);
  return CheckGame(dir.path());
}

TEST(ScriptCheck, ReportsEachFaultAtItsLineWithItsKind) {
  const std::string script =
      "*define\n"                       // 1
      "defsub nolabel\n"                // 2  error: defsub without its label
      "numalias seven,7\n"              // 3
      "game\n"                          // 4
      "*start\n"                        // 5
      "frobnicate 1,2\n"                // 6  error: unknown word
      "goto *nowhere\n"                 // 7  error: missing label
      "mov 5,%1\n"                      // 8  error: a constant where a variable goes
      "itoa $1,\"ten\"\n"               // 9  error: a string where a number goes
      "caption \"no end\n"              // 10 error: unclosed string
      "mov %5000,seven\n"               // 11 error: outside the bank
      "bg \"nothere.bmp\",1\n"          // 12 warning: missing picture
      "wave \"gone.wav\"\n"             // 13 warning: missing sound
      "*start\n"                        // 14 warning: duplicate label
      "mesbox \"a\"+$2,seven\n"         // 15 error: a number where a string goes
      "stralias 12,\"x\"\n"             // 16 error: a value where a name goes
      "end\n";
  std::vector<Finding> found = CheckText(script);
  std::set<std::pair<int, bool>> got;
  for (const Finding& f : found) {
    EXPECT_EQ(f.file, "0.txt");
    got.emplace(f.line, f.error);
  }
  std::set<std::pair<int, bool>> want = {{2, true},   {6, true},  {7, true},  {8, true},
                                         {9, true},   {10, true}, {11, true}, {12, false},
                                         {13, false}, {14, false}, {15, true},  {16, true}};
  EXPECT_EQ(got, want) << Describe(found);
  EXPECT_EQ(found.size(), want.size()) << Describe(found);
}

TEST(ScriptCheck, EveryConstructOfAWorkingScriptPassesQuietly) {
  const std::string script =
      ";$V2000L100\n"
      "*define\n"
      "numalias total,10\n"
      "stralias name,\"Ann\"\n"
      "defsub greet\n"
      "dim ?1[4][3]\n"
      "effect 2,10,500\n"
      "clickstr \"\x81\x42\",2\n"
      "game\n"
      "*start\n"
      "mov %total,0 : mov $1,name+\"!\"\n"
      "for %2=1 to total step 2\n"
      "\tadd %total,%2*(3 mod 2)+?1[1][%2-1]\n"
      "next\n"
      "if %total>3 && $1==\"Ann!\" goto *skip\n"
      "notif fchk \"a.bmp\" mov %3,[%1+1]\n"
      "~\n"
      "*skip\n"
      "greet 1,\"x\"\n"
      "_mov %4,%%3\n"
      "select \"one\",*one,\n"
      "       \"two\",*two\n"
      "*one\n"
      "tablegoto %1,*one,*two\n"
      "*two\n"
      "lsp 1,\":s/20,20,0;#ffffff\x81\x40\",0,0\n"
      "textcolor #ff8000\n"
      "itoa $2,%total\n"
      "\x82\xa0$1\x81\x41%total{%}!w100@\n"
      "voice01\n"
      "return\n"
      "*greet\n"
      "getparam %5,$6\n"
      "return\n";
  std::vector<Finding> found = CheckText(script);
  EXPECT_TRUE(found.empty()) << Describe(found);
}

TEST(ScriptCheck, NamesFilesAsTheErrorReporterDoesAndResolvesSubdirectories) {
  test::TempDir dir;
  dir.Write("00.txt", "*define\ngame\n*start\ngoto *two\n");
  dir.Write("1.txt", "*two\nbg \"cg\\room.bmp\",1\nnosuchword\nend\n");
  dir.Write("cg/room.bmp", "BM");
  std::vector<Finding> found = CheckGame(dir.path());
  ASSERT_EQ(found.size(), 1u) << Describe(found);
  EXPECT_EQ(FormatFinding(found[0]), "1.txt:3: error: unknown command 'nosuchword'");
}

TEST(ScriptCheck, PicturesInsideTheArchivesExist) {
  test::TempDir dir, loose;
  loose.Write("cg/face.bmp", "BM");
  std::string pack = std::string(SORV_ARC_BINARY) + " pack " + dir.File("arc.sva") + " -C " + loose.path() +
                     " -c store cg/face.bmp > /dev/null 2>&1";
  ASSERT_EQ(std::system(pack.c_str()), 0);
  dir.Write("0.txt",
            "*define\nstralias face,\"cg\\face.bmp\"\nstralias gone,\"cg\\gone.bmp\"\ngame\n*start\n"
            "lsp 3,\":a;cg\\face.bmp\",0,0\nlsp 4,\"cg\\none.bmp\",0,0\nbg face,1\nbg gone,1\nend\n");
  std::vector<Finding> found = CheckGame(dir.path());
  ASSERT_EQ(found.size(), 2u) << Describe(found);
  EXPECT_EQ(found[0].line, 7);  // a written name
  EXPECT_EQ(found[1].line, 9);  // through an alias of one literal
  EXPECT_FALSE(found[0].error || found[1].error);
}

TEST(ScriptCheck, ReadsScrambledScriptsToo) {
  test::TempDir dir;
  std::string text = "*define\ngame\n*start\n\nnosuchword\nend\n";
  for (char& c : text) c = static_cast<char>(c ^ 0xD3);
  dir.Write("svscript.zat", text);
  std::vector<Finding> found = CheckGame(dir.path());
  ASSERT_EQ(found.size(), 1u) << Describe(found);
  EXPECT_EQ(FormatFinding(found[0]), "svscript.zat:5: error: unknown command 'nosuchword'");
}

TEST(ScriptCheck, LargeGeneratedScriptHasNoFalseAlarms) {
  std::string script = "*define\nnumalias base,100\ndefsub helper\ngame\n*start\n";
  for (int i = 0; i < 2000; ++i) {
    std::string n = std::to_string(i);
    script += "*block" + n + "\n";
    script += "mov %" + std::to_string(i % 4000) + ",base+" + n + " : itoa $1,%0\n";
    script += "if %0 == " + n + " gosub *block" + std::to_string((i + 1) % 2000) + "\n";
    script += "helper " + n + ",\"t\"\n";
    script += "\x82\xa0\x82\xa2$1@\n";
  }
  script += "*helper\nreturn\n";
  std::vector<Finding> found = CheckText(script);
  EXPECT_TRUE(found.empty()) << Describe(found);
}

int RunBinary(const std::string& args) {
  int rc = std::system((std::string(SORV_BINARY) + " " + args + " > /dev/null 2>&1").c_str());
  return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

TEST(ScriptCheck, ExitStatusAndTheShippedGamesAreClean) {
  test::TempDir bad;
  bad.Write("0.txt", "*define\ngame\n*start\ngoto *missing\n");
  EXPECT_EQ(RunBinary("--check " + bad.path()), 1);

  std::vector<std::string> games = {std::string(SORV_TEST_SOURCE_DIR) + "/../examples/demo"};
  std::string gamesDir = std::string(SORV_TEST_SOURCE_DIR) + "/games";
  if (DIR* d = opendir(gamesDir.c_str())) {
    while (dirent* ent = readdir(d)) {
      std::string name = ent->d_name;
      if (name[0] != '.' && name.find('.') == std::string::npos) games.push_back(gamesDir + "/" + name);
    }
    closedir(d);
  }
  ASSERT_GT(games.size(), 5u);
  for (const std::string& game : games) {
    std::vector<Finding> found = CheckGame(game);
    // The script-error game stops on purpose; everything else is clean.
    if (game.find("script_error") != std::string::npos) continue;
    EXPECT_TRUE(found.empty()) << game << "\n" << Describe(found);
    EXPECT_EQ(RunBinary("--check " + game), 0) << game;
  }
}

}  // namespace
}  // namespace sorv
