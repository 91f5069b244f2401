// The message log, the script's reading of it, the backlog viewer and
// skipping of already-read text, in whole headless games.
#include <gtest/gtest.h>

#include <string>

#include "platform/encoding.h"
#include "support/engine_fixture.h"

namespace sorv {
namespace {

using platform::Utf8ToSjis;

// A game whose script is written here in UTF-8 and stored as Shift-JIS.
std::string Game(const std::string& define, const std::string& body) {
  return Utf8ToSjis("*define\n" + define + "game\n*start\n" + body);
}

TEST(MessageLog, KeepsTheNewestPagesUpToTheMaximum) {
  auto r = test::RunScript(Game("maxkaisoupage 2\n",
                                "一\\\n二\\\n三\\\ntextclear\nmov $3,\"keep\"\n"
                                "getlog $1,1\ngetlog $2,2\ngetlog $3,3\n四@\n五\ngetlog $4,0\nend\n"));
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Str(1), Utf8ToSjis("三"));  // a page ended twice is kept once
  EXPECT_EQ(r.Str(2), Utf8ToSjis("二"));
  EXPECT_EQ(r.Str(3), "keep");  // only two pages are kept
  EXPECT_EQ(r.Str(4), Utf8ToSjis("四\n五\n"));  // the page being written, line breaks and all
}

TEST(MessageLog, LookbackoffRecordsNothingAndFlushEmpties) {
  auto r = test::RunScript(Game("",
                                "一\\\nlookbackoff\n二\\\nmov $1,\"none\"\ngetlog $1,2\ngetlog $2,1\n"
                                "lookbackon\nlookbackflush\nmov $3,\"none\"\ngetlog $3,1\nend\n"));
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Str(1), "none");
  EXPECT_EQ(r.Str(2), Utf8ToSjis("一"));
  EXPECT_EQ(r.Str(3), "none");
}

TEST(MessageLog, TextWithoutBreaksTagsAndPageChecks) {
  auto r = test::RunScript(Game("",
                                "一行目@\n二行目\\\n三@\n"
                                "getlogtext $1,1\ngettext $2\ncheckpage %1,1\ncheckpage %2,2\ncheckpage %3,0\n"
                                "getnextline %4\nend\n"));
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Str(1), Utf8ToSjis("一行目二行目"));
  EXPECT_EQ(r.Str(2), Utf8ToSjis("三"));
  EXPECT_EQ(r.Int(1), 1);
  EXPECT_EQ(r.Int(2), 0);
  EXPECT_EQ(r.Int(3), 1);
  EXPECT_EQ(r.Int(4), 1);
  auto bad = test::RunScript(Game("", "gettaglog %1,1\n"));
  EXPECT_EQ(bad.errorMessage, "gettaglogの引数は文字変数です。");
}

TEST(LogSprite, ShowsTheTextOnASpriteTaggedBklg) {
  auto r = test::RunScript(Game("", "logsp 5,\"あい\",10,20\nlogsph2 6,\"え\",0,0,20,20,2,0\nend\n"));
  ASSERT_EQ(r.status, 0) << r.errorText;
  const Sprite& a = r.engine->scene.sprites[5];
  EXPECT_EQ(a.tag, "bklg");
  EXPECT_TRUE(a.visible);
  EXPECT_EQ(a.x, 10);
  EXPECT_EQ(a.y, 20);
  EXPECT_EQ(a.image.CellWidth(), 2 * 26 + 2);  // two glyphs of the window's size and the shadow
  const Sprite& b = r.engine->scene.sprites[6];
  EXPECT_FALSE(b.visible);
  EXPECT_EQ(b.image.surface.height, 20 + 2);
}

TEST(BacklogViewer, TheWheelShowsThePreviousPageAndAClickCloses) {
  // Page two waits at 1000: the wheel opens the log on page one, a click
  // closes it, the next click ends the wait.
  auto r = test::RunWithEvents(Game("", "一ページ目\\\n二ページ目@\ngettimer %1\nend\n"),
                               "700 click 10 10\n1000 wheel 1\n1200 click 10 10\n1400 click 10 10\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  const BacklogView& v = r.engine->backlog;
  EXPECT_EQ(v.shownText, Utf8ToSjis("一ページ目"));
  EXPECT_EQ(v.pagesShown, 1);
  EXPECT_FALSE(v.open);
  EXPECT_NEAR(r.Int(1), 1400, 20);
}

TEST(BacklogViewer, WheelAndKeysTurnPagesWithinTheLog) {
  auto r = test::RunWithEvents(Game("", "一\\\n二\\\n三@\nend\n"),
                               "700 click 1 1\n800 click 1 1\n"
                               "1000 wheel 1\n1100 wheel 1\n1200 wheel 1\n1300 key down\n1400 key escape\n"
                               "1500 click 1 1\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  const BacklogView& v = r.engine->backlog;
  EXPECT_EQ(v.pagesShown, 3);  // page 1, page 2 (the oldest: no further), back to page 1
  EXPECT_EQ(v.shownText, Utf8ToSjis("二"));
}

TEST(BacklogViewer, ARightClickClosesAndTheLivePageComesBack) {
  auto r = test::RunWithEvents(Game("lookbackcolor #ff0000\n", "一\\\n二@\nend\n"),
                               "700 click 1 1\n1000 wheel 1\n1100 rclick 1 1\n1200 click 1 1\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.engine->backlog.shownText, Utf8ToSjis("一"));
  // The live page's layer came back: its text is there again.
  int lit = 0;
  for (uint8_t c : r.engine->textWindow.coverage.values) lit += c != 0;
  EXPECT_GT(lit, 0);
}

TEST(AlreadyRead, SkipStopsAtTheFirstUnreadLine) {
  // Two passes read the loop; "n" in the second starts skip mode, which
  // runs through the third pass and stops where the script goes somewhere
  // new.
  auto r = test::RunWithEvents(Game("",
                                    "kidokumode 1\n*loop\nあ@\nい@\nif %1==2 goto *after\n"
                                    "add %1,1\ngoto *loop\n*after\nう@\nisskip %2\ngettimer %3\nend\n"),
                               "1000 click 1 1\n1100 click 1 1\n1200 click 1 1\n1300 text n\n1700 click 1 1\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(1), 2);
  EXPECT_EQ(r.Int(2), 0);
  EXPECT_NEAR(r.Int(3), 1700, 20);  // the read lines went by, the new one waited
}

TEST(AlreadyRead, WithoutKidokumodeSkipRunsOn) {
  auto r = test::RunWithEvents(Game("", "あ@\nい@\nう@\ngettimer %3\nend\n"), "1000 text n\n5000 click 1 1\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_LT(r.Int(3), 1100);
}

}  // namespace
}  // namespace sorv
