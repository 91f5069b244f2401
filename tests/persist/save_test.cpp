// Slot files through whole headless runs: what a save holds, what a load in
// a fresh run brings back, and what damaged files and failing disks do.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <functional>
#include <iterator>

#include "persist/bitmap_file.h"
#include "platform/encoding.h"
#include "persist/global_files.h"
#include "persist/save_record.h"
#include "persist/slots.h"
#include "shell/window.h"
#include "support/engine_fixture.h"
#include "support/sound_files.h"

namespace sorv {
namespace {

using test::RunResult;
using test::TempDir;

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
}

// A w x h picture of stripes in `colour`, with a magenta top-left pixel.
void WritePicture(const TempDir& dir, const std::string& name, int w, int h, uint32_t colour) {
  Surface s;
  CreateSurface(s, w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      uint8_t* p = s.TopRow(y) + x * 3;
      uint32_t c = ((x / 4 + y / 4) % 2) ? colour : colour / 2;
      if (x == 0 && y == 0) c = 0xFF00FF;
      p[0] = c & 255, p[1] = (c >> 8) & 255, p[2] = (c >> 16) & 255;
    }
  }
  WriteBytes(dir.File(name), BitmapFileBytes(s));
}

// A whole run with a hook on the engine before it starts.
RunResult RunGame(const std::string& dir, const std::function<void(Engine&)>& setup = {}) {
  platform::Options options;
  options.headless = true;
  RunResult r;
  r.platform = platform::CreateHeadlessPlatform(options);
  r.engine = std::make_unique<Engine>();
  r.engine->platform = r.platform.get();
  r.engine->gameDir = dir;
  r.platform->CreateMainWindow(r.engine->screenWidth, r.engine->screenHeight);
  if (setup) setup(*r.engine);
  testing::internal::CaptureStderr();
  r.status = RunEngine(*r.engine);
  r.platform->Shutdown();
  r.stderrText = testing::internal::GetCapturedStderr();
  r.errorMessage = r.engine->app.errorMessage;
  return r;
}

SaveRecord Parse(const Engine& e, const std::vector<uint8_t>& bytes) {
  SaveRecord r;
  std::string why;
  EXPECT_TRUE(ParseRecord(bytes.data(), bytes.size(), ShapeOf(e), r, why)) << why;
  return r;
}

bool SameScreen(const Engine& a, const Engine& b) {
  const Surface& x = a.scene.display;
  const Surface& y = b.scene.display;
  return x.width == y.width && x.height == y.height && x.bits == y.bits;
}

// The first run sets a scene and saves at the click wait of a page; the
// second loads it at once. Both end at the same place.
constexpr const char* kSceneGame =
    "*define\n"
    "dim ?0[3]\n"
    "game\n"
    "*start\n"
    "savefileexist %100,1\n"
    "if %100==1 loadgame 1\n"
    "bg \"bg.bmp\",1\n"
    "ld l,\"chr.bmp\",1\n"
    "lsp 3,\"spr.bmp\",40,50\n"
    "lsp 4,\":a;spr.bmp\",140,60,128\n"
    "print 1\n"
    "bgm \"loop.wav\"\n"
    "dwave 0,\"voice.wav\"\n"
    "mov %5,1234:mov $6,\"six\":mov ?0[2],77\n"
    "gosub *sub\n"
    "end\n"
    "*sub\n"
    "saveoff\n"
    "\x82\xa0\x82\xa2\x82\xa4\x81\x42@\x82\xa6\x82\xa8\n"
    "savegame 1\n"
    "saveon\n"
    "return\n";

void MakeSceneGame(const TempDir& dir) {
  dir.Write("0.txt", kSceneGame);
  WritePicture(dir, "bg.bmp", 640, 480, 0x3060A0);
  WritePicture(dir, "chr.bmp", 120, 300, 0xC08040);
  WritePicture(dir, "spr.bmp", 64, 32, 0x40C040);
  WriteBytes(dir.File("loop.wav"), test::MakeWav(200));
  WriteBytes(dir.File("voice.wav"), test::MakeWav(300, 660));
}

