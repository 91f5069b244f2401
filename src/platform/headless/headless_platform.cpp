// The headless backend (DESIGN.md §5): no window and no display. Time is
// virtual — sleeping advances the clock at once — so a run always gives the
// same frames; input comes from an events file; frames go to PNG files.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/headless/events_file.h"
#include "platform/platform.h"

namespace sorv::platform {

namespace {

// A game that waits for ever still ends: an hour of virtual time.
constexpr int64_t kDefaultMaxTimeMs = 3'600'000;

class HeadlessPlatform final : public Platform {
 public:
  explicit HeadlessPlatform(const Options& options)
      : maxTimeMs_(options.maxTimeMs < 0 ? kDefaultMaxTimeMs : options.maxTimeMs),
        unattended_(options.eventsFile.empty()),
        fullscreen_(options.fullscreen),
        menuBar_(options.menuBar),
        screenshotFile_(options.screenshotFile),
        dumpDir_(options.dumpFramesDir) {
    if (!unattended_) script_ = LoadEventsScript(options.eventsFile);
    if (!dumpDir_.empty()) OpenFrameDump();
  }

  ~HeadlessPlatform() override {
    // A run that unwound past the shell still leaves its screenshot.
    Shutdown();
  }

  bool IsHeadless() const override { return true; }

  bool CreateMainWindow(int width, int height) override {
    SetLogicalSize(width, height);
    return true;
  }
  void SetLogicalSize(int width, int height) override {
    logicalWidth_ = width;
    logicalHeight_ = height;
    bandRgb_.assign(static_cast<size_t>(std::max(logicalWidth_, 0)) * band_ * 3, 0);
  }
  void SetTitle(const std::string&) override {}
  void ShowMainWindow() override {}
  void SetFullscreen(bool on) override { fullscreen_ = on; }
  bool IsFullscreen() const override { return fullscreen_; }
  void Minimize() override {}
  void DesktopSize(int& width, int& height) override {
    width = 1920;
    height = 1080;
  }
  int DisplayBitsPerPixel() override { return 32; }

  // With --menubar the strip is part of the window: the screenshot and the
  // dumped frames show it above the picture, as a player would see it.
  bool HasMenuBand() const override { return menuBar_; }
  void SetMenuBand(int height) override {
    if (!menuBar_) return;
    band_ = std::max(height, 0);
    bandRgb_.assign(static_cast<size_t>(std::max(logicalWidth_, 0)) * band_ * 3, 0);
  }
  void PresentMenuBand(const uint8_t* bits, int width, int height, int stride) override {
    if (!menuBar_ || height != band_ || width != logicalWidth_) return;
    FrameToRgb(bits, width, height, stride, bandRgb_.data());
    if (framesList_ && !frame_.empty()) DumpFrame();
  }
  void ClientSize(int& width, int& height) override {
    width = logicalWidth_;
    height = logicalHeight_ + band_;
  }

  void Present(const uint8_t* bits, int width, int height, int stride) override {
    if (width <= 0 || height <= 0) return;
    frameWidth_ = width;
    frameHeight_ = height;
    if (!framesList_) {
      // Only the last frame is ever written (the screenshot): keep its
      // bytes and turn them into RGB at the end, not thirty times a second.
      if (screenshotFile_.empty()) return;
      lastBits_.assign(bits, bits + static_cast<size_t>(stride) * height);
      lastStride_ = stride;
      frame_.clear();
      return;
    }
    frame_.resize(static_cast<size_t>(width) * height * 3);
    FrameToRgb(bits, width, height, stride, frame_.data());
    DumpFrame();
  }

  bool FramesSeen() const override { return framesList_ != nullptr || !screenshotFile_.empty(); }

  bool PollEvent(Event& ev) override {
    if (nextEvent_ >= script_.events.size() || script_.events[nextEvent_].timeMs > clockMs_) {
      return false;
    }
    ev = script_.events[nextEvent_++].event;
    switch (ev.type) {
      case Event::Type::MouseDown:
      case Event::Type::MouseUp:
      case Event::Type::MouseMove:
        mouseX_ = ev.x;
        mouseY_ = ev.y;
        break;
      default:
        ev.x = mouseX_;
        ev.y = mouseY_;
        break;
    }
    return true;
  }
  bool HasFocus() const override { return true; }
  bool Unattended() const override { return unattended_; }

  uint32_t NowMs() override {
    CheckTimeLimit();
    return static_cast<uint32_t>(clockMs_);
  }
  void SleepMs(uint32_t ms) override {
    clockMs_ += ms;
    CheckTimeLimit();
  }
  // The virtual clock stops at the next scripted event, as a real wait would
  // wake for it.
  void IdleWaitMs(uint32_t ms) override {
    uint64_t until = clockMs_ + ms;
    if (nextEvent_ < script_.events.size()) {
      until = std::min<uint64_t>(until, std::max<uint64_t>(script_.events[nextEvent_].timeMs, clockMs_ + 1));
    }
    clockMs_ = until;
    CheckTimeLimit();
  }

