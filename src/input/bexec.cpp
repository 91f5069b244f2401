// The string-result button family: sprites registered with bsp, each with
// a normal, hover and click action string, and bexec, which waits and names
// what happened ("S12", "LCLICK", "TIMEOUT", "F3" ...).
#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>

#include "graphics/scene.h"
#include "input/buttons.h"
#include "input/input.h"
#include "interp/error.h"
#include "script/reader.h"
#include "shell/app.h"
#include "shell/engine.h"
#include "values/values.h"

namespace sorv {
namespace {

constexpr uint32_t kKeyRepeatMs = 125;

class BexecWait {
 public:
  explicit BexecWait(Engine& e) : e_(e), b_(e.buttons.bexec), in_(e.input) {}

  std::string Run() {
    Prepare();
    if (!e_.platform) return "";
    if (e_.platform->Unattended()) return Unattended();
    while (true) {
      got_ = PumpInput(e_);
      if (WaitAbandoned(e_)) return "";
      SaveGlobalsOnce();
      Hover();
      if (std::optional<std::string> r = Event()) return *r;
      IdlePass(e_, SaveDeadline());
    }
  }

 private:
  void Prepare() {
    FillMessageQueue(e_);
    auto& q = e_.app.queue;
    bool middle = std::any_of(q.begin(), q.end(), [](const platform::Event& ev) {
      return ev.type == platform::Event::Type::MouseUp && ev.button == platform::MouseButton::Middle;
    });
    if (middle) EndSkipAndAuto(e_);
    DiscardPendingInput(e_, true);
    e_.interp.leftClickFlag = e_.interp.rightClickFlag = in_.middleClick = false;
    uint32_t now = e_.platform ? e_.platform->NowMs() : 0;
    if (!b_.clockRunning) {
      b_.clockRunning = true;
      b_.clockStart = now;
    }
    start_ = now;
    lastKey_ = now - kKeyRepeatMs;
    RedrawDirty(e_);
  }

  // Nobody will click: the entry the run's --choose policy picks (the first
  // by default) is chosen, as a click on it would.
  std::string Unattended() {
    e_.platform->SleepMs(16);
    if (b_.entries.empty()) return "LCLICK";
    return Select(ChooseIndex(e_.app.choose, static_cast<int32_t>(b_.entries.size())));
  }

  int64_t SaveDeadline() { return saved_ ? kNoDeadline : MsUntil(e_.platform->NowMs(), start_, 1000); }

  void SaveGlobalsOnce() {
    if (saved_ || e_.platform->NowMs() - start_ < 1000) return;
    saved_ = true;
    if (in_.hooks.saveGlobalFiles) in_.hooks.saveGlobalFiles(e_);
  }

  bool Hits(const BexecEntry& en, int32_t x, int32_t y) {
    if (en.sprite < 0 || en.sprite >= kSpriteSlots) return false;
    Rect r = SpriteRect(e_.scene.sprites[static_cast<size_t>(en.sprite)]);
    if (x < r.left || x >= r.right || y < r.top || y >= r.bottom) return false;
    return !b_.opaqueOnly || SpriteOpaqueAt(e_, en.sprite, x, y);
  }

  int32_t EntryAt(int32_t x, int32_t y) {
    int32_t hit = -1;
    for (size_t i = 0; i < b_.entries.size(); ++i) {
      if (Hits(b_.entries[i], x, y)) hit = static_cast<int32_t>(i);
    }
    return hit;
  }

  void Hover() {
    int32_t now = EntryAt(in_.pointerX, in_.pointerY);
    if (now == hovered_ && started_) return;
    started_ = true;
    hovered_ = now;
    for (size_t i = 0; i < b_.entries.size(); ++i) {
      const BexecEntry& en = b_.entries[i];
      RunActionString(e_, std::string(static_cast<int32_t>(i) == now ? en.hover : en.normal));
    }
    if (now < 0) RunActionString(e_, std::string(b_.defaultAction));
    RedrawDirty(e_);
  }

  std::string Select(int32_t i) {
    BexecEntry en = b_.entries[static_cast<size_t>(i)];
    RunActionString(e_, en.click);
    RedrawDirty(e_);
    return Format("S%d", en.sprite);
  }

