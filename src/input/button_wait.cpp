// The button wait's event loop: which event ends a wait on buttons and the
// code it returns. The buttons themselves (hit testing, hover drawing, the
// text window and page handling) come from the request.
#include <algorithm>
#include <optional>

#include "input/input.h"
#include "shell/engine.h"

namespace sorv {
namespace {

constexpr uint32_t kKeyRepeatMs = 125;

struct KeyCode {
  int vkCode;
  int32_t code;
};

class ButtonWait {
 public:
  ButtonWait(Engine& e, const ButtonWaitRequest& r)
      : e_(e), r_(r), in_(e.input), s_(e.input.settings), textMode_(r.textButtonMode && !r.selectMode) {}

  int32_t Run() {
    Prepare();
    if (e_.platform->Unattended()) return Unattended();
    while (true) {
      if (auto code = CheckModesAndTime()) return *code;
      bool got = PumpInput(e_);
      if (auto code = CheckMessage(got)) return *code;
      if (auto code = CheckKeys()) return *code;
      MovePointerByArrows();
      CopyPageOnShiftC();
      if (auto code = CheckClicks(got)) return *code;
      IdlePass(e_, UntilNextDeadline());
    }
  }

 private:
  uint32_t Elapsed() { return e_.platform->NowMs() - start_; }

  std::optional<int32_t> ButtonUnderPointer() {
    if (!r_.buttonAt) return std::nullopt;
    return r_.buttonAt(in_.pointerX, in_.pointerY);
  }

  void StopSound() {
    if (in_.hooks.stopButtonSound) in_.hooks.stopButtonSound(e_);
  }

  void SaveGlobals() {
    if (in_.hooks.saveGlobalFiles) in_.hooks.saveGlobalFiles(e_);
  }

  // Custom choices drawn as string buttons leave the text layer with the page.
  void EndPage() {
    if (r_.stringButtons && !r_.selectMode && r_.endPage) r_.endPage();
  }

  bool PendingRelease() {
    FillMessageQueue(e_);
    return std::any_of(e_.app.queue.begin(), e_.app.queue.end(), [](const platform::Event& ev) {
      return ev.type == platform::Event::Type::MouseUp && ev.button != platform::MouseButton::Middle;
    });
  }

  void Prepare() {
    InterpState& interp = e_.interp;
    if (!r_.textButtonMode && !r_.selectMode && !s_.btnNoWindowErase && r_.hideTextWindow) r_.hideTextWindow();
    if (!r_.textButtonMode || r_.selectMode) interp.skipMode = false;
    if (textMode_ && PendingRelease()) EndSkipAndAuto(e_);
    DiscardPendingInput(e_, true);
    interp.leftClickFlag = interp.rightClickFlag = in_.middleClick = false;
    if (r_.drawAllNormal) r_.drawAllNormal();
    // The button under the pointer lights up at once.
    if (!s_.modeKanade) MovePointer(e_, in_.pointerX, in_.pointerY);
    enterArmed_ = !KeyHeld(e_, vk::kReturn);
    startSkip_ = interp.skipMode;
    startAuto_ = in_.autoMode;
    start_ = e_.platform->NowMs();
    lastArrow_ = start_ - kKeyRepeatMs;
  }

  // Nobody will click: the wait ends as a click at the pointer would, or on
  // the button the run's --choose policy picks.
  int32_t Unattended() {
    e_.platform->SleepMs(16);
    in_.lastButtonWaitMs = std::max<uint32_t>(Elapsed(), 1);
    EndPage();
    ChoosePolicy& policy = e_.app.choose;
    if (policy.kind != ChoosePolicy::Kind::Pointer && r_.buttonNumbers) {
      std::vector<int32_t> numbers = r_.buttonNumbers();
      if (!numbers.empty()) {
        return numbers[static_cast<size_t>(ChooseIndex(policy, static_cast<int32_t>(numbers.size())))];
      }
    }
    return ButtonUnderPointer().value_or(0);
  }

