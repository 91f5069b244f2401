// The SDL backend: one resizable window standing in for the original's main
// window, its message queue and its message boxes. The engine draws into a
// bottom-up BGR frame at the game's size; Present scales that frame to the
// window with black bars, as a player expects of a windowed or full-screen game.
#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sdl/viewport.h"

namespace sorv::platform {

namespace {

constexpr Uint32 kSubsystems = SDL_INIT_VIDEO | SDL_INIT_EVENTS | SDL_INIT_TIMER;

struct KeyMapping {
  SDL_Keycode key;
  int vk;
};

constexpr KeyMapping kKeys[] = {
    {SDLK_BACKSPACE, 0x08}, {SDLK_TAB, 0x09},         {SDLK_RETURN, 0x0D},      {SDLK_KP_ENTER, 0x0D},
    {SDLK_LSHIFT, 0x10},    {SDLK_RSHIFT, 0x10},      {SDLK_LCTRL, 0x11},       {SDLK_RCTRL, 0x11},
    {SDLK_LALT, 0x12},      {SDLK_RALT, 0x12},        {SDLK_PAUSE, 0x13},       {SDLK_CAPSLOCK, 0x14},
    {SDLK_ESCAPE, 0x1B},    {SDLK_SPACE, 0x20},       {SDLK_PAGEUP, 0x21},      {SDLK_PAGEDOWN, 0x22},
    {SDLK_END, 0x23},       {SDLK_HOME, 0x24},        {SDLK_LEFT, 0x25},        {SDLK_UP, 0x26},
    {SDLK_RIGHT, 0x27},     {SDLK_DOWN, 0x28},        {SDLK_INSERT, 0x2D},      {SDLK_DELETE, 0x2E},
    {SDLK_KP_0, 0x60},      {SDLK_KP_MULTIPLY, 0x6A}, {SDLK_KP_PLUS, 0x6B},     {SDLK_KP_MINUS, 0x6D},
    {SDLK_KP_PERIOD, 0x6E}, {SDLK_KP_DIVIDE, 0x6F},
};

// SDL key codes to the Windows virtual-key codes the engine's key tables use.
int VirtualKeyFromSdl(SDL_Keycode key) {
  if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
  if (key >= SDLK_0 && key <= SDLK_9) return '0' + (key - SDLK_0);
  if (key >= SDLK_F1 && key <= SDLK_F12) return 0x70 + (key - SDLK_F1);
  if (key >= SDLK_KP_1 && key <= SDLK_KP_9) return 0x61 + (key - SDLK_KP_1);
  for (const KeyMapping& m : kKeys) {
    if (m.key == key) return m.vk;
  }
  return 0;
}

// Lenient: a byte that does not start a valid sequence is skipped.
template <typename Emit>
void ForEachCodePoint(const char* text, Emit emit) {
  const auto* s = reinterpret_cast<const unsigned char*>(text);
  while (*s) {
    int len = *s < 0x80 ? 1 : (*s & 0xE0) == 0xC0 ? 2 : (*s & 0xF0) == 0xE0 ? 3 : (*s & 0xF8) == 0xF0 ? 4 : 0;
    uint32_t cp = len == 1 ? *s : len == 2 ? (*s & 0x1F) : len == 3 ? (*s & 0x0F) : (*s & 0x07);
    int k = 1;
    for (; k < len && (s[k] & 0xC0) == 0x80; ++k) cp = (cp << 6) | (s[k] & 0x3F);
    if (len == 0 || k < len) {
      ++s;
      continue;
    }
    emit(cp);
    s += len;
  }
}

bool JapaneseLocale() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value && *value) return std::strncmp(value, "ja", 2) == 0;
  }
  return false;
}

class SdlPlatform final : public Platform {
 public:
  explicit SdlPlatform(const Options& options) : options_(options) {}

  ~SdlPlatform() override {
    if (texture_) SDL_DestroyTexture(texture_);
    if (renderer_) SDL_DestroyRenderer(renderer_);
    if (window_) SDL_DestroyWindow(window_);
    if (initialised_) SDL_QuitSubSystem(kSubsystems);
  }

  bool Init() {
    // Alt-tabbing away from a full-screen game should leave it where it is.
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    if (SDL_InitSubSystem(kSubsystems) != 0) {
      std::fprintf(stderr, "sorv: cannot start SDL video: %s\n", SDL_GetError());
      return false;
    }
    initialised_ = true;
    return true;
  }

