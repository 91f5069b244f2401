// Finding, reading and descrambling the script; the first-line settings.
#include <gtest/gtest.h>

#include "support/engine_fixture.h"

namespace sorv {
namespace {

using test::RunGameDir;
using test::RunScript;
using test::TempDir;

std::string Xor(std::string_view text, unsigned char key) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(static_cast<unsigned char>(c) ^ key);
  return out;
}

TEST(ScriptSource, NumberedTextBeatsScrambledFiles) {
  TempDir dir;
  dir.Write("0.txt", "*define\ngame\n*start\nmov %1,7\nend\n");
  dir.Write("svscript.dat", Xor("*define\ngame\n*start\nmov %1,9\nend\n", 0xA7));
  dir.Write("svscript.zat", Xor("*define\ngame\n*start\nmov %1,8\nend\n", 0xD3));
  auto r = RunGameDir(dir.path());
  EXPECT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(1), 7);
  EXPECT_TRUE(r.engine->script.fromTextFiles);
}

TEST(ScriptSource, ScrambledSingleFileBeatsScrambledSet) {
  TempDir dir;
  dir.Write("svscript.zat", Xor("*define\ngame\n*start\nmov %1,8 ; comment\r\nend\n", 0xD3));
  dir.Write("svscript.dat", Xor("*define\ngame\n*start\nmov %1,9\nend\n", 0xA7));
  auto r = RunGameDir(dir.path());
  EXPECT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(1), 8);
  // Carriage returns stay in a scrambled script.
  EXPECT_NE(std::string(r.engine->script.data(), static_cast<size_t>(r.engine->script.length)).find('\r'),
            std::string::npos);
}

TEST(ScriptSource, ScrambledSetAppendsNumberedParts) {
  TempDir dir;
  dir.Write("svscript.dat", Xor("*define\ngame\n*start\ngoto *part", 0xA7));
  dir.Write("03.np", Xor("*part\nmov %2,3\nend", 0xA7));
  auto r = RunGameDir(dir.path());
  EXPECT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(2), 3);
  const ScriptState& s = r.engine->script;
  EXPECT_EQ(std::string(s.data(), static_cast<size_t>(s.length)),
            "*define\ngame\n*start\ngoto *part\n*part\nmov %2,3\nend\n");
}

TEST(ScriptSource, NumberedFilesWithZeroPaddedNamesAndGaps) {
  TempDir dir;
  dir.Write("0.txt", "*define\r\ngame\r\n*start\r\ngoto *one\r\n");
  dir.Write("01.txt", "*one\nmov %1,1\n\nzzz\n");
  dir.Write("2.txt", "*two\nend\n");
  dir.Write("4.txt", "*four\n");
  auto r = RunGameDir(dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.errorMessage, "不正な命令\"zzz\"です。");
  // "01.txt" stands in for the missing "1.txt" and the location names it.
  EXPECT_NE(r.errorText.find("01.txt line:4\n"), std::string::npos) << r.errorText;

  const ScriptState& s = r.engine->script;
  // Text mode: CR LF became LF; a missing number still adds one newline.
  EXPECT_EQ(s.fileEnd[0], 30);
  EXPECT_EQ(s.fileEnd[1], 30 + 1 + 19);
  EXPECT_EQ(s.fileEnd[2], s.fileEnd[1] + 1 + 9);
  EXPECT_EQ(s.fileEnd[3], s.fileEnd[2] + 1);
  EXPECT_EQ(s.fileEnd[4], s.fileEnd[3] + 1 + 6);
  EXPECT_EQ(s.fileEnd[5], s.fileEnd[4] + 1);
  EXPECT_EQ(s.length, s.fileEnd[99] + 1);
  EXPECT_EQ(PositionToFileLine(s, FindLabel(*r.engine, "two")).file, 2);
  EXPECT_EQ(PositionToFileLine(s, FindLabel(*r.engine, "two")).line, 2);
  EXPECT_EQ(PositionToFileLine(s, s.fileEnd[4]).file, 4);
}

TEST(ScriptSource, CtrlZEndsATextFile) {
  auto r = RunScript("*define\ngame\n*start\nend\n\x1Agarbage that never runs\n");
  EXPECT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.engine->script.fileEnd[0], 24);
}

TEST(ScriptSource, MissingScriptIsReported) {
  TempDir dir;
  auto r = RunGameDir(dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.errorTitle, "エラー");
  EXPECT_EQ(r.errorMessage, "スクリプトファイルが見つかりません。");
}