TEST(SaveRoundTrip, FreshRunLoadsTheSameSceneVariablesAndMusic) {
  TempDir dir;
  MakeSceneGame(dir);
  RunResult first = RunGame(dir.path());
  ASSERT_EQ(first.status, 0) << first.stderrText;
  std::vector<uint8_t> saved = ReadBytes(dir.File("save1.dat"));
  ASSERT_FALSE(saved.empty());

  RunResult second = RunGame(dir.path());
  ASSERT_EQ(second.status, 0) << second.stderrText;
  const Engine& a = *first.engine;
  const Engine& b = *second.engine;
  EXPECT_TRUE(b.saveImage.loaded);
  EXPECT_TRUE(SameScreen(a, b)) << "the loaded game draws another screen";
  EXPECT_EQ(b.values.intVars[5], 1234);
  EXPECT_EQ(b.values.strVars[6], "six");
  EXPECT_EQ(b.values.arrays[0].elems[2], 77);
  EXPECT_EQ(b.scene.sprites[4].image.opacity, 128);
  EXPECT_EQ(b.scene.standing[0].tag, "chr.bmp");
  SaveRecord rec = Parse(b, saved);
  EXPECT_EQ(rec.music, "loop.wav");
  EXPECT_EQ(rec.musicLoop, 1);
  // The page was saved from its start and was shown again up to its wait.
  EXPECT_EQ(b.text.shownChunks, a.text.shownChunks);
  // saveoff is not part of a save, so the second run saves again after the
  // page; the scene and the variables are those of the first save.
  SaveRecord again = Parse(b, ReadBytes(dir.File("save1.dat")));
  EXPECT_EQ(again.intVars, rec.intVars);
  EXPECT_EQ(again.strVars, rec.strVars);
  EXPECT_EQ(again.background, rec.background);
  EXPECT_EQ(again.music, rec.music);
}

TEST(SaveImage, WritesTheLastSavePointAndTheSameBytesTwice) {
  TempDir dir;
  WritePicture(dir, "spr.bmp", 8, 8, 0xFFFFFF);
  dir.Write("0.txt",
            "*define\ndim ?1[2]\ngame\n*start\n"
            "mov %1,1:mov $2,\"before\":mov ?1[1],5\n"
            "saveoff\n"
            "mov %1,2:mov $2,\"after\":mov ?1[1],6:add $2,\"!\":inc %1:mov3 %3,7,8,9\n"
            "gosub *s\n"
            "end\n"
            "*s\n"
            "lsp 9,\"spr.bmp\",1,2\n"
            "bg \"white\",1\n"
            "savegame 1\n"
            "savegame 2\n"
            "savepoint\n"
            "savegame 3\n"
            "return\n");
  RunResult r = RunGame(dir.path());
  ASSERT_EQ(r.status, 0) << r.stderrText;
  std::vector<uint8_t> one = ReadBytes(dir.File("save1.dat"));
  EXPECT_EQ(one, ReadBytes(dir.File("save2.dat")));
  SaveRecord s = Parse(*r.engine, one);
  EXPECT_EQ(s.intVars[1], 1);
  EXPECT_EQ(s.strVars[2], "before");
  EXPECT_EQ(s.arrays[0][1], 5);
  EXPECT_EQ(s.intVars[3], 0);
  EXPECT_EQ(s.depth, 0);
  EXPECT_EQ(s.sprites[9].name, "");
  EXPECT_EQ(s.background, "black");
  EXPECT_EQ(s.line, 5);  // the "saveoff" line, statement 0
  EXPECT_EQ(s.statement, 0);

  // After an explicit save point the save holds the state of that moment.
  SaveRecord t = Parse(*r.engine, ReadBytes(dir.File("save3.dat")));
  EXPECT_EQ(t.intVars[1], 3);
  EXPECT_EQ(t.strVars[2], "after!");
  EXPECT_EQ(t.arrays[0][1], 6);
  EXPECT_EQ(t.depth, 1);
  EXPECT_EQ(t.sprites[9].name, "spr.bmp");
  EXPECT_EQ(t.background, "white");
}