  MessageBoxAnswer ShowMessageBox(const std::string& title, const std::string& text,
                                  MessageBoxButtons buttons, MessageBoxIcon) override {
    std::string line = title + ": " + text + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
    bool affirmative = true;
    if (nextAnswer_ < script_.answers.size()) {
      MessageBoxAnswer a = script_.answers[nextAnswer_++];
      affirmative = a == MessageBoxAnswer::Yes || a == MessageBoxAnswer::Ok;
    }
    switch (buttons) {
      case MessageBoxButtons::YesNo:
        return affirmative ? MessageBoxAnswer::Yes : MessageBoxAnswer::No;
      case MessageBoxButtons::OkCancel:
        return affirmative ? MessageBoxAnswer::Ok : MessageBoxAnswer::Cancel;
      case MessageBoxButtons::Ok:
        break;
    }
    return MessageBoxAnswer::Ok;
  }

  void Shutdown() override {
    if (shutDown_) return;
    shutDown_ = true;
    if (framesList_) {
      std::fclose(framesList_);
      framesList_ = nullptr;
    }
    if (screenshotFile_.empty()) return;
    if (frame_.empty() && !lastBits_.empty()) {
      frame_.resize(static_cast<size_t>(frameWidth_) * frameHeight_ * 3);
      FrameToRgb(lastBits_.data(), frameWidth_, frameHeight_, lastStride_, frame_.data());
    }
    if (frame_.empty()) {
      frameWidth_ = logicalWidth_ > 0 ? logicalWidth_ : 640;
      frameHeight_ = logicalHeight_ > 0 ? logicalHeight_ : 480;
      frame_.assign(static_cast<size_t>(frameWidth_) * frameHeight_ * 3, 0);
    }
    std::string error;
    std::vector<uint8_t> window;
    int h = frameHeight_;
    const uint8_t* rgb = WindowPixels(window, h);
    if (!WritePngRgb(screenshotFile_, rgb, frameWidth_, h, &error)) {
      std::fprintf(stderr, "sorv: cannot write the screenshot: %s\n", error.c_str());
    }
  }

 private:
  void CheckTimeLimit() const {
    if (clockMs_ > static_cast<uint64_t>(maxTimeMs_)) throw TimeLimitReached();
  }

  // The frame with the strip on top when one is shown at the frame's width.
  const uint8_t* WindowPixels(std::vector<uint8_t>& buffer, int& height) const {
    height = frameHeight_;
    if (band_ == 0 || frameWidth_ != logicalWidth_ || bandRgb_.empty()) return frame_.data();
    buffer = bandRgb_;
    buffer.insert(buffer.end(), frame_.begin(), frame_.end());
    height = frameHeight_ + band_;
    return buffer.data();
  }

  void OpenFrameDump() {
    std::error_code ec;
    std::filesystem::create_directories(dumpDir_, ec);
    if (ec) throw std::runtime_error("cannot create the frame directory " + dumpDir_ + ": " + ec.message());
    std::string list = dumpDir_ + "/frames.txt";
    framesList_ = std::fopen(list.c_str(), "w");
    if (!framesList_) throw std::runtime_error("cannot write " + list);
  }

  void DumpFrame() {
    char name[32];
    std::snprintf(name, sizeof name, "frame-%06llu.png", static_cast<unsigned long long>(frameCount_));
    std::string error;
    std::vector<uint8_t> window;
    int h = frameHeight_;
    const uint8_t* rgb = WindowPixels(window, h);
    if (!WritePngRgb(dumpDir_ + "/" + name, rgb, frameWidth_, h, &error)) {
      if (!dumpFailed_) std::fprintf(stderr, "sorv: cannot write a frame: %s\n", error.c_str());
      dumpFailed_ = true;
    }
    std::fprintf(framesList_, "%06llu %llu\n", static_cast<unsigned long long>(frameCount_),
                 static_cast<unsigned long long>(clockMs_));
    std::fflush(framesList_);
    ++frameCount_;
  }

  uint64_t clockMs_ = 0;
  int64_t maxTimeMs_;
  bool unattended_;
  EventsScript script_;
  size_t nextEvent_ = 0;
  size_t nextAnswer_ = 0;
  int mouseX_ = 0, mouseY_ = 0;

  int logicalWidth_ = 640, logicalHeight_ = 480;
  bool fullscreen_;
  bool menuBar_;
  int band_ = 0;
  std::vector<uint8_t> bandRgb_;  // top-down RGB, logical width x band_

  std::vector<uint8_t> frame_;  // top-down RGB
  std::vector<uint8_t> lastBits_;  // the last frame as presented, while not dumping frames
  int lastStride_ = 0;
  int frameWidth_ = 0, frameHeight_ = 0;
  std::string screenshotFile_;
  std::string dumpDir_;
  FILE* framesList_ = nullptr;
  uint64_t frameCount_ = 0;
  bool dumpFailed_ = false;
  bool shutDown_ = false;
};

}  // namespace

std::unique_ptr<Platform> CreateHeadlessPlatform(const Options& options) {
  return std::make_unique<HeadlessPlatform>(options);
}

}  // namespace sorv::platform
