// The value commands: limits, arrays, the bank's end, arithmetic, random
// numbers, trigonometry and the text conversions.
#include <climits>

#include "values_fixture.h"

namespace sorv {
namespace {

using CommandsTest = ValuesTest;

TEST_F(CommandsTest, LimitsClampEveryLimitedVariableOnTheNextStore) {
  Run(Cmd_intlimit, "10, 0, 100");
  Run(Cmd_mov, "%10, 150");
  EXPECT_EQ(Int(10), 100);
  Run(Cmd_sub, "%10, 105");
  EXPECT_EQ(Int(10), 0);
  // A limit set on a variable already out of range bites at the next store
  // to any variable.
  Int(11) = 50;
  Run(Cmd_intlimit, "11, 0, 5");
  EXPECT_EQ(Int(11), 50);
  Run(Cmd_inc, "%1");
  EXPECT_EQ(Int(11), 5);
  // A high bound of -1 means no limit, whatever the low bound.
  Run(Cmd_intlimit, "12, 10, -1");
  Run(Cmd_mov, "%12, 3");
  EXPECT_EQ(Int(12), 3);
  EXPECT_EQ(RunError(Cmd_intlimit, "4096, 0, 1").message, "変数番号が範囲外をさしています。");
}

TEST_F(CommandsTest, ArraysAreRowMajorAndMovlFillsARow) {
  Run(Cmd_dim, "?5[2][3]");
  ASSERT_NE(FindArray(e, 5), nullptr);
  const std::vector<int32_t>& elems = FindArray(e, 5)->elems;
  EXPECT_EQ(elems.size(), 12u);
  Run(Cmd_mov, "?5[1][2], 7");
  EXPECT_EQ(elems[6], 7);
  Run(Cmd_movl, "?5[2], 1, 2, 3, 4");
  EXPECT_EQ(std::vector<int32_t>(elems.begin() + 8, elems.end()), (std::vector<int32_t>{1, 2, 3, 4}));
  EXPECT_EQ(Eval("?5[1][2] + ?5[2][3]"), 11);
  EXPECT_EQ(RunError(Cmd_movl, "?5[0], 1, 2, 3").message, "コンマが必要なところにコンマが有りません。");
  EXPECT_EQ(RunError(Cmd_movl, "%5, 1").message, "movlの第一引数は?数字です。");
  EXPECT_EQ(RunError(Cmd_dim, "?5[1]").message, "配列変数の二重宣言です。");
  EXPECT_EQ(RunError(Cmd_mov, "?5[0][-1], 1").title, "エラー");
  e.values.returnNumber = 42;
  Run(Cmd_getret, "?5[0][0]");
  EXPECT_EQ(elems[0], 42);
}

TEST_F(CommandsTest, MovNStopsAtTheEndOfTheBank) {
  Run(Cmd_mov3, "%4093, 1, 2, 3");
  EXPECT_EQ(Int(4093), 1);
  EXPECT_EQ(Int(4095), 3);
  ScriptError past = RunError(Cmd_mov3, "%4094, 1, 2, 3");
  EXPECT_EQ(past.message, "変数番号が範囲外をさしています。");
  EXPECT_EQ(RunError(Cmd_mov10, "$1, 1").message, "mov10の第一引数は数字変数です。");
  // The values are stored in order, so a later one sees an earlier one.
  Run(Cmd_mov4, "%0, 1, %0+1, %1+1, %2+1");
  EXPECT_EQ(Int(3), 4);
}

TEST_F(CommandsTest, ArithmeticCommands) {
  Int(1) = -7;
  Run(Cmd_div, "%1, 2");
  EXPECT_EQ(Int(1), -3);
  Int(1) = -7;
  Run(Cmd_mod, "%1, 2");
  EXPECT_EQ(Int(1), -1);
  Int(1) = INT_MAX;
  Run(Cmd_mul, "%1, 2");
  EXPECT_EQ(Int(1), -2);
  ScriptError zero = RunError(Cmd_div, "%1, 0");
  EXPECT_EQ(zero.title, "０除算エラー");
  EXPECT_EQ(zero.message, "０で除算しました。");
  EXPECT_EQ(RunError(Cmd_sub, "$1, 1").message, "subの第一引数は数字変数です。");
  EXPECT_EQ(RunError(Cmd_mov, "1, 1").message, "movの第一引数は数字／文字変数／配列です。");
}

TEST_F(CommandsTest, RandomNumbersFollowTheGenerator) {
  SeedRandom(e, 1);
  Run(Cmd_rnd, "%1, 100");
  EXPECT_EQ(Int(1), 41);  // state 2745024, (state >> 16) & 0x7FFF = 41
  EXPECT_EQ(RunError(Cmd_rnd, "%1, 0").message, "０で剰余演算しました。");
  for (int i = 0; i < 50; ++i) {
    Run(Cmd_rnd2, "%1, 5, 3");  // bounds the wrong way round mean 3 ... 5
    EXPECT_GE(Int(1), 3);
    EXPECT_LE(Int(1), 5);
    Run(Cmd_rnd, "%2, -4");
    EXPECT_GE(Int(2), 0);
    EXPECT_LE(Int(2), 3);
  }
}

TEST_F(CommandsTest, TrigonometryRoundsHalfAwayFromZero) {
  const std::pair<const char*, int32_t> cases[] = {
      {"%1, 30", 500},   {"%1, -30", -500}, {"%1, 2", 35}, {"%1, -2", -35},
  };
  for (const auto& [args, want] : cases) {
    Run(Cmd_sin, args);
    EXPECT_EQ(Int(1), want) << "sin " << args;
  }
  Run(Cmd_cos, "%1, 0");
  EXPECT_EQ(Int(1), 1000);
  Run(Cmd_cos, "%1, 60");
  EXPECT_EQ(Int(1), 500);
  Run(Cmd_tan, "%1, 89");
  EXPECT_EQ(Int(1), 57290);
  // The poles of the tangent are taken as the largest integer.
  for (const char* pole : {"%1, 90", "%1, 270", "%1, -90"}) {
    Run(Cmd_tan, pole);
    EXPECT_EQ(Int(1), INT_MAX) << pole;
  }
}

TEST_F(CommandsTest, MidCutsBytes) {
  Run(Cmd_mid, "$1, \"abcdef\", 2, 3");
  EXPECT_EQ(Str(1), "cde");
  Run(Cmd_mid, "$1, \"abcdef\", 4, 100");
  EXPECT_EQ(Str(1), "ef");
  Run(Cmd_mid, "$1, \"abcdef\", 10, 3");
  EXPECT_EQ(Str(1), "");
  Run(Cmd_mid, "$1, \"abcdef\", 0, 0");
  EXPECT_EQ(Str(1), "");
  EXPECT_EQ(RunError(Cmd_mid, "$1, \"abcdef\", -1, 3").message, "midの開始位置が負の値です。");
}

TEST_F(CommandsTest, NumberTextConversions) {
  Run(Cmd_itoa, "$1, -45");
  EXPECT_EQ(Str(1), "-45");
  Run(Cmd_itoa2, "$1, -45");
  EXPECT_EQ(Str(1), "\x81\x7C\x82\x53\x82\x54");
  Run(Cmd_atoi, "%1, \"  -12abc\"");
  EXPECT_EQ(Int(1), -12);
  Run(Cmd_atoi, "%1, \"x1\"");
  EXPECT_EQ(Int(1), 0);
  Run(Cmd_atoi, "%1, \"99999999999\"");
  EXPECT_EQ(Int(1), INT_MAX);
  Run(Cmd_len, "%1, \"a\x82\xA0\"");
  EXPECT_EQ(Int(1), 3);
}

TEST_F(CommandsTest, CmpOrdersUnsignedBytes) {
  const std::pair<const char*, int32_t> cases[] = {
      {"%1, \"abc\", \"abc\"", 0}, {"%1, \"abc\", \"abd\"", -1},
      {"%1, \"abc\", \"ab\"", 1},  {"%1, \"\x82\xA0\", \"a\"", 1},
  };
  for (const auto& [args, want] : cases) {
    Run(Cmd_cmp, args);
    EXPECT_EQ(Int(1), want) << args;
  }
}

TEST_F(CommandsTest, SplitFillsMissingFieldsAndKeepsDoubleByteCharacters) {
  Int(3) = 9;
  Str(4) = "old";
  Run(Cmd_split, "\"a,12\", \",\", $1, %2, %3, $4");
  EXPECT_EQ(Str(1), "a");
  EXPECT_EQ(Int(2), 12);
  EXPECT_EQ(Int(3), 0);
  EXPECT_EQ(Str(4), "");
  // The trail byte of the full-width space is 0x40, the separator here.
  Run(Cmd_splitnum, "\"\x81\x40@b\", \"@\", 99, $1, $2");
  EXPECT_EQ(Str(1), "\x81\x40");
  EXPECT_EQ(Str(2), "b");
  EXPECT_EQ(RunError(Cmd_split, "\"a\", \",,\", $1").message, "splitの分割文字は一文字です");
}

TEST_F(CommandsTest, StringAddAndAliases) {
  Str(1) = "ab";
  Run(Cmd_add, "$1, \"cd\"");
  EXPECT_EQ(Str(1), "abcd");
  Str(1) = std::string(8000, 'x');
  Str(2) = std::string(190, 'y');
  EXPECT_EQ(RunError(Cmd_add, "$1, $2").message, "足し合わせた結果の文字列が長すぎます。");

  Run(Cmd_numalias, "Three, 3");
  Run(Cmd_numalias, "six, three*2");
  EXPECT_EQ(Eval("SIX"), 6);
  EXPECT_EQ(RunError(Cmd_numalias, "three, 4").message, "数字エイリアスthreeが二重定義されています。");
  Run(Cmd_stralias, "three, \"san\"");  // a separate name space
  Run(Cmd_mov, "$1, three");
  EXPECT_EQ(Str(1), "san");
}

}  // namespace
}  // namespace sorv