// A command that is not journaled writes the image before it runs, also
// when the statement loop runs it again from its remembered position.
TEST(SaveImage, ARememberedCommandStillWritesTheImageBeforeItRuns) {
  TempDir dir;
  WritePicture(dir, "spr.bmp", 8, 8, 0xFFFFFF);
  dir.Write("0.txt",
            "*define\ngame\n*start\n"
            "*l\nadd %0,1\nif %0=3 saveoff\nlsp 1,\"spr.bmp\",%0,0\nif %0<3 goto *l\n"
            "savegame 1\nend\n");
  RunResult r = RunGame(dir.path());
  ASSERT_EQ(r.status, 0) << r.stderrText;
  SaveRecord s = Parse(*r.engine, ReadBytes(dir.File("save1.dat")));
  // The save point before the third "saveoff": the sprite of the second pass.
  EXPECT_EQ(s.intVars[0], 3);
  EXPECT_EQ(s.sprites[1].x, 2);
}

TEST(SaveImage, LayoutOfTheFirstRowsAndTheTrailer) {
  TempDir dir;
  dir.Write("0.txt", "*define\ngame\n*start\nmov %0,5:mov $0,\"ab\"\nmov %1,1 : savegame 4\nend\n");
  RunResult r = RunGame(dir.path());
  ASSERT_EQ(r.status, 0) << r.stderrText;
  std::vector<uint8_t> b = ReadBytes(dir.File("save4.dat"));
  auto at = [&](size_t i) {
    return static_cast<int32_t>(b[i] | b[i + 1] << 8 | b[i + 2] << 16 | static_cast<uint32_t>(b[i + 3]) << 24);
  };
  ASSERT_GT(b.size(), 100u);
  EXPECT_EQ(at(0), 2);           // version
  EXPECT_EQ(at(4), 1);           // bold
  EXPECT_EQ(at(8), 1);           // shadow
  EXPECT_EQ(at(16), 1);          // right click enabled
  EXPECT_EQ(at(24), 0xFFFFFF);   // text colour
  EXPECT_EQ(b[32], 0);           // default cursors are saved as ""
  EXPECT_EQ(b[33], 0);
  // Trailer: no log entries, then line 4, statement 1 (behind the colon).
  EXPECT_EQ(at(b.size() - 16), 0);
  EXPECT_EQ(at(b.size() - 12), 0);
  EXPECT_EQ(at(b.size() - 8), 4);
  EXPECT_EQ(at(b.size() - 4), 1);
  SaveRecord s = Parse(*r.engine, b);
  EXPECT_EQ(s.intVars[0], 5);
  EXPECT_EQ(s.strVars[0], "ab");
  EXPECT_EQ(s.intVars[1], 1);
}

TEST(SaveSlots, NameSuffixTimesAndExistence) {
  TempDir dir;
  dir.Write("0.txt",
            "*define\ngame\n*start\nsavegame2 3,\"abc\"\ngetsavestr $1,3\ngetsavestr $2,4\n"
            "savefileexist %1,3\nsavefileexist %2,4\nsavetime2 3,%10,%11,%12,%13,%14,%15\nloadgame 1000\nend\n");
  RunResult r = RunGame(dir.path());
  ASSERT_EQ(r.status, 0) << r.stderrText;
  std::vector<uint8_t> b = ReadBytes(dir.File("save3.dat"));
  EXPECT_EQ(std::string(b.end() - 6, b.end()), "\"abc\"*");
  EXPECT_EQ(r.Str(1), "abc");
  EXPECT_EQ(r.Str(2), "");
  EXPECT_EQ(r.Int(1), 1);
  EXPECT_EQ(r.Int(2), 0);
  EXPECT_GE(r.Int(10), 2000);
  EXPECT_NE(r.stderrText.find("範囲外"), std::string::npos);
}

TEST(SaveSlots, BackgroundCopyGoesWithTheSlot) {
  TempDir dir;
  WritePicture(dir, "bg.bmp", 640, 480, 0x808000);
  dir.Write("0.txt",
            "*define\ngame\n*start\nsavefileexist %1,1\nif %1==1 loadgame 1\n"
            "bg \"bg.bmp\",1\nbgcpy\nsavegame 1\nend\n");
  RunResult first = RunGame(dir.path());
  ASSERT_EQ(first.status, 0) << first.stderrText;
  ASSERT_TRUE(platform::IsRegularFile(dir.File("save1.ss")));
  RunResult second = RunGame(dir.path());
  ASSERT_EQ(second.status, 0) << second.stderrText;
  EXPECT_EQ(second.engine->scene.background.surface.bits, first.engine->scene.background.surface.bits);
  // Any other background removes the copy.
  dir.Write("0.txt", "*define\ngame\n*start\nbg \"white\",1\nsavegame 1\nend\n");
  ASSERT_EQ(RunGame(dir.path()).status, 0);
  EXPECT_FALSE(platform::IsRegularFile(dir.File("save1.ss")));
}

