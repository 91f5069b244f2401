// The numeric expression reader: precedence, wrap-around arithmetic, unary
// minus, where an expression ends, and the errors it reports.
#include <climits>

#include "values_fixture.h"

namespace sorv {
namespace {

using ExprTest = ValuesTest;

TEST_F(ExprTest, TwoLevelsOfPrecedenceAssociateToTheLeft) {
  EXPECT_EQ(Eval("2+3*4"), 14);
  EXPECT_EQ(Eval("(2+3)*4"), 20);
  EXPECT_EQ(Eval("2*3*4"), 24);
  EXPECT_EQ(Eval("7-2-1"), 4);
  EXPECT_EQ(Eval("100/10/5"), 2);
  EXPECT_EQ(Eval("2*3-4*5+6"), -8);
  EXPECT_EQ(Eval("20 mod 3*2"), 4);
  EXPECT_EQ(Eval("((1+2)*(3+4)) mod (2+3)"), 1);
}

TEST_F(ExprTest, DivisionTruncatesAndRemainderFollowsTheDividend) {
  EXPECT_EQ(Eval("20/3"), 6);
  EXPECT_EQ(Eval("-7/2"), -3);
  EXPECT_EQ(Eval("-7 mod 2"), -1);
  EXPECT_EQ(Eval("7 mod (0-2)"), 1);
  EXPECT_EQ(Eval("2147483647+1"), INT_MIN);
  EXPECT_EQ(Eval("65536*65536"), 0);
  // The one quotient that does not fit wraps instead of trapping.
  EXPECT_EQ(Eval("-2147483648/-1"), INT_MIN);
  EXPECT_EQ(Eval("-2147483648 mod -1"), 0);
}

TEST_F(ExprTest, DivisionByZeroIsReported) {
  ScriptError div = EvalError("5/(3-3)");
  EXPECT_EQ(div.title, "０除算エラー");
  EXPECT_EQ(div.message, "０で除算しました。");
  EXPECT_EQ(EvalError("5 mod 0").message, "０で剰余演算しました。");
}

TEST_F(ExprTest, UnaryMinusNegatesTheNextOperand) {
  EXPECT_EQ(Eval("-3*2"), -6);
  EXPECT_EQ(Eval("(-3)"), -3);
  EXPECT_EQ(Eval("5+-2"), 3);
  EXPECT_EQ(Eval("2*-3"), -6);
  EXPECT_EQ(Eval("7/-2"), -3);
  EXPECT_EQ(Eval("7 mod -2"), 1);
  EXPECT_EQ(Eval("5--2"), 7);
  EXPECT_EQ(Eval("--3"), 3);
  EXPECT_EQ(Eval("2*-3*4"), -24);
  EXPECT_EQ(Eval("2*-(1+2)"), -6);
  EXPECT_EQ(Eval("10-(-(4))"), 14);
  Int(1) = 5;
  EXPECT_EQ(Eval("3*-%1"), -15);
}

TEST_F(ExprTest, ModNeedsABlankAfterItOtherwiseItIsAWord) {
  DefineNumAlias(e, "modx", 5);
  EXPECT_EQ(Eval("7 MOD\t2"), 1);
  EXPECT_EQ(Eval("modx*2"), 10);
  EXPECT_EQ(Eval("7 mod modx"), 2);
  EXPECT_EQ(Eval("7 modx"), 7);
  EXPECT_EQ(Rest(), "modx");
}

TEST_F(ExprTest, ExpressionEndsAtTheFirstByteAfterAnOperand) {
  EXPECT_EQ(Eval("1 2"), 1);
  EXPECT_EQ(Rest(), "2");
  EXPECT_EQ(Eval("3 + 4 , 5"), 7);
  EXPECT_EQ(Rest(), ", 5");
  EXPECT_EQ(Eval("[2*3] :x"), 6);
  EXPECT_EQ(Rest(), ":x");
}

TEST_F(ExprTest, MalformedExpressionsAreReported) {
  ScriptError open = EvalError("(1+2");
  EXPECT_EQ(open.title, "エラー");
  EXPECT_EQ(open.message, "式のカッコの対応が間違っています");
  EXPECT_EQ(EvalError("1+2)").message, "式のカッコの対応が間違っています");
  EXPECT_EQ(EvalError("*3").message, "式が間違っています");
  EXPECT_EQ(EvalError("1)+(2").message, "式が間違っています");
  EXPECT_EQ(EvalError("(1)(2)").message, "式のカッコの対応が間違っています");
  EXPECT_EQ(EvalError("x+1").message, "数字がくるべきところに数字がありません。");
}

// Long or deep input must end in a report, never in a stack overflow.
TEST_F(ExprTest, SizeAndNestingAreBounded) {
  std::string deep = std::string(500, '(') + "1" + std::string(500, ')');
  LoadScriptFromText(e, deep);
  EXPECT_EQ(ReadNumberArgument(e), 1);

  std::string sum = "1";
  for (int i = 0; i < 600; ++i) sum += "+1";
  LoadScriptFromText(e, sum);
  EXPECT_EQ(ErrorOf([&] { ReadNumberArgument(e); }).message, "式が長すぎます。");

  LoadScriptFromText(e, std::string(5000, '[') + "1");
  EXPECT_EQ(ErrorOf([&] { ReadNumberArgument(e); }).title, "エラー");
}

}  // namespace
}  // namespace sorv
