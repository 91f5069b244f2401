// The catalogue as a whole: every word is known to the dispatcher, built or
// not, and the define-only block is unknown once the game has started.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "interp/catalogue.h"
#include "support/engine_fixture.h"

namespace sorv {
namespace {

using test::RunScript;

platform::Options Bounded() {
  platform::Options o;
  o.maxTimeMs = 2000;  // a word that waits must not hold the test up
  return o;
}

std::string InDefineBlock(const std::string& word) { return "*define\n" + word + "\ngame\n*start\nend\n"; }
// `reset` and `definereset` start the game again: a marker file lets the
// second start end the run.
std::string InGame(const std::string& word) {
  if (word == "reset" || word == "definereset") {
    return "*define\ngame\n*start\nfileexist %1,\"again\"\nif %1 == 1 end\nfilecreate \"again\"\n" + word + "\n";
  }
  return "*define\ngame\n*start\n" + word + "\nend\n";
}

bool IsVoiceShorthand(const std::string& w) {
  return w[0] == 'v' || w.rfind("dv", 0) == 0 || w.rfind("mv", 0) == 0;
}

// Each word is run without arguments: most then fail in their argument
// reader, which is fine; what must never happen is the unknown-word error,
// and a word with a handler must not be reported as not built.
TEST(Catalogue, EveryWordIsRecognisedAndBuiltWordsRun) {
  std::set<std::string> seen;
  for (const CommandEntry* c = CatalogueBegin(); c != CatalogueEnd(); ++c) {
    const std::string word = c->word;
    seen.insert(word);
    auto r = RunScript(c->defineOnly ? InDefineBlock(word) : InGame(word), Bounded());
    EXPECT_EQ(r.errorMessage.find("不正な命令"), std::string::npos) << word << ": " << r.errorMessage;
    if (c->handler) {
      EXPECT_NE(r.errorTitle, "未実装命令") << word;
    } else {
      EXPECT_EQ(r.errorTitle, "未実装命令") << word;
      EXPECT_NE(r.errorMessage.find(word), std::string::npos) << word;
    }
  }
  // Every word once, apart from the two listed twice in the original order.
  EXPECT_GE(seen.size(), 470u);
}

TEST(Catalogue, DefineOnlyWordsAfterGameEndInTheNoMatchPath) {
  for (const CommandEntry* c = CatalogueBegin(); c != CatalogueEnd(); ++c) {
    if (!c->defineOnly) continue;
    const std::string word = c->word;
    auto r = RunScript(InGame(word), Bounded());
    EXPECT_EQ(r.status, 1) << word;
    if (IsVoiceShorthand(word)) {
      // A word such as "versionstr" is then a voice file name: voice\ersionstr.wav.
      EXPECT_NE(r.errorMessage.find("voice\\" + word.substr(1)), std::string::npos) << word << ": " << r.errorMessage;
    } else {
      EXPECT_EQ(r.errorTitle, "構文エラー") << word;
      EXPECT_EQ(r.errorMessage, "不正な命令\"" + word + "\"です。") << word;
    }
  }
}

TEST(Catalogue, SavenumberAfterGameIsASyntaxError) {
  auto r = RunScript(InGame("savenumber 5"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.errorTitle, "構文エラー");
  EXPECT_EQ(r.errorMessage, "不正な命令\"savenumber\"です。");
}

}  // namespace
}  // namespace sorv
