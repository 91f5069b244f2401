// Control flow: loops, subroutines and the shared call stack, user commands
// with their parameters, relative and computed jumps, traps, reset.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "interp/control_flow.h"
#include "interp/interp.h"
#include "script/reader.h"
#include "support/engine_fixture.h"

namespace sorv {
namespace {

using test::ExpectScriptError;
using test::RunScript;
using test::ScriptEngine;

const char kStackTitle[] = "スタックエラー";

std::string Game(const std::string& body, const std::string& define = "") {
  return "*define\n" + define + "game\n*start\n" + body;
}

// The chunks "=1", "=2", ... that a display line "=%n" shows for each value.
std::vector<std::string> Shown(std::initializer_list<int> values) {
  std::vector<std::string> out;
  for (int v : values) out.push_back("=" + FullWidthNumber(v));
  return out;
}

// Positions the reader behind the first `marker` of the script text and the
// blanks after it, as if the command word had just been read.
void After(ScriptEngine& se, const std::string& marker) {
  std::string text(se->script.data(), static_cast<size_t>(se->script.length));
  size_t at = text.find(marker);
  ASSERT_NE(at, std::string::npos) << marker;
  se->script.pos = static_cast<int32_t>(at + marker.size());
  SkipBlanks(*se);
}

// The line the statement loop runs next from `pos` (ScriptPos by default).
std::string NextLine(const Engine& e, int32_t pos = -1) {
  const char* p = e.script.data() + (pos < 0 ? e.script.pos : pos);
  if (*p == '\n') ++p;
  std::string line(p);
  return line.substr(0, line.find('\n'));
}

// --- Loops ---------------------------------------------------------------

TEST(ForLoop, CountsUpDownAndLeavesTheVariablePastTheEnd) {
  auto up = RunScript(Game("for %1=1 to 3\n=%1\nnext\nend\n"));
  EXPECT_EQ(up.status, 0) << up.errorText;
  EXPECT_EQ(up.chunks(), Shown({1, 2, 3}));
  EXPECT_EQ(up.Int(1), 4);
  EXPECT_EQ(up.engine->interp.depth, 0);

  auto down = RunScript(Game("for %1 = 3 to 1 STEP -1\n=%1\nnext\nend\n"));
  EXPECT_EQ(down.chunks(), Shown({3, 2, 1}));
  EXPECT_EQ(down.Int(1), 0);
}

TEST(ForLoop, AStartPastTheEndSkipsToTheFirstNextWithoutCountingNesting) {
  auto skipped = RunScript(Game("for %1=5 to 1\n=body\nnext\n=after\nend\n"));
  EXPECT_EQ(skipped.status, 0) << skipped.errorText;
  EXPECT_EQ(skipped.chunks(), std::vector<std::string>{"=after"});
  EXPECT_EQ(skipped.Int(1), 5);
  EXPECT_EQ(skipped.engine->interp.depth, 0);

  // The inner loop's next ends the scan, so the outer next has no loop.
  auto nested = RunScript(Game("for %1=5 to 1\nfor %2=1 to 2\nnext\n=after\nnext\nend\n"));
  EXPECT_EQ(nested.chunks(), std::vector<std::string>{"=after"});
  EXPECT_EQ(nested.errorMessage, "next文とfor文が正しく対応していません。");
}

TEST(ForLoop, StepZeroRepeatsUntilBreak) {
  auto r = RunScript(Game("for %1=5 to 1 step 0\ninc %2\nif %2==3 break\nnext\n=after\nend\n"));
  EXPECT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(2), 3);
  EXPECT_EQ(r.Int(1), 5);
  EXPECT_EQ(r.chunks(), std::vector<std::string>{"=after"});
  EXPECT_EQ(r.engine->interp.depth, 0);

