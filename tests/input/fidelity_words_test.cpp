// The text-button words (gettextbtnstr, erasetextbtn), btncancel, and what an
// idle wait costs: how often it wakes while nobody touches anything.
#include <gtest/gtest.h>

#include <string>

#include "input/fake_platform.h"
#include "input/input.h"
#include "shell/engine.h"
#include "support/engine_fixture.h"

namespace sorv {
namespace {

using test::RunWithEvents;

std::string Game(const std::string& body) { return "*define\ngame\n*start\nwaittimer 1000\nresettimer\n" + body; }

TEST(TextButtonWords, GettextbtnstrAndErasetextbtn) {
  // "a<b c>d<e>": buttons 1 ("b c") and 2 ("e").
  auto r = RunWithEvents(Game("linkcolor #112233,#445566\ntextcolor #00ff00\n"
                              "\x82\xA0<\x82\xA2\x82\xA4>\x82\xA6<\x82\xA8>\n"
                              "gettextbtnstr $1,1\ngettextbtnstr $2,2\ngettextbtnstr $3,7\n"
                              "erasetextbtn\ngettextbtnstr $4,1\ntextbtnwait %1\nend\n"),
                         "1500 click 60 30\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Str(1), "\x82\xA2\x82\xA4");
  EXPECT_EQ(r.Str(2), "\x82\xA8");
  EXPECT_EQ(r.Str(3), "");  // no button of that number
  EXPECT_EQ(r.Str(4), "");  // erased
  EXPECT_EQ(r.Int(1), 0);   // the old button is plain text now
  const auto& cells = r.engine->text.pageCells;
  ASSERT_EQ(cells.size(), 5u);
  EXPECT_EQ(cells[1].colour, 0x00FF00);  // drawn again in the text colour
  EXPECT_EQ(cells[4].colour, 0x00FF00);
  // The screen shows it: no pixel of the link colour is left on the first line.
  const Surface& s = r.engine->scene.display;
  bool link = false;
  for (int32_t y = 16; y < 44; ++y) {
    for (int32_t x = 47; x < 99; ++x) {
      const uint8_t* p = s.TopRow(y) + x * 3;
      link = link || (p[2] == 0x11 && p[1] == 0x22 && p[0] == 0x33);
    }
  }
  EXPECT_FALSE(link);
}

TEST(TextButtonWords, GettextbtnstrWantsAStringVariable) {
  auto r = test::RunScript("*define\ngame\n*start\ngettextbtnstr %1,1\nend\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.errorMessage, "gettextbtnstrの第一引数は文字列変数です。");
}

TEST(ButtonWords, BtncancelIsWhatARightClickReturns) {
  auto r = RunWithEvents(Game("btndef \"\"\nbtn 3,100,100,50,50,0,0\nbtnwait2 %1\nbtncancel 9\nbtnwait2 %2\n"
                              "btndef clear\nbtnwait %3\nend\n"),
                         "1100 rclick 10 10\n1200 rclick 10 10\n1300 rclick 120 120\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(1), -1);
  EXPECT_EQ(r.Int(2), 9);
  EXPECT_EQ(r.Int(3), 9);  // kept across btndef
}

struct IdleRig {
  test::FakePlatform fake;
  test::ScriptEngine se{"*define\ngame\n*start\nend\n"};
  ButtonWaitRequest request;
  int idleSteps = 0;
  IdleRig() {
    se->platform = &fake;
    se->input.hooks.idle.push_back([this](Engine&) { ++idleSteps; });
  }
};

// Nobody touches anything for a minute: the wait wakes about a hundred
// times a second instead of a thousand, and still ends on the click's
// millisecond.
TEST(IdleWaits, AButtonWaitSleepsInSlicesAndWakesForInput) {
  IdleRig r;
  r.fake.Click(60'000, 10, 10);
  EXPECT_EQ(RunButtonWait(*r.se, r.request), 0);
  EXPECT_EQ(r.se->input.lastButtonWaitMs, 60'001u);  // press and release take a pass each
  EXPECT_LT(r.idleSteps, 6'300);
  EXPECT_GT(r.idleSteps, 5'900);  // the idle step still runs every slice
}

TEST(IdleWaits, DeadlinesAreKeptToTheMillisecond) {
  IdleRig r;
  r.request.timeoutMs = 5'003;
  EXPECT_EQ(RunButtonWait(*r.se, r.request), -2);
  EXPECT_EQ(r.fake.clock, 5'004u);  // first millisecond past the limit
  r.fake.clock = 10'000;
  EXPECT_FALSE(TimedWait(*r.se, 4'321, TimedWaitKind::EnterOnly));
  EXPECT_EQ(r.fake.clock, 14'321u);
}

// Right after input the wait follows the pointer every millisecond.
TEST(IdleWaits, InputKeepsTheWaitAwake) {
  IdleRig r;
  r.fake.clock = 1'000;
  r.fake.Move(1'000, 5, 5);
  r.fake.Click(1'200, 10, 10);
  int hovers = 0;
  r.request.hover = [&hovers](int32_t, int32_t) { ++hovers; };
  EXPECT_EQ(RunButtonWait(*r.se, r.request), 0);
  EXPECT_GE(r.idleSteps, 190);
  EXPECT_GE(hovers, 1);
}

}  // namespace
}  // namespace sorv