TEST(SaveErrors, ErrorSaveWritesSlot999FromTheLastSavePoint) {
  TempDir dir;
  dir.Write("0.txt", "*define\nerrorsave\ngame\n*start\nmov %1,5\nmov %2,%1/0\nend\n");
  RunResult r = RunGame(dir.path());
  EXPECT_EQ(r.status, 1);
  std::vector<uint8_t> b = ReadBytes(dir.File("save999.dat"));
  ASSERT_FALSE(b.empty());
  SaveRecord s = Parse(*r.engine, b);
  EXPECT_EQ(s.intVars[1], 5);
  EXPECT_EQ(s.line, 5);
  // Without errorsave nothing is written.
  TempDir plain;
  plain.Write("0.txt", "*define\ngame\n*start\nmov %2,1/0\n");
  EXPECT_EQ(RunGame(plain.path()).status, 1);
  EXPECT_FALSE(platform::IsRegularFile(plain.File("save999.dat")));
}

TEST(SaveErrors, DamagedSlotsAreReportedAndTheGameGoesOn) {
  TempDir dir;
  WritePicture(dir, "spr.bmp", 8, 8, 0xFFFFFF);
  dir.Write("0.txt", "*define\ngame\n*start\nlsp 2,\"spr.bmp\",0,0\nmov %3,3\nsavegame 1\nend\n");
  ASSERT_EQ(RunGame(dir.path()).status, 0);
  const std::vector<uint8_t> good = ReadBytes(dir.File("save1.dat"));
  ASSERT_GT(good.size(), 1000u);

  auto put = [](std::vector<uint8_t>& b, size_t at, int32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i));
  };
  std::vector<std::vector<uint8_t>> bad;
  bad.emplace_back(good.begin(), good.begin() + static_cast<ptrdiff_t>(good.size() / 2));  // truncated
  bad.emplace_back(good.begin(), good.end() - 3);                                         // trailer cut
  bad.push_back(good);
  put(bad.back(), good.size() - 8, 1000000);  // a line the script does not have
  bad.push_back(good);
  put(bad.back(), good.size() - 16, 0x7FFFFFFF);  // a log count past the end
  // A sprite name that climbs out of the game: the name of sprite 2 is at a
  // known place behind sprite 0 and 1 (empty names and five ints each).
  {
    std::string text(good.begin(), good.end());
    size_t at = text.find("spr.bmp");
    ASSERT_NE(at, std::string::npos);
    std::vector<uint8_t> b(good.begin(), good.begin() + static_cast<ptrdiff_t>(at));
    std::string evil = "../spr.bm";
    b.insert(b.end(), evil.begin(), evil.end());
    b.insert(b.end(), good.begin() + static_cast<ptrdiff_t>(at + 7), good.end());
    bad.push_back(b);
  }
  for (size_t i = 0; i < bad.size(); ++i) {
    WriteBytes(dir.File("save1.dat"), bad[i]);
    dir.Write("0.txt", "*define\ngame\n*start\nmov %3,9\nloadgame 1\nmov %4,4\nend\n");
    RunResult r = RunGame(dir.path());
    EXPECT_EQ(r.status, 0) << "case " << i << ": " << r.stderrText;
    EXPECT_NE(r.stderrText.find("セーブデータが壊れています。"), std::string::npos) << "case " << i;
    EXPECT_EQ(r.Int(3), 9) << "case " << i;
    EXPECT_EQ(r.Int(4), 4) << "case " << i;
    EXPECT_TRUE(r.engine->scene.sprites[2].tag.empty()) << "case " << i;
  }
}

