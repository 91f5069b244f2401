// The label index built from the loader's list of label lines against the
// plain label scan over the same text, and the loader's text-mode conversion
// against its definition, on generated scripts full of the awkward cases:
// blanks before and after names, several labels on one line, CR in and out
// of CR LF pairs, Ctrl-Z, NUL, names too long, duplicates, a full table.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <random>
#include <thread>

#include "script/reader.h"
#include "platform/fs.h"
#include "script/script.h"
#include "support/engine_fixture.h"

namespace sorv {
namespace {

using test::TempDir;

struct IndexResult {
  bool failed = false;
  std::string error;
  int32_t pos = 0;  // where the scan ended, or where the error points
  std::vector<std::pair<int32_t, std::string>> labels;
};

IndexResult Index(Engine& e) {
  IndexResult r;
  try {
    BuildLabelIndex(e);
    for (const Label& l : e.script.labels) r.labels.emplace_back(l.pos, LabelName(e.script, l));
  } catch (const ScriptError& err) {
    r.failed = true;
    r.error = err.message;
  }
  r.pos = e.script.pos;
  return r;
}

// The indexing through the loader's line list and the plain scan, compared
// on the engine's current text.
void ExpectSameIndex(Engine& e, const std::string& what) {
  ASSERT_EQ(e.script.labelLinesText, e.script.textGeneration) << what;
  IndexResult listed = Index(e);
  e.script.labelLinesText = 0;  // forces the plain scan
  IndexResult plain = Index(e);
  e.script.labelLinesText = e.script.textGeneration;
  ASSERT_EQ(listed.failed, plain.failed) << what;
  EXPECT_EQ(listed.error, plain.error) << what;
  EXPECT_EQ(listed.pos, plain.pos) << what;
  if (!listed.failed) {
    ASSERT_EQ(listed.labels, plain.labels) << what;
    // Lookups find the first definition of every name.
    for (const auto& [pos, name] : plain.labels) {
      int32_t first = -1;
      for (const auto& [p, n] : plain.labels)
        if (n == name && first < 0) first = p;
      EXPECT_EQ(FindLabel(e, name), first) << what;
    }
  }
}

// With `plain`, mostly the lines a game is made of (labels alone on their
// line or followed by a command, commands, blank lines), so that the labels
// the loader reads ahead carry far into the text before an awkward line.
std::string Piece(std::mt19937& rng, bool unique, int& serial, bool plain = false) {
  static const char* kNames[] = {"a", "Start", "l1", "L1", "x_y", "z9", "\x82\xa0", "*b"};
  auto name = [&] { return unique ? "N" + std::to_string(serial++) + "_Lab" : std::string(kNames[rng() % 8]); };
  static const int kPlain[] = {0, 1, 2, 6, 9, 10, 11, 15};
  const unsigned pick = plain && rng() % 40 != 0 ? static_cast<unsigned>(kPlain[rng() % 8]) : rng() % 16;
  switch (pick) {
    case 0: return "*" + name() + "\n";
    case 1: return "  \t*" + name() + " \t\n";
    case 2: return "*" + name() + " mov %1,2\n";
    case 3: return "*" + name() + "*" + name() + " *" + name() + "\n";
    case 4: return "* " + name() + "\r\n";
    case 5: return "*" + name() + "\r\r\n";
    case 6: return "mov %1,1 ; *not_a_label\n";
    case 7: return "\r\n\r\n";
    case 8: return std::string(rng() % 40, ' ') + "text\r more\n";
    case 9: return "*9lives\n";
    case 10: return "*\n";
    case 11: return "\n\t\n";
    case 12: return rng() % 8 == 0 ? std::string("\x1a") : std::string("\r");
    case 13: return rng() % 16 == 0 ? std::string(1, '\0') : std::string("\t");
    case 14: return rng() % 32 == 0 ? "*" + std::string(255, 'q') + "\n" : "*" + std::string(254, 'k') + "\n";
    default: return std::string(rng() % 70, 'x') + "\n";
  }
}

// Ctrl-Z ends a text file and CR LF pairs become LF.
std::string TextMode(std::string s) {
  if (size_t z = s.find('\x1a'); z != std::string::npos) s.resize(z);
  std::string out;
  for (size_t i = 0; i < s.size(); ++i)
    if (!(s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n')) out.push_back(s[i]);
  return out;
}

// Sets the size from which scripts are loaded by two threads, for as long
// as it lives.
class DraftThreadFrom {
 public:
  explicit DraftThreadFrom(size_t bytes) { loadOnTwoThreadsFrom = bytes; }
  ~DraftThreadFrom() { loadOnTwoThreadsFrom = saved_; }

 private:
  size_t saved_ = loadOnTwoThreadsFrom;
};

TEST(LabelScan, ListedLinesIndexLikeThePlainScan) {
  std::mt19937 rng(2024);
  for (int round = 0; round < 300; ++round) {
    const bool unique = round % 2 == 0;
    const bool plain = round % 3 == 1;
    // Every other round loads on two threads, as a large script of several
    // files does.
    DraftThreadFrom threaded(round % 4 < 2 ? 0 : loadOnTwoThreadsFrom);
    int serial = 0;
    TempDir dir;
    std::string expected;
    const int files = 1 + static_cast<int>(rng() % 3);
    for (int f = 0; f < files; ++f) {
      std::string text = f == 0 && round % 7 == 0 ? ";$L12\n" : ";\n";
      const int pieces = static_cast<int>(rng() % 60);
      for (int i = 0; i < pieces; ++i) text += Piece(rng, unique, serial, plain);
      dir.Write(std::to_string(f) + ".txt", text);
      expected += TextMode(text) + "\n";
    }
    for (int f = files; f < 100; ++f) expected += "\n";
    Engine e;
    e.gameDir = dir.path();
    LoadScript(e);
    std::string what = "round " + std::to_string(round);
    ASSERT_EQ(std::string(e.script.data(), static_cast<size_t>(e.script.length)), expected) << what;
    ExpectSameIndex(e, what);

    // The same bytes handed in as a text (no text-mode conversion).
    Engine t;
    LoadScriptFromText(t, expected);
    ExpectSameIndex(t, what + " (text)");
  }
}

// Puts a reader of script files in place of the platform's, for as long as
// it lives: one that fails on the file named `failing`, and waits a while
// before reading the first file, so that the files after it are read
// before their place is known.
class ScriptReaderFor {
 public:
  explicit ScriptReaderFor(std::string failing, bool slowFirst) {
    failing_ = std::move(failing);
    slowFirst_ = slowFirst;
    readScriptFile = Read;
  }
  ~ScriptReaderFor() { readScriptFile = saved_; }

 private:
  static bool EndsWith(const std::string& path, const std::string& name) {
    return path.size() > name.size() && path.compare(path.size() - name.size(), name.size(), name) == 0 &&
           path[path.size() - name.size() - 1] == '/';
  }
  static bool Read(const std::string& path, char* dst, size_t capacity, size_t step, size_t& got,
                   const std::function<bool(size_t)>& took, std::string* error) {
    if (!failing_.empty() && EndsWith(path, failing_)) {
      *error = "broken";
      return false;
    }
    if (slowFirst_ && EndsWith(path, "0.txt")) std::this_thread::sleep_for(std::chrono::milliseconds(30));
    return platform::ReadFileInSteps(path, dst, capacity, step, got, took, error);
  }
  static inline std::string failing_;
  static inline bool slowFirst_ = false;
  ScriptFileReader saved_ = readScriptFile;
};

// Files of several read steps each, loaded by one thread and by two: CR LF
// pairs and label lines fall on every side of the steps' edges, one file
// ends early at a Ctrl-Z, and an awkward line midway stops the loader's
// draft, so that the index goes on from there. On two threads the first
// file is slow to come, so the others are read ahead of their place and
// moved down to it.
TEST(LabelScan, LargeFilesLoadTheSameOnOneThreadOrTwo) {
  TempDir dir;
  std::mt19937 rng(5);
  std::string expected;
  for (int f = 0; f < 4; ++f) {
    std::string text = f == 0 ? ";$L100000\n" : "";
    int line = 0;
    while (text.size() < 700 * 1024) {
      const char* eol = rng() % 3 == 0 ? "\n" : "\r\n";
      if (rng() % 4 == 0) {
        text += "*f" + std::to_string(f) + "_" + std::to_string(line) + eol;
      } else {
        text += std::string(rng() % 90, 'x') + eol;
      }
      if (f == 2 && line == 9000) text += "*a*b\n";
      if (f == 3 && line == 7000) text += "\x1a*never\n";
      ++line;
    }
    dir.Write(std::to_string(f) + ".txt", text);
    expected += TextMode(text) + "\n";
  }
  for (int f = 4; f < 100; ++f) expected += "\n";
  for (bool two : {false, true}) {
    DraftThreadFrom threaded(two ? 0 : SIZE_MAX);
    ScriptReaderFor reader("", two);
    for (int round = 0; round < 3; ++round) {
      Engine e;
      e.gameDir = dir.path();
      LoadScript(e);
      ASSERT_EQ(std::string(e.script.data(), static_cast<size_t>(e.script.length)), expected) << two;
      ExpectSameIndex(e, two ? "two threads" : "one thread");
      EXPECT_GT(e.script.labels.size(), 5000u);
    }
  }
}

// A file that cannot be read midway through a load on two threads is
// reported by name, with the files before it loaded; the load never hangs.
TEST(LabelScan, UnreadableFileMidwayIsReported) {
  TempDir dir;
  for (int f = 0; f < 6; ++f) {
    dir.Write(std::to_string(f) + ".txt", "*l" + std::to_string(f) + "\n" + std::string(300 * 1024, ';') + "\n");
  }
  DraftThreadFrom threaded(0);
  for (int round = 0; round < 10; ++round) {
    ScriptReaderFor reader("3.txt", round % 2 == 1);
    Engine e;
    e.gameDir = dir.path();
    auto err = test::ExpectScriptError([&] { LoadScript(e); });
    EXPECT_EQ(err.message, "スクリプトファイル3.txtを読み込めません（broken）。");
    EXPECT_EQ(e.script.length, 3 * static_cast<int32_t>(4 + 300 * 1024 + 1 + 1));  // with their line feeds
  }
}

// Names are hashed from the text as it stands and looked up lower-cased:
// both must agree, whatever the length, and every byte must count.
TEST(LabelScan, NameHashesAgreeAndSeeEveryByte) {
  std::mt19937 rng(7);
  const std::string bytes = "abcXYZ_09Qq";
  for (size_t n = 0; n <= 40; ++n) {
    std::string text;
    for (size_t i = 0; i < n; ++i) text.push_back(bytes[rng() % bytes.size()]);
    std::string lower = text;
    for (char& c : lower) c = static_cast<char>(LowerAscii(static_cast<unsigned char>(c)));
    const uint64_t h = LabelIndex::Hash(lower);
    EXPECT_EQ(LabelIndex::HashLowered(text.data(), n), h) << text;
    for (size_t i = 0; i < n; ++i) {
      std::string other = lower;
      other[i] = other[i] == 'z' ? 'y' : 'z';
      EXPECT_NE(LabelIndex::Hash(other), h) << text << " at " << i;
    }
    EXPECT_NE(LabelIndex::Hash(lower + "a"), h) << text;
  }
}

TEST(LabelScan, ScrambledScriptsAreIndexedToo) {
  TempDir dir;
  std::string text = "*define\r\ngame\r\n  *start mov %1,1\r\n*a*b\n*A\n";
  for (char& c : text) c = static_cast<char>(static_cast<unsigned char>(c) ^ 0xA7);
  dir.Write("svscript.dat", text);
  Engine e;
  e.gameDir = dir.path();
  LoadScript(e);
  ExpectSameIndex(e, "scrambled");
  auto err = test::ExpectScriptError([&] { BuildLabelIndex(e); });
  EXPECT_EQ(err.message, "ラベル*aの多重定義です。");
  // CRs stay in a scrambled script, so "*define" ends at its CR.
  EXPECT_EQ(e.script.at(FindLabel(e, "define")), '\r');
}

}  // namespace
}  // namespace sorv
