// `if` and `notif`: operators, string order, connectors and what is left of
// the line afterwards.
#include "persist/logs.h"
#include "values_fixture.h"

namespace sorv {
namespace {

class ConditionTest : public ValuesTest {
 protected:
  // Whether the condition lets the rest of the line (" X") run. A skipped
  // line leaves ScriptPos behind its line feed, on the terminating NUL.
  bool Runs(std::string_view condition, void (*handler)(Engine&) = Cmd_if) {
    Run(handler, std::string(condition) + " X");
    if (e.script.cur() == 0) return false;
    EXPECT_EQ(Rest(), "X") << condition;
    return true;
  }
};

TEST_F(ConditionTest, OperatorSpellingsAgree) {
  EXPECT_TRUE(Runs("1 = 1"));
  EXPECT_TRUE(Runs("1 == 1"));
  EXPECT_FALSE(Runs("1 == 2"));
  EXPECT_TRUE(Runs("1 != 2"));
  EXPECT_TRUE(Runs("1 <> 2"));
  EXPECT_FALSE(Runs("2 <> 2"));
  EXPECT_TRUE(Runs("-1 < 0"));
  EXPECT_TRUE(Runs("2 <= 2"));
  EXPECT_FALSE(Runs("2 > 2"));
  EXPECT_TRUE(Runs("2 >= 2"));
  EXPECT_TRUE(Runs("2+3 = 10/2"));
  EXPECT_EQ(RunError(Cmd_if, "1 ! 2").message, "if条件式が間違っています。");
  EXPECT_EQ(RunError(Cmd_if, "1 ? 2").message, "if条件式が間違っています。");
}

TEST_F(ConditionTest, StringsCompareAsUnsignedBytes) {
  Str(1) = "abc";
  EXPECT_TRUE(Runs("$1 = \"abc\""));
  EXPECT_TRUE(Runs("\"abc\" < \"abd\""));
  EXPECT_TRUE(Runs("\"ab\" < \"abc\""));
  EXPECT_FALSE(Runs("\"abc\" < \"ab\""));
  // A double-byte character sorts after every ASCII byte.
  EXPECT_TRUE(Runs("\"\x82\xA0\" > \"z\""));
  EXPECT_TRUE(Runs("$1 + \"d\" = \"abcd\""));
}

TEST_F(ConditionTest, AndStopsAtTheFirstFailureOrEvaluatesEveryTerm) {
  // The right-hand term would divide by zero if it were evaluated.
  EXPECT_FALSE(Runs("1 = 0 & 1/0 = 0"));
  EXPECT_FALSE(Runs("1 = 1 && 2 = 3"));
  EXPECT_TRUE(Runs("1 = 1 && 2 = 2 & 3 = 3"));
  EXPECT_EQ(RunError(Cmd_if, "1 = 1 | 1/0 = 0").message, "０で除算しました。");
  EXPECT_TRUE(Runs("1 = 0 || 2 = 2"));
  EXPECT_FALSE(Runs("1 = 0 | 2 = 3"));
  EXPECT_EQ(RunError(Cmd_if, "1 = 1 & 2 = 2 | 3 = 3").message, "&と|は混在させないでください。");
}

TEST_F(ConditionTest, NotifNegatesTermsButNotConnectors) {
  EXPECT_FALSE(Runs("1 = 1", Cmd_notif));
  EXPECT_TRUE(Runs("1 = 0 & 2 = 3", Cmd_notif));
  EXPECT_FALSE(Runs("1 = 1 & 2 = 3", Cmd_notif));
  EXPECT_TRUE(Runs("1 = 1 | 2 = 3", Cmd_notif));
}

TEST_F(ConditionTest, LogChecks) {
  AddFileLog(e, "bg/a.bmp");
  AddLabelLog(e, "start");
  EXPECT_TRUE(Runs("fchk \"BG\\A.BMP\""));
  EXPECT_FALSE(Runs("fchk \"b.bmp\""));
  EXPECT_TRUE(Runs("lchk *start & fchk \"bg/a.bmp\""));
  EXPECT_TRUE(Runs("lchk *other", Cmd_notif));
  EXPECT_EQ(RunError(Cmd_if, "fx = 1").message, "if条件式が間違っています。");
  e.interp.defineMode = true;
  ScriptError inDefine = RunError(Cmd_if, "lchk *start");
  EXPECT_EQ(inDefine.title, "エラー");
  EXPECT_EQ(inDefine.message, "lchk条件式は、定義ブロックでは使えません。");
}

}  // namespace
}  // namespace sorv

namespace sorv {
namespace {

// Through the statement loop: a failed condition skips every statement after
// it on the line, and only those.
TEST(ConditionInScript, SkipsTheRestOfItsLineOnly) {
  test::RunResult r = test::RunScript(
      "*define\ngame\n*start\n"
      "mov %1, 5 : if %1 = 5 mov %2, 1 : mov %3, 1\n"
      "if %1 = 4 && %1 = 5 mov %4, 1 : mov %5, 1\n"
      "mov %6, 1\nend\n");
  ASSERT_EQ(r.status, 0) << r.errorMessage;
  EXPECT_EQ(r.Int(2) + r.Int(3), 2);
  EXPECT_EQ(r.Int(4) + r.Int(5), 0);
  EXPECT_EQ(r.Int(6), 1);
}

}  // namespace
}  // namespace sorv