  bool IsHeadless() const override { return false; }

  bool CreateMainWindow(int width, int height) override {
    if (window_) {
      SetLogicalSize(width, height);
      return true;
    }
    logicalWidth_ = width;
    logicalHeight_ = height;
    int w, h;
    WindowSizeFor(width, height + band_, w, h);
    window_ = SDL_CreateWindow(title_.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, w, h,
                               SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE);
    if (!window_) return false;
    // No vsync: the engine times its effects by the clock and expects a
    // present to return at once, as a blit to the window did.
    renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_ACCELERATED);
    if (!renderer_) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
    if (!renderer_) {
      SDL_DestroyWindow(window_);
      window_ = nullptr;
      return false;
    }
    windowId_ = SDL_GetWindowID(window_);
    Render();
    return true;
  }

  void SetLogicalSize(int width, int height) override {
    logicalWidth_ = width;
    logicalHeight_ = height;
    bandPixels_.assign(static_cast<size_t>(std::max(logicalWidth_, 1)) * band_, 0xFFD4D0C8u);
    if (!window_) return;
    if (IsFullscreen()) {
      resizeOnLeavingFullscreen_ = true;
    } else {
      ResizeToLogical();
    }
    Render();
  }

  void SetTitle(const std::string& utf8) override {
    title_ = utf8;
    if (window_) SDL_SetWindowTitle(window_, title_.c_str());
  }

  void ShowMainWindow() override {
    if (!window_) return;
    SDL_ShowWindow(window_);
    if (options_.fullscreen && !shownOnce_) SetFullscreen(true);
    shownOnce_ = true;
    SDL_RaiseWindow(window_);
    Render();
  }

  // The desktop's own mode, never a mode switch: the picture is scaled or
  // bordered in black instead. The window's size and place come back on
  // return.
  void SetFullscreen(bool on) override {
    wantFullscreen_ = on;
    if (!window_) {
      options_.fullscreen = on;
      return;
    }
    bool now = IsFullscreen();
    if (on && !now) {
      SDL_GetWindowPosition(window_, &savedX_, &savedY_);
      SDL_GetWindowSize(window_, &savedW_, &savedH_);
      haveSaved_ = true;
    }
    if (on != now) SDL_SetWindowFullscreen(window_, on ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
    if (!on && now) {
      if (resizeOnLeavingFullscreen_ || !haveSaved_) {
        resizeOnLeavingFullscreen_ = false;
        ResizeToLogical();
      } else {
        SDL_SetWindowSize(window_, savedW_, savedH_);
        SDL_SetWindowPosition(window_, savedX_, savedY_);
      }
    }
    Render();
  }

  bool HasMenuBand() const override { return true; }

  // The strip changes the client area's height by its own height at the
  // window's present scale, so the picture keeps its size.
  void SetMenuBand(int height) override {
    height = std::max(height, 0);
    if (height == band_) return;
    int old = band_;
    band_ = height;
    bandPixels_.assign(static_cast<size_t>(std::max(logicalWidth_, 1)) * band_, 0xFFD4D0C8u);
    if (!window_) return;
    if (IsFullscreen()) {
      if (haveSaved_ && logicalWidth_ > 0) savedH_ += (band_ - old) * savedW_ / logicalWidth_;
    } else {
      int ww = 0, wh = 0, naturalW, naturalH;
      SDL_GetWindowSize(window_, &ww, &wh);
      WindowSizeFor(logicalWidth_, logicalHeight_ + old, naturalW, naturalH);
      if (ww == naturalW && wh == naturalH) {
        WindowSizeFor(logicalWidth_, logicalHeight_ + band_, ww, wh);
      } else {
        Viewport v = FitViewport(ww, wh, logicalWidth_, logicalHeight_ + old);
        wh = std::max(1, wh + (band_ - old) * v.h / std::max(logicalHeight_ + old, 1));
      }
      SDL_SetWindowSize(window_, ww, wh);
    }
    Upload();
    Render();
  }

  void PresentMenuBand(const uint8_t* bits, int width, int height, int stride) override {
    if (height != band_ || width <= 0) return;
    int w = std::max(logicalWidth_, 1);
    bandPixels_.assign(static_cast<size_t>(w) * band_, 0xFFD4D0C8u);
    for (int y = 0; y < band_; ++y) {
      const uint8_t* src = bits + static_cast<ptrdiff_t>(band_ - 1 - y) * stride;
      uint32_t* dst = bandPixels_.data() + static_cast<size_t>(y) * w;
      for (int x = 0; x < std::min(w, width); ++x, src += 3) {
        dst[x] = 0xFF000000u | uint32_t{src[2]} << 16 | uint32_t{src[1]} << 8 | src[0];
      }
    }
    Upload();
    Render();
  }

  void ClientSize(int& width, int& height) override {
    width = height = 0;
    if (window_) SDL_GetWindowSize(window_, &width, &height);
  }

  void SetClientSize(int width, int height) override {
    if (window_ && !IsFullscreen()) SDL_SetWindowSize(window_, width, height);
  }

  // The strip (when shown) and the last frame into one texture, the strip
  // on top: both scale together, so one mapping serves every point.
  void Upload() {
    if (!renderer_ || framePixels_.empty()) return;
    int width = frameWidth_, height = frameHeight_ + ShownBand();
    if (!texture_ || textureWidth_ != width || textureHeight_ != height) {
      if (texture_) SDL_DestroyTexture(texture_);
      texture_ =
          SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, width, height);
      if (!texture_) return;
      textureWidth_ = width;
      textureHeight_ = height;
    }
    void* pixels;
    int pitch;
    if (SDL_LockTexture(texture_, nullptr, &pixels, &pitch) != 0) return;
    int band = ShownBand(), bandWidth = std::max(logicalWidth_, 1);
    for (int y = 0; y < height; ++y) {
      auto* dst =
          reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(pixels) + static_cast<ptrdiff_t>(y) * pitch);
      if (y < band) {
        const uint32_t* src = bandPixels_.data() + static_cast<size_t>(y) * bandWidth;
        for (int x = 0; x < width; ++x) dst[x] = x < bandWidth ? src[x] : 0xFFD4D0C8u;
      } else {
        std::memcpy(dst, framePixels_.data() + static_cast<size_t>(y - band) * width, sizeof(uint32_t) * width);
      }
    }
    SDL_UnlockTexture(texture_);
  }

  int ShownBand() const {
    return bandPixels_.size() == static_cast<size_t>(std::max(logicalWidth_, 1)) * band_ ? band_ : 0;
  }

  bool IsFullscreen() const override {
    if (!window_) return options_.fullscreen;
    return (SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN) != 0;
  }

  void Minimize() override {
    if (window_) SDL_MinimizeWindow(window_);
  }

  void DesktopSize(int& width, int& height) override {
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(DisplayIndex(), &mode) == 0 && mode.w > 0 && mode.h > 0) {
      width = mode.w;
      height = mode.h;
    } else {
      width = 1920;
      height = 1080;
    }
  }

  int DisplayBitsPerPixel() override {
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(DisplayIndex(), &mode) != 0 || mode.format == SDL_PIXELFORMAT_UNKNOWN) {
      return 32;
    }
    // Windows counts the padding byte of a 32-bit display; SDL's bit count does not.
    int bits = SDL_ISPIXELFORMAT_INDEXED(mode.format) ? static_cast<int>(SDL_BITSPERPIXEL(mode.format))
                                                      : SDL_BYTESPERPIXEL(mode.format) * 8;
    return bits > 0 ? bits : 32;
  }

  void SetVsync(bool on) override {
    if (renderer_) SDL_RenderSetVSync(renderer_, on ? 1 : 0);  // unsupported renderers keep their mode
  }

  void Present(const uint8_t* bits, int width, int height, int stride) override {
    if (!renderer_ || width <= 0 || height <= 0) return;
    frameWidth_ = width;
    frameHeight_ = height;
    framePixels_.resize(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
      const uint8_t* src = bits + static_cast<ptrdiff_t>(height - 1 - y) * stride;
      uint32_t* dst = framePixels_.data() + static_cast<size_t>(y) * width;
      for (int x = 0; x < width; ++x, src += 3) {
        dst[x] = 0xFF000000u | uint32_t{src[2]} << 16 | uint32_t{src[1]} << 8 | src[0];
      }
    }
    Upload();
    Render();
  }

  bool PollEvent(Event& ev) override {
    SDL_Event e;
    while (pending_.empty() && SDL_PollEvent(&e)) Translate(e);
    if (pending_.empty()) return false;
    ev = pending_.front();
    pending_.pop_front();
    return true;
  }

  bool HasFocus() const override { return focus_; }
  bool Unattended() const override { return false; }
  uint32_t NowMs() override { return SDL_GetTicks(); }
  void SleepMs(uint32_t ms) override { SDL_Delay(ms); }
  // X11 and Wayland block in the wait until input comes; other drivers
  // (dummy, offscreen, KMS) would poll every millisecond inside it, so for
  // them a plain sleep of the slice costs less.
  void IdleWaitMs(uint32_t ms) override {
    if (!pending_.empty()) return;
    const char* driver = SDL_GetCurrentVideoDriver();
    bool blocks = driver && (std::strcmp(driver, "x11") == 0 || std::strcmp(driver, "wayland") == 0);
    if (blocks) {
      SDL_WaitEventTimeout(nullptr, static_cast<int>(ms));
    } else {
      SDL_Delay(ms);
    }
  }

  MessageBoxAnswer ShowMessageBox(const std::string& title, const std::string& text,
                                  MessageBoxButtons buttons, MessageBoxIcon icon) override {
    bool ja = JapaneseLocale();
    const char* ok = "OK";
    const char* cancel = ja ? "キャンセル" : "Cancel";
    const char* yes = ja ? "はい" : "Yes";
    const char* no = ja ? "いいえ" : "No";
    const Uint32 enter = SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
    const Uint32 escape = SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
    SDL_MessageBoxButtonData data[2];
    int count = 2;
    MessageBoxAnswer affirmative = MessageBoxAnswer::Ok, dismissed = MessageBoxAnswer::Ok;
    switch (buttons) {
      case MessageBoxButtons::Ok:
        data[0] = {enter | escape, static_cast<int>(MessageBoxAnswer::Ok), ok};
        count = 1;
        break;
      case MessageBoxButtons::YesNo:
        data[0] = {enter, static_cast<int>(MessageBoxAnswer::Yes), yes};
        data[1] = {escape, static_cast<int>(MessageBoxAnswer::No), no};
        affirmative = MessageBoxAnswer::Yes;
        dismissed = MessageBoxAnswer::No;
        break;
      case MessageBoxButtons::OkCancel:
        data[0] = {enter, static_cast<int>(MessageBoxAnswer::Ok), ok};
        data[1] = {escape, static_cast<int>(MessageBoxAnswer::Cancel), cancel};
        dismissed = MessageBoxAnswer::Cancel;
        break;
    }
    Uint32 flags = SDL_MESSAGEBOX_BUTTONS_LEFT_TO_RIGHT;
    switch (icon) {
      case MessageBoxIcon::Error:
        flags |= SDL_MESSAGEBOX_ERROR;
        break;
      case MessageBoxIcon::Warning:
        flags |= SDL_MESSAGEBOX_WARNING;
        break;
      case MessageBoxIcon::Information:
      case MessageBoxIcon::Question:
        flags |= SDL_MESSAGEBOX_INFORMATION;
        break;
      case MessageBoxIcon::None:
        break;
    }
    SDL_Window* parent = window_ && (SDL_GetWindowFlags(window_) & SDL_WINDOW_SHOWN) ? window_ : nullptr;
    SDL_MessageBoxData box{flags, parent, title.c_str(), text.c_str(), count, data, nullptr};
    int pressed = -1;
    if (SDL_ShowMessageBox(&box, &pressed) != 0) {
      // No display to show it on: the text must not be lost.
      std::string line = title + ": " + text + "\n";
      std::fwrite(line.data(), 1, line.size(), stderr);
      std::fflush(stderr);
      return affirmative;
    }
    return pressed < 0 ? dismissed : static_cast<MessageBoxAnswer>(pressed);
  }

  std::string ClipboardText() override {
    char* text = SDL_GetClipboardText();
    std::string out = text ? text : "";
    SDL_free(text);
    return out;
  }

  void SetClipboardText(const std::string& utf8) override { SDL_SetClipboardText(utf8.c_str()); }

  // The input method places its candidate window under this rectangle,
  // given in window pixels.
  void SetTextInputArea(int x, int y, int w, int h) override {
    int fw, fh, ww = 0, wh = 0;
    FrameSize(fw, fh);
    if (window_) SDL_GetWindowSize(window_, &ww, &wh);
    Viewport v = FitViewport(ww, wh, fw, fh + ShownBand(), IsFullscreen());
    if (fw <= 0 || fh <= 0) return;
    y += ShownBand();
    fh += ShownBand();
    SDL_Rect r{v.x + x * v.w / fw, v.y + y * v.h / fh, std::max(1, w * v.w / fw), std::max(1, h * v.h / fh)};
    SDL_SetTextInputRect(&r);
  }

  void Shutdown() override {
    if (window_) SDL_HideWindow(window_);
  }

 private:
  int DisplayIndex() const {
    int index = window_ ? SDL_GetWindowDisplayIndex(window_) : 0;
    return index < 0 ? 0 : index;
  }

  // The client area for a logical size: the size itself (or scaled by
  // --scale), shrunk with its aspect kept when the desktop is smaller.
  void WindowSizeFor(int width, int height, int& w, int& h) const {
    int scale = options_.scale > 0 ? options_.scale : 1;
    SDL_Rect usable;
    bool bounded = SDL_GetDisplayUsableBounds(DisplayIndex(), &usable) == 0 && usable.w > 0 && usable.h > 0;
    while (bounded && scale > 1 && (width * scale > usable.w || height * scale > usable.h)) --scale;
    w = width * scale;
    h = height * scale;
    if (bounded && (w > usable.w || h > usable.h)) {
      Viewport fit = FitViewport(usable.w, usable.h, width, height);
      w = fit.w;
      h = fit.h;
    }
  }

  void ResizeToLogical() {
    int w, h;
    WindowSizeFor(logicalWidth_, logicalHeight_ + band_, w, h);
    SDL_SetWindowSize(window_, w, h);
    SDL_SetWindowPosition(window_, SDL_WINDOWPOS_CENTERED_DISPLAY(DisplayIndex()),
                          SDL_WINDOWPOS_CENTERED_DISPLAY(DisplayIndex()));
  }

  // The game picture's size, without the strip.
  void FrameSize(int& w, int& h) const {
    w = framePixels_.empty() ? logicalWidth_ : frameWidth_;
    h = framePixels_.empty() ? logicalHeight_ : frameHeight_;
  }

  // Draws the last presented frame again (black before the first one).
  void Render() {
    if (!renderer_) return;
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
    if (texture_) {
      int ow, oh;
      if (SDL_GetRendererOutputSize(renderer_, &ow, &oh) == 0) {
        Viewport v = FitViewport(ow, oh, textureWidth_, textureHeight_, IsFullscreen());
        SDL_SetTextureScaleMode(texture_, v.exact ? SDL_ScaleModeNearest : SDL_ScaleModeLinear);
        SDL_Rect dst{v.x, v.y, v.w, v.h};
        SDL_RenderCopy(renderer_, texture_, nullptr, &dst);
      }
    }
    SDL_RenderPresent(renderer_);
  }

  bool WindowPointToGame(int wx, int wy, int& x, int& y) override { return ToLogical(wx, wy, x, y); }

  // Window coordinates to game coordinates through the black bars.
  bool ToLogical(int wx, int wy, int& x, int& y) const {
    int fw, fh, ww = 0, wh = 0;
    FrameSize(fw, fh);
    if (window_) SDL_GetWindowSize(window_, &ww, &wh);
    return WindowToGame(ww, wh, fw, fh, ShownBand(), IsFullscreen(), wx, wy, x, y);
  }

  void Push(Event::Type type) {
    Event ev;
    ev.type = type;
    pending_.push_back(ev);
  }

  void Translate(const SDL_Event& e) {
    Event ev;
    switch (e.type) {
      case SDL_QUIT:
        Push(Event::Type::Close);
        break;
      case SDL_WINDOWEVENT:
        if (e.window.windowID != windowId_) break;
        switch (e.window.event) {
          case SDL_WINDOWEVENT_EXPOSED:
            Render();
            Push(Event::Type::Expose);
            break;
          case SDL_WINDOWEVENT_SIZE_CHANGED:
            Render();
            break;
          case SDL_WINDOWEVENT_RESTORED:
            // Back from the taskbar: a full-screen game is full screen again.
            if (wantFullscreen_ && !IsFullscreen()) SetFullscreen(true);
            Render();
            break;
          case SDL_WINDOWEVENT_FOCUS_GAINED:
            focus_ = true;
            Push(Event::Type::FocusGained);
            break;
          case SDL_WINDOWEVENT_FOCUS_LOST:
            focus_ = false;
            Push(Event::Type::FocusLost);
            break;
          default:
            break;
        }
        break;
      case SDL_RENDER_DEVICE_RESET:
        // The texture is gone with the device; the frame is kept here.
        if (texture_) SDL_DestroyTexture(texture_);
        texture_ = nullptr;
        Upload();
        Push(Event::Type::Expose);
        break;
      case SDL_KEYDOWN:
      case SDL_KEYUP:
        ev.vk = VirtualKeyFromSdl(e.key.keysym.sym);
        if (ev.vk == 0) break;
        ev.type = e.type == SDL_KEYDOWN ? Event::Type::KeyDown : Event::Type::KeyUp;
        ev.repeat = e.key.repeat != 0;
        pending_.push_back(ev);
        break;
      case SDL_TEXTINPUT:
        ForEachCodePoint(e.text.text, [&](uint32_t cp) {
          Event text;
          text.type = Event::Type::Text;
          text.ch = cp;
          pending_.push_back(text);
        });
        break;
      case SDL_MOUSEMOTION:
        if (e.motion.windowID != windowId_) break;
        ev.type = Event::Type::MouseMove;
        ToLogical(e.motion.x, e.motion.y, ev.x, ev.y);
        pending_.push_back(ev);
        break;
      case SDL_MOUSEBUTTONDOWN:
      case SDL_MOUSEBUTTONUP: {
        if (e.button.windowID != windowId_) break;
        if (e.button.button == SDL_BUTTON_LEFT) {
          ev.button = MouseButton::Left;
        } else if (e.button.button == SDL_BUTTON_RIGHT) {
          ev.button = MouseButton::Right;
        } else if (e.button.button == SDL_BUTTON_MIDDLE) {
          ev.button = MouseButton::Middle;
        } else {
          break;
        }
        bool inside = ToLogical(e.button.x, e.button.y, ev.x, ev.y);
        // A press on the black bars is a press outside the game's client
        // area; a release always arrives so no button is left held.
        if (e.type == SDL_MOUSEBUTTONDOWN && !inside) break;
        ev.type = e.type == SDL_MOUSEBUTTONDOWN ? Event::Type::MouseDown : Event::Type::MouseUp;
        pending_.push_back(ev);
        break;
      }
      case SDL_MOUSEWHEEL: {
        if (e.wheel.windowID != windowId_) break;
        int notches = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y;
        int mx, my;
        SDL_GetMouseState(&mx, &my);
        ev.type = Event::Type::Wheel;
        ToLogical(mx, my, ev.x, ev.y);
        ev.wheel = notches < 0 ? -1 : 1;
        for (int i = 0; i < std::min(notches < 0 ? -notches : notches, 100); ++i) pending_.push_back(ev);
        break;
      }
      default:
        break;
    }
  }

  Options options_;
  bool initialised_ = false;
  SDL_Window* window_ = nullptr;
  Uint32 windowId_ = 0;
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
  int textureWidth_ = 0, textureHeight_ = 0;
  int logicalWidth_ = 640, logicalHeight_ = 480;
  std::string title_;
  bool shownOnce_ = false;
  bool resizeOnLeavingFullscreen_ = false;
  bool wantFullscreen_ = false;
  bool haveSaved_ = false;
  int savedX_ = 0, savedY_ = 0, savedW_ = 0, savedH_ = 0;  // the window before full screen
  int band_ = 0;                                         // menu strip rows
  std::vector<uint32_t> bandPixels_;                     // ARGB, logical width x band_
  std::vector<uint32_t> framePixels_;                    // ARGB, the last frame
  int frameWidth_ = 0, frameHeight_ = 0;
  bool focus_ = true;
  std::deque<Event> pending_;
};

}  // namespace

std::unique_ptr<Platform> CreateSdlPlatform(const Options& options) {
  auto platform = std::make_unique<SdlPlatform>(options);
  if (!platform->Init()) return nullptr;
  return platform;
}

}  // namespace sorv::platform
