// The script reader's operations at their edges.
#include <gtest/gtest.h>

#include "script/reader.h"
#include "support/engine_fixture.h"

namespace sorv {
namespace {

using test::ExpectScriptError;
using test::ScriptEngine;

TEST(Reader, WordsAreLowerCasedAndEndAtNonWordBytes) {
  ScriptEngine se("");
  std::string w;
  se.At("  Mov10 ,x");
  EXPECT_EQ(ReadWord(*se, w), ',');
  EXPECT_EQ(w, "mov10");
  se.At("_a1:");
  ReadWord(*se, w);
  EXPECT_EQ(w, "_a1");
  se.At("1abc");
  ReadWord(*se, w);
  EXPECT_EQ(w, "");
  se.At("ab\x82\xa0");  // a double-byte character ends the word
  ReadWord(*se, w);
  EXPECT_EQ(w, "ab");
}

TEST(Reader, WordLengthLimit) {
  ScriptEngine se("");
  std::string w;
  se.At(std::string(254, 'a') + "\n");
  ReadWord(*se, w);
  EXPECT_EQ(w.size(), 254u);
  se.At(std::string(255, 'b') + "\n");
  auto err = ExpectScriptError([&] { ReadWord(*se, w); });
  EXPECT_EQ(err.title, "命令エラー");
  EXPECT_EQ(err.message, "長すぎるトークンです:" + std::string(255, 'b'));
}

TEST(Reader, NumberPrimaries) {
  ScriptEngine se("");
  Engine& e = *se;
  e.values.intVars[0] = 5;
  e.values.intVars[5] = 77;
  se.At("%%0 ,");
  EXPECT_EQ(ReadNumberPrimary(e), 77);
  EXPECT_EQ(e.script.cur(), ',');
  se.At("-12");
  EXPECT_EQ(ReadNumberPrimary(e), -12);
  se.At("[3*4]x");
  EXPECT_EQ(ReadNumberPrimary(e), 12);
  EXPECT_EQ(e.script.cur(), 'x');
  se.At("[3*4 x");
  auto err = ExpectScriptError([&] { ReadNumberPrimary(e); });
  EXPECT_EQ(err.message, "数値の記述に間違いがあります");
  se.At("%4096");
  err = ExpectScriptError([&] { ReadNumberPrimary(e); });
  EXPECT_EQ(err.message, "変数番号が範囲外をさしています。");
  se.At("%-1");
  err = ExpectScriptError([&] { ReadNumberPrimary(e); });
  EXPECT_EQ(err.message, "変数番号が範囲外をさしています。");
  se.At("1234567890123456789");
  err = ExpectScriptError([&] { ReadNumberPrimary(e); });
  EXPECT_EQ(err.message, "数字が長すぎます。:1234567890123456789");
  se.At("123456789012345678");  // 18 digits wrap like a 32-bit integer
  EXPECT_EQ(ReadNumberPrimary(e), static_cast<int32_t>(123456789012345678LL & 0xFFFFFFFF));
}

TEST(Reader, AliasesAndTheirAbsence) {
  ScriptEngine se("");
  Engine& e = *se;
  DefineNumAlias(e, "ten", 10);
  DefineNumAlias(e, "ten", 11);  // the first definition wins
  DefineStrAlias(e, "name", "Alice");
  se.At("TEN");
  EXPECT_EQ(ReadNumberPrimary(e), 10);
  se.At("eleven");
  auto err = ExpectScriptError([&] { ReadNumberPrimary(e); });
  EXPECT_EQ(err.title, "構文エラー");
  EXPECT_EQ(err.message, "数字がくるべきところに数字がありません。");
  std::string s;
  se.At("Name");
  ReadStringPrimary(e, s);
  EXPECT_EQ(s, "Alice");
  se.At("nobody");
  err = ExpectScriptError([&] { ReadStringPrimary(e, s); });
  EXPECT_EQ(err.message, "文字列が来るべきところに文字列がありません。");
}

TEST(Reader, StringsConcatenateAndAreBounded) {
  ScriptEngine se("");
  Engine& e = *se;
  e.values.strVars[3] = "-mid-";
  std::string s;
  se.At("\"ab\" + $3+\"cd\" ,");
  ReadStringArgument(e, s);
  EXPECT_EQ(s, "ab-mid-cd");
  EXPECT_EQ(e.script.cur(), ',');

  std::string big(8190, 'q');
  se.At("\"" + big + "\"");
  ReadStringArgument(e, s);
  EXPECT_EQ(s.size(), 8190u);
  se.At("\"" + big + "q\"");
  auto err = ExpectScriptError([&] { ReadStringArgument(e, s); });
  EXPECT_EQ(err.title, "構文エラー");
  EXPECT_EQ(err.message.rfind("文字列が長すぎます。:", 0), 0u);

  e.values.strVars[1] = std::string(5000, 'a');
  se.At("$1+$1");
  err = ExpectScriptError([&] { ReadStringArgument(e, s); });
  EXPECT_EQ(err.title, "エラー");
  EXPECT_EQ(err.message, "文字列が長すぎます。");

  se.At("\"broken\n\"");
  err = ExpectScriptError([&] { ReadStringArgument(e, s); });
  EXPECT_EQ(err.message, "文字列中に改行が有ります。");
}

TEST(Reader, ConditionalStringsFollowTheLogs) {
  ScriptEngine se("*seen\n*unseen\n");
  Engine& e = *se;
  AddFileLog(e, "bg/Sky.bmp");
  AddLabelLog(e, "seen");
  std::string s;
  se.At("(\"BG\\SKY.BMP\")\"used\"\"new\"");
  ReadStringPrimary(e, s);
  EXPECT_EQ(s, "used");
  se.At("(\"other.bmp\")\"used\"\"new\"");
  ReadStringPrimary(e, s);
  EXPECT_EQ(s, "new");
  se.At("[*seen]\"passed\"\"not yet\"");
  ReadStringPrimary(e, s);
  EXPECT_EQ(s, "passed");
  se.At("[*unseen]\"passed\"\"not yet\"");
  ReadStringPrimary(e, s);
  EXPECT_EQ(s, "not yet");
}

TEST(Reader, Colours) {
  ScriptEngine se("");
  Engine& e = *se;
  se.At("#FF8000");
  EXPECT_EQ(ReadColourArgument(e), 0xFF8000);
  se.At("\"#ff8000\"");
  EXPECT_EQ(ReadColourArgument(e), 0xFF8000);
  e.values.strVars[2] = "#00a0Bf";
  se.At("$2");
  EXPECT_EQ(ReadColourArgument(e), 0x00A0BF);
  for (const char* bad : {"#ff80", "#gg8000", "\"ff8000\"", "\"#12\""}) {
    se.At(bad);
    auto err = ExpectScriptError([&] { ReadColourArgument(e); });
    EXPECT_EQ(err.message, "カラー指定が間違っています。HTMLと同じ形式（例：#75fe1b）で指定してください。") << bad;
  }
}

TEST(Reader, LabelNames) {
  ScriptEngine se("");
  Engine& e = *se;
  std::string name;
  se.At("*Here");
  ReadLabelName(e, name);
  EXPECT_EQ(name, "here");
  se.At("\"*There\"");
  ReadLabelName(e, name);
  EXPECT_EQ(name, "There");
  se.At("\"There\"");
  auto err = ExpectScriptError([&] { ReadLabelName(e, name); });
  EXPECT_EQ(err.title, "実行時エラー");
  se.At("There");
  err = ExpectScriptError([&] { ReadLabelName(e, name); });
  EXPECT_EQ(err.message, "ラベル名が来るべきところにラベル名が来ませんでした。");
}

TEST(Reader, CommaAndHostileNesting) {
  ScriptEngine se("");
  Engine& e = *se;
  se.At("  x");
  auto err = ExpectScriptError([&] { ExpectComma(e); });
  EXPECT_EQ(err.message, "コンマが必要なところにコンマが有りません。");
  // Deep indirection is refused, not a native stack overflow.
  se.At(std::string(1000, '%') + "0");
  err = ExpectScriptError([&] { ReadNumberPrimary(e); });
  EXPECT_EQ(err.message, "式の入れ子が深すぎます。");
  EXPECT_EQ(e.script.readNesting, 0);
}

TEST(Reader, ReadDigitsFromText) {
  ScriptEngine se("");
  size_t i = 2;
  EXPECT_EQ(ReadDigits(*se, "!w1500x", i), 1500);
  EXPECT_EQ(i, 6u);
  i = 0;
  auto err = ExpectScriptError([&] { ReadDigits(*se, "1234567890123456789", i); });
  EXPECT_EQ(err.message, "数字が長すぎます。:1234567890123456789");
}

}  // namespace
}  // namespace sorv
