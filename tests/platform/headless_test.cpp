#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/headless/events_file.h"
#include "platform/platform.h"
#include "png_reader.h"

namespace sorv::platform {
namespace {

using Type = Event::Type;

std::string Describe(const TimedEvent& t) {
  const Event& e = t.event;
  std::ostringstream out;
  out << t.timeMs << ' ';
  switch (e.type) {
    case Type::MouseDown:
      out << "down " << e.x << ',' << e.y << ' ' << static_cast<int>(e.button);
      break;
    case Type::MouseUp:
      out << "up " << e.x << ',' << e.y << ' ' << static_cast<int>(e.button);
      break;
    case Type::MouseMove:
      out << "move " << e.x << ',' << e.y;
      break;
    case Type::Wheel:
      out << "wheel " << e.wheel;
      break;
    case Type::KeyDown:
      out << "keydown " << e.vk;
      break;
    case Type::KeyUp:
      out << "keyup " << e.vk;
      break;
    case Type::Text:
      out << "text " << e.ch;
      break;
    case Type::Close:
      out << "close";
      break;
    default:
      out << "other";
      break;
  }
  return out.str();
}

std::vector<std::string> Describe(const EventsScript& script) {
  std::vector<std::string> out;
  for (const TimedEvent& t : script.events) out.push_back(Describe(t));
  return out;
}

TEST(EventsFile, ParsesEveryKind) {
  EventsScript script = ParseEventsScript(
      "# a comment\n"
      "\n"
      "0 click 10 20\r\n"
      "5 rclick 1 2\n"
      "  10 mdown 3 4\n"
      "10 mup 3 4 right\n"
      "10\tmdown 5 6 middle\n"
      "20 move -1 700\n"
      "30 wheel 2\n"
      "30 wheel -1\n"
      "40 key Enter\n"
      "40 keydown ctrl\n"
      "45 keyup ctrl\n"
      "50 text aé 日\n"
      "999 answer yes\n"
      "60 CLOSE\n"
      "0 answer Cancel\n");
  std::vector<std::string> expected = {
      "0 down 10,20 0", "0 up 10,20 0",  "5 down 1,2 1",   "5 up 1,2 1",    "10 down 3,4 0",
      "10 up 3,4 1",    "10 down 5,6 2", "20 move -1,700", "30 wheel 1",    "30 wheel 1",
      "30 wheel -1",    "40 keydown 13", "40 keyup 13",    "40 keydown 17", "45 keyup 17",
      "50 text 97",     "50 text 233",   "50 text 32",     "50 text 26085", "60 close",
  };
  EXPECT_EQ(Describe(script), expected);
  EXPECT_EQ(script.answers, (std::vector<MessageBoxAnswer>{MessageBoxAnswer::Yes, MessageBoxAnswer::Cancel}));
}

TEST(EventsFile, KeyNamesAreVirtualKeyCodes) {
  struct Case {
    const char* name;
    int vk;
  } cases[] = {
      {"backspace", 0x08}, {"tab", 0x09},    {"enter", 0x0D},  {"shift", 0x10},  {"ctrl", 0x11},
      {"alt", 0x12},       {"escape", 0x1B}, {"space", 0x20},  {"pageup", 0x21}, {"pagedown", 0x22},
      {"end", 0x23},       {"home", 0x24},   {"left", 0x25},   {"up", 0x26},     {"right", 0x27},
      {"down", 0x28},      {"insert", 0x2D}, {"delete", 0x2E}, {"0", 0x30},      {"9", 0x39},
      {"a", 0x41},         {"Z", 0x5A},      {"f1", 0x70},     {"F10", 0x79},    {"f12", 0x7B},
      {"f13", 0},          {"f0", 0},        {"f01", 0},       {"", 0},          {"enterx", 0},
      {"aa", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(VirtualKeyFromName(c.name), c.vk) << c.name;
}

TEST(EventsFile, ReportsTheFirstMalformedLine) {
  struct Case {
    const char* text;
    const char* message;
  } cases[] = {
      {"# ok\n\n10 click 1\n", "events file line 3: expected X Y coordinates"},
      {"x click 1 2\n", "events file line 1: bad time 'x'"},
      {"-5 close\n", "events file line 1: bad time '-5'"},
      {"10\n", "events file line 1: missing event kind"},
      {"10 tap 1 2\n", "events file line 1: unknown event kind 'tap'"},
      {"10 click 1 2 3\n", "events file line 1: unexpected '3'"},
      {"10 move 1 y\n", "events file line 1: expected X Y coordinates"},
      {"10 mdown 1 2 thumb\n", "events file line 1: unknown mouse button 'thumb'"},
      {"10 wheel 0\n", "events file line 1: wheel needs a non-zero number of notches (-1000..1000), not '0'"},
      {"10 key\n", "events file line 1: key needs a key name"},
      {"10 keydown hyper\n", "events file line 1: unknown key name 'hyper'"},
      {"10 text\n", "events file line 1: text needs a string"},
      {"10 text \xff\n", "events file line 1: text is not valid UTF-8"},
      {"10 answer maybe\n", "events file line 1: answer must be yes, no, ok or cancel, not 'maybe'"},
      {"10 close now\n", "events file line 1: unexpected 'now'"},
      {"20 close\n10 close\n", "events file line 2: time 10 is before the previous event's time 20"},
  };
  for (const Case& c : cases) {
    try {
      ParseEventsScript(c.text);
      ADD_FAILURE() << "accepted: " << c.text;
    } catch (const std::runtime_error& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
  }
}

class HeadlessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("sorv-headless-test-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string WriteEvents(const std::string& text) {
    std::string path = (dir_ / "events.txt").string();
    std::ofstream(path) << text;
    return path;
  }
  std::unique_ptr<Platform> WithEvents(const std::string& text) {
    Options options;
    options.headless = true;
    options.eventsFile = WriteEvents(text);
    return CreateHeadlessPlatform(options);
  }

  std::filesystem::path dir_;
};

TEST_F(HeadlessTest, EventsArriveWhenTheVirtualClockReachesThem) {
  auto p = WithEvents("0 move 5 6\n100 key space\n100 click 7 8\n300 close\n");
  EXPECT_FALSE(p->Unattended());
  Event ev;
  EXPECT_EQ(p->NowMs(), 0u);
  ASSERT_TRUE(p->PollEvent(ev));
  EXPECT_EQ(ev.type, Type::MouseMove);
  EXPECT_FALSE(p->PollEvent(ev));
  p->SleepMs(99);
  EXPECT_EQ(p->NowMs(), 99u);
  EXPECT_FALSE(p->PollEvent(ev));
  p->SleepMs(1);
  std::vector<Type> types;
  while (p->PollEvent(ev)) {
    types.push_back(ev.type);
    if (ev.type == Type::KeyDown) {
      // Keys carry the pointer's last position.
      EXPECT_EQ(ev.vk, 0x20);
      EXPECT_EQ(ev.x, 5);
      EXPECT_EQ(ev.y, 6);
    }
  }
  EXPECT_EQ(types, (std::vector<Type>{Type::KeyDown, Type::KeyUp, Type::MouseDown, Type::MouseUp}));
  p->SleepMs(1000);
  ASSERT_TRUE(p->PollEvent(ev));
  EXPECT_EQ(ev.type, Type::Close);
  EXPECT_FALSE(p->PollEvent(ev));
  EXPECT_EQ(p->NowMs(), 1100u);
}

TEST_F(HeadlessTest, UnattendedOnlyWithoutAnEventsFile) {
  Options options;
  EXPECT_TRUE(CreateHeadlessPlatform(options)->Unattended());
  EXPECT_FALSE(WithEvents("")->Unattended());
  auto p = CreateHeadlessPlatform(options);
  EXPECT_TRUE(p->IsHeadless());
  EXPECT_TRUE(p->HasFocus());
  EXPECT_EQ(p->DisplayBitsPerPixel(), 32);
  int w = 0, h = 0;
  p->DesktopSize(w, h);
  EXPECT_EQ(w, 1920);
  EXPECT_EQ(h, 1080);
}

TEST_F(HeadlessTest, StartupErrorsNameTheLine) {
  try {
    WithEvents("0 click 1 2\n\n5 key nokey\n");
    FAIL() << "accepted a malformed events file";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "events file line 3: unknown key name 'nokey'");
  }
  Options options;
  options.eventsFile = (dir_ / "missing.txt").string();
  EXPECT_THROW(CreateHeadlessPlatform(options), std::runtime_error);
}

TEST_F(HeadlessTest, TimeLimitStopsTheClock) {
  Options options;
  options.maxTimeMs = 1000;
  auto p = CreateHeadlessPlatform(options);
  p->SleepMs(1000);
  EXPECT_EQ(p->NowMs(), 1000u);
  EXPECT_THROW(p->SleepMs(1), TimeLimitReached);
  EXPECT_THROW(p->NowMs(), TimeLimitReached);

  // The default budget is an hour of virtual time.
  auto q = CreateHeadlessPlatform(Options{});
  for (int i = 0; i < 60; ++i) q->SleepMs(60'000);
  EXPECT_EQ(q->NowMs(), 3'600'000u);
  EXPECT_THROW(q->SleepMs(1), TimeLimitReached);
}

TEST_F(HeadlessTest, MessageBoxesPrintAndTakeAnswersInOrder) {
  auto p = WithEvents("5000 answer no\n0 answer cancel\n0 answer yes\n");
  ::testing::internal::CaptureStderr();
  // Answers are taken in file order whatever their time.
  EXPECT_EQ(p->ShowMessageBox("確認", "終了しますか？", MessageBoxButtons::YesNo, MessageBoxIcon::Question),
            MessageBoxAnswer::No);
  EXPECT_EQ(p->ShowMessageBox("t", "two\nlines", MessageBoxButtons::OkCancel, MessageBoxIcon::None),
            MessageBoxAnswer::Cancel);
  EXPECT_EQ(p->ShowMessageBox("エラー", "x", MessageBoxButtons::Ok, MessageBoxIcon::Error),
            MessageBoxAnswer::Ok);
  // No answer left: the defaults.
  EXPECT_EQ(p->ShowMessageBox("a", "b", MessageBoxButtons::YesNo, MessageBoxIcon::None),
            MessageBoxAnswer::Yes);
  EXPECT_EQ(p->ShowMessageBox("a", "b", MessageBoxButtons::OkCancel, MessageBoxIcon::None),
            MessageBoxAnswer::Ok);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "確認: 終了しますか？\nt: two\nlines\nエラー: x\na: b\na: b\n");
}

// A frame whose every pixel differs: blue = x, green = y, red = 200.
std::vector<uint8_t> PatternFrame(int w, int h, int stride) {
  std::vector<uint8_t> bits(static_cast<size_t>(stride) * h, 0xAA);
  for (int row = 0; row < h; ++row) {
    int y = h - 1 - row;  // bottom-up
    for (int x = 0; x < w; ++x) {
      uint8_t* p = &bits[static_cast<size_t>(row) * stride + x * 3];
      p[0] = static_cast<uint8_t>(x);
      p[1] = static_cast<uint8_t>(y);
      p[2] = 200;
    }
  }
  return bits;
}

TEST_F(HeadlessTest, DumpsEveryFrameAndTheScreenshot) {
  Options options;
  options.dumpFramesDir = (dir_ / "frames" / "nested").string();
  options.screenshotFile = (dir_ / "shot.png").string();
  auto p = CreateHeadlessPlatform(options);
  p->CreateMainWindow(5, 3);
  std::vector<uint8_t> first = PatternFrame(5, 3, 16);
  std::vector<uint8_t> black(16 * 3, 0);
  p->Present(first.data(), 5, 3, 16);
  p->SleepMs(40);
  p->Present(black.data(), 5, 3, 16);
  p->SleepMs(10);
  p->Present(first.data(), 5, 3, 16);
  p->Shutdown();

  std::ifstream list(options.dumpFramesDir + "/frames.txt");
  std::stringstream text;
  text << list.rdbuf();
  EXPECT_EQ(text.str(), "000000 0\n000001 40\n000002 50\n");

  for (std::string name : {"frame-000000.png", "frame-000002.png", "../../shot.png"}) {
    testing::RgbImage image = testing::ReadPngRgb(options.dumpFramesDir + "/" + name);
    ASSERT_TRUE(image.ok) << name;
    EXPECT_EQ(image.fileFormat, static_cast<uint32_t>(PNG_FORMAT_RGB));
    ASSERT_EQ(image.width, 5);
    ASSERT_EQ(image.height, 3);
    for (int y = 0; y < 3; ++y) {
      for (int x = 0; x < 5; ++x) {
        EXPECT_EQ(image.At(x, y), 200u << 16 | uint32_t(y) << 8 | uint32_t(x))
            << name << " " << x << "," << y;
      }
    }
  }
  testing::RgbImage second = testing::ReadPngRgb(options.dumpFramesDir + "/frame-000001.png");
  ASSERT_TRUE(second.ok);
  EXPECT_EQ(second.rgb, std::vector<uint8_t>(5 * 3 * 3, 0));
}

TEST_F(HeadlessTest, ScreenshotWithoutAFrameIsBlackAtTheLogicalSize) {
  Options options;
  options.screenshotFile = (dir_ / "shot.png").string();
  {
    auto p = CreateHeadlessPlatform(options);
    p->CreateMainWindow(640, 480);
    p->SetLogicalSize(8, 6);
    // No Shutdown: the platform going away still leaves the screenshot.
  }
  testing::RgbImage image = testing::ReadPngRgb(options.screenshotFile);
  ASSERT_TRUE(image.ok);
  EXPECT_EQ(image.width, 8);
  EXPECT_EQ(image.height, 6);
  EXPECT_EQ(image.rgb, std::vector<uint8_t>(8 * 6 * 3, 0));
}

}  // namespace
}  // namespace sorv::platform
