// The edit buffer of the input fields, the checks of an entry, and the
// dialogs and the edit field in whole headless games.
#include <gtest/gtest.h>

#include <string>

#include "input/textinput.h"
#include "platform/encoding.h"
#include "shell/window.h"
#include "support/engine_fixture.h"

namespace sorv {
namespace {

using platform::Utf8ToSjis;

TEST(TextEdit, TypingEditsAtTheCaretAndReplacesTheSelection) {
  TextEdit t;
  for (uint32_t cp : {0x30B5u, 0x30AFu, 0x30E9u}) EXPECT_TRUE(t.Type(cp));  // サクラ
  EXPECT_EQ(t.Text(), Utf8ToSjis("サクラ"));
  EXPECT_EQ(t.Bytes(), 6u);
  t.Left(false);
  t.Type('a');
  EXPECT_EQ(t.Text(), Utf8ToSjis("サクaラ"));
  t.Home(false);
  t.Right(true);
  t.Right(true);  // "サク" selected
  EXPECT_EQ(t.SelectedText(), Utf8ToSjis("サク"));
  t.Type('b');
  EXPECT_EQ(t.Text(), Utf8ToSjis("baラ"));
  EXPECT_EQ(t.Caret(), 1u);
  t.Delete();
  EXPECT_EQ(t.Text(), Utf8ToSjis("bラ"));
  t.Backspace();
  t.Backspace();  // nothing left of the caret
  EXPECT_EQ(t.Text(), Utf8ToSjis("ラ"));
  t.End(false);
  t.Delete();  // nothing right of the caret
  t.SelectAll();
  t.Backspace();
  EXPECT_EQ(t.Text(), "");
}

TEST(TextEdit, RefusesWhatShiftJisCannotHoldAndWhatOverflows) {
  TextEdit t;
  EXPECT_FALSE(t.Type(0x1F600));  // an emoji
  EXPECT_FALSE(t.Type(0x0A));     // a control character
  EXPECT_FALSE(t.Type(0xAC00));   // a character with no code page 932 form
  EXPECT_EQ(t.Length(), 0u);
  for (size_t i = 0; i < TextEdit::kCapacity; ++i) t.Type('x');
  EXPECT_FALSE(t.Type('y'));
  t.Home(false);
  t.Right(true);
  EXPECT_FALSE(t.Type(0x3042));  // a two-byte character in place of one byte does not fit
  EXPECT_TRUE(t.Type('z'));
  EXPECT_EQ(t.Bytes(), TextEdit::kCapacity);
}

TEST(TextEdit, PasteStopsAtALineBreakAndSkipsUnmappableText) {
  TextEdit t(Utf8ToSjis("名前"));
  t.Home(false);
  t.Paste("A\xF0\x9F\x98\x80" "B\nC");
  EXPECT_EQ(t.Text(), Utf8ToSjis("AB名前"));
  TextEdit cut(std::string(300, 'q'));  // a variable longer than the field keeps what fits
  EXPECT_EQ(cut.Bytes(), TextEdit::kCapacity);
}

TEST(TextEntryChecks, StringsAndNumbers) {
  EXPECT_EQ(CheckStringEntry("", 8, false), EntryProblem::Empty);
  EXPECT_EQ(CheckStringEntry("12345678", 8, false), EntryProblem::None);
  EXPECT_EQ(CheckStringEntry("123456789", 8, false), EntryProblem::TooLong);
  EXPECT_EQ(CheckStringEntry(std::string(200, 'a'), 0, false), EntryProblem::None);  // no limit of its own
  EXPECT_EQ(CheckStringEntry(Utf8ToSjis("サクラ"), 8, true), EntryProblem::None);
  EXPECT_EQ(CheckStringEntry(Utf8ToSjis("サaクラ"), 8, true), EntryProblem::NotFullWidth);
  EXPECT_EQ(CheckNumberEntry("-12"), EntryProblem::None);
  EXPECT_EQ(CheckNumberEntry(""), EntryProblem::None);
  EXPECT_EQ(CheckNumberEntry("1-2"), EntryProblem::NotNumber);
  EXPECT_EQ(CheckNumberEntry("12a"), EntryProblem::NotNumber);
  EXPECT_EQ(EntryNumber("-12"), -12);
  EXPECT_EQ(EntryNumber(""), 0);
  EXPECT_EQ(EntryNumber("4294967297"), 1);  // wraps as integer variables do
}

std::string Game(const std::string& body) { return "*define\ngame\n*start\n" + body; }

TEST(InputDialog, InputstrTakesTypedTextAsShiftJisAndRefusesTooLong) {
  // Nine bytes are refused, one Backspace later six are taken.
  auto r = test::RunWithEvents(Game("inputstr $1,\"name\",8,0\nend\n"),
                               "100 text サクラ\n110 text abc\n120 key enter\n200 key backspace\n"
                               "210 key backspace\n220 key backspace\n230 key enter\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Str(1), Utf8ToSjis("サクラ"));
  EXPECT_NE(r.stderrText.find("文字列が長すぎます。"), std::string::npos);
}

TEST(InputDialog, InputCancelGivesTheDefaultAndInputstrCannotBeCancelled) {
  auto r = test::RunWithEvents(Game("input $1,\"p\",\"def\",10,0\ninputstr $2,\"p\",10,0\nend\n"),
                               "100 text xy\n110 key escape\n200 key escape\n210 key enter\n"
                               "220 text ok\n230 key enter\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Str(1), "def");
  EXPECT_EQ(r.Str(2), "ok");
  EXPECT_NE(r.stderrText.find("文字列を入力してください。"), std::string::npos);
}

TEST(InputDialog, InputnumRefusesLettersAndTakesAMinusFirst) {
  auto r = test::RunWithEvents(Game("inputnum %1,\"n\"\ninputnum %2,\"n\"\nend\n"),
                               "100 text 1a\n110 key enter\n120 key backspace\n130 key enter\n"
                               "200 text -12\n210 key enter\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(1), 1);
  EXPECT_EQ(r.Int(2), -12);
  EXPECT_NE(r.stderrText.find("数値を入力してください。"), std::string::npos);
}

TEST(InputDialog, FullWidthSwitchRefusesASingleByteLetter) {
  auto r = test::RunWithEvents(Game("inputstr $1,\"p\",20,1\nend\n"),
                               "100 text あa\n110 key enter\n120 key backspace\n130 key enter\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Str(1), Utf8ToSjis("あ"));
  EXPECT_NE(r.stderrText.find("全て全角文字で入力してください。"), std::string::npos);
}

TEST(InputDialog, TypingNDoesNotStartSkipMode) {
  auto r = test::RunWithEvents(Game("inputstr $1,\"p\",20,0\nisskip %1\nend\n"), "100 text nn\n110 key enter\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Str(1), "nn");
  EXPECT_EQ(r.Int(1), 0);
}

TEST(TextField, EditsTheVariableAndReportsTab) {
  auto r = test::RunWithEvents(Game("mov $1,\"abc\"\ntextfield $1,100,100,300,130,10,20,0\ngetret %1\n"
                                    "textfield $2,100,100,300,130,10,20,0\ngetret %2\nend\n"),
                               "100 key home\n110 key delete\n120 text X\n130 key tab\n"
                               "200 text q\n210 key escape\n220 key escape\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Str(1), "Xbc");
  EXPECT_EQ(r.Int(1), 1);
  EXPECT_EQ(r.Str(2), "");  // Escape emptied the field, the second one ended it
  EXPECT_EQ(r.Int(2), 0);
}

TEST(TextField, PastesFromTheClipboardAndDrawsOnTheScreen) {
  test::TempDir dir;
  dir.Write("0.txt", Game("textfield $1,100,100,300,130,10,20,0\nend\n"));
  dir.Write("events", "100 keydown ctrl\n110 key v\n120 keyup ctrl\n130 key enter\n");
  platform::Options options;
  options.headless = true;
  options.eventsFile = dir.File("events");
  auto platform = platform::CreateHeadlessPlatform(options);
  platform->SetClipboardText("貼り付け\nignored");
  Engine e;
  e.platform = platform.get();
  e.gameDir = dir.path();
  platform->CreateMainWindow(640, 480);
  testing::internal::CaptureStderr();
  int status = RunEngine(e);
  testing::internal::GetCapturedStderr();
  ASSERT_EQ(status, 0) << e.app.errorText;
  EXPECT_EQ(e.values.strVars[1], Utf8ToSjis("貼り付け"));
}

TEST(TextInputCommands, WrongVariableKindsAreReported) {
  auto r = test::RunScript(Game("inputstr %1,\"p\",8,0\n"));
  EXPECT_EQ(r.errorMessage, "inputstrの第一引数は文字変数です。");
  r = test::RunScript(Game("inputnum $1,\"p\"\n"));
  EXPECT_EQ(r.errorMessage, "inputnumの第一引数は数字変数です。");
  r = test::RunScript(Game("textfield %1,0,0,10,10,5,10,0\n"));
  EXPECT_EQ(r.errorTitle, "エラー");
  EXPECT_EQ(r.errorMessage, "textfield命令の第一引数は文字列変数です");
}

}  // namespace
}  // namespace sorv
