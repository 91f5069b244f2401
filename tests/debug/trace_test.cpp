// The command and value traces, their log file, the trace text kept for the
// debug window, and grptest's histogram.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "debug/debug_state.h"
#include "graphics/decoders/decoders.h"
#include "graphics/surface.h"
#include "platform/encoding.h"
#include "support/engine_fixture.h"
#include "support/windowless_platform.h"

namespace sorv {
namespace {

using test::RunGameDir;
using test::TempDir;

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::string S(const char* utf8) { return platform::Utf8ToSjis(utf8); }

std::string CommandLine(int line, const std::string& word, const std::string& text) {
  return "0.txt line:" + std::to_string(line) + " " + S("命令:") + word + "\r\n> " + text + "\r\n";
}

// Two commands on one line give two entries with that line; a value read
// adds its own line; `debuglog 0` stops the log, and a later run appends.
TEST(DebugLog, TracesEveryCommandWithFileAndLine) {
  TempDir dir;
  dir.Write("debuglog.txt", "old\r\n");
  dir.Write("0.txt",
            "*define\ngame\n*start\ndebuglog 1\nmov %1,5:mov %2,%1\r\n"
            "mov $3,\"a\" : mov $4,$3\ndebuglog 0\nmov %5,%1\nend\n");
  auto r = RunGameDir(dir.path());
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(2), 5);
  std::string want = "old\r\n";
  want += CommandLine(5, "mov", "mov %1,5:mov %2,%1");
  want += CommandLine(5, "mov", "mov %1,5:mov %2,%1");
  want += S("数字変数%1へアクセス：値5") + "\n";
  want += CommandLine(6, "mov", "mov $3,\"a\" : mov $4,$3");
  want += CommandLine(6, "mov", "mov $3,\"a\" : mov $4,$3");
  want += S("文字列変数$3へアクセス：値\"a\"") + "\n";
  want += CommandLine(7, "debuglog", "debuglog 0");
  EXPECT_EQ(Slurp(dir.File("debuglog.txt")), want);
  EXPECT_FALSE(r.engine->debug.tracing);
}

// The same line read again through the remembered command and argument
// (a loop) is traced each time, with the variable's value at that pass.
TEST(DebugLog, RememberedCommandsAndArgumentsAreTracedToo) {
  TempDir dir;
  dir.Write("0.txt",
            "*define\ngame\n*start\ndebuglog 1\nmov %1,0\n*again\ninc %1\nif %1 < 3 goto *again\n"
            "debuglog 0\nend\n");
  auto r = RunGameDir(dir.path());
  ASSERT_EQ(r.status, 0) << r.errorText;
  std::string log = Slurp(dir.File("debuglog.txt"));
  size_t incs = 0;
  for (size_t at = 0; (at = log.find(S("命令:inc"), at)) != std::string::npos; ++at) ++incs;
  EXPECT_EQ(incs, 3u);
  for (int v = 1; v <= 3; ++v) {
    EXPECT_NE(log.find(S("数字変数%1へアクセス：値") + std::to_string(v) + "\n"), std::string::npos) << v;
  }
}

// Other value reads: array elements, bracketed expressions and aliases.
TEST(DebugLog, ArrayBracketAndAliasReadsAreTraced) {
  TempDir dir;
  dir.Write("0.txt",
            "*define\nnumalias ten,10\ndim ?2[3]\ngame\n*start\nmov ?2[1],7\ndebuglog 1\n"
            "mov %1,?2[1]\nmov %2,[ten]\ndebuglog 0\nend\n");
  auto r = RunGameDir(dir.path());
  ASSERT_EQ(r.status, 0) << r.errorText;
  std::string log = Slurp(dir.File("debuglog.txt"));
  EXPECT_NE(log.find(S("配列変数?2へアクセス：値7") + "\n"), std::string::npos) << log;
  EXPECT_NE(log.find(S("エイリアスtenへアクセス：値10") + "\n"), std::string::npos) << log;
  EXPECT_NE(log.find(S("[]内の式の値10") + "\n"), std::string::npos) << log;
}

// Without a window or a log nothing is traced and no file appears.
TEST(DebugLog, NothingIsWrittenWithoutTheSwitch) {
  TempDir dir;
  dir.Write("0.txt", "*define\ngame\n*start\nmov %1,%2\nend\n");
  auto r = RunGameDir(dir.path());
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_FALSE(r.engine->debug.tracing);
  EXPECT_FALSE(std::ifstream(dir.File("debuglog.txt")).good());
}

// Headless, the window's text stays in memory: the last command's line
// alone, and a line longer than the field keeps its newest bytes without
// splitting a double-byte character.
TEST(DebugWindow, HeadlessKeepsTheTraceTextWithinItsBound) {
  TempDir dir;
  std::string longText;
  for (int i = 0; i < 700; ++i) longText += "\x82\xA0";
  dir.Write("0.txt", "*define\ncreatedebugwindow\ncreatedebugwindow\ngame\n*start\nmov $1,\"" + longText +
                         "\":mov %1,%2:end\n");
  auto r = RunGameDir(dir.path());
  ASSERT_EQ(r.status, 0) << r.errorText;
  const std::string& text = r.engine->debug.text;
  EXPECT_EQ(text.size(), kTraceTextBytes - 1);  // the cut falls after a whole character
  EXPECT_EQ(text.substr(text.size() - 15), "\":mov %1,%2:end");
  // Everything before the closing quote is whole characters.
  size_t quote = text.size() - 15;
  EXPECT_EQ(quote % 2, 0u);
  for (size_t i = 0; i < quote; i += 2) ASSERT_EQ(text.substr(i, 2), "\x82\xA0") << i;
  EXPECT_TRUE(r.engine->debug.window != nullptr);
}

// A short window text: the command line, then each value read on its own
// line (the run ends at the end of the script, so no later command follows).
TEST(DebugWindow, ValueTracesFollowTheCommandLine) {
  TempDir dir;
  dir.Write("0.txt", "*define\ncreatedebugwindow\ngame\n*start\nmov %3,4\nmov %1,%3+%3");
  auto r = RunGameDir(dir.path());
  EXPECT_EQ(r.status, 1);
  std::string value = S("数字変数%3へアクセス：値4");
  EXPECT_EQ(r.engine->debug.text,
            "0.txt line:6 " + S("命令:mov") + "\r\n> mov %1,%3+%3\r\n" + value + "\r\n" + value);
}

// The histogram runs through the picture as the engine keeps it, bottom row
// first: the last pixel of the top row follows the first of the row below.
TEST(Grptest, CountsDifferencesBottomRowFirstAndWritesOutTxt) {
  TempDir dir;
  Surface picture;
  ASSERT_TRUE(CreateSurface(picture, 640, 2));
  std::fill(picture.bits.begin(), picture.bits.end(), 0);
  picture.TopRow(0)[639 * 3] = 7;  // blue of the top row's last pixel
  picture.TopRow(1)[0] = 9;        // blue of the second row's first pixel
  picture.TopRow(1)[2] = 200;      // and its red
  std::vector<uint8_t> bmp = EncodeBmp(picture);
  dir.Write("pic.bmp", std::string(bmp.begin(), bmp.end()));
  dir.Write("0.txt", "*define\ngame\n*start\ngrptest \"pic.bmp\"\nend\n");
  auto r = RunGameDir(dir.path());
  ASSERT_EQ(r.status, 0) << r.errorText;
  const uint32_t total = 640 * 480 * 3;
  std::string want = "\"pic.bmp\" " + S("解析結果") + "\r\n";
  want += "-200 = 1\r\n-9 = 1\r\n";
  want += "0 = " + std::to_string(total - 5) + "\r\n";
  want += "7 = 1\r\n9 = 1\r\n200 = 1\r\n";
  EXPECT_EQ(Slurp(dir.File("out.txt")), want);
  // Shown at the top-left of the window.
  const Surface& display = r.engine->scene.display;
  EXPECT_EQ(display.TopRow(1)[2], 200);
}

TEST(Grptest, MissingImageIsTheLoadersError) {
  TempDir dir;
  dir.Write("0.txt", "*define\ngame\n*start\ngrptest \"none.bmp\"\nend\n");
  auto r = RunGameDir(dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_FALSE(std::ifstream(dir.File("out.txt")).good());
}

class TitlePlatform : public test::WindowlessPlatform {
 public:
  void SetTitle(const std::string& utf8) override { title = utf8; }
  void Present(const uint8_t*, int, int, int) override {}
  bool PollEvent(platform::Event&) override { return false; }
  bool HasFocus() const override { return true; }
  bool Unattended() const override { return true; }
  uint32_t NowMs() override { return 0; }
  void SleepMs(uint32_t) override {}
  platform::MessageBoxAnswer ShowMessageBox(const std::string&, const std::string&, platform::MessageBoxButtons,
                                            platform::MessageBoxIcon) override {
    return platform::MessageBoxAnswer::Ok;
  }
  std::string title;
};

// The debug title names the file and line of the text; skipping or holding
// Ctrl shows "---" instead.
TEST(DebugTitle, FileAndLineOrDashesWhileSkipping) {
  test::ScriptEngine se("*start\nmov %1,1\ntext here\n");
  TitlePlatform platform;
  se->platform = &platform;
  se->script.pos = 21;  // inside "text here"
  ShowDebugTitle(*se);
  EXPECT_EQ(platform.title, "(DebugMode) 0.txt line:3");
  se->interp.skipMode = true;
  ShowDebugTitle(*se);
  EXPECT_EQ(platform.title, "---");
  se->interp.skipMode = false;
  se->app.ctrlDown = true;
  ShowDebugTitle(*se);
  EXPECT_EQ(platform.title, "---");
}

}  // namespace
}  // namespace sorv