  auto toLabel = RunScript(Game("for %1=1 to 10\nif %1==2 break *out\nnext\nend\n*out\n=out\nend\n"));
  EXPECT_EQ(toLabel.Int(1), 2);
  EXPECT_EQ(toLabel.chunks(), std::vector<std::string>{"=out"});
  EXPECT_EQ(toLabel.engine->interp.depth, 0);
}

TEST(ForLoop, MalformedHeadersAreReported) {
  const std::string format = "for文の書式が違います。for %変数番号=数字 to 数字 (step 数字)です。";
  for (const char* header : {"1=1 to 3", "%1 1 to 3", "%1=1 too 3", "%1=1 to 3 stp 2"}) {
    ScriptEngine se("");
    se.At(header);
    auto err = ExpectScriptError([&] { Cmd_for(*se); });
    EXPECT_EQ(err.title, "構文エラー") << header;
    EXPECT_EQ(err.message, format) << header;
  }
  ScriptEngine se("");
  se.At("%99999=1 to 3");
  EXPECT_EQ(ExpectScriptError([&] { Cmd_for(*se); }).message, "変数番号が範囲外をさしています。");
}

// --- The call stack ------------------------------------------------------

TEST(CallStack, MismatchedReturnsNextsAndBreaksAreReported) {
  auto inLoop = RunScript(Game("for %1=1 to 3\nreturn\nnext\nend\n"));
  EXPECT_EQ(inLoop.errorTitle, kStackTitle);
  EXPECT_EQ(inLoop.errorMessage,
            "おそらくfor文中からreturnしています。for文中からreturnでループの外に出ないようにしてください。");

  auto outside = RunScript(Game("break\nend\n"));
  EXPECT_EQ(outside.errorTitle, kStackTitle);
  EXPECT_EQ(outside.errorMessage, "break文とfor文が正しく対応していません。");
  // A subroutine frame on top is no loop either.
  auto inSub = RunScript(Game("gosub *s\nend\n*s\nnext\n"));
  EXPECT_EQ(inSub.errorMessage, "next文とfor文が正しく対応していません。");

  ScriptEngine se("");
  se.At("");
  EXPECT_EQ(ExpectScriptError([&] { Cmd_return(*se); }).message, "returnとgosub文が正しく対応していません。");
  EXPECT_EQ(ExpectScriptError([&] { Cmd_noreturn(*se); }).message, "noreturnとgosub文が正しく対応していません。");
  // A loop frame that noreturn cut to three entries is no loop.
  for (int32_t v : {1, 3, -4}) PushStack(*se, v);
  EXPECT_EQ(ExpectScriptError([&] { Cmd_next(*se); }).message, "next文とfor文が正しく対応していません。");
}

TEST(CallStack, GosubOverflowsAtDepth1000AndForAt997) {
  auto r = RunScript(Game("*r\ninc %1\ngosub *r\n"));
  EXPECT_EQ(r.errorTitle, kStackTitle);
  EXPECT_EQ(r.errorMessage, "gosub文のせいでスタックが溢れました。");
  EXPECT_EQ(r.Int(1), 1001);
  EXPECT_EQ(r.engine->interp.depth, 1000);

  ScriptEngine se("");
  se->interp.depth = 996;
  se.At("%1=1 to 2");
  Cmd_for(*se);
  EXPECT_EQ(se->interp.depth, 1000);
  se->interp.depth = 997;
  se.At("%1=1 to 2");
  auto err = ExpectScriptError([&] { Cmd_for(*se); });
  EXPECT_EQ(err.message, "for文のせいでスタックが溢れました。");
  EXPECT_EQ(se->interp.depth, 997);
}

TEST(CallStack, EngineCalledSubroutinesOverflowWithTheirOwnMessage) {
  ScriptEngine se("*hook\n");
  se->interp.depth = 1000;
  auto err = ExpectScriptError([&] { CallEngineSubroutine(*se, "hook", "rgosub処理のせいでスタックが溢れました。"); });
  EXPECT_EQ(err.title, kStackTitle);
  EXPECT_EQ(err.message, "rgosub処理のせいでスタックが溢れました。");
}

TEST(CallStack, ReturnToALabelNoreturnAndPlainReturn) {
  auto toLabel = RunScript(Game("gosub *s\n=no\nend\n*s\nreturn *after\n*after\n=after\nend\n"));
  EXPECT_EQ(toLabel.chunks(), std::vector<std::string>{"=after"});
  EXPECT_EQ(toLabel.engine->interp.depth, 0);

  auto stay = RunScript(Game("gosub *s\n=no\nend\n*s\nnoreturn\n=stay\nend\n"));
  EXPECT_EQ(stay.chunks(), std::vector<std::string>{"=stay"});
  EXPECT_EQ(stay.engine->interp.depth, 0);

  auto back = RunScript(Game("gosub *s:inc %1\n=back\nend\n*s\nreturn\n"));
  EXPECT_EQ(back.Int(1), 1);
  EXPECT_EQ(back.chunks(), std::vector<std::string>{"=back"});
}

TEST(CallStack, ReturnEndsTextGosubAndResumesAnInterruptedWait) {
  ScriptEngine se("abc\n");
  InterpState& in = se->interp;
  PushStack(*se, 1);
  PushStack(*se, 2);
  in.textGosubMark = 1;
  in.inTextGosub = true;
  in.rclickResume = true;
  in.interruptedWait = '\\';
  se.At("");
  Cmd_return(*se);
  EXPECT_EQ(se->script.pos, 2);
  EXPECT_FALSE(in.inTextGosub);
  EXPECT_FALSE(in.rclickResume);
  EXPECT_EQ(se->text.shownChunks, std::vector<std::string>{"\\"});
}

// --- User commands and parameters ----------------------------------------

TEST(UserCommand, GetparamReadsTheCallAndReturnsBehindItsArguments) {
  auto r = RunScript(Game("show 10,\"abc\":inc %3\n=back\nend\n*show\ngetparam %1,$2\nreturn\n",
                          "defsub show\n"));
  EXPECT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(1), 10);
  EXPECT_EQ(r.Str(2), "abc");
  EXPECT_EQ(r.Int(3), 1);
  EXPECT_EQ(r.chunks(), std::vector<std::string>{"=back"});

