// The real SDL backend on SDL's "dummy" video driver: no display needed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace sorv::platform {
namespace {

class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(SdlPlatform, RunsOnTheDummyDriver) {
  ScopedEnv driver("SDL_VIDEODRIVER", "dummy");
  // Without a display a message box cannot open and must fall back to stderr.
  ScopedEnv display("DISPLAY", nullptr);
  ScopedEnv wayland("WAYLAND_DISPLAY", nullptr);
  auto p = CreateSdlPlatform(Options{});
  ASSERT_NE(p, nullptr);
  EXPECT_FALSE(p->IsHeadless());
  EXPECT_FALSE(p->Unattended());
  ASSERT_TRUE(p->CreateMainWindow(64, 48));
  p->SetTitle("テスト");
  p->ShowMainWindow();
  std::vector<uint8_t> frame(64 * 3 * 48, 0x80);
  p->Present(frame.data(), 64, 48, 64 * 3);
  p->SetLogicalSize(80, 60);
  std::vector<uint8_t> larger(80 * 3 * 60, 0x40);
  p->Present(larger.data(), 80, 60, 80 * 3);
  // A renderer without vsync keeps presenting as before.
  p->SetVsync(true);
  p->Present(larger.data(), 80, 60, 80 * 3);
  p->SetVsync(false);
  p->Present(larger.data(), 80, 60, 80 * 3);
  Event ev;
  for (int i = 0; i < 100 && p->PollEvent(ev);) ++i;

  int w = 0, h = 0;
  p->DesktopSize(w, h);
  EXPECT_GT(w, 0);
  EXPECT_GT(h, 0);
  EXPECT_GE(p->DisplayBitsPerPixel(), 16);

  uint32_t before = p->NowMs();
  p->SleepMs(2);
  EXPECT_GE(p->NowMs() - before, 2u);

  ::testing::internal::CaptureStderr();
  EXPECT_EQ(p->ShowMessageBox("起動エラー", "同時に二つ実行しないでください", MessageBoxButtons::YesNo,
                              MessageBoxIcon::Error),
            MessageBoxAnswer::Yes);
  EXPECT_EQ(p->ShowMessageBox("t", "m", MessageBoxButtons::OkCancel, MessageBoxIcon::None),
            MessageBoxAnswer::Ok);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "起動エラー: 同時に二つ実行しないでください\nt: m\n");
  p->Shutdown();
}

}  // namespace
}  // namespace sorv::platform
