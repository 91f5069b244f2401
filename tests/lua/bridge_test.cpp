// The Lua bridge end to end: games with a system.lua run through the real
// loops with our Lua library standing in for the Windows one they ship.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "graphics/decoders/decoders.h"
#include "graphics/picture_files.h"
#include "lua/bridge.h"
#include "lua/lua_state.h"
#include "platform/encoding.h"
#include "platform/png_reader.h"
#include "support/engine_fixture.h"

namespace sorv {
namespace {

// What a game made for Windows ships: not a library this system can load.
const char kWindowsLibrary[] = "MZ\x90 stands for the Windows build of the Lua library";

struct LuaGame {
  test::TempDir dir;
  platform::Options options;

  LuaGame(const std::string& script, const std::string& systemLua) {
    dir.Write("svlua.dll", kWindowsLibrary);
    if (!script.empty()) dir.Write("0.txt", platform::Utf8ToSjis(script));
    dir.Write("system.lua", platform::Utf8ToSjis(systemLua));
  }
  void Events(const std::string& text) {
    dir.Write("events", text);
    options.eventsFile = dir.File("events");
  }
  test::RunResult Run() { return test::RunGameDir(dir.path(), options); }
};

std::string Utf8(const std::string& sjis) { return platform::SjisToUtf8(sjis); }

TEST(LuaBridge, CommandsReadTheirArgumentsFromTheScript) {
  LuaGame g(R"~(*define
luasub mov
luasub args
game
*start
mov %1, 3
_mov %2, 4
args %7 , $8,"word"	, 12*2, *there
end
*there
)~",
            R"~(function SVCOM_mov()
  local n = SVPopIntRef()
  SVPopComma()
  SVSetIntValue(n, SVPopInt() * 100)
end
function SVCOM_args()
  local i = SVPopIntRef()
  local before = SVCheckComma()
  SVPopComma()
  local s = SVPopStrRef()
  SVPopComma()
  local w = SVPopStr()
  local comma = SVCheckComma()
  SVPopComma()
  local n = SVPopInt()
  SVPopComma()
  local label = SVPopLabel()
  SVSetStrValue(s, string.format("%d %s %s %s %d %s", i, tostring(before), w, tostring(comma), n, label))
end
)~");
  auto r = g.Run();
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(1), 300);  // the Lua command wins over the built-in
  EXPECT_EQ(r.Int(2), 4);    // "_" still reaches the built-in
  EXPECT_EQ(r.Str(8), "7 true word true 24 *there");
}

// definereset runs the define block again: its luasub and luacall lines are
// no second registration, and the Lua state lives on.
TEST(LuaBridge, RegistrationsSurviveANewDefinePass) {
  LuaGame g("*define\nluasub count\nluacall reset\ngame\n*start\ncount\n"
            "luastr \"if runs < 2 then SVExec('definereset') end\"\nend\n",
            "function SVCOM_count() runs = (runs or 0) + 1 SVSetIntValue(1, runs * 10 + resets) end\n"
            "resets = 0 function SVCALL_reset() resets = resets + 1 end\n");
  auto r = g.Run();
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(1), 22);
}

TEST(LuaBridge, ControlFlowFromLua) {
  LuaGame g(R"~(*define
luasub jump
luasub call
game
*start
call *sub
mov %2,%1
jump *skip
mov %3,1
*skip
end
*sub
mov %1,5
luastr "SVReturn()"
)~",
            R"~(function SVCOM_jump() SVGoto(SVPopLabel()) end
function SVCOM_call() SVGosub(SVPopLabel()) end
)~");
  auto r = g.Run();
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(2), 5);
  EXPECT_EQ(r.Int(3), 0);
}

TEST(LuaBridge, TextHooksReplaceTheTextWindow) {
  LuaGame g(R"~(*define
luacall text
luacall tag
game
*start
[name]あい@う\
えお\
end
)~",
            R"~(log = ""
function SVCALL_tag(t) log = log .. "<" .. t .. ">" end
function SVCALL_text(s) log = log .. "{" .. s .. "}" SVSetStrValue(1, log) end
)~");
  auto r = g.Run();
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(Utf8(r.Str(1)), "<name>{あい@う\\}<>{えお\\}");
  EXPECT_TRUE(r.chunks().empty());
}