  auto refs = RunScript(Game("mov $9,\"x\"\nrefs %7,$8,*Target,3*4,\"a\"+$9\nend\n*refs\n"
                             "getparam i%1,s%2,$3,%4,$9\nreturn\n",
                             "defsub refs\n"));
  EXPECT_EQ(refs.status, 0) << refs.errorText;
  EXPECT_EQ(refs.Int(1), 7);
  EXPECT_EQ(refs.Int(2), 8);
  EXPECT_EQ(refs.Str(3), "*target");
  EXPECT_EQ(refs.Int(4), 12);
  EXPECT_EQ(refs.Str(9), "ax");
}

TEST(UserCommand, Getparam2FillsMissingArgumentsAndTakesOptionalCommas) {
  auto r = RunScript(Game("mov %2,9:mov $3,\"old\"\nopt 5\nopt2 6 7\nend\n"
                          "*opt\ngetparam2 %1,%2,$3\nreturn\n*opt2\ngetparam2 %4,%5\nreturn\n",
                          "defsub opt\ndefsub opt2\n"));
  EXPECT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(1), 5);
  EXPECT_EQ(r.Int(2), 0);
  EXPECT_EQ(r.Str(3), "");
  EXPECT_EQ(r.Int(4), 6);
  EXPECT_EQ(r.Int(5), 7);
}

TEST(UserCommand, BadTargetsAndArgumentsAreReported) {
  struct Case {
    void (*handler)(Engine&);
    const char* args;
    const char* targets;
    const char* message;
  };
  const Case cases[] = {
      {Cmd_getparam, "1", "x1", "getparam指定が間違っています。"},
      {Cmd_getparam2, "1", "%1,y", "getparam2指定が間違っています。"},
      {Cmd_getparam, "5", "i%1", "数字変数があるべきところで数字変数がありません"},
      {Cmd_getparam, "%5", "s%1", "文字変数があるべきところで数字変数がありません"},
      {Cmd_getparam, "1 2", "%1,%2", "コンマが必要なところにコンマが有りません。"},
  };
  for (const Case& c : cases) {
    ScriptEngine se(std::string("call ") + c.args + "\n");
    PushStack(*se, 5);
    se.At(c.targets);
    EXPECT_EQ(ExpectScriptError([&] { c.handler(*se); }).message, c.message) << c.targets;
  }
  // Outside any subroutine there are no arguments to read.
  ScriptEngine se("");
  se.At("%1");
  EXPECT_EQ(ExpectScriptError([&] { Cmd_getparam(*se); }).title, kStackTitle);

  auto underscore = RunScript("*define\ndefsub _mine\ngame\n*start\nend\n");
  EXPECT_EQ(underscore.errorMessage, "defsubサブルーチンの一文字目に_は使えません。");
}