TEST(FirstLine, DollarSettingsInOrder) {
  auto r = RunScript(";$V5000G4000L20000S800,600\n*define\ngame\n*start\nend\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.engine->script.numVarCount, 5000);
  EXPECT_EQ(r.engine->script.globalBorder, 4000);
  EXPECT_EQ(r.engine->script.labelMax, 20000);
  EXPECT_EQ(r.engine->screenWidth, 800);
  EXPECT_EQ(r.engine->screenHeight, 600);
  EXPECT_EQ(r.engine->values.intVars.size(), 5002u);
}

TEST(FirstLine, BorderCheckedAgainstTheCountInForce) {
  auto r = RunScript(";$G4500V5000\n*define\ngame\n*start\nend\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.errorTitle, "エラー");
  EXPECT_EQ(r.errorMessage, "グローバル変数設定に与える数字が大きすぎます。");
  EXPECT_NE(r.stderrText.find("グローバル変数設定に与える数字が大きすぎます。"), std::string::npos);
}

TEST(FirstLine, ModeWordWithValue) {
  auto r = RunScript("  \t;  mode400,value300\n*define\ngame\n*start\nend\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.engine->screenWidth, 400);
  EXPECT_EQ(r.engine->screenHeight, 300);
  EXPECT_EQ(r.engine->script.globalBorder, 300);

  auto plain = RunScript(";value1000\n*define\ngame\n*start\nend\n");
  EXPECT_EQ(plain.engine->screenWidth, 640);
  EXPECT_EQ(plain.engine->script.globalBorder, 1000);

  auto small = RunScript(";mode320\n*define\ngame\n*start\nend\n");
  EXPECT_EQ(small.engine->screenWidth, 320);
  EXPECT_EQ(small.engine->screenHeight, 240);
  EXPECT_EQ(small.engine->script.globalBorder, 200);
}

TEST(FirstLine, MalformedOrHostileSizesAreRefused) {
  for (const char* line : {";$S800\n", ";$S0,0\n", ";$S100000,100\n", ";$V999999999999\n", ";$V0\n"}) {
    auto r = RunScript(std::string(line) + "*define\ngame\n*start\nend\n");
    EXPECT_EQ(r.status, 2) << line;
    EXPECT_EQ(r.errorMessage, "一行目の設定が間違っています。") << line;
  }
}

TEST(Labels, CaseInsensitiveAndPositioned) {
  test::ScriptEngine se("*Start\nmov %1,1\n*mid   \t\n*inline  mov %2,2\n*last");
  Engine& e = *se;
  EXPECT_EQ(FindLabel(e, "START"), 7);
  EXPECT_EQ(FindLabel(e, "start"), 7);
  // Blanks behind a name alone on its line are skipped with the line feed.
  EXPECT_EQ(FindLabel(e, "mid"), 25);
  // With text behind the name the label points at that text.
  EXPECT_EQ(e.script.at(FindLabel(e, "inline")), 'm');
  EXPECT_GE(FindLabel(e, "last"), 0);
  EXPECT_EQ(FindLabel(e, "nowhere"), -1);

  JumpToLabel(e, "MID");
  EXPECT_EQ(e.script.pos, 25);
  EXPECT_TRUE(InLabelLog(e, "mid"));
  auto err = test::ExpectScriptError([&] { JumpToLabel(e, "Nowhere"); });
  EXPECT_EQ(err.title, "ラベルエラー");
  EXPECT_EQ(err.message, "ラベル*Nowhereは存在しません");
}

TEST(Labels, DuplicateAcrossFilesIsReported) {
  TempDir dir;
  dir.Write("0.txt", "*define\ngame\n*start\nend\n*Same\n");
  dir.Write("1.txt", "*same\n");
  auto r = RunGameDir(dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.errorMessage, "ラベル*sameの多重定義です。");
  EXPECT_NE(r.errorText.find("1.txt line:1"), std::string::npos) << r.errorText;
}

TEST(Labels, TableLimitFromFirstLine) {
  auto r = RunScript(";$L3\n*define\ngame\n*start\nend\n*four\n*five\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.errorMessage, "ラベルが最大数を超えました。");
}

TEST(Labels, LabelexistReportsWithoutJumping) {
  auto r = RunScript("*define\ngame\n*start\nlabelexist %1,*there:labelexist %2,*Nowhere\nend\n*there\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(1), 1);
  EXPECT_EQ(r.Int(2), 0);
  EXPECT_FALSE(InLabelLog(*r.engine, "there"));
}

// Bad input: the engine reports and ends, never crashes.
TEST(ScriptSource, BadFilesAreReportedNotFatal) {
  {
    TempDir dir;
    dir.Write("0.txt/keep", "");
    auto r = RunGameDir(dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.errorMessage, "スクリプトファイル0.txtがディレクトリです。");
  }
  {
    std::string garbage;
    uint32_t x = 12345;
    for (int i = 0; i < 100000; ++i) {
      x = x * 1103515245u + 12345u;
      garbage.push_back(static_cast<char>(x >> 24));
    }
    auto r = RunScript(garbage);
    EXPECT_EQ(r.status, 1);
  }
  {
    auto r = RunScript("*define\ngame\n*start\nmov %1,5\nend");  // no newline at the end
    EXPECT_EQ(r.status, 0) << r.errorText;
    EXPECT_EQ(r.Int(1), 5);
  }
}

TEST(ScriptSource, FiftyMegabyteScript) {
  std::string script = "*define\ngame\n*start\ngoto *last\n";
  std::string filler(80, 'x');
  filler = ";" + filler + "\n";
  while (script.size() < 50u * 1024 * 1024) script += filler;
  script += "*last\nmov %1,42\nend\n";
  auto r = RunScript(script);
  EXPECT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(1), 42);
}

}  // namespace
}  // namespace sorv
