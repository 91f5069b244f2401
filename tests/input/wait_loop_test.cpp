// The window procedure's input latches, key polls, timed waits and the
// click wait, driven by a fake platform with a virtual clock.
#include <gtest/gtest.h>

#include "input/fake_platform.h"
#include "input/input.h"
#include "shell/engine.h"
#include "shell/window.h"
#include "support/engine_fixture.h"

namespace sorv {
namespace {

using platform::Event;
using platform::MouseButton;

struct Rig {
  test::FakePlatform fake;
  test::ScriptEngine se{"*define\ngame\n*start\nend\n"};
  Rig() { se->platform = &fake; }
  Engine& e() { return *se; }
  void Dispatch(Event::Type type, MouseButton b = MouseButton::Left) {
    Event ev;
    ev.type = type;
    ev.button = b;
    WindowProc(e(), ev);
  }
  // Dispatches every message due now.
  void Drain() {
    while (PumpInput(e())) {
    }
  }
};

TEST(InputEvents, AReleaseWhileSkippingOrAutoOnlyEndsTheModes) {
  Rig r;
  Engine& e = r.e();
  e.interp.skipMode = true;
  e.input.autoMode = true;
  r.Dispatch(Event::Type::MouseDown);
  r.Dispatch(Event::Type::MouseUp);
  EXPECT_FALSE(e.interp.skipMode);
  EXPECT_FALSE(e.input.autoMode);
  EXPECT_FALSE(e.interp.leftClickFlag);  // the click is used up
  r.Dispatch(Event::Type::MouseUp);
  EXPECT_TRUE(e.interp.leftClickFlag);
}

TEST(InputEvents, ArmedVariableTakesOneClickThenDisarms) {
  Rig r;
  Engine& e = r.e();
  e.input.clickToVariable = 7;
  r.Dispatch(Event::Type::MouseUp, MouseButton::Right);
  EXPECT_EQ(e.values.intVars[7], -1);
  EXPECT_EQ(e.input.clickToVariable, -1);
  r.Dispatch(Event::Type::MouseUp, MouseButton::Left);
  EXPECT_EQ(e.values.intVars[7], -1);
  e.input.clickToVariable = 7;
  r.Dispatch(Event::Type::MouseUp, MouseButton::Middle);
  EXPECT_EQ(e.values.intVars[7], -1);
  EXPECT_TRUE(e.input.middleClick);
  e.input.clickToVariable = 7;
  r.Dispatch(Event::Type::MouseUp, MouseButton::Left);
  EXPECT_EQ(e.values.intVars[7], 1);
}

TEST(InputEvents, EnterAndSpaceTypeCharactersThatClick) {
  Rig r;
  Engine& e = r.e();
  r.fake.Press(0, vk::kReturn);
  r.Drain();
  EXPECT_TRUE(e.interp.leftClickFlag);
  EXPECT_EQ(e.input.lastParam, '\r');

  e.interp.leftClickFlag = false;
  e.input.settings.getEnter = true;
  r.fake.Press(0, vk::kReturn);
  r.Drain();
  EXPECT_FALSE(e.interp.leftClickFlag);  // getenter keeps Enter for the button wait

  // The platform's own text for Space is the same key press again.
  r.fake.Text(0, ' ');
  r.Drain();
  EXPECT_FALSE(e.interp.leftClickFlag);
  r.fake.Press(0, vk::kSpace);
  r.Drain();
  EXPECT_TRUE(e.interp.leftClickFlag);
}

TEST(InputEvents, CharactersEndSkippingAndNStartsIt) {
  Rig r;
  Engine& e = r.e();
  r.fake.Text(0, 'n');
  r.Drain();
  EXPECT_TRUE(e.interp.skipMode);
  r.fake.Text(0, 'x');
  r.Drain();
  EXPECT_FALSE(e.interp.skipMode);
}

TEST(InputEvents, KeyPollsNeedTheFocusAndTheSkipKeyHonoursCtrlAlt) {
  Rig r;
  Engine& e = r.e();
  r.fake.Key(0, vk::kControl, Event::Type::KeyDown);
  r.Drain();
  EXPECT_TRUE(SkipKeyHeld(e));
  r.fake.focus = false;
  EXPECT_FALSE(SkipKeyHeld(e));
  EXPECT_FALSE(KeyHeld(e, vk::kControl));
  r.fake.focus = true;
  e.input.settings.ctrlAlt = true;
  EXPECT_FALSE(SkipKeyHeld(e));
  r.fake.Key(0, vk::kAlt, Event::Type::KeyDown);
  r.Drain();
  EXPECT_TRUE(SkipKeyHeld(e));
  // Releases that go to another window are never seen: losing the focus lets go.
  r.Dispatch(Event::Type::FocusLost);
  EXPECT_FALSE(e.input.keyHeld[vk::kControl]);
}

TEST(KeyNames, NamedKeysSingleCharactersAndNoKey) {
  EXPECT_EQ(KeyFromName("a"), 'A');
  EXPECT_EQ(KeyFromName("7"), '7');
  EXPECT_EQ(KeyFromName(" "), vk::kSpace);
  EXPECT_EQ(KeyFromName("space"), vk::kSpace);
  EXPECT_EQ(KeyFromName("Esc"), vk::kEscape);
  EXPECT_EQ(KeyFromName("ctrl"), vk::kControl);
  EXPECT_EQ(KeyFromName("Return"), vk::kReturn);
  EXPECT_EQ(KeyFromName("ENTER"), vk::kReturn);
  EXPECT_EQ(KeyFromName("pageup"), vk::kPageUp);
  EXPECT_EQ(KeyFromName("PageDown"), vk::kPageDown);
  EXPECT_EQ(KeyFromName("shift"), vk::kShift);
  EXPECT_EQ(KeyFromName("up"), vk::kUp);
  EXPECT_EQ(KeyFromName("LEFT"), vk::kLeft);
  EXPECT_EQ(KeyFromName("f1"), vk::kF1);
  EXPECT_EQ(KeyFromName("F12"), vk::kF1 + 11);
  EXPECT_EQ(KeyFromName("F13"), 0);
  EXPECT_EQ(KeyFromName("F0"), 0);
  EXPECT_EQ(KeyFromName("tab"), 0);
  EXPECT_EQ(KeyFromName(""), 0);
  EXPECT_EQ(KeyFromName(std::string(80, 'F')), 0);
}

TEST(TimedWait, DelayEndsOnAClickOrSkipWaitOnlyOnEnter) {
  Rig r;
  Engine& e = r.e();
  r.fake.Click(300, 1, 1);
  EXPECT_TRUE(TimedWait(e, 1000, TimedWaitKind::Interruptible));
  EXPECT_EQ(r.fake.clock, 300u);
  EXPECT_TRUE(e.interp.leftClickFlag);  // still there for a click trap

  r.fake.Click(r.fake.clock + 300, 1, 1);
  uint32_t start = r.fake.clock;
  EXPECT_FALSE(TimedWait(e, 1000, TimedWaitKind::EnterOnly));
  EXPECT_EQ(r.fake.clock - start, 1000u);

  start = r.fake.clock;
  r.fake.Press(start + 200, vk::kReturn);
  EXPECT_TRUE(TimedWait(e, 1000, TimedWaitKind::EnterOnly));
  EXPECT_EQ(r.fake.clock - start, 200u);

  start = r.fake.clock;
  e.interp.skipMode = true;
  EXPECT_TRUE(TimedWait(e, 1000, TimedWaitKind::Interruptible));
  EXPECT_EQ(r.fake.clock, start);
  e.interp.skipMode = false;

  r.fake.Key(start + 50, vk::kControl, Event::Type::KeyDown);
  EXPECT_TRUE(TimedWait(e, 1000, TimedWaitKind::Interruptible));
  EXPECT_EQ(r.fake.clock - start, 50u);
}

TEST(TimedWait, AReturnToTheStartEndsItAtOnce) {
  Rig r;
  r.e().app.resetRequested = true;
  EXPECT_TRUE(TimedWait(r.e(), 1000, TimedWaitKind::EnterOnly));
  EXPECT_EQ(r.fake.clock, 0u);
}

TEST(TimedWait, PendingClicksFromBeforeTheWaitAreDropped) {
  Rig r;
  r.fake.Click(0, 1, 1);
  EXPECT_FALSE(TimedWait(r.e(), 100, TimedWaitKind::Interruptible));
  EXPECT_FALSE(r.e().input.leftHeld);
}

TEST(ClickWait, EndsOnAClickTheSkipKeyOrSkipMode) {
  Rig r;
  Engine& e = r.e();
  r.fake.Click(500, 1, 1);
  EXPECT_EQ(WaitForClick(e, {}), WaitEnd::Click);
  EXPECT_EQ(r.fake.clock, 501u);  // press and release take a pass each
  EXPECT_FALSE(e.interp.leftClickFlag);

  e.interp.skipMode = true;
  EXPECT_EQ(WaitForClick(e, {}), WaitEnd::SkipMode);
  e.interp.skipMode = false;

  r.fake.Key(601, vk::kControl, Event::Type::KeyDown);
  EXPECT_EQ(WaitForClick(e, {}), WaitEnd::SkipKey);
  EXPECT_EQ(r.fake.clock, 601u);
  EXPECT_EQ(WaitForClick(e, {}), WaitEnd::SkipKey);  // held: at once
  EXPECT_EQ(r.fake.clock, 601u);
}

TEST(ClickWait, AutoModeEndsAfterItsTimeUnlessTheVoicePlays) {
  Rig r;
  Engine& e = r.e();
  e.input.autoMode = true;
  e.input.settings.autoModeTime = 2000;
  EXPECT_EQ(WaitForClick(e, {}), WaitEnd::AutoMode);
  EXPECT_EQ(r.fake.clock, 2000u);

  e.input.settings.autoModeTime = -100;  // 100 ms a character
  ClickWaitRequest seven;
  seven.chunkChars = 7;
  uint32_t start = r.fake.clock;
  EXPECT_EQ(WaitForClick(e, seven), WaitEnd::AutoMode);
  EXPECT_EQ(r.fake.clock - start, 700u);

  bool voice = true;
  e.input.hooks.voicePlaying = [&](Engine&) { return voice; };
  start = r.fake.clock;
  r.fake.Click(start + 5000, 1, 1);  // ends auto mode instead of the wait
  r.fake.Click(start + 6000, 1, 1);
  EXPECT_EQ(WaitForClick(e, seven), WaitEnd::Click);
  EXPECT_EQ(r.fake.clock - start, 6001u);
  EXPECT_FALSE(e.input.autoMode);
}

TEST(ClickWait, AutoclickEndsTheWaitAfterItsTime) {
  Rig r;
  Engine& e = r.e();
  e.input.settings.autoClickMs = 300;
  e.interp.skipMode = true;
  EXPECT_EQ(WaitForClick(e, {}), WaitEnd::SkipMode);  // seen in the loop, not before it
  e.interp.skipMode = false;
  uint32_t start = r.fake.clock;
  EXPECT_EQ(WaitForClick(e, {}), WaitEnd::AutoClick);
  EXPECT_EQ(r.fake.clock - start, 300u);
}

TEST(ClickWait, RightClickAndEscapeRunTheActionWheelUpTheBacklog) {
  Rig r;
  Engine& e = r.e();
  int actions = 0, backlogs = 0;
  e.input.hooks.rightClickAction = [&](Engine&) { return ++actions == 2; };
  e.input.hooks.openBacklog = [&](Engine&) { ++backlogs; };
  r.fake.Click(10, 1, 1, MouseButton::Right);
  r.fake.Wheel(20, -1);
  r.fake.Wheel(30, 1);
  r.fake.Press(40, vk::kEscape);
  EXPECT_EQ(WaitForClick(e, {}), WaitEnd::Interrupted);
  EXPECT_EQ(actions, 2);
  EXPECT_EQ(backlogs, 1);

  // `click` has the menu switched off.
  ClickWaitRequest plain;
  plain.rightClickAction = false;
  r.fake.Click(100, 1, 1, MouseButton::Right);
  r.fake.Click(200, 1, 1);
  EXPECT_EQ(WaitForClick(e, plain), WaitEnd::Click);
  EXPECT_EQ(actions, 2);
}

TEST(ClickWait, UnattendedRunsAnswerAtOnceAndAResetEndsTheWait) {
  Rig r;
  r.fake.unattended = true;
  EXPECT_EQ(WaitForClick(r.e(), {}), WaitEnd::Unattended);
  EXPECT_EQ(r.fake.clock, 1u);
  r.fake.unattended = false;
  r.e().app.resetRequested = true;
  EXPECT_EQ(WaitForClick(r.e(), {}), WaitEnd::Interrupted);
}

TEST(ClickWait, LeftOrRight) {
  Rig r;
  r.fake.Click(10, 1, 1, MouseButton::Right);
  EXPECT_EQ(WaitLeftOrRight(r.e()), 0);
  r.fake.Click(20, 1, 1);
  EXPECT_EQ(WaitLeftOrRight(r.e()), 1);
}

}  // namespace
}  // namespace sorv
