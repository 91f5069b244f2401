// The headless debug window: nothing is shown. The trace text stays in the
// engine, and the check box keeps whatever the command line set.
#include "platform/debug_window.h"

namespace sorv::platform {
namespace {

class HeadlessDebugWindow : public DebugWindow {
 public:
  explicit HeadlessDebugWindow(bool step) : step_(step) {}
  bool IsOpen() const override { return true; }
  bool StepChecked() const override { return step_; }
  void SetStepChecked(bool on) override { step_ = on; }
  void ShowTrace(const uint8_t*) override {}
  void SetLabel(const uint8_t*, int, int) override {}

 private:
  bool step_;
};

}  // namespace

std::unique_ptr<DebugWindow> CreateHeadlessDebugWindow(bool stepChecked) {
  return std::make_unique<HeadlessDebugWindow>(stepChecked);
}

}  // namespace sorv::platform
