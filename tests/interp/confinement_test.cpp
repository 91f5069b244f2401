// What a script's file names resolve to must stay inside the game
// directory: links that lead out, names that climb out, special files,
// libraries, the memory budget and the virtual clock of busy loops.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "interp/game_paths.h"
#include "platform/fs.h"
#include "platform/memory_budget.h"
#include "shell/app.h"
#include "support/engine_fixture.h"

namespace sorv {
namespace {

using test::RunGameDir;
using test::TempDir;

std::string Game(const std::string& body) { return "*define\ngame\n*start\n" + body + "end\n"; }

test::RunResult RunIn(const TempDir& dir, const std::string& body, platform::Options options = {}) {
  dir.Write("0.txt", Game(body));
  return RunGameDir(dir.path(), options);
}

bool Exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

// A directory link inside the game that points elsewhere: no file command
// may create, remove, read or write through it.
TEST(Confinement, LinkedDirectoryCannotBeUsedToLeaveTheGame) {
  TempDir game, outside;
  outside.Write("victim.txt", "keep me");
  ASSERT_EQ(symlink(outside.path().c_str(), game.File("link").c_str()), 0);
  ASSERT_EQ(symlink(outside.File("victim.txt").c_str(), game.File("victim").c_str()), 0);
  struct Case {
    const char* body;
    const char* command;
    const char* name;
  };
  const Case cases[] = {
      {"filecreate \"link\\made.txt\"\n", "filecreate", "link\\made.txt"},
      {"fileremove \"link\\victim.txt\"\n", "fileremove", "link\\victim.txt"},
      {"fileremove \"victim\"\n", "fileremove", "victim"},
      {"csvopen \"link/a.csv\",\"wc\"\ncsvwrite 1\ncsvclose\n", "csvopen", "link/a.csv"},
      {"readfile $1,\"victim\"\n", "readfile", "victim"},
      {"getini $1,\"a\",\"b\",\"link\\victim.txt\"\n", "getini", "link\\victim.txt"},
      {"fileexist %1,\"link\\victim.txt\"\n", "fileexist", "link\\victim.txt"},
  };
  for (const Case& c : cases) {
    auto r = RunIn(game, c.body);
    EXPECT_EQ(r.status, 1) << c.body;
    EXPECT_EQ(r.errorMessage,
              std::string(c.command) + "に指定したファイル名" + c.name + "はゲームフォルダの外を指しています。")
        << c.body;
  }
  EXPECT_TRUE(Exists(outside.File("victim.txt")));
  EXPECT_FALSE(Exists(outside.File("made.txt")));
  EXPECT_FALSE(Exists(outside.File("a.csv")));

  // savedir through the link is refused at the command.
  game.Write("0.txt", "*define\nsavedir \"link\"\ngame\n*start\nend\n");
  auto r = RunGameDir(game.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.errorMessage.find("savedir"), std::string::npos);

  // Inside the game, files and directories still work as before.
  auto ok = RunIn(game, "filecreate \"made.txt\"\nfileexist %1,\"made.txt\"\nfileremove \"made.txt\"\nfileexist %2,\"made.txt\"\n");
  ASSERT_EQ(ok.status, 0) << ok.errorText;
  EXPECT_EQ(ok.Int(1), 1);
  EXPECT_EQ(ok.Int(2), 0);
}

// Pictures, sounds and archive directories named out of the game are
// refused as the file commands refuse them, not looked up.
TEST(Confinement, AssetsNamedOutsideAreRefused) {
  TempDir game, outside;
  ASSERT_EQ(symlink(outside.path().c_str(), game.File("link").c_str()), 0);
  struct Case {
    const char* body;
    const char* message;
  };
  const Case cases[] = {
      {"bg \"..\\x.bmp\",1\n", "bgに指定したファイル名..\\x.bmp"},
      {"lsp 1,\"/etc/passwd\",0,0\n", "lspに指定したファイル名/etc/passwd"},
      {"bg \"link\\x.bmp\",1\n", "bgに指定したファイル名link\\x.bmp"},
      {"wave \"..\\..\\x.wav\"\n", "waveに指定したファイル名..\\..\\x.wav"},
  };
  for (const Case& c : cases) {
    auto r = RunIn(game, c.body);
    EXPECT_EQ(r.status, 1) << c.body;
    EXPECT_EQ(r.errorMessage, std::string(c.message) + "はゲームフォルダの外を指しています。") << c.body;
  }
  game.Write("0.txt", "*define\naddsvadir \"..\\elsewhere\"\ngame\n*start\nend\n");
  auto r = RunGameDir(game.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.errorMessage, "addsvadirに指定したファイル名..\\elsewhereはゲームフォルダの外を指しています。");
}

// A plug-in named out of the game, or reached through a link that leads
// out, is refused before anything is loaded: loading runs its code.
TEST(Confinement, LibrariesOutsideAreRefusedBeforeLoading) {
  TempDir game, outside;
  outside.Write("evil.so", "not loaded");
  ASSERT_EQ(symlink(outside.File("evil.so").c_str(), game.File("evil.so").c_str()), 0);
  test::ScriptEngine se("*define\ngame\n*start\nend\n");
  Engine& e = *se;
  e.gameDir = game.path();
  for (std::string name : {"evil.dll", "evil.so", "..\\evil.dll", "/tmp/evil.so", "dll\\..\\..\\evil.dll"}) {
    ScriptError err = test::ExpectScriptError([&] { BindEntry(e, name, "Effect"); });
    EXPECT_EQ(err.message, "ライブラリ" + name + "はゲームフォルダの外を指しています。");
    for (const LibraryEntry& lib : e.app.libraries) EXPECT_EQ(lib.handle, nullptr) << name;
  }
  // The engine's own libraries may be bound from anywhere, on purpose.
  EXPECT_EQ(BindEntryAnywhere(e, outside.File("evil.so"), "Effect"), nullptr);

  // Through a script: an image plug-in and an effect library.
  game.Write("0.txt", "*define\neffect 10,99,100,\"..\\fx.dll\"\ngame\n*start\nbg white,10\nend\n");
  auto r = RunGameDir(game.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.errorMessage, "ライブラリ..\\fx.dllはゲームフォルダの外を指しています。");
}

// Special files under the names the engine reads are refused at once with
// the file's message instead of holding the engine.
TEST(SpecialFiles, FifoAsArchiveOrReadTargetGivesAMessage) {
  TempDir game;
  ASSERT_EQ(mkfifo(game.File("arc.sva").c_str(), 0644), 0);
  ASSERT_EQ(mkfifo(game.File("pipe.txt").c_str(), 0644), 0);
  ASSERT_EQ(mkfifo(game.File("config.txt").c_str(), 0644), 0);
  mkdir(game.File("folder").c_str(), 0755);

  game.Write("0.txt", "*define\nsva\ngame\n*start\nbg \"x.bmp\",1\nend\n");
  auto r = RunGameDir(game.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.errorMessage, "アーカイブ\"arc.sva\"が壊れています！");

  for (std::string body : {"readfile $1,\"pipe.txt\"\n", "getini $1,\"a\",\"b\",\"pipe.txt\"\n",
                           "csvopen \"pipe.txt\",\"rc\"\n", "readfile $1,\"folder\"\n"}) {
    auto s = RunIn(game, body);
    EXPECT_EQ(s.status, 1) << body;
    std::string name = body.find("folder") != std::string::npos ? "folder" : "pipe.txt";
    EXPECT_EQ(s.errorMessage, "ファイル" + name + "は通常のファイルではありません。") << body;
  }
  ASSERT_EQ(mkfifo(game.File("registry.ini").c_str(), 0644), 0);
  auto reg = RunIn(game, "getreg $1,\"HKEY_CURRENT_USER\\Software\\x\",\"v\"\n");
  EXPECT_EQ(reg.status, 1);
  EXPECT_EQ(reg.errorMessage, "ファイルregistry.iniは通常のファイルではありません。");
}

// Loops that never wait end at the time limit like any other run.
TEST(VirtualClock, BusyLoopsEndAtTheTimeLimit) {
  const char* loops[] = {
      "*define\ngame\n*start\n*l\ngoto *l\n",
      "*define\ngame\n*start\n*l\nwait 0\ngoto *l\n",
      "*define\ngame\n*start\n*l\nprint 1\ngoto *l\n",
      "*define\ngame\n*start\nreset\n",
      "*define\ngame\n*start\n*l\nmov %1,%1+1\njumpf\n~\ngoto *l\n",
  };
  for (const char* script : loops) {
    platform::Options options;
    options.maxTimeMs = 300;
    auto r = test::RunScript(script, options);
    EXPECT_EQ(r.status, 3) << script << r.errorText;
  }
}

// A flood of big sprites or big arrays meets the memory budget as a script
// error at the statement that asked, with its file and line.
TEST(MemoryBudget, FloodsBecomeScriptErrorsWithTheirLocation) {
  uint64_t saved = platform::MemoryLimit();
  platform::SetMemoryLimit(platform::HeapInUse() + (400ull << 20));
  std::string arrays = "*define\n";
  for (int i = 0; i < 80; ++i) arrays += "dim ?" + std::to_string(i) + "[16777215]\n";
  arrays += "game\n*start\nend\n";
  auto a = test::RunScript(arrays);
  EXPECT_EQ(a.status, 1);
  EXPECT_EQ(a.errorTitle, "エラー");
  EXPECT_EQ(a.errorMessage.rfind("メモリが足りません", 0), 0u) << a.errorMessage;
  // 64 MiB an array (the first on line 2): room for five or six, never all.
  size_t line = a.errorText.find("0.txt line:");
  ASSERT_NE(line, std::string::npos) << a.errorText;
  int at = std::stoi(a.errorText.substr(line + 11));
  EXPECT_GE(at, 6);
  EXPECT_LE(at, 9);
  a.engine.reset();

  auto s = test::RunScript(
      "*define\ngame\n*start\nmov %1,0\n*l\nlsp %1,\":c;>9000,9000,#ff0000\",0,0\ninc %1\n"
      "if %1<40 goto *l\nend\n");
  EXPECT_EQ(s.status, 1);
  EXPECT_EQ(s.errorMessage.rfind("メモリが足りません", 0), 0u) << s.errorMessage;
  EXPECT_NE(s.errorText.find("0.txt line:6"), std::string::npos) << s.errorText;
  EXPECT_LE(s.Int(1), 2);
  platform::SetMemoryLimit(saved);
}

}  // namespace
}  // namespace sorv
