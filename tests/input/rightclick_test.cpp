// The right-click action, its menu, the slot menus and the confirmation, in
// whole headless games. The default menu layout on a 640 x 480 screen puts
// n entries of longest L bytes at x 320 - 6.5 L .. 320 + 6.5 L, entry k from
// y 240 - (n / 2 - k) x 28; slot rows (nine slots) from y 156, 28 apart;
// "yes" at x 216 and "no" at x 372, y 268.
#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "input/rightclick.h"
#include "platform/encoding.h"
#include "shell/window.h"
#include "support/engine_fixture.h"

namespace sorv {
namespace {

using platform::Utf8ToSjis;

std::string Game(const std::string& define, const std::string& body) {
  return Utf8ToSjis("*define\n" + define + "game\n*start\n" + body);
}

const char* kMenu = "rmenu \"セーブ\",save,\"ロード\",load,\"リセット\",reset,\"終了\",end\n";

std::vector<std::string> Sjis(std::initializer_list<const char*> utf8) {
  std::vector<std::string> out;
  for (const char* s : utf8) out.push_back(Utf8ToSjis(s));
  return out;
}

TEST(RightClickMenu, ARightClickInAClickWaitShowsTheItemsAndASecondOneCancels) {
  auto r = test::RunWithEvents(Game(kMenu, "bg #336699,1\nあ@\ngettimer %1\nend\n"),
                               "1000 rclick 5 5\n1200 rclick 5 5\n1400 click 5 5\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.engine->rightClick.screenStrings, Sjis({"セーブ", "ロード", "リセット", "終了"}));
  EXPECT_FALSE(r.engine->rightClick.active);
  EXPECT_NEAR(r.Int(1), 1400, 20);  // the cancel did not end the wait

  // The screen is as it was: the same game without the menu ends on the
  // same picture.
  auto plain = test::RunWithEvents(Game(kMenu, "bg #336699,1\nあ@\nend\n"), "1400 click 5 5\n");
  EXPECT_EQ(r.engine->scene.display.bits, plain.engine->scene.display.bits);
}

TEST(RightClickMenu, RmodeZeroAndRoffDisableTheRightClickButNotSystemcall) {
  auto r = test::RunWithEvents(Game(kMenu, "rmode 0\nあ@\nsystemcall save\ngettimer %1\nend\n"),
                               "1000 rclick 5 5\n1200 click 5 5\n1400 rclick 5 5\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  const auto& strings = r.engine->rightClick.screenStrings;
  ASSERT_EQ(strings.size(), 10u);  // the save menu: its title and nine rows, not the item menu
  EXPECT_EQ(strings[0], Utf8ToSjis("＜セーブ＞"));
  EXPECT_EQ(strings[1], Utf8ToSjis("しおり一  ") + std::string(24, '-'));
  EXPECT_NEAR(r.Int(1), 1400, 20);

  auto off = test::RunWithEvents(Game("roff\n", "あ@\ngettimer %1\nend\n"),
                                 "1000 rclick 5 5\n1200 click 5 5\n");
  ASSERT_EQ(off.status, 0) << off.errorText;
  EXPECT_TRUE(off.engine->rightClick.screenStrings.empty());
}

TEST(RightClickMenu, ResetAnsweredNoShowsTheMenuAgainAndEndAnsweredYesEnds) {
  // Entry 2 is reset (y 240..268), entry 3 end (y 268..296).
  auto r = test::RunWithEvents(Game(kMenu, "あ@\nmov %1,1\nend\n"),
                               "1000 rclick 5 5\n1100 click 320 250\n1200 click 380 270\n"
                               "1300 click 320 280\n1400 click 220 270\n");
  EXPECT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(1), 0);  // the game ended from the menu
  EXPECT_TRUE(r.engine->app.closeRequested);
  EXPECT_EQ(r.engine->rightClick.screenStrings.front(), Utf8ToSjis("是否結束遊戲？"));
}

TEST(RightClickMenu, ResetAnsweredYesReturnsToTheStart) {
  auto r = test::RunWithEvents(Game(kMenu, "あ@\ngettimer %1\nend\n"),
                               "1000 rclick 5 5\n1100 click 320 250\n1200 click 220 270\n1400 click 5 5\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.chunks().size(), 2u);  // *start ran once more
  EXPECT_NEAR(r.Int(1), 1400, 20);
}

TEST(RightClickMenu, KeyboardMovesAndChoosesAndEscapeCancels) {
  // Escape opens the menu; Down twice reaches entry 1 (load); Enter opens
  // the load menu, whose Escape leaves it and the handler.
  auto r = test::RunWithEvents(Game(kMenu, "あ@\ngettimer %1\nend\n"),
                               "1000 key escape\n1200 key down\n1400 key down\n1600 key enter\n"
                               "1800 key escape\n2200 click 5 5\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_NEAR(r.Int(1), 2200, 20);
  ASSERT_FALSE(r.engine->rightClick.screenStrings.empty());
  EXPECT_EQ(r.engine->rightClick.screenStrings[0], Utf8ToSjis("＜ロード＞"));
}

TEST(RightClickMenu, ModeZeroHidesTheWindowUntilAClick) {
  auto r = test::RunWithEvents(Game("", "あ@\ngettimer %1\nend\n"),
                               "1000 rclick 5 5\n1200 click 5 5\n1400 click 5 5\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_NEAR(r.Int(1), 1400, 20);  // the first click only brought the window back
  EXPECT_EQ(r.engine->textWindow.window.shown, 1);
}

TEST(RightClickMenu, SubroutineModeRunsTheRoutineAndShowsTheWaitAgain) {
  auto r = test::RunWithEvents(Game("rgosub *menu\n", "あ@\nend\n*menu\nadd %1,1\nreturn\n"),
                               "1000 rclick 5 5\n1200 click 5 5\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(1), 1);
}

TEST(RightClickMenu, BadSystemcallKeyword) {
  auto r = test::RunScript(Game("", "systemcall nothing\n"));
  EXPECT_EQ(r.errorMessage, "systemcall命令へのパラメータが間違っています。");
}

TEST(SlotMenu, SavingChoosesASlotAndConfirms) {
  // A stand-in for the slot files: slot 3 exists, saves are recorded.
  test::TempDir dir;
  dir.Write("0.txt", Game(std::string(kMenu) + "savenumber 10\n", "あ@\nend\n"));
  dir.Write("events",
            "1000 rclick 5 5\n1100 click 320 195\n"   // save
            "1200 click 200 170\n1300 click 380 290\n"  // slot 2 (rows from y 128 with ten slots), no
            "1400 click 200 170\n1500 click 220 290\n"  // slot 2 again, yes
            "1600 click 5 5\n");
  platform::Options options;
  options.headless = true;
  options.eventsFile = dir.File("events");
  auto platform = platform::CreateHeadlessPlatform(options);
  Engine e;
  e.platform = platform.get();
  e.gameDir = dir.path();
  std::vector<int32_t> saved;
  e.rightClick.slots.fileTime = [](Engine&, int32_t slot) -> std::optional<std::time_t> {
    if (slot == 3) return std::time_t{0};
    return std::nullopt;
  };
  e.rightClick.slots.save = [&saved](Engine&, int32_t slot) {
    saved.push_back(slot);
    return true;
  };
  platform->CreateMainWindow(640, 480);
  testing::internal::CaptureStderr();
  int status = RunEngine(e);
  testing::internal::GetCapturedStderr();
  ASSERT_EQ(status, 0) << e.app.errorText;
  EXPECT_EQ(saved, std::vector<int32_t>{2});
  // The last screen was the confirmation: the slot's name and the question.
  EXPECT_EQ(e.rightClick.screenStrings.front(), Utf8ToSjis("しおり  二是否在存盤？"));
  EXPECT_EQ(e.rightClick.screenStrings.front().find('?'), std::string::npos);  // every glyph is drawable
}

TEST(Systemcall, FollowsTheRightClickMode) {
  // Backlog mode: systemcall save opens the log instead; subroutine mode:
  // systemcall does nothing.
  auto r = test::RunWithEvents(Game("rlookback\n", "一\\\nsystemcall save\nend\n"), "1000 click 1 1\n1100 click 1 1\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.engine->backlog.shownText, Utf8ToSjis("一"));
  EXPECT_TRUE(r.engine->rightClick.screenStrings.empty());
  auto sub = test::RunWithEvents(Game("rgosub *r\n", "systemcall save\nmov %1,5\nend\n*r\nmov %1,1\nreturn\n"), "");
  ASSERT_EQ(sub.status, 0) << sub.errorText;
  EXPECT_EQ(sub.Int(1), 5);
  EXPECT_TRUE(sub.engine->rightClick.screenStrings.empty());
}

TEST(Confirmation, ArrowKeysAndEnterAnswer) {
  // systemcall reset: Right goes to "no", Enter answers it, the game goes
  // on; the second time Left goes to "yes".
  auto r = test::RunWithEvents(Game("", "gettimer %3\nif %3>1500 goto *done\nsystemcall reset\nmov %1,1\n"
                                        "systemcall reset\nmov %1,2\nend\n*done\nmov %4,1\nend\n"),
                               "1000 key right\n1200 key enter\n1400 key left\n1600 key enter\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(1), 0);  // the reset cleared it
  EXPECT_EQ(r.Int(4), 1);  // and the game started again
}

TEST(SlotMenu, RowTexts) {
  Engine e;
  std::tm t{};
  t.tm_year = 124;
  t.tm_isdst = -1;
  t.tm_mon = 0;
  t.tm_mday = 5;
  t.tm_hour = 9;
  t.tm_min = 7;
  EXPECT_EQ(SlotDateText(t), Utf8ToSjis("　一月　五日　九時零七分"));
  std::time_t when = std::mktime(&t);
  EXPECT_EQ(SlotRowText(e, 1, 10, when), Utf8ToSjis("しおり  一  　一月　五日　九時零七分"));
  EXPECT_EQ(SlotRowText(e, 10, 10, std::nullopt), Utf8ToSjis("しおり十    ") + std::string(24, '-'));
  EXPECT_EQ(SlotRowText(e, 2, 9, std::nullopt).size(), 34u);
}

}  // namespace
}  // namespace sorv

namespace sorv {
namespace {

TEST(VolumeScreen, ArrowsChangeTheChosenVolume) {
  auto r = test::RunWithEvents(Game("", "mp3vol 50\nsevol 50\nmenu_dwavvol\nend\n"),
                               "1000 key right\n1200 key right\n1400 key down\n1600 key left\n1800 key escape\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.engine->soundSettings.musicAtt, 30);
  EXPECT_EQ(r.engine->soundSettings.seAtt, 60);
  ASSERT_EQ(r.engine->rightClick.screenStrings.size(), 6u);
  EXPECT_EQ(r.engine->rightClick.screenStrings[1], Utf8ToSjis("■■■■■□□□□□"));
}

}  // namespace
}  // namespace sorv

namespace sorv {
namespace {

// The slot menus over the real slot files: a save made through the right-click
// menu in one run is loaded through the load menu in a fresh run, which then
// shows the saved state and the same screen.
TEST(SlotMenu, ASaveFromTheMenuLoadsThroughTheMenuInAFreshRun) {
  test::TempDir dir;
  dir.Write("0.txt", Utf8ToSjis("*define\n" + std::string(kMenu) +
                                "game\n*start\nbg #336699,1\nsavefileexist %3,1\nif %3==0 mov %1,7\n"
                                "あいう@\nえ\\\nend\n"));
  auto run = [&](const std::string& events) {
    dir.Write("events", events);
    platform::Options options;
    options.headless = true;
    options.eventsFile = dir.File("events");
    auto r = test::RunGameDir(dir.path(), options);
    EXPECT_EQ(r.status, 0) << r.errorText;
    return r;
  };
  // Save (first entry), slot 1 (first row of nine), yes; then the page goes on.
  auto first = run("1000 rclick 5 5\n1100 click 320 195\n1200 click 200 170\n1300 click 220 290\n"
                   "1500 click 5 5\n1600 click 5 5\n");
  ASSERT_TRUE(platform::IsRegularFile(dir.File("save1.dat")));
  EXPECT_EQ(first.Int(1), 7);
  // A fresh run does not set %1 itself; loading slot 1 brings it back and
  // the game continues at the saved page.
  auto second = run("1000 rclick 5 5\n1100 click 320 225\n1200 click 200 170\n1300 click 220 290\n"
                    "1500 click 5 5\n1600 click 5 5\n");
  EXPECT_EQ(second.Int(1), 7);
  const Surface& a = first.engine->scene.display;
  const Surface& b = second.engine->scene.display;
  EXPECT_TRUE(a.width == b.width && a.height == b.height && a.bits == b.bits);
}

}  // namespace
}  // namespace sorv
