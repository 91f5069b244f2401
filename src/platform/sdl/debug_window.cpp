// The debug window on SDL: a second top-level window drawn in software
// through its window surface. Its events never reach the game: an event
// filter takes every event addressed to this window before the game's event
// loop sees it, so a click or Space here ticks the check box and nothing else.
#include <SDL.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/debug_window.h"

namespace sorv::platform {
namespace {

constexpr uint8_t kBackground = 240;

// The window an event is addressed to, or 0 for events of no window.
Uint32 EventWindow(const SDL_Event& e) {
  switch (e.type) {
    case SDL_WINDOWEVENT: return e.window.windowID;
    case SDL_KEYDOWN:
    case SDL_KEYUP: return e.key.windowID;
    case SDL_TEXTINPUT: return e.text.windowID;
    case SDL_TEXTEDITING: return e.edit.windowID;
    case SDL_MOUSEMOTION: return e.motion.windowID;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: return e.button.windowID;
    case SDL_MOUSEWHEEL: return e.wheel.windowID;
    default: return 0;
  }
}

class SdlDebugWindow : public DebugWindow {
 public:
  ~SdlDebugWindow() override {
    SDL_EventFilter current = nullptr;
    void* data = nullptr;
    if (SDL_GetEventFilter(&current, &data) && current == &SdlDebugWindow::Filter && data == this) {
      SDL_SetEventFilter(previousFilter_, previousData_);
    }
    if (canvas_) SDL_FreeSurface(canvas_);
    if (window_) SDL_DestroyWindow(window_);
    if (initialised_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }

  bool Open(const std::string& title, int gap, std::string* error) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return Fail(error);
    initialised_ = true;
    window_ = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, kDebugWindowWidth,
                               kDebugWindowHeight, SDL_WINDOW_HIDDEN);
    if (!window_) return Fail(error);
    id_ = SDL_GetWindowID(window_);
    canvas_ = SDL_CreateRGBSurfaceWithFormat(0, kDebugWindowWidth, kDebugWindowHeight, 32, SDL_PIXELFORMAT_RGB888);
    if (!canvas_) return Fail(error);
    trace_.assign(static_cast<size_t>(kDebugWindowWidth) * kDebugTraceHeight, 0);
    Place(gap);
    SDL_GetEventFilter(&previousFilter_, &previousData_);
    SDL_SetEventFilter(&SdlDebugWindow::Filter, this);
    SDL_ShowWindow(window_);
    open_ = true;
    Redraw();
    return true;
  }

  bool IsOpen() const override { return open_; }
  bool StepChecked() const override { return step_; }
  void SetStepChecked(bool on) override {
    step_ = on;
    Redraw();
  }
  void ShowTrace(const uint8_t* coverage) override {
    std::memcpy(trace_.data(), coverage, trace_.size());
    Redraw();
  }
  void SetLabel(const uint8_t* coverage, int width, int height) override {
    label_.assign(coverage, coverage + static_cast<size_t>(width) * static_cast<size_t>(height));
    labelW_ = width;
    labelH_ = height;
    Redraw();
  }

 private:
  bool Fail(std::string* error) {
    if (error) *error = SDL_GetError();
    return false;
  }