  std::string Click() { return hovered_ >= 0 ? Select(hovered_) : "LCLICK"; }

  // Keys count while held; the wait then lets go of the key (or the repeat
  // delay passes) so that one press gives one result.
  std::string Held(int vkCode, std::string name) {
    uint32_t since = e_.platform->NowMs();
    while (KeyHeld(e_, vkCode) && e_.platform->NowMs() - since < kKeyRepeatMs && !WaitAbandoned(e_)) {
      PumpInput(e_);
      e_.platform->SleepMs(1);
    }
    return name;
  }

  std::optional<std::string> NamedKey() {
    for (int c = 'A'; c <= 'Z'; ++c) {
      if (KeyHeld(e_, c)) return Held(c, std::string(1, static_cast<char>(c)));
    }
    for (int c = '0'; c <= '9'; ++c) {
      if (KeyHeld(e_, c)) return Held(c, std::string(1, static_cast<char>(c)));
    }
    if (KeyHeld(e_, vk::kControl)) return Held(vk::kControl, "CTRL");
    for (int i = 0; i < 12; ++i) {
      if (KeyHeld(e_, vk::kF1 + i)) return Held(vk::kF1 + i, Format("F%d", i + 1));
    }
    if (KeyHeld(e_, vk::kPageUp)) return Held(vk::kPageUp, "PAGEUP");
    if (KeyHeld(e_, vk::kPageDown)) return Held(vk::kPageDown, "PAGEDOWN");
    if (KeyHeld(e_, vk::kShift)) return Held(vk::kShift, "SHIFT");
    if (KeyHeld(e_, vk::kEscape)) return Held(vk::kEscape, "ESC");
    return std::nullopt;
  }

  bool KeyDue() {
    uint32_t now = e_.platform->NowMs();
    if (now - lastKey_ < kKeyRepeatMs) return false;
    lastKey_ = now;
    return true;
  }

  std::optional<std::string> SpaceOrEnter() {
    bool space = KeyHeld(e_, vk::kSpace), enter = KeyHeld(e_, vk::kReturn);
    if ((!space && !enter) || !KeyDue()) return std::nullopt;
    if (b_.cursorKeys) return std::string(space ? "SPACE" : "RETURN");
    return Click();
  }

  std::optional<std::string> Arrows() {
    static constexpr struct {
      int vkCode;
      const char* name;
    } kArrows[] = {{vk::kUp, "UP"}, {vk::kDown, "DOWN"}, {vk::kLeft, "LEFT"}, {vk::kRight, "RIGHT"}};
    for (const auto& a : kArrows) {
      if (!KeyHeld(e_, a.vkCode)) continue;
      if (b_.cursorKeys) return Held(a.vkCode, a.name);
      if ((a.vkCode == vk::kUp || a.vkCode == vk::kDown) && KeyDue()) MoveToNeighbour(a.vkCode == vk::kUp ? -1 : 1);
      break;
    }
    return std::nullopt;
  }