  std::optional<int32_t> CheckModesAndTime() {
    InterpState& interp = e_.interp;
    if (s_.getSkipOff) {
      if (interp.skipMode != startSkip_) return -60;
      if (in_.autoMode != startAuto_) return -61;
    }
    if (textMode_ && ((interp.skipMode && s_.autoClickMs <= 0) || SkipKeyHeld(e_))) {
      StopSound();
      return 0;
    }
    if (WaitAbandoned(e_)) return 0;
    uint32_t elapsed = Elapsed();
    if (!savedGlobals_ && elapsed >= 1000) {
      savedGlobals_ = true;
      SaveGlobals();
    }
    if (r_.timeoutMs >= 0 && elapsed > static_cast<uint32_t>(r_.timeoutMs)) return TimedOut();
    if (textMode_ && in_.autoMode && !VoicePlaying() && elapsed >= AutoTime()) return 0;
    return std::nullopt;
  }

  // How long the loop may sleep before something it times falls due: the
  // save of the global files, the time limit, the auto-mode time.
  int64_t UntilNextDeadline() {
    uint32_t now = e_.platform->NowMs();
    int64_t until = savedGlobals_ ? kNoDeadline : MsUntil(now, start_, 1000);
    auto sooner = [&until](int64_t ms) { until = until == kNoDeadline ? ms : std::min(until, ms); };
    if (r_.timeoutMs >= 0) sooner(MsUntil(now, start_, int64_t{r_.timeoutMs} + 1));
    if (textMode_ && in_.autoMode) sooner(MsUntil(now, start_, AutoTime()));
    return until;
  }

  bool VoicePlaying() { return in_.hooks.voicePlaying && in_.hooks.voicePlaying(e_); }
  uint32_t AutoTime() const { return static_cast<uint32_t>(std::max<int32_t>(s_.autoModeTime, 0)); }

  int32_t TimedOut() {
    if (r_.timeoutWaitsVoice) {
      while (VoicePlaying() && !WaitAbandoned(e_)) {
        PumpInput(e_);
        IdlePass(e_);
      }
    }
    SaveGlobals();
    in_.lastButtonWaitMs = static_cast<uint32_t>(r_.timeoutMs);
    StopSound();
    return s_.useWheel ? -5 : -2;
  }

  std::optional<int32_t> CheckMessage(bool got) {
    if (!got || in_.lastMessage != InputMessage::Move) return std::nullopt;
    int32_t y = r_.areaY;
    if ((y > 0 && in_.pointerY < y) || (y < 0 && in_.pointerY > -y)) {
      if (!s_.btnNoWindowErase && r_.restoreScreen) r_.restoreScreen();
      EndPage();
      return -4;
    }
    if (r_.hover) r_.hover(in_.pointerX, in_.pointerY);
    return std::nullopt;
  }

  // Keys are polled: a key counts while it is held, and the wait then holds
  // until it is released (or the repeat delay passed) so it acts once.
  void HoldKey(int vkCode) {
    uint32_t since = e_.platform->NowMs();
    while (KeyHeld(e_, vkCode) && e_.platform->NowMs() - since < kKeyRepeatMs && !WaitAbandoned(e_)) {
      PumpInput(e_);
      e_.platform->SleepMs(1);
    }
    auto& q = e_.app.queue;
    q.erase(std::remove_if(q.begin(), q.end(),
                           [](const platform::Event& ev) { return ev.type == platform::Event::Type::Text; }),
            q.end());
  }

  std::optional<int32_t> HeldKeyCode() {
    if (!KeyHeld(e_, vk::kReturn)) enterArmed_ = true;
    if (s_.useEscSpc && KeyHeld(e_, vk::kEscape)) return EscapeCode();
    if (s_.useEscSpc && !s_.spaceIsClick && KeyHeld(e_, vk::kSpace)) return Pressed(vk::kSpace, -11);
    if ((s_.getPageUp || s_.getPage) && KeyHeld(e_, vk::kPageUp)) return Pressed(vk::kPageUp, -12);
    if (s_.getPage && KeyHeld(e_, vk::kPageDown)) return Pressed(vk::kPageDown, -13);
    if (s_.getEnter && enterArmed_ && KeyHeld(e_, vk::kReturn)) return Pressed(vk::kReturn, -19);
    if (s_.getTab && KeyHeld(e_, vk::kTab)) return Pressed(vk::kTab, -20);
    if (s_.getFunction) {
      for (int i = 0; i < 12; ++i) {
        if (KeyHeld(e_, vk::kF1 + i)) return Pressed(vk::kF1 + i, -21 - i);
      }
    }
    static constexpr KeyCode kCursor[] = {{vk::kUp, -40}, {vk::kRight, -41}, {vk::kDown, -42}, {vk::kLeft, -43}};
    static constexpr KeyCode kZxc[] = {{'Z', -51}, {'X', -52}, {'C', -53}};
    if (s_.getCursor) {
      for (const KeyCode& k : kCursor) {
        if (KeyHeld(e_, k.vkCode)) return Pressed(k.vkCode, k.code);
      }
    }
    if (s_.getInsert && KeyHeld(e_, vk::kInsert)) return Pressed(vk::kInsert, -50);
    if (s_.getZxc) {
      for (const KeyCode& k : kZxc) {
        if (KeyHeld(e_, k.vkCode)) return Pressed(k.vkCode, k.code);
      }
    }
    return std::nullopt;
  }