  // Below the game's window, left edges aligned, kept on the same screen.
  // The game's window is the first one the process made.
  void Place(int gap) {
    SDL_Window* main = nullptr;
    for (Uint32 id = 1; id < 256 && !main; ++id) {
      if (id != id_) main = SDL_GetWindowFromID(id);
    }
    if (!main) {
      SDL_SetWindowPosition(window_, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
      return;
    }
    int x = 0, y = 0, w = 0, h = 0;
    SDL_GetWindowPosition(main, &x, &y);
    SDL_GetWindowSize(main, &w, &h);
    y += h + gap;
    SDL_Rect usable;
    int display = SDL_GetWindowDisplayIndex(main);
    if (display >= 0 && SDL_GetDisplayUsableBounds(display, &usable) == 0) {
      x = std::max(usable.x, std::min(x, usable.x + usable.w - kDebugWindowWidth));
      y = std::max(usable.y, std::min(y, usable.y + usable.h - kDebugWindowHeight));
    }
    SDL_SetWindowPosition(window_, x, y);
  }

  static int SDLCALL Filter(void* data, SDL_Event* event) {
    auto* self = static_cast<SdlDebugWindow*>(data);
    if (self->id_ != 0 && EventWindow(*event) == self->id_) {
      self->Handle(*event);
      return 0;
    }
    return self->previousFilter_ ? self->previousFilter_(self->previousData_, event) : 1;
  }

  bool OnCheckBox(int x, int y) const {
    int right = kDebugLabelX + labelW_;
    int bottom = std::max(kDebugBoxY + kDebugBoxSide, kDebugLabelY + labelH_);
    return x >= kDebugBoxX && x < std::max(right, kDebugBoxX + kDebugBoxSide) && y >= kDebugBoxY - 2 &&
           y < bottom;
  }

  void Handle(const SDL_Event& e) {
    if (!open_) return;
    switch (e.type) {
      case SDL_WINDOWEVENT:
        if (e.window.event == SDL_WINDOWEVENT_CLOSE) {
          // Closed by the player: hidden now, destroyed when the engine lets go.
          open_ = false;
          SDL_HideWindow(window_);
        } else if (e.window.event == SDL_WINDOWEVENT_EXPOSED) {
          Redraw();
        }
        break;
      case SDL_MOUSEBUTTONDOWN:
        if (e.button.button == SDL_BUTTON_LEFT && OnCheckBox(e.button.x, e.button.y)) SetStepChecked(!step_);
        break;
      case SDL_KEYDOWN:
        if (e.key.keysym.sym == SDLK_SPACE && !e.key.repeat) SetStepChecked(!step_);
        break;
      default:
        break;
    }
  }

  // Ink over a background of grey `base`: full coverage is black.
  void PutCoverage(const uint8_t* coverage, int width, int height, int atX, int atY, int base) {
    auto* pixels = static_cast<uint8_t*>(canvas_->pixels);
    for (int y = 0; y < height && atY + y < kDebugWindowHeight; ++y) {
      auto* row = reinterpret_cast<uint32_t*>(pixels + static_cast<size_t>(atY + y) * canvas_->pitch);
      for (int x = 0; x < width && atX + x < kDebugWindowWidth; ++x) {
        uint8_t c = coverage[static_cast<size_t>(y) * width + x];
        if (c == 0) continue;
        uint8_t v = static_cast<uint8_t>(base - c * base / 255);
        row[atX + x] = SDL_MapRGB(canvas_->format, v, v, v);
      }
    }
  }

  void Redraw() {
    if (!open_ || !canvas_) return;
    SDL_FillRect(canvas_, nullptr, SDL_MapRGB(canvas_->format, kBackground, kBackground, kBackground));
    SDL_Rect field{2, 2, kDebugWindowWidth - 4, kDebugTraceHeight - 2};
    SDL_FillRect(canvas_, &field, SDL_MapRGB(canvas_->format, 255, 255, 255));
    PutCoverage(trace_.data(), kDebugWindowWidth, kDebugTraceHeight, 0, 0, 255);
    SDL_Rect box{kDebugBoxX, kDebugBoxY, kDebugBoxSide, kDebugBoxSide};
    SDL_FillRect(canvas_, &box, SDL_MapRGB(canvas_->format, 96, 96, 96));
    SDL_Rect boxInside{box.x + 1, box.y + 1, box.w - 2, box.h - 2};
    SDL_FillRect(canvas_, &boxInside, SDL_MapRGB(canvas_->format, 255, 255, 255));
    if (step_) {
      SDL_Rect mark{box.x + 4, box.y + 4, box.w - 8, box.h - 8};
      SDL_FillRect(canvas_, &mark, SDL_MapRGB(canvas_->format, 0, 0, 0));
    }
    if (!label_.empty()) PutCoverage(label_.data(), labelW_, labelH_, kDebugLabelX, kDebugLabelY, kBackground);
    if (SDL_Surface* surface = SDL_GetWindowSurface(window_)) {
      SDL_BlitSurface(canvas_, nullptr, surface, nullptr);
      SDL_UpdateWindowSurface(window_);
    }
  }

  bool initialised_ = false;
  bool open_ = false;
  bool step_ = false;
  SDL_Window* window_ = nullptr;
  Uint32 id_ = 0;
  SDL_Surface* canvas_ = nullptr;
  std::vector<uint8_t> trace_;
  std::vector<uint8_t> label_;
  int labelW_ = 0, labelH_ = 0;
  SDL_EventFilter previousFilter_ = nullptr;
  void* previousData_ = nullptr;
};

}  // namespace

std::unique_ptr<DebugWindow> CreateSdlDebugWindow(const std::string& titleUtf8, int gap, std::string* error) {
  auto window = std::make_unique<SdlDebugWindow>();
  if (!window->Open(titleUtf8, gap, error)) return nullptr;
  return window;
}

}  // namespace sorv::platform