  void MoveToNeighbour(int direction) {
    int32_t n = static_cast<int32_t>(b_.entries.size());
    if (n == 0) return;
    int32_t k = hovered_ < 0 ? (direction > 0 ? 0 : n - 1) : (hovered_ + direction + n) % n;
    int32_t s = b_.entries[static_cast<size_t>(k)].sprite;
    if (s < 0 || s >= kSpriteSlots) return;
    Rect r = SpriteRect(e_.scene.sprites[static_cast<size_t>(s)]);
    MovePointer(e_, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
  }

  bool TimedOut() {
    if (b_.timeoutMs < 0 || e_.platform->NowMs() - b_.clockStart < static_cast<uint32_t>(b_.timeoutMs)) return false;
    bool voice = in_.hooks.voicePlaying && in_.hooks.voicePlaying(e_);
    return !(b_.timeoutWaitsVoice && voice);
  }

  std::optional<std::string> Event() {
    InterpState& interp = e_.interp;
    bool left = interp.leftClickFlag || (b_.pressSelects && LeftButtonHeld(e_) && !pressedBefore_);
    pressedBefore_ = LeftButtonHeld(e_);
    if (left) {
      interp.leftClickFlag = false;
      return Click();
    }
    if (interp.rightClickFlag) {
      interp.rightClickFlag = false;
      return std::string("RCLICK");
    }
    if (in_.middleClick) {
      in_.middleClick = false;
      return std::string("MCLICK");
    }
    if (got_ && in_.lastMessage == InputMessage::Wheel) {
      return std::string(in_.wheelDelta > 0 ? "WHEELUP" : "WHEELDOWN");
    }
    if (TimedOut()) {
      b_.clockRunning = false;
      return std::string("TIMEOUT");
    }
    if (interp.skipMode) {
      interp.skipMode = false;
      return std::string("SKIP");
    }
    if (in_.autoMode) {
      in_.autoMode = false;
      return std::string("AUTO");
    }
    if (auto k = NamedKey()) return k;
    if (auto k = SpaceOrEnter()) return k;
    return Arrows();
  }

  Engine& e_;
  BexecState& b_;
  InputState& in_;
  int32_t hovered_ = -1;
  bool started_ = false;
  bool saved_ = false;
  bool got_ = false;
  bool pressedBefore_ = true;  // a button already down when the wait began does not select
  uint32_t start_ = 0;
  uint32_t lastKey_ = 0;
};

// "S" followed by a number gives that number; every other result -1.
int32_t ResultNumber(const std::string& r) {
  if (r.size() < 2 || r[0] != 'S') return -1;
  int64_t v = 0;
  for (size_t i = 1; i < r.size(); ++i) {
    if (r[i] < '0' || r[i] > '9') return -1;
    v = std::min<int64_t>(v * 10 + (r[i] - '0'), INT32_MAX);
  }
  return static_cast<int32_t>(v);
}

}  // namespace

void Cmd_bsp(Engine& e) {
  BexecEntry en;
  en.sprite = ReadNumberArgument(e);
  bool given = SkipBlanks(e) == ',';
  if (given) {
    en.normal = NextString(e);
    en.hover = NextString(e);
    en.click = NextString(e);
  }
  if (en.sprite < 0 || en.sprite >= kSpriteSlots) return;
  const Sprite& sp = e.scene.sprites[static_cast<size_t>(en.sprite)];
  if (!sp.image.HasSurface()) return;
  if (!given) {
    en.normal = Format("P%d,0", en.sprite);
    en.hover = Format("P%d,1", en.sprite);
    if (sp.image.cellCount >= 3) en.click = Format("P%d,2", en.sprite);
  }
  auto& entries = e.buttons.bexec.entries;
  if (entries.size() >= kBexecSlots) ReportError(e, "エラー", "ボタンが多すぎます。");
  entries.push_back(std::move(en));
}

void Cmd_bdef(Engine& e) { ReadStringArgument(e, e.buttons.bexec.defaultAction); }

void Cmd_bclear(Engine& e) { e.buttons.bexec = BexecState{}; }

void Cmd_btime(Engine& e) {
  BexecState& b = e.buttons.bexec;
  b.timeoutMs = ReadNumberArgument(e);
  b.timeoutWaitsVoice = false;
  if (SkipBlanks(e) == ',') {
    ExpectComma(e);
    b.timeoutWaitsVoice = ReadNumberArgument(e) != 0;
  }
  b.clockRunning = false;
}

void Cmd_bdown(Engine& e) { e.buttons.bexec.pressSelects = true; }
void Cmd_btrans(Engine& e) { e.buttons.bexec.opaqueOnly = true; }
void Cmd_bcursor(Engine& e) { e.buttons.bexec.cursorKeys = true; }

void Cmd_bexec(Engine& e) {
  bool intTarget = SkipBlanks(e) == '%';
  int32_t var = intTarget ? ReadIntVarTarget(e, "bexecの第一引数は変数です。", "エラー")
                          : ReadStrVarTarget(e, "bexecの第一引数は変数です。", "エラー");
  std::string result = BexecWait(e).Run();
  if (intTarget) {
    StoreIntLimited(e, var, ResultNumber(result));
  } else {
    e.values.strVars[static_cast<size_t>(var)] = std::move(result);
  }
}

}  // namespace sorv
