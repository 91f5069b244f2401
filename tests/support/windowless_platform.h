// The window half of a test platform: there is no window, so every window
// call does nothing and the desktop is a fixed size. Test platforms add the
// clock, the events and whatever they record.
#pragma once

#include <string>

#include "platform/platform.h"

namespace sorv::test {

class WindowlessPlatform : public platform::Platform {
 public:
  bool IsHeadless() const override { return true; }
  bool CreateMainWindow(int, int) override { return true; }
  void SetLogicalSize(int, int) override {}
  void SetTitle(const std::string&) override {}
  void ShowMainWindow() override {}
  void SetFullscreen(bool) override {}
  bool IsFullscreen() const override { return false; }
  void Minimize() override {}
  void DesktopSize(int& w, int& h) override { w = 1920, h = 1080; }
  int DisplayBitsPerPixel() override { return 32; }
  void Shutdown() override {}
};

}  // namespace sorv::test