TEST(LuaBridge, Text0TakesTheWholeLine) {
  LuaGame g("*define\nluacall text0\ngame\n*start\nあ@い%1\\\r\nう\nend\n",
            "function SVCALL_text0(s) SVSetStrValue(1, SVGetStrValue(1) .. '|' .. s) end\n");
  auto r = g.Run();
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(Utf8(r.Str(1)), "|あ@い%1\\|う");
}

// The sprite moves on the virtual clock: every dumped frame shows it where
// the ticks so far have put it.
TEST(LuaBridge, AnimationCallbackMovesASprite) {
  LuaGame g(R"~(*define
luacall animation
game
*start
bg black,1
luastr "SVSpLoad(0, ':c;red.bmp') SVSpMove(0, 0, 0, 255) SVLuaAnimationInterval(50) SVLuaAnimationMode(true)"
wait 260
luastr "SVLuaAnimationMode(false)"
wait 100
end
)~",
            R"~(ticks = 0
function SVCALL_animation()
  ticks = ticks + 1
  SVSpMove(0, ticks * 10, 0, 255)
  SVSetIntValue(1, ticks)
  return true
end
)~");
  Surface red = test::MakePicture(8, 8, [](int32_t, int32_t) { return 0xFF0000u; });
  g.dir.Write("red.bmp", test::Bytes(EncodeBmp(red)));
  g.options.dumpFramesDir = g.dir.File("frames");
  auto r = g.Run();
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(1), 6);  // at once, then every 50 ms for 260 ms
  std::ifstream list(g.dir.File("frames/frames.txt"));
  std::string index;
  long when = 0;
  int lastX = -1, moves = 0;
  while (list >> index >> when) {
    auto frame = platform::testing::ReadPngRgb(g.dir.File("frames/frame-" + index + ".png"));
    ASSERT_TRUE(frame.ok);
    int x = -1;
    for (int px = 0; px < frame.width && x < 0; ++px) {
      if (frame.At(px, 4) == 0xFF0000u) x = px;
    }
    if (x < 0) continue;  // before the sprite was shown
    EXPECT_EQ(x % 10, 0) << "frame " << index;
    if (x != lastX) ++moves;
    EXPECT_GE(x, lastX);
    lastX = x;
  }
  EXPECT_EQ(lastX, 60);
  EXPECT_EQ(moves, 6);
}

TEST(LuaBridge, RequireReadsAModuleFromAnArchiveOnce) {
  test::TempDir src;
  LuaGame g("*define\nsva\ngame\n*start\nend\n",
            "SL_require('TOOLS') SL_require('tools.lua') SL_require('missing') SVSetIntValue(1, loaded)\n");
  src.Write("tools.lua", "loaded = (loaded or 0) + 1\n");
  std::string cmd = std::string(SORV_ARC_BINARY) + " pack " + g.dir.File("arc.sva") + " -C " + src.path() +
                    " tools.lua > /dev/null 2>&1";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  auto r = g.Run();
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(1), 1);
}

// A script error raised inside a Lua call (here an unknown label) ends the
// run with its own message even when Lua code tries to catch it.
TEST(LuaBridge, EngineErrorsCrossLuaIntact) {
  LuaGame g("*define\nluasub go\ngame\n*start\ngo\nend\n",
            "function SVCOM_go() pcall(SVGoto, '*nowhere') SVSetIntValue(1, 1) end\n");
  auto r = g.Run();
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.errorMessage.find("nowhere"), std::string::npos) << r.errorMessage;
}

TEST(LuaBridge, ArgumentErrorsAreLuaErrorsAndTheInterpreterGoesOn) {
  LuaGame g(R"~(*define
luasub try
game
*start
try
luastr "SVSetIntValue(2, 2)"
end
)~",
            R"~(function SVCOM_try()
  local ok, msg = pcall(SVSpMove, 0, 1)
  SVSetStrValue(1, msg)
  local ok2, msg2 = pcall(SVSetIntValue, 1000000, 1)
  SVSetStrValue(2, msg2)
  local ok3, msg3 = pcall(SVLinear, 1, 0, 1, 2, 1)
  SVSetStrValue(3, msg3)
  SVSetIntValue(3, SVLinear(0, 5, 0, 5, 3))
end
)~");
  auto r = g.Run();
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(Utf8(r.Str(1)), "SVSpMoveの引数が間違っています。\nSVSpMove(num,lx,ly,alpha)");
  EXPECT_EQ(Utf8(r.Str(2)), "SVSetIntValueの変数番号が有効な領域を超えています。1000000");
  EXPECT_EQ(Utf8(r.Str(3)), "線形補間に失敗しました。不正な値を指定しています。");
  EXPECT_EQ(r.Int(3), 5);
  EXPECT_EQ(r.Int(2), 2);
}