TEST(SaveErrors, AWriteFailingHalfWayLeavesTheOldSlot) {
  TempDir dir;
  dir.Write("0.txt", "*define\ngame\n*start\nmov %1,1\nsavegame 1\nmov %1,2\nsavegame 1\nend\n");
  size_t writes = 0;
  RunResult r = RunGame(dir.path(), [&](Engine& e) {
    e.saveImage.writeSeam = [&](const std::string& path, size_t size) -> size_t {
      if (path.find("save1.dat") == std::string::npos) return size;
      return ++writes == 1 ? size : size / 2;
    };
  });
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(writes, 2u);
  EXPECT_TRUE(r.engine->saveImage.saveFailed);
  EXPECT_NE(r.stderrText.find("セーブできませんでした"), std::string::npos);
  SaveRecord s = Parse(*r.engine, ReadBytes(dir.File("save1.dat")));
  EXPECT_EQ(s.intVars[1], 1);
  EXPECT_FALSE(platform::IsRegularFile(dir.File("save1.dat.tmp")));
}

TEST(SaveFiles, UnwritableSaveDirectoryFallsBackToXdg) {
  TempDir dir, xdg;
  dir.Write("0.txt", "*define\nsavedir \"saves\"\ngame\n*start\nsavegame 1\nend\n");
  dir.Write("saves", "a file where the directory should be");
  const char* old = std::getenv("XDG_DATA_HOME");
  std::string keep = old ? old : "";
  setenv("XDG_DATA_HOME", xdg.path().c_str(), 1);
  RunResult r = RunGame(dir.path());
  if (old) setenv("XDG_DATA_HOME", keep.c_str(), 1); else unsetenv("XDG_DATA_HOME");
  EXPECT_EQ(r.status, 0) << r.stderrText;
  std::string name = dir.path().substr(dir.path().rfind('/') + 1);
  EXPECT_TRUE(platform::IsRegularFile(xdg.path() + "/sorv/" + name + "/save1.dat"));
  EXPECT_NE(r.stderrText.find("cannot be written"), std::string::npos);
}

TEST(GlobalFiles, GlobalVariablesSurviveARestart) {
  TempDir dir;
  dir.Write("0.txt", "*define\nglobalon\ngame\n*start\nadd %250,1\nadd $251,\"x\"\nend\n");
  ASSERT_EQ(RunGame(dir.path()).status, 0);
  RunResult r = RunGame(dir.path());
  EXPECT_EQ(r.Int(250), 2);
  EXPECT_EQ(r.Str(251), "xx");
  // No header: an int and a string for every variable from the border on.
  std::vector<uint8_t> g = ReadBytes(dir.File("gloval.sav"));
  EXPECT_EQ(g.size(), static_cast<size_t>(4096 - 200) * 5 + 2 * 1 + 0);
  EXPECT_EQ(g[50 * 5], 2);  // %250
  // Without globalon the file is read but not written.
  dir.Write("0.txt", "*define\ngame\n*start\nadd %250,1\nend\n");
  RunResult third = RunGame(dir.path());
  EXPECT_EQ(third.Int(250), 3);
  EXPECT_EQ(ReadBytes(dir.File("gloval.sav")), g);
}

TEST(GlobalFiles, ReadTextStaysReadAcrossRuns) {
  TempDir dir;
  const std::string script =
      "*define\nkidokuskip\nglobalon\ngame\n*start\nif %200==1 end\nmov %200,1\n\x82\xa0\x82\xa2@\nend\n";
  dir.Write("0.txt", script);
  ASSERT_EQ(RunGame(dir.path()).status, 0);
  std::vector<uint8_t> map = ReadBytes(dir.File("kidoku.dat"));
  const size_t text = script.find("\x82\xa0");
  // The second run ends before the text, yet it is already read.
  RunResult r = RunGame(dir.path());
  EXPECT_EQ(map.size(), static_cast<size_t>(r.engine->script.length) / 8);
  const auto& readMap = r.engine->interp.readMap;
  ASSERT_GT(readMap.size(), text / 8);
  EXPECT_TRUE(readMap[text / 8] & (1u << (text % 8)));
}