  int32_t Pressed(int vkCode, int32_t code) {
    pressedKey_ = vkCode;
    return code;
  }

  // With escoutcursor, Escape over a button moves the pointer away instead.
  std::optional<int32_t> EscapeCode() {
    if (s_.escOutCursor && ButtonUnderPointer()) {
      MovePointer(e_, s_.escOutX, s_.escOutY);
      HoldKey(vk::kEscape);
      return std::nullopt;
    }
    return Pressed(vk::kEscape, -10);
  }

  std::optional<int32_t> CheckKeys() {
    pressedKey_ = 0;
    std::optional<int32_t> code = HeldKeyCode();
    if (!code) return std::nullopt;
    HoldKey(pressedKey_);
    StopSound();
    return code;
  }

  void MovePointerByArrows() {
    if (s_.getCursor || !r_.neighbourButton) return;
    int direction = KeyHeld(e_, vk::kUp) ? -1 : KeyHeld(e_, vk::kDown) ? 1 : 0;
    uint32_t now = e_.platform->NowMs();
    if (direction == 0 || now - lastArrow_ < kKeyRepeatMs) return;
    lastArrow_ = now;
    int32_t x = in_.pointerX, y = in_.pointerY;
    if (r_.neighbourButton(direction, x, y)) MovePointer(e_, x, y);
  }

  void CopyPageOnShiftC() {
    bool pressed = KeyHeld(e_, vk::kShift) && KeyHeld(e_, 'C');
    if (pressed && !copyDown_ && in_.hooks.copyPageText) in_.hooks.copyPageText(e_);
    copyDown_ = pressed;
  }

  std::optional<int32_t> CheckClicks(bool got) {
    InterpState& interp = e_.interp;
    if (s_.getMiddleClick && in_.middleClick) {
      in_.middleClick = false;
      return -70;
    }
    std::optional<int32_t> under = ButtonUnderPointer();
    bool held = LeftButtonHeld(e_);
    bool left = interp.leftClickFlag || (r_.pressSelects != 0 && held) || (r_.pressOutsideSelects && held && !under);
    if (left) {
      interp.leftClickFlag = false;
      in_.lastButtonWaitMs = std::max<uint32_t>(Elapsed(), 1);
      EndPage();
      return under.value_or(0);
    }
    if (s_.useWheel && got && in_.lastMessage == InputMessage::Wheel) {
      EndPage();
      return in_.wheelDelta > 0 ? -2 : -3;
    }
    if (interp.rightClickFlag) {
      interp.rightClickFlag = false;
      EndPage();
      return r_.rightClickCode;
    }
    if (r_.mouseOver && under && *under >= r_.mouseOverMin && *under <= r_.mouseOverMax) return *under;
    return std::nullopt;
  }

  Engine& e_;
  const ButtonWaitRequest& r_;
  InputState& in_;
  const InputSettings& s_;
  bool textMode_;
  bool enterArmed_ = true;
  bool startSkip_ = false, startAuto_ = false;
  bool savedGlobals_ = false;
  bool copyDown_ = false;
  int pressedKey_ = 0;
  uint32_t start_ = 0;
  uint32_t lastArrow_ = 0;
};

}  // namespace

int32_t RunButtonWait(Engine& e, const ButtonWaitRequest& request) {
  if (!e.platform) return 0;
  return ButtonWait(e, request).Run();
}

}  // namespace sorv