TEST(LuaBridge, FailingCallbacksAndChunksReportTheirMessage) {
  struct Case {
    const char* script;
    const char* lua;
    const char* message;
  } cases[] = {
      {"*define\nluacall text\ngame\n*start\nあ\\\nend\n", "function SVCALL_text(s)\n  error('bad text')\nend\n",
       "textのコールバックでエラーが発生しました。\nsystem.lua:2: bad text"},
      {"*define\ngame\n*start\nluastr \"nosuch()\"\nend\n", "",
       "luastrが呼び出したLuaスクリプト内でエラーが発生しました。"},
      {"*define\nluacall reset\ngame\n*start\nend\n", "function SVCALL_reset() error('r') end\n",
       "resetのコールバック関数中でエラーが発生しました。"},
      {"*define\nluacall animation\ngame\n*start\nluastr \"SVLuaAnimationMode(true)\"\nwait 100\nend\n",
       "function SVCALL_animation() return nil + 1 end\n", "Luaアニメーション割り込みでエラーが発生しました。"},
      {"*define\ngame\n*start\nluastr \"SVLuaAnimationMode(true)\"\nwait 100\nend\n", "",
       "luacall animationを実行していません。"},
      {"*define\nluasub x\nluasub x\ngame\n", "", "luasubの二重登録です。x"},
      {"*define\nluasub _x\ngame\n", "", "luasubサブルーチンの一文字目に_は使えません。"},
      {"*define\nluacall text\nluacall text\ngame\n", "", "luacallの二重登録です。text"},
      {"*define\nluacall paint\ngame\n", "", "定義されていないコールバック関数を登録しようとしました。"},
      {"*define\ngame\n*start\nluastr \"SVSystemCall('fly')\"\nend\n", "", "システムコールの文字列が不正です。"},
  };
  for (const Case& c : cases) {
    LuaGame g(c.script, c.lua);
    auto r = g.Run();
    EXPECT_EQ(r.status, 1) << c.script;
    EXPECT_NE(r.errorMessage.find(c.message), std::string::npos) << r.errorMessage;
  }
}

TEST(LuaBridge, CloseCallbackDecidesAndEndCallbackRuns) {
  LuaGame g("*define\nluacall close\nluacall end\ngame\n*start\nwait 5000\nmov %3,1\nwait 5000\nend\n",
            R"~(asked = 0
function SVCALL_close() asked = asked + 1 SVSetIntValue(1, asked) if asked >= 2 then return true end end
function SVCALL_end() SVSetIntValue(2, 7) end
)~");
  g.Events("1000 close\n2000 close\n");
  auto r = g.Run();
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(1), 2);  // the first close returned nothing: the game went on
  EXPECT_EQ(r.Int(2), 7);
  EXPECT_EQ(r.Int(3), 0);  // the second close ended the first wait
}

TEST(LuaBridge, RunawayLoopEndsWhenTheGameIsClosed) {
  LuaGame g("*define\ngame\n*start\nluastr \"while true do end\"\nmov %1,1\nend\n", "");
  g.Events("600 close\n");
  auto r = g.Run();
  EXPECT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(1), 0);
}

TEST(LuaBridge, BuiltInScriptRunsMainFromSystemLua) {
  LuaGame g("", "function SVCOM_main() SVExec('mov %5, 9') SVSetStrValue(1, 'main ran') end\n");
  auto r = g.Run();
  EXPECT_EQ(r.Int(5), 9);
  EXPECT_EQ(r.Str(1), "main ran");
  EXPECT_EQ(r.errorMessage, "LuaのSVCOM_main関数が終了してしまいました。");
}

