// The numeric expression reader: precedence, wrap-around arithmetic, unary
// minus, where an expression ends, and the errors it reports.
#include <climits>
#include <string>
#include <vector>

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

// Arguments in the script's own text are remembered by position: reading one
// again must give what reading it afresh gives, value, end and errors alike.
TEST(ExprRemembered, ReadingAgainMatchesAFreshRead) {
  const std::vector<std::string> lines = {
      "1,",    " 12 \tgoto",  "%3",     "% 3 ,2", "%3+1",   "1modx", "-5",   "7 mod 2",
      "%9999", "0000000000000000042", "%1*%2", "2147483648", "%[1]", "?0[0]",
  };
  std::string text;
  std::vector<int32_t> starts;
  for (const std::string& l : lines) {
    starts.push_back(static_cast<int32_t>(text.size()));
    text += l + "\n";
  }
  test::ScriptEngine fresh(text);
  test::ScriptEngine again(text);
  // Reads the argument at `start`; an error becomes a value of its own.
  auto read = [](Engine& e, int32_t start) {
    e.script.pos = start;
    e.script.readNesting = 0;
    try {
      int32_t v = ReadNumberArgument(e);
      return std::to_string(v) + "@" + std::to_string(e.script.pos - start);
    } catch (const ScriptError& err) {
      return "error " + err.title + " " + err.message;
    }
  };
  auto vars = [](Engine& e, int32_t a, int32_t b) {
    e.values.intVars[1] = a;
    e.values.intVars[2] = b;
    e.values.intVars[3] = a * b;
  };
  for (int round = 0; round < 3; ++round) {
    vars(*fresh, round, 5 - round);
    vars(*again, round, 5 - round);
    for (int32_t start : starts) {
      fresh->script.numberCache.clear();
      EXPECT_EQ(read(*again, start), read(*fresh, start)) << "at " << start << " in round " << round;
    }
  }
  // Fewer variables: a remembered "%3" beyond them is refused as reading it is.
  fresh->script.numVarCount = 3;
  again->script.numVarCount = 3;
  fresh->script.numberCache.clear();
  EXPECT_EQ(read(*again, starts[2]), read(*fresh, starts[2]));
  EXPECT_EQ(read(*again, starts[2]).substr(0, 5), "error");
  // So is one at the nesting bound.
  again->script.pos = starts[0];
  again->script.readNesting = kMaxReadNesting;
  EXPECT_THROW(ReadNumberArgument(*again), ScriptError);
  // Another text at the same positions is read afresh.
  LoadScriptFromText(*again, "9\n");
  EXPECT_EQ(read(*again, 0), "9@1");
}

}  // namespace
}  // namespace sorv
