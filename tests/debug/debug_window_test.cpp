// The debug window on SDL's "dummy" video driver: it opens, shows the trace,
// takes the check box from mouse and keyboard without the game seeing those
// events, and a close only lets the engine go on without it.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "debug/debug_state.h"
#include "platform/debug_window.h"
#include "support/engine_fixture.h"

namespace sorv {
namespace {

class DummyVideo {
 public:
  DummyVideo() {
    if (const char* old = std::getenv("SDL_VIDEODRIVER")) old_ = old;
    setenv("SDL_VIDEODRIVER", "dummy", 1);
  }
  ~DummyVideo() {
    if (old_) {
      setenv("SDL_VIDEODRIVER", old_->c_str(), 1);
    } else {
      unsetenv("SDL_VIDEODRIVER");
    }
  }

 private:
  std::optional<std::string> old_;
};

// The debug window is the one window of the test.
SDL_Window* FindWindow() {
  for (Uint32 id = 1; id < 256; ++id) {
    if (SDL_Window* w = SDL_GetWindowFromID(id)) return w;
  }
  return nullptr;
}

uint32_t PixelAt(SDL_Window* window, int x, int y) {
  SDL_Surface* s = SDL_GetWindowSurface(window);
  if (!s) return 0;
  Uint8 r, g, b;
  auto* row = static_cast<uint8_t*>(s->pixels) + static_cast<size_t>(y) * s->pitch;
  Uint32 value = 0;
  std::memcpy(&value, row + static_cast<size_t>(x) * s->format->BytesPerPixel, s->format->BytesPerPixel);
  SDL_GetRGB(value, s->format, &r, &g, &b);
  return static_cast<uint32_t>(r) << 16 | static_cast<uint32_t>(g) << 8 | b;
}

// Events addressed to the debug window are taken by it: SDL reports them as
// filtered out of the queue.
void Push(SDL_Event ev) { EXPECT_EQ(SDL_PushEvent(&ev), 0) << "event reached the game's queue"; }

TEST(SdlDebugWindow, ShowsTraceTogglesStepAndCloses) {
  DummyVideo video;
  std::string error;
  auto window = platform::CreateSdlDebugWindow("デバッグウィンドウ", 40, &error);
  ASSERT_NE(window, nullptr) << error;
  SDL_Window* sdl = FindWindow();
  ASSERT_NE(sdl, nullptr);
  Uint32 id = SDL_GetWindowID(sdl);
  int w = 0, h = 0;
  SDL_GetWindowSize(sdl, &w, &h);
  EXPECT_EQ(w, platform::kDebugWindowWidth);
  EXPECT_EQ(h, platform::kDebugWindowHeight);

  std::vector<uint8_t> trace(static_cast<size_t>(platform::kDebugWindowWidth) * platform::kDebugTraceHeight, 0);
  trace[static_cast<size_t>(20) * platform::kDebugWindowWidth + 30] = 255;
  window->ShowTrace(trace.data());
  EXPECT_EQ(PixelAt(sdl, 30, 20), 0x000000u);
  EXPECT_EQ(PixelAt(sdl, 31, 20), 0xFFFFFFu);

  SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
  EXPECT_FALSE(window->StepChecked());
  SDL_Event click{};
  click.type = SDL_MOUSEBUTTONDOWN;
  click.button.windowID = id;
  click.button.button = SDL_BUTTON_LEFT;
  click.button.x = platform::kDebugBoxX + 3;
  click.button.y = platform::kDebugBoxY + 3;
  Push(click);
  EXPECT_TRUE(window->StepChecked());
  EXPECT_EQ(PixelAt(sdl, platform::kDebugBoxX + 7, platform::kDebugBoxY + 7), 0x000000u);
  SDL_Event space{};
  space.type = SDL_KEYDOWN;
  space.key.windowID = id;
  space.key.keysym.sym = SDLK_SPACE;
  Push(space);
  EXPECT_FALSE(window->StepChecked());
  // A click elsewhere in the window changes nothing.
  click.button.y = 10;
  Push(click);
  EXPECT_FALSE(window->StepChecked());
  // None of these reached the event queue the game reads.
  SDL_Event ev;
  EXPECT_EQ(SDL_PollEvent(&ev), 0);

  SDL_Event close{};
  close.type = SDL_WINDOWEVENT;
  close.window.windowID = id;
  close.window.event = SDL_WINDOWEVENT_CLOSE;
  Push(close);
  EXPECT_FALSE(window->IsOpen());
  window.reset();
  // The event filter went with the window.
  SDL_EventFilter filter = nullptr;
  void* data = nullptr;
  EXPECT_EQ(SDL_GetEventFilter(&filter, &data), SDL_FALSE);
}

// The engine side with a real SDL platform: createdebugwindow opens the
// window, the trace reaches it, a close by the player stops the trace and a
// second createdebugwindow opens a new window.
TEST(SdlDebugWindow, EngineTracesIntoItAndSurvivesClose) {
  DummyVideo video;
  auto platform = platform::CreateSdlPlatform(platform::Options{});
  ASSERT_NE(platform, nullptr);
  ASSERT_TRUE(platform->CreateMainWindow(640, 480));
  test::ScriptEngine se("*define\ncreatedebugwindow\ngame\n*start\nmov %1,2\n");
  Engine& e = *se;
  e.platform = platform.get();
  Cmd_createdebugwindow(e);
  ASSERT_NE(e.debug.window, nullptr);
  ASSERT_TRUE(e.debug.tracing);
  SDL_Window* sdl = nullptr;
  for (Uint32 id = 1; id < 64 && !sdl; ++id) {
    SDL_Window* w = SDL_GetWindowFromID(id);
    if (w && std::string(SDL_GetWindowTitle(w)) == "デバッグウィンドウ") sdl = w;
  }
  ASSERT_NE(sdl, nullptr);
  // Positioned just behind the word, as the dispatcher is.
  e.script.pos = static_cast<int32_t>(std::string("*define\ncreatedebugwindow\ngame\n*start\nmov").size());
  TraceCommandSlow(e, "mov");
  FlushDebugWindow(e);
  EXPECT_NE(e.debug.text.find("> mov %1,2"), std::string::npos);
  // Some ink in the trace field, none of it outside the window's pixels.
  int dark = 0;
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 200; ++x) dark += PixelAt(sdl, x, y) < 0x808080u;
  }
  EXPECT_GT(dark, 20);

  SDL_Event close{};
  close.type = SDL_WINDOWEVENT;
  close.window.windowID = SDL_GetWindowID(sdl);
  close.window.event = SDL_WINDOWEVENT_CLOSE;
  Push(close);
  TraceCommandSlow(e, "mov");
  EXPECT_EQ(e.debug.window, nullptr);
  EXPECT_FALSE(e.debug.tracing);
  Cmd_createdebugwindow(e);
  EXPECT_NE(e.debug.window, nullptr);
  e.debug.window.reset();
  platform->Shutdown();
}

}  // namespace
}  // namespace sorv
