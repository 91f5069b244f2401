// File and host commands: the CSV file, INI and registry lookups, readfile,
// loose-file checks, and the refusal of names outside the game directory.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "interp/files.h"
#include "interp/game_paths.h"
#include "platform/fs.h"
#include "support/engine_fixture.h"

namespace sorv {
namespace {

using test::RunGameDir;
using test::TempDir;

std::string Game(const std::string& body) { return "*define\ngame\n*start\n" + body + "end\n"; }

test::RunResult RunIn(const TempDir& dir, const std::string& body) {
  dir.Write("0.txt", Game(body));
  return RunGameDir(dir.path());
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

TEST(Csv, WriteCloseOpenReadAndEof) {
  TempDir dir;
  auto r = RunIn(dir,
                 "mov %5,-7\ncsvopen \"data.csv\",\"wc\"\ncsvwrite 12,\"a,b\",%5\ncsvwrite \"say \"+\"x\"\ncsvclose\n"
                 "csvopen \"data.csv\",\"rc\"\ncsveof %9\ncsvread %1,$1,%2\ncsvread $2,%3\ncsveof %4\n"
                 "csvread %6,$3\ncsvclose\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(Slurp(dir.File("data.csv")), "12,\"a,b\",-7\r\nsay x\r\n");
  EXPECT_EQ(r.Int(9), 0);
  EXPECT_EQ(r.Int(1), 12);
  EXPECT_EQ(r.Str(1), "a,b");
  EXPECT_EQ(r.Int(2), -7);
  EXPECT_EQ(r.Str(2), "say x");
  EXPECT_EQ(r.Int(3), 0);  // a field the record does not have
  EXPECT_EQ(r.Int(4), 1);
  EXPECT_EQ(r.Int(6), 0);  // reading past the end gives empty fields
  EXPECT_EQ(r.Str(3), "");
}

// A file still open when the game ends is written, as closing would.
TEST(Csv, OpenFileIsWrittenAtTheEndAndMissingFileReadsEmpty) {
  TempDir dir;
  auto r = RunIn(dir, "csvopen \"gone.csv\",\"rb\"\ncsveof %1\ncsvopen \"left.csv\",\"wb\"\ncsvwrite 1,2\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(1), 1);
  EXPECT_EQ(Slurp(dir.File("left.csv")), "1,2\n");
}

TEST(Csv, MisuseIsReported) {
  TempDir dir;
  EXPECT_EQ(RunIn(dir, "csvread %1\n").status, 1);
  EXPECT_EQ(RunIn(dir, "csvopen \"a.csv\",\"wc\"\ncsvread %1\n").status, 1);
  auto mode = RunIn(dir, "csvopen \"a.csv\",\"rw\"\n");
  EXPECT_EQ(mode.status, 1);
  EXPECT_NE(mode.errorMessage.find("csvopen"), std::string::npos);
}

TEST(Csv, RecordParsingAndFormatting) {
  std::string data = "\"q\"\"x\",,\"l1\nl2\"\r\nlast";
  size_t pos = 0;
  EXPECT_EQ(ParseCsvRecord(data, pos), (std::vector<std::string>{"q\"x", "", "l1\nl2"}));
  EXPECT_EQ(ParseCsvRecord(data, pos), (std::vector<std::string>{"last"}));
  EXPECT_EQ(pos, data.size());
  EXPECT_EQ(FormatCsvRecord({"q\"x", "", "plain"}), "\"q\"\"x\",,plain");
}

TEST(Ini, SectionsKeysCaseAndQuotes) {
  const char* text =
      "; comment\n[Other]\nname=wrong\n[ Game ]\r\n Name = \"Sorv Game\" \r\nempty=\nnum=42\n[game2]\nname=no\n";
  std::string v;
  EXPECT_TRUE(LookupIni(text, "game", "NAME", v));
  EXPECT_EQ(v, "Sorv Game");
  EXPECT_TRUE(LookupIni(text, "Game", "empty", v));
  EXPECT_EQ(v, "");
  EXPECT_FALSE(LookupIni(text, "Game", "missing", v));
  EXPECT_FALSE(LookupIni(text, "none", "name", v));
}

TEST(Ini, GetiniAndGetregThroughScripts) {
  TempDir dir;
  dir.Write("conf/setup.ini", "[Screen]\r\nmode=full\r\n");
  dir.Write("registry.ini", "[HKEY_CURRENT_USER\\Software\\Maker]\n@=root\nPath=C:\\Game\n");
  auto r = RunIn(dir,
                 "getini $1,\"screen\",\"MODE\",\"conf\\setup.ini\"\ngetini $2,\"screen\",\"x\",\"conf\\setup.ini\"\n"
                 "getini $3,\"a\",\"b\",\"nofile.ini\"\ngetreg $4,\"HKEY_CURRENT_USER/Software/Maker\",\"path\"\n"
                 "getreg $5,\"HKEY_CURRENT_USER\\Software\\Maker\",\"\"\ngetreg $6,\"HKEY_LOCAL_MACHINE\",\"x\"\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Str(1), "full");
  EXPECT_EQ(r.Str(2), "");
  EXPECT_EQ(r.Str(3), "");
  EXPECT_EQ(r.Str(4), "C:\\Game");
  EXPECT_EQ(r.Str(5), "root");
  EXPECT_EQ(r.Str(6), "");

  auto bad = RunIn(dir, "getini %1,\"a\",\"b\",\"c\"\n");
  EXPECT_EQ(bad.errorTitle, "構文エラー");
  EXPECT_EQ(bad.errorMessage, "getiniの第一引数は文字変数です。");
  auto badReg = RunIn(dir, "getreg 5,\"a\",\"b\"\n");
  EXPECT_EQ(badReg.errorMessage, "getregの第一引数は文字変数です。");
}

TEST(Readfile, TextModeAndTheSizeLimit) {
  TempDir dir;
  dir.Write("small.txt", "line1\r\nline2");
  dir.Write("full.txt", std::string(kReadFileLimit, 'a'));
  dir.Write("big.txt", std::string(kReadFileLimit + 1, 'a'));
  auto r = RunIn(dir, "readfile $1,\"small.txt\"\nreadfile $2,\"full.txt\"\nreadfile $3,\"absent.txt\"\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Str(1), "line1\nline2");
  EXPECT_EQ(r.Str(2).size(), kReadFileLimit);
  EXPECT_EQ(r.Str(3), "");

  auto big = RunIn(dir, "readfile $1,\"big.txt\"\n");
  EXPECT_EQ(big.errorMessage, "読み込もうとしているファイルが大きすぎます。");
  auto range = RunIn(dir, "readfile $99999,\"small.txt\"\n");
  EXPECT_EQ(range.errorMessage, "文字列変数番号が範囲外です。");
}

TEST(LooseFiles, ExistCreateRemoveAndDebugMarker) {
  TempDir dir;
  dir.Write("Data/Present.TXT", "x");
  dir.Write("58013746", "");
  auto r = RunIn(dir,
                 "fileexist %1,\"data\\present.txt\"\nfileexist %2,\"absent.txt\"\nfileexist %3,\"data\"\n"
                 "filecreate \"new.txt\"\nfileexist %4,\"new.txt\"\nfileremove \"new.txt\"\nfileexist %5,\"new.txt\"\n"
                 "fileremove \"never.txt\"\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(1), 1);
  EXPECT_EQ(r.Int(2), 0);
  EXPECT_EQ(r.Int(3), 0);  // a directory is not a file
  EXPECT_EQ(r.Int(4), 1);
  EXPECT_EQ(r.Int(5), 0);

  // The define block's variables are cleared when the game starts: the
  // marker's answer is kept as a file.
  dir.Write("0.txt", "*define\nchkdbg %7\nif %7 == 1 createdummy \"dummy.dat\"\ngame\n*start\nend\n");
  auto d = RunGameDir(dir.path());
  ASSERT_EQ(d.status, 0) << d.errorText;
  EXPECT_TRUE(platform::IsRegularFile(dir.File("dummy.dat")));

  auto kind = RunIn(dir, "fileexist $1,\"a\"\n");
  EXPECT_EQ(kind.errorMessage, "fileexistの第一引数は数字変数です。");
}

TEST(GamePaths, NamesThatLeaveTheGameDirectoryAreRefused) {
  std::string rel;
  EXPECT_TRUE(NormaliseGameName("sub\\..\\a.txt", rel));
  EXPECT_EQ(rel, "a.txt");
  EXPECT_TRUE(NormaliseGameName("./save//x.dat", rel));
  EXPECT_EQ(rel, "save/x.dat");
  // "表" is 0x95 0x5C: its trail byte is no separator.
  EXPECT_TRUE(NormaliseGameName("\x95\\.txt", rel));
  EXPECT_EQ(rel, "\x95\\.txt");
  for (const char* bad : {"/etc/passwd", "\\x", "C:\\autoexec.bat", "..\\x", "a/../../x", "..", "\x95\\\\..\\..\\x"}) {
    EXPECT_FALSE(NormaliseGameName(bad, rel)) << bad;
  }

  TempDir dir;
  for (const char* cmd : {"readfile $1,\"../outside.txt\"", "fileremove \"/tmp/x\"", "filecreate \"a\\..\\..\\x\"",
                          "fileexist %1,\"/etc/passwd\"", "csvopen \"../x.csv\",\"wc\"",
                          "getini $1,\"a\",\"b\",\"/etc/x.ini\""}) {
    auto r = RunIn(dir, std::string(cmd) + "\n");
    EXPECT_EQ(r.status, 1) << cmd;
    EXPECT_NE(r.errorMessage.find("ゲームフォルダの外"), std::string::npos) << cmd << ": " << r.errorMessage;
  }
  dir.Write("0.txt", "*define\nsavedir \"..\\saves\"\ngame\n*start\nend\n");
  EXPECT_EQ(RunGameDir(dir.path()).status, 1);
}

// Headless runs start nothing: the refusal is said on stderr and the game
// goes on.
TEST(Host, HeadlessRunsStartNothing) {
  TempDir dir;
  dir.Write("run.sh", "#!/bin/sh\ntouch ran\n");
  auto r = RunIn(dir, "winexec \"run.sh\",1\nshell \"https://example.org/\"\nmov %1,1\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(1), 1);
  EXPECT_FALSE(platform::IsRegularFile(dir.File("ran")));
  EXPECT_NE(r.stderrText.find("winexec run.sh was not run"), std::string::npos) << r.stderrText;
  EXPECT_NE(r.stderrText.find("shell https://example.org/ was not run"), std::string::npos);
}

TEST(Host, MessageBoxesAndTestfuncPrintHeadless) {
  TempDir dir;
  auto r = RunIn(dir, "mesbox \"hello\",\"Title\"\ntestfunc\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_NE(r.stderrText.find("Title: hello"), std::string::npos) << r.stderrText;
  EXPECT_NE(r.stderrText.find("testfunc: 0 5"), std::string::npos) << r.stderrText;
}

}  // namespace
}  // namespace sorv