TEST(UserCommand, GettagReadsTheTagAndMovesBehindIt) {
  // "\x83\x5d" is a double-byte character whose trail byte is ']'.
  ScriptEngine se("[12/\x83\x5d/x]]text\nplain\n");
  PushStack(*se, 0);
  se.At("%1,$2,$3,$4,%5");
  Cmd_gettag(*se);
  const int32_t& top = se->interp.stack[0];
  EXPECT_EQ(se->values.intVars[1], 12);
  EXPECT_EQ(se->values.strVars[2], "\x83\x5d");
  EXPECT_EQ(se->values.strVars[3], "x");
  EXPECT_EQ(se->values.strVars[4], "");
  EXPECT_EQ(se->values.intVars[5], 0);
  EXPECT_EQ(NextLine(*se, top), "text");

  se->interp.stack[0] = 0;
  se.At("%1");
  Cmd_gettag(*se);
  EXPECT_EQ(NextLine(*se, top), "text");

  // A line without a tag: everything empty, the return position stays.
  After(se, "text\n");
  se->interp.stack[0] = se->script.pos;
  se.At("$2,%1");
  Cmd_gettag(*se);
  EXPECT_EQ(se->values.strVars[2], "");
  EXPECT_EQ(se->values.intVars[1], 0);
  EXPECT_EQ(NextLine(*se, top), "plain");

  se.At("i%1");
  EXPECT_EQ(ExpectScriptError([&] { Cmd_gettag(*se); }).message, "gettag指定が間違っています。");
}

TEST(UserCommand, PretextgosubRoutineReadsTheLineTag) {
  auto r = RunScript(Game("[7/ab]=line\nend\n*pt\ngettag %1,$2\nreturn\n", "pretextgosub *pt\n"));
  EXPECT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(1), 7);
  EXPECT_EQ(r.Str(2), "ab");
  EXPECT_EQ(r.chunks(), std::vector<std::string>{"=line"});
}

// --- Relative and computed jumps -----------------------------------------

TEST(Jumps, TablegotoPicksTheNthLabelAndRefusesOneBeyondTheList) {
  ScriptEngine se("*a\n=a\n*b\n=b\n*c\n=c\n");
  for (auto [n, line] : {std::pair{"1", "=b"}, {"2", "=c"}, {"0", "=a"}, {"-5", "=a"}}) {
    se.At(std::string(n) + ",*a, *b ,*c");
    Cmd_tablegoto(*se);
    EXPECT_EQ(NextLine(*se), line) << n;
  }
  se.At("3,*a,*b,*c\n*x");
  auto err = ExpectScriptError([&] { Cmd_tablegoto(*se); });
  EXPECT_EQ(err.title, "エラー");
  EXPECT_EQ(err.message, "tablegotoの番号に対応するラベルがありません。");
}

TEST(Jumps, SkipMovesWholeLines) {
  for (auto [n, line] : {std::pair{"1", "d"}, {"2", "e"}, {"-1", "b"}, {"-2", "a"}, {"0", ":x"}}) {
    std::string script = "a\nb\nskip " + std::string(n) + ":x\nd\ne\n";
    ScriptEngine se(script);
    After(se, "skip");
    Cmd_skip(*se);
    EXPECT_EQ(NextLine(*se), line) << n;
  }
  for (const char* script : {"skip -1\nb\n", "a\nskip -2\n", "a\nskip 1000\n"}) {
    ScriptEngine se(script);
    After(se, "skip");
    auto err = ExpectScriptError([&] { Cmd_skip(*se); });
    EXPECT_EQ(err.title, "構文エラー") << script;
    EXPECT_EQ(err.message, "SKIPがスクリプトの範囲を飛び出しました。") << script;
  }
}

TEST(Jumps, JumpfAndJumpbFindTheNearestTilde) {
  ScriptEngine se("~top\njumpb\njumpf\nno\n~yes\n");
  After(se, "jumpf");
  Cmd_jumpf(*se);
  EXPECT_EQ(NextLine(*se), "yes");
  After(se, "jumpb");
  Cmd_jumpb(*se);
  EXPECT_EQ(NextLine(*se), "top");

  ScriptEngine none("jumpb\njumpf\n");
  After(none, "jumpf");
  EXPECT_EQ(ExpectScriptError([&] { Cmd_jumpf(*none); }).message, "jumpf命令が~を見つけられませんでした。");
  After(none, "jumpb");
  EXPECT_EQ(ExpectScriptError([&] { Cmd_jumpb(*none); }).message, "jumpb命令が~を見つけられませんでした。");
}