TEST(LuaBridge, SpriteFunctions) {
  LuaGame g("*define\ngame\n*start\nluastr \"t()\"\nend\n", R"~(function t()
  SVSp2Load(3, ':c;red.bmp')
  SVSp2Move(3, 1, 2, 100, 100, -30, 200, 1)
  local a = {SVSp2GetPos(3)}
  SVSp2Move(3, 1, 2, 100, 100, 725, 200, 2)
  local b = {SVSp2GetPos(3)}
  SVSpLoad(7, ':c;red.bmp')
  local w, h, cells = SVSpGetInfo(7)
  local x, y, alpha = SVSpGetPos(7)
  local ok, msg = pcall(SVSpGetPos, 8)
  SVSetStrValue(1, table.concat(a, ',') .. ' ' .. b[5] .. ',' .. b[7] .. ' ' ..
    w .. 'x' .. h .. 'x' .. cells .. ' ' .. x .. ',' .. y .. ',' .. alpha .. ' ' .. msg)
end
)~");
  Surface red = test::MakePicture(6, 4, [](int32_t, int32_t) { return 0xFF0000u; });
  g.dir.Write("red.bmp", test::Bytes(EncodeBmp(red)));
  auto r = g.Run();
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(Utf8(r.Str(1)), "1,2,100,100,330,200,1 5,2 6x4x1 641,0,255 "
                            "SVSpGetPosがロードされていないスプライトの情報を得ようとしました。");
}

TEST(LuaBridge, LibraryInTheDllFolderCountsToo) {
  test::TempDir dir;
  dir.Write("dll/svlua.dll", kWindowsLibrary);
  dir.Write("0.txt", "*define\ngame\n*start\nluastr \"SVSetIntValue(1, 8)\"\nend\n");
  auto r = test::RunGameDir(dir.path());
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(1), 8);
}

TEST(LuaBridge, WithoutTheLibraryTheLuaCommandsSaySo) {
  test::TempDir dir;
  dir.Write("0.txt", "*define\ngame\n*start\nluastr \"x = 1\"\nend\n");
  auto r = test::RunGameDir(dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.errorMessage, "svlua.dllがありません。");
}

// --- the pieces that need no game ---

TEST(LuaSource, DoubleByteBackslashesSurviveInsideStrings) {
  // 0x95 0x5C is a character whose second byte is a backslash.
  std::string in = "s = \"\x95\\\" -- \x95\\\r\nt = \"a\\\"\x95\\\"\n";
  EXPECT_EQ(ConvertLuaSource(in), "s = \"\x95\\\\\" -- \x95\\\nt = \"a\\\"\x95\\\\\"\n");
}

TEST(LuaSpline, InterpolatesLikeANaturalSpline) {
  SplineSlot s;
  double xs[] = {0, 1, 2}, ys[] = {0, 1, 0};
  DefineSpline(s, xs, ys, 3);
  double y = 0;
  const char* err = nullptr;
  ASSERT_TRUE(EvaluateSpline(s, 0.5, y, err));
  EXPECT_DOUBLE_EQ(y, 0.6875);
  ASSERT_TRUE(EvaluateSpline(s, 1.5, y, err));
  EXPECT_DOUBLE_EQ(y, 0.6875);
  ASSERT_TRUE(EvaluateSpline(s, 2, y, err));
  EXPECT_EQ(y, 0);
  EXPECT_FALSE(EvaluateSpline(s, 2.5, y, err));
  EXPECT_STREQ(err, "SVSpline：求めたいxが範囲外です。");

  double many[40], line[40];
  for (int i = 0; i < 40; ++i) many[i] = i, line[i] = 3 * i + 1;
  DefineSpline(s, many, line, 40);
  EXPECT_EQ(s.count, 32);
  ASSERT_TRUE(EvaluateSpline(s, 12.25, y, err));
  EXPECT_NEAR(y, 37.75, 1e-9);
  EXPECT_FALSE(EvaluateSpline(s, 35, y, err));

  double unsorted[] = {0, 2, 1};
  DefineSpline(s, unsorted, ys, 3);
  EXPECT_FALSE(EvaluateSpline(s, 0.5, y, err));
  EXPECT_STREQ(err, "SVSpline:xarrayは同じ値を含まない、小さい順にソートされた配列でなければなりません。");
}

}  // namespace
}  // namespace sorv