TEST(GlobalFiles, EnvironmentAndLogLayouts) {
  Environment env;
  env.face = "abc";
  env.kidokuMode = 1;
  env.saveDir = "sv";
  std::vector<uint8_t> b = EnvironmentBytes(env);
  ASSERT_EQ(b.size(), 4u * 11 + 4 + 1 + 3);
  EXPECT_EQ(b[b.size() - 4], 0x9F);  // 99999 for a value of 0
  Environment back = ParseEnvironment(b.data(), b.size());
  EXPECT_EQ(back.value14, 0);
  EXPECT_EQ(back.face, "abc");
  EXPECT_EQ(back.saveDir, "sv");
  EXPECT_EQ(back.kidokuMode, 1);
  EXPECT_EQ(back.speedChoice, 1);

  std::vector<uint8_t> log = LogBytes({"BG\\A.BMP"});
  std::string text(log.begin(), log.end());
  EXPECT_EQ(text.substr(0, 3), "1\n\"");
  EXPECT_EQ(static_cast<uint8_t>(text[3]), 'B' ^ 0xA7);
  EXPECT_EQ(ParseLog(log.data(), log.size(), 10), std::vector<std::string>{"BG\\A.BMP"});
  EXPECT_TRUE(ParseLog(log.data(), log.size(), 0).empty());
}

// Every prefix of a good slot is refused or read, never a crash.
TEST(SaveRecordParse, EveryPrefixIsHandled) {
  TempDir dir;
  dir.Write("0.txt", "*define\ngame\n*start\nsavegame 1\nend\n");
  RunResult r = RunGame(dir.path());
  std::vector<uint8_t> good = ReadBytes(dir.File("save1.dat"));
  RecordShape shape = ShapeOf(*r.engine);
  for (size_t n = 0; n < good.size(); n += 37) {
    SaveRecord rec;
    std::string why;
    EXPECT_FALSE(ParseRecord(good.data(), n, shape, rec, why)) << n;
  }
  SaveRecord rec;
  std::string why;
  EXPECT_TRUE(ParseRecord(good.data(), good.size(), shape, rec, why)) << why;
}

}  // namespace
}  // namespace sorv

namespace sorv {
namespace {

// Arrays larger than the save image do not stop a game at its save points:
// only a save asks for the image, and that save reports it.
TEST(SaveImage, AStateTooLargeForTheImageIsReportedOnlyBySaving) {
  const std::string head = "*define\ndim ?0[99999]\ngame\n*start\nmov ?0[5],7\n\x82\xa0\\\n";
  auto quiet = test::RunScript(head + "\x82\xa2\\\nend\n");
  EXPECT_EQ(quiet.status, 0) << quiet.errorText;
  auto saved = test::RunScript(head + "savegame 1\nend\n");
  EXPECT_EQ(saved.status, 1);
  EXPECT_EQ(saved.errorMessage, "セーブデータが大きすぎます");
}

}  // namespace
}  // namespace sorv

namespace sorv {
namespace {

// What was read in one run stays read in the next: skipping with kidokumode
// passes the pages read before a restart and stops at the first page that
// was never shown.
TEST(AlreadyRead, SkipStopsAtTheFirstUnreadPageAfterARestart) {
  test::TempDir dir;
  dir.Write("0.txt", platform::Utf8ToSjis("*define\nkidokuskip\ngame\n*start\nkidokumode 1\n"
                                          "fileexist %1,\"kidoku.dat\"\nあ@\nい@\nisskip %4\n"
                                          "if %1==1 goto *more\nend\n*more\nう@\nisskip %2\ngettimer %3\nend\n"));
  platform::Options plain;
  plain.headless = true;
  auto first = test::RunGameDir(dir.path(), plain);
  ASSERT_EQ(first.status, 0) << first.errorText;
  ASSERT_TRUE(platform::IsRegularFile(dir.File("kidoku.dat")));
  dir.Write("events", "1000 text n\n3000 click 5 5\n");
  platform::Options options;
  options.headless = true;
  options.eventsFile = dir.File("events");
  auto second = test::RunGameDir(dir.path(), options);
  ASSERT_EQ(second.status, 0) << second.errorText;
  EXPECT_EQ(second.Int(1), 1);
  EXPECT_EQ(second.Int(4), 1);  // the pages read before were skipped
  EXPECT_EQ(second.Int(2), 0);  // the unread page stopped the skip
  EXPECT_GE(second.Int(3), 3000);  // and waited for the click
}

}  // namespace
}  // namespace sorv