// --- Traps ---------------------------------------------------------------

// A game section run by the statement loop with no platform: the clock
// reads 0 throughout.
const char kTrapScript[] = "*start\n=a\nend\n*t\n=timer\nend\n*c\n=click\nend\n";

std::vector<std::string> RunFromStart(ScriptEngine& se) {
  se->script.pos = 0;
  RunStatements(*se, false);
  return se->text.shownChunks;
}

TEST(Traps, TimerTrapFiresOnAWrappedClockAndTrapStopsIt) {
  ScriptEngine wrapped(kTrapScript);
  wrapped->interp.timerTrap = TimerTrap{true, "t", 500, 1000, 0};
  EXPECT_EQ(RunFromStart(wrapped), std::vector<std::string>{"=timer"});

  ScriptEngine notDue(kTrapScript);
  notDue.At("*T, 1000");
  Cmd_timertrap(*notDue);
  EXPECT_EQ(notDue->interp.timerTrap.label, "t");
  EXPECT_EQ(notDue->interp.timerTrap.interval, 1000u);
  EXPECT_EQ(RunFromStart(notDue), std::vector<std::string>{"=a"});

  ScriptEngine stopped(kTrapScript);
  stopped.At("*t,0");
  Cmd_timertrap(*stopped);
  stopped.At("*c");
  Cmd_trap(*stopped);
  EXPECT_FALSE(stopped->interp.timerTrap.active);
  EXPECT_EQ(RunFromStart(stopped), std::vector<std::string>{"=a"});
}

TEST(Traps, SettingATrapDropsPendingLeftClicksAndCharacters) {
  using T = platform::Event::Type;
  ScriptEngine se(kTrapScript);
  platform::Event up{T::MouseUp}, text{T::Text}, right{T::MouseUp};
  right.button = platform::MouseButton::Right;
  se->app.queue = {up, right, text, up};
  se.At("*c");
  Cmd_lr_trap2(*se);
  ASSERT_EQ(se->app.queue.size(), 1u);
  EXPECT_EQ(se->app.queue[0].button, platform::MouseButton::Right);
}

TEST(Traps, StopAndResume) {
  ScriptEngine se(kTrapScript);
  ClickTrap& t = se->interp.clickTrap;
  se.At("*c");
  Cmd_trap(*se);
  se.At("stop");
  Cmd_trap(*se);
  EXPECT_EQ(t.mode, 1);
  se.At("resume");  // not fired while stopped: armed again, no jump
  Cmd_trap(*se);
  EXPECT_EQ(t.mode, 0);
  EXPECT_EQ(t.label, "c");

  t.mode = 2;  // fired while stopped
  se.At("resume");
  Cmd_trap(*se);
  EXPECT_EQ(NextLine(*se), "=click");
  EXPECT_EQ(t.label, "");
  EXPECT_EQ(t.mode, 0);

  // Turned off after it fired: nothing to jump to.
  se.At("*c");
  Cmd_trap(*se);
  t.mode = 2;
  se.At("off");
  Cmd_trap(*se);
  se.At("resume");
  Cmd_trap(*se);
  EXPECT_EQ(NextLine(*se), "");

  se.At("on");
  EXPECT_EQ(ExpectScriptError([&] { Cmd_trap(*se); }).message,
            "trap命令のパラメータは、offもしくは*ラベル名もしくはstopもしくはresumeです。");
  se.At("later,5");
  EXPECT_EQ(ExpectScriptError([&] { Cmd_timertrap(*se); }).message,
            "timertrap命令の第一パラメータは、offもしくは*ラベル名もしくはstopもしくはresumeです。");
}

// --- Reset ---------------------------------------------------------------

TEST(Reset, ResetEmptiesTheStackAndStartsAgain) {
  auto r = RunScript(Game("inc %250\ngosub *s\nend\n*s\nif %250<3 reset\nreturn\n"));
  EXPECT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(250), 3);
  EXPECT_EQ(r.engine->interp.depth, 0);
}

}  // namespace
}  // namespace sorv
