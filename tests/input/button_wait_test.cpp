// The button wait's event loop and its return codes.
#include <gtest/gtest.h>

#include "input/fake_platform.h"
#include "input/input.h"
#include "shell/engine.h"
#include "support/engine_fixture.h"

namespace sorv {
namespace {

using platform::Event;
using platform::MouseButton;

// Two buttons side by side: 1 over x 0-99 and 2 over x 100-199.
struct Rig {
  test::FakePlatform fake;
  test::ScriptEngine se{"*define\ngame\n*start\nend\n"};
  ButtonWaitRequest request;
  int hovers = 0, pageEnds = 0;
  Rig() {
    se->platform = &fake;
    request.buttonAt = [](int32_t x, int32_t) -> std::optional<int32_t> {
      if (x >= 0 && x < 100) return 1;
      if (x >= 100 && x < 200) return 2;
      return std::nullopt;
    };
    request.hover = [this](int32_t, int32_t) { ++hovers; };
    request.endPage = [this] { ++pageEnds; };
  }
  Engine& e() { return *se; }
  InputSettings& settings() { return se->input.settings; }
  int32_t Wait() { return RunButtonWait(*se, request); }
  // Runs a wait that a key pressed 10 ms in ends.
  int32_t WaitForKey(int vkCode) {
    fake.Press(fake.clock + 10, vkCode);
    fake.Click(fake.clock + 1000, 500, 5);  // the answer when the key is ignored
    int32_t code = Wait();
    fake.Clear();
    return code;
  }
};

TEST(ButtonWait, ClicksGiveTheButtonUnderThePointerZeroOrMinusOne) {
  Rig r;
  r.fake.Click(40, 150, 5);
  EXPECT_EQ(r.Wait(), 2);
  EXPECT_EQ(r.e().input.lastButtonWaitMs, 41u);  // press and release take a pass each
  r.fake.Click(r.fake.clock + 10, 500, 5);
  EXPECT_EQ(r.Wait(), 0);
  r.fake.Click(r.fake.clock + 10, 50, 5, MouseButton::Right);
  EXPECT_EQ(r.Wait(), -1);
  EXPECT_EQ(r.pageEnds, 0);  // no custom choices on the page
  r.request.stringButtons = true;
  r.fake.Click(r.fake.clock + 10, 50, 5);
  EXPECT_EQ(r.Wait(), 1);
  EXPECT_EQ(r.pageEnds, 1);
}

TEST(ButtonWait, NoButtonsAndNoTimeout) {
  Rig r;
  r.request.buttonAt = nullptr;
  r.fake.Click(10, 50, 5);
  EXPECT_EQ(r.Wait(), 0);
  r.fake.Click(r.fake.clock + 10, 50, 5, MouseButton::Right);
  EXPECT_EQ(r.Wait(), -1);
}

TEST(ButtonWait, TheWheelCountsOnlyWithUsewheel) {
  Rig r;
  r.fake.Wheel(10, 1);
  r.fake.Click(20, 150, 5);
  EXPECT_EQ(r.Wait(), 2);
  r.settings().useWheel = true;
  r.fake.Wheel(r.fake.clock + 10, 1);
  EXPECT_EQ(r.Wait(), -2);
  r.fake.Wheel(r.fake.clock + 10, -1);
  EXPECT_EQ(r.Wait(), -3);
}

TEST(ButtonWait, TimeoutCodeDependsOnUsewheel) {
  Rig r;
  r.request.timeoutMs = 1000;
  EXPECT_EQ(r.Wait(), -2);
  EXPECT_EQ(r.e().input.lastButtonWaitMs, 1000u);
  r.settings().useWheel = true;
  uint32_t start = r.fake.clock;
  EXPECT_EQ(r.Wait(), -5);
  EXPECT_EQ(r.fake.clock - start, 1001u);

  // btntime2 lets the voice finish first.
  int polls = 0;
  r.e().input.hooks.voicePlaying = [&](Engine&) { return ++polls < 500; };
  r.request.timeoutWaitsVoice = true;
  start = r.fake.clock;
  EXPECT_EQ(r.Wait(), -5);
  EXPECT_GT(r.fake.clock - start, 1400u);
}

TEST(ButtonWait, KeySwitches) {
  Rig r;
  EXPECT_EQ(r.WaitForKey(vk::kEscape), 0);  // every switch off: the click answers
  r.settings().useEscSpc = true;
  EXPECT_EQ(r.WaitForKey(vk::kEscape), -10);
  EXPECT_EQ(r.WaitForKey(vk::kSpace), -11);
  r.settings().spaceIsClick = true;
  r.fake.Move(r.fake.clock + 5, 50, 5);
  EXPECT_EQ(r.WaitForKey(vk::kSpace), 1);  // spclclk: Space clicks the button under the pointer
  r.settings().getPageUp = true;
  EXPECT_EQ(r.WaitForKey(vk::kPageUp), -12);
  EXPECT_EQ(r.WaitForKey(vk::kPageDown), 0);
  r.settings().getPage = true;
  EXPECT_EQ(r.WaitForKey(vk::kPageDown), -13);
  r.settings().getTab = true;
  EXPECT_EQ(r.WaitForKey(vk::kTab), -20);
  r.settings().getFunction = true;
  EXPECT_EQ(r.WaitForKey(vk::kF1), -21);
  EXPECT_EQ(r.WaitForKey(vk::kF1 + 11), -32);
  r.settings().getCursor = true;
  EXPECT_EQ(r.WaitForKey(vk::kUp), -40);
  EXPECT_EQ(r.WaitForKey(vk::kRight), -41);
  EXPECT_EQ(r.WaitForKey(vk::kDown), -42);
  EXPECT_EQ(r.WaitForKey(vk::kLeft), -43);
  r.settings().getInsert = true;
  EXPECT_EQ(r.WaitForKey(vk::kInsert), -50);
  r.settings().getZxc = true;
  EXPECT_EQ(r.WaitForKey('Z'), -51);
  EXPECT_EQ(r.WaitForKey('X'), -52);
  EXPECT_EQ(r.WaitForKey('C'), -53);
  ResetKeySwitches(r.e());
  EXPECT_EQ(r.WaitForKey('C'), 0);
  EXPECT_TRUE(r.settings().useEscSpc);  // a *define setting, not a key switch
}

TEST(ButtonWait, EnterHeldFromBeforeTheWaitMustBeReleasedFirst) {
  Rig r;
  r.settings().getEnter = true;
  r.fake.Key(0, vk::kReturn, Event::Type::KeyDown);
  while (PumpInput(r.e())) {
  }
  r.fake.Key(50, vk::kReturn, Event::Type::KeyUp);
  r.fake.Key(60, vk::kReturn, Event::Type::KeyDown);
  EXPECT_EQ(r.Wait(), -19);
  EXPECT_EQ(r.fake.clock, 60u + 125u);  // held: the wait let the repeat delay pass
}

TEST(ButtonWait, EscapeOverAButtonMovesThePointerWithEscoutcursor) {
  Rig r;
  r.settings().useEscSpc = true;
  r.settings().escOutCursor = true;
  r.settings().escOutX = 300;
  r.settings().escOutY = 300;
  r.fake.Move(5, 50, 5);
  r.fake.Press(10, vk::kEscape);
  r.fake.Press(400, vk::kEscape);
  EXPECT_EQ(r.Wait(), -10);
  EXPECT_EQ(r.e().input.pointerX, 300);
  EXPECT_GT(r.fake.clock, 400u);
}

TEST(ButtonWait, SkipAndAutoChangesWithGetskipoff) {
  Rig r;
  r.settings().getSkipOff = true;
  r.fake.Text(10, 'n');
  EXPECT_EQ(r.Wait(), -60);
  // A button wait clears skip mode before it begins.
  EXPECT_TRUE(r.e().interp.skipMode);
  r.e().input.autoMode = true;
  r.fake.Click(r.fake.clock + 10, 50, 5);
  EXPECT_EQ(r.Wait(), -61);
  EXPECT_FALSE(r.e().interp.skipMode);
}

TEST(ButtonWait, TextButtonWaitsEndForSkippingAndAuto) {
  Rig r;
  r.request.textButtonMode = true;
  r.e().interp.skipMode = true;
  EXPECT_EQ(r.Wait(), 0);
  EXPECT_EQ(r.fake.clock, 0u);
  r.e().interp.skipMode = false;
  r.e().input.autoMode = true;
  r.settings().autoModeTime = 500;
  EXPECT_EQ(r.Wait(), 0);
  EXPECT_EQ(r.fake.clock, 500u);
  // A selection clears skip mode and waits on.
  r.request.selectMode = true;
  r.e().input.autoMode = false;
  r.e().interp.skipMode = true;
  r.fake.Click(r.fake.clock + 10, 150, 5);
  EXPECT_EQ(r.Wait(), 2);
}

TEST(ButtonWait, PointerDrivenCodes) {
  Rig r;
  r.request.areaY = 100;
  r.e().input.pointerX = r.e().input.pointerY = 150;
  r.fake.Move(20, 150, 50);
  EXPECT_EQ(r.Wait(), -4);
  EXPECT_EQ(r.hovers, 1);  // the pointer's own move at the start
  EXPECT_EQ(r.fake.clock, 20u);

  r.request.areaY = 0;
  r.request.mouseOver = true;
  r.request.mouseOverMin = r.request.mouseOverMax = 2;
  r.e().input.pointerX = 500;
  uint32_t start = r.fake.clock;
  r.fake.Move(start + 10, 50, 5);
  r.fake.Move(start + 20, 150, 5);
  EXPECT_EQ(r.Wait(), 2);
  EXPECT_EQ(r.fake.clock - start, 20u);

  r.request.mouseOver = false;
  r.settings().getMiddleClick = true;
  r.fake.Click(r.fake.clock + 10, 50, 5, MouseButton::Middle);
  EXPECT_EQ(r.Wait(), -70);
}

TEST(ButtonWait, PressSelectsWithBtndownAndOutsideButtonsWithBtn0down) {
  Rig r;
  Event down;
  down.type = Event::Type::MouseDown;
  down.x = 150;
  r.request.pressSelects = 1;
  r.fake.At(10, down);
  EXPECT_EQ(r.Wait(), 2);
  r.request.pressSelects = 0;
  r.request.pressOutsideSelects = true;
  down.x = 500;
  r.fake.At(r.fake.clock + 10, down);
  EXPECT_EQ(r.Wait(), 0);
  EXPECT_TRUE(r.e().input.leftHeld);
}

TEST(ButtonWait, UnattendedRunsClickWhereThePointerIs) {
  Rig r;
  r.fake.unattended = true;
  r.e().input.pointerX = 150;
  EXPECT_EQ(r.Wait(), 2);
  EXPECT_GT(r.fake.clock, 0u);
}

}  // namespace
}  // namespace sorv
