// The window's small dialogs as boxes drawn over the game picture.
#include "shell/dialogs.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>

#include "graphics/scene.h"
#include "interp/error.h"
#include "platform/encoding.h"
#include "shell/engine.h"
#include "shell/menu.h"
#include "shell/menubar.h"

namespace sorv {
namespace {

constexpr int32_t kFace = 0xD4D0C8;
constexpr int32_t kShade = 0x808080;
constexpr int32_t kCaption = 0x0A246A;
constexpr int32_t kWhite = 0xFFFFFF;
constexpr int32_t kInk = 0x000000;
constexpr int kLine = 20;  // rows a line of the box
constexpr int kPad = 12;
constexpr int kSliderWidth = 200;

int Width(const std::string& utf8) { return TextWidth(platform::Utf8ToSjis(utf8)); }

// One modal box. What it holds decides how it reads keys: a slider moves
// with Left/Right, a list with Up/Down, an entry takes digits.
struct Box {
  std::string title;
  std::vector<std::string> lines;
  bool slider = false;
  int32_t low = 0, high = 100, value = 0, step = 1;
  std::function<void(int32_t)> moved;  // the slider moved
  std::vector<std::string> list;
  int sel = 0;
  bool entry = false;
  std::string text;  // the entry's digits
  std::string button = "OK";
};

class BoxRunner {
 public:
  BoxRunner(Engine& e, Box& box) : e_(e), b_(box) {}

  // True when the box was closed by its button or Enter; false for Escape,
  // a close request or a lost focus.
  bool Run() {
    Layout();
    Draw();
    Announce();
    if (e_.platform->Unattended()) return Finish(true);
    while (!done_) {
      if (e_.app.closeRequested) return Finish(false);
      platform::Event ev;
      if (!TakeWindowEvent(e_, ev)) {
        e_.platform->IdleWaitMs(10);
        continue;
      }
      Handle(ev);
      if (!done_) Draw();
    }
    return Finish(ok_);
  }

 private:
  using T = platform::Event::Type;

  bool Finish(bool ok) {
    PresentDisplay(e_);
    return ok;
  }

  // The message-box rule: a headless run shows the box on stderr.
  void Announce() {
    if (!e_.platform->IsHeadless()) return;
    std::string line = b_.title + ":";
    for (size_t i = 1; i < e_.menu.dialogStrings.size(); ++i) line += " " + e_.menu.dialogStrings[i];
    line += "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
  }

  void Layout() {
    int w = Width(b_.title) + 2 * kPad;
    for (const std::string& l : b_.lines) w = std::max(w, Width(l) + 2 * kPad);
    for (const std::string& l : b_.list) w = std::max(w, Width(l) + 2 * kPad + 8);
    if (b_.slider) w = std::max(w, kSliderWidth + 2 * kPad + 60);
    if (b_.entry) w = std::max(w, 160 + 2 * kPad);
    int rows = 1 + static_cast<int>(b_.lines.size()) + (b_.slider ? 1 : 0) + static_cast<int>(b_.list.size()) +
               (b_.entry ? 1 : 0) + 1;
    int h = rows * kLine + kPad * 2;
    box_ = {std::max(0, (e_.screenWidth - w) / 2), std::max(0, (e_.screenHeight - h) / 2), w, h};
    int y = box_.y + kLine + kPad / 2;
    y += static_cast<int>(b_.lines.size()) * kLine;
    slider_ = {box_.x + kPad, y + 6, kSliderWidth, kLine - 12};
    if (b_.slider) y += kLine;
    listTop_ = y;
    y += static_cast<int>(b_.list.size()) * kLine;
    if (b_.entry) y += kLine;
    int bw = Width(b_.button) + 24;
    button_ = {box_.x + (w - bw) / 2, y + kPad / 2, bw, kLine};
  }

  void Draw() {
    Surface& d = e_.scene.display;
    std::vector<std::string>& shown = e_.menu.dialogStrings;
    shown.clear();
    std::vector<uint8_t> copy = d.bits;
    ScreenView v{copy.data(), d.width, d.height, d.stride};
    auto text = [&](const std::string& utf8, int x, int y, int32_t ink) {
      shown.push_back(utf8);
      if (!d.Empty()) DrawText(e_, v, platform::Utf8ToSjis(utf8), x, y + (kLine - kMenuGlyph) / 2, ink);
    };
    Fill(v, box_, kFace);
    Frame(v, box_, kShade);
    Fill(v, {box_.x + 1, box_.y + 1, box_.w - 2, kLine}, kCaption);
    text(b_.title, box_.x + kPad / 2, box_.y + 1, kWhite);
    int y = box_.y + kLine + kPad / 2;
    for (const std::string& l : b_.lines) {
      text(l, box_.x + kPad, y, kInk);
      y += kLine;
    }
    if (b_.slider) {
      Fill(v, slider_, kWhite);
      Frame(v, slider_, kShade);
      int span = std::max(b_.high - b_.low, 1);
      int x = slider_.x + static_cast<int>(int64_t{b_.value - b_.low} * (slider_.w - 6) / span);
      Fill(v, {x, slider_.y - 4, 6, slider_.h + 8}, kCaption);
      text(std::to_string(b_.value), slider_.x + slider_.w + 12, y, kInk);
      y += kLine;
    }
    for (size_t i = 0; i < b_.list.size(); ++i) {
      bool sel = static_cast<int>(i) == b_.sel;
      if (sel) Fill(v, {box_.x + kPad, y, box_.w - 2 * kPad, kLine}, kCaption);
      text(b_.list[i], box_.x + kPad + 4, y, sel ? kWhite : kInk);
      y += kLine;
    }
    if (b_.entry) {
      TextRect field{box_.x + kPad, y + 1, box_.w - 2 * kPad, kLine - 2};
      Fill(v, field, kWhite);
      Frame(v, field, kShade);
      text(b_.text, field.x + 4, y, kInk);
      y += kLine;
    }
    Frame(v, button_, kInk);
    text(b_.button, button_.x + 12, button_.y, kInk);
    if (!d.Empty()) e_.platform->Present(copy.data(), d.width, d.height, d.stride);
  }

  static bool Inside(TextRect r, int x, int y) { return x >= r.x && x < r.x + r.w && y >= r.y && y < r.y + r.h; }

  void SetValue(int32_t v) {
    v = std::clamp(v, b_.low, b_.high);
    if (v == b_.value) return;
    b_.value = v;
    if (b_.moved) b_.moved(v);
  }

  void Handle(const platform::Event& ev) {
    switch (ev.type) {
      case T::MouseDown:
        if (ev.button != platform::MouseButton::Left) break;
        if (b_.slider && Inside({slider_.x - 4, slider_.y - 6, slider_.w + 8, slider_.h + 12}, ev.x, ev.y)) {
          dragging_ = true;
          Drag(ev.x);
        } else if (!b_.list.empty() && ev.y >= listTop_ && ev.y < listTop_ + kLine * static_cast<int>(b_.list.size()) &&
                   ev.x >= box_.x && ev.x < box_.x + box_.w) {
          b_.sel = (ev.y - listTop_) / kLine;
        }
        break;
      case T::MouseMove:
        if (dragging_) Drag(ev.x);
        break;
      case T::MouseUp:
        if (ev.button != platform::MouseButton::Left) break;
        if (dragging_) {
          dragging_ = false;
        } else if (Inside(button_, ev.x, ev.y)) {
          ok_ = done_ = true;
        }
        break;
      case T::KeyDown:
        Key(ev.vk);
        break;
      case T::Text:
        if (b_.entry && ((ev.ch >= '0' && ev.ch <= '9') || (ev.ch == '-' && b_.text.empty())) && b_.text.size() < 11) {
          b_.text += static_cast<char>(ev.ch);
        }
        break;
      case T::Close:
      case T::FocusLost:
      case T::Command:
        e_.app.queue.push_front(ev);
        done_ = true;
        break;
      default:
        break;
    }
  }

  void Drag(int x) {
    int span = std::max(slider_.w - 6, 1);
    int64_t v = b_.low + int64_t{std::clamp(x - slider_.x, 0, span)} * (b_.high - b_.low) / span;
    v = b_.low + (v - b_.low + b_.step / 2) / b_.step * b_.step;
    SetValue(static_cast<int32_t>(v));
  }

  void Key(int vk) {
    switch (vk) {
      case 0x0D:
        ok_ = done_ = true;
        break;
      case 0x1B:
        done_ = true;
        break;
      case 0x25:
      case 0x27:
        if (b_.slider) SetValue(b_.value + (vk == 0x25 ? -b_.step : b_.step));
        break;
      case 0x24:
      case 0x23:
        if (b_.slider) SetValue(vk == 0x24 ? b_.low : b_.high);
        break;
      case 0x26:
      case 0x28:
        if (!b_.list.empty()) {
          int n = static_cast<int>(b_.list.size());
          b_.sel = (b_.sel + (vk == 0x26 ? -1 : 1) + n) % n;
        }
        break;
      case 0x08:
        if (b_.entry && !b_.text.empty()) b_.text.pop_back();
        break;
      default:
        break;
    }
  }

  Engine& e_;
  Box& b_;
  TextRect box_, slider_, button_;
  int listTop_ = 0;
  bool done_ = false, ok_ = false, dragging_ = false;
};

bool RunBox(Engine& e, Box& box) {
  if (!e.platform || e.menu.busy) return false;
  e.menu.busy = true;
  bool ok = false;
  try {
    ok = BoxRunner(e, box).Run();
  } catch (...) {
    e.menu.busy = false;
    throw;
  }
  e.menu.busy = false;
  return ok;
}

// A number read in the variable editor; nothing when it was cancelled.
bool AskNumber(Engine& e, const std::string& prompt, int32_t& out) {
  Box box;
  box.title = "数値入力";
  box.lines = {prompt};
  box.entry = true;
  if (!RunBox(e, box)) return false;
  int64_t v = 0;
  bool negative = !box.text.empty() && box.text[0] == '-';
  for (char c : box.text) {
    if (c >= '0' && c <= '9') v = std::min<int64_t>(v * 10 + (c - '0'), int64_t{1} << 40);
  }
  out = static_cast<int32_t>(static_cast<uint32_t>(negative ? -v : v));
  return true;
}

}  // namespace

const std::vector<std::string>& LastDialogStrings(const Engine& e) { return e.menu.dialogStrings; }

void ShowVersionBox(Engine& e) {
  Box box;
  box.title = "バージョン情報";
  for (const std::string& t : e.shellSettings.versionText) {
    if (!t.empty()) box.lines.push_back(t);
  }
  RunBox(e, box);
}

// Moving the slider changes the speed at once; leaving with Escape puts the
// speed back as it was.
void ShowTextSpeedDialog(Engine& e) {
  TextSettings& t = e.textSettings;
  int32_t low = std::min(t.speedDialogMin, t.speedDialogMax), high = std::max(t.speedDialogMin, t.speedDialogMax);
  int32_t before = t.userSpeeds[0], speedBefore = e.textWindow.window.speed;
  Box box;
  box.title = "文字速度";
  box.slider = true;
  box.low = low;
  box.high = high;
  box.step = std::max<int32_t>(1, (high - low) / 20);
  box.value = std::clamp(t.userSpeeds[0], low, high);
  box.moved = [&e](int32_t v) {
    e.textSettings.userSpeeds[0] = v;
    e.textWindow.window.speed = v;
  };
  if (RunBox(e, box)) {
    box.moved(box.value);
  } else {
    t.userSpeeds[0] = before;
    e.textWindow.window.speed = speedBefore;
  }
}

// The auto-mode wait, in milliseconds, stored when the box is closed.
void ShowAutoSpeedDialog(Engine& e) {
  Box box;
  box.title = "オートモード速度";
  box.slider = true;
  box.low = 0;
  box.high = 10000;
  box.step = 100;
  box.value = std::clamp(e.input.settings.autoModeTime, box.low, box.high);
  if (RunBox(e, box)) e.input.settings.autoModeTime = box.value;
}

std::vector<std::string> CdDrives() {
  std::vector<std::string> drives;
  for (int n = 0; n < 26; ++n) {
    std::string dev = "/dev/sr" + std::to_string(n);
    struct stat st {};
    if (stat(dev.c_str(), &st) == 0 && S_ISBLK(st.st_mode)) drives.push_back(dev);
  }
  return drives;
}

void ShowCdDriveDialog(Engine& e) {
  Box box;
  box.title = "CD-DA";
  box.list.push_back("デフォルト");
  std::vector<std::string> drives = CdDrives();
  box.list.insert(box.list.end(), drives.begin(), drives.end());
  for (size_t i = 0; i < drives.size(); ++i) {
    if (drives[i] == e.app.cdDrive) box.sel = static_cast<int>(i) + 1;
  }
  if (!RunBox(e, box)) return;
  e.app.cdDrive = box.sel <= 0 ? std::string() : drives[static_cast<size_t>(box.sel - 1)];
}

void EditVariable(Engine& e) {
  int32_t number = 0, value = 0;
  if (!AskNumber(e, "変数番号", number)) return;
  int32_t count = static_cast<int32_t>(e.values.intVars.size()) - 2;
  if (number < 0 || number >= count) ReportError(e, "エラー", "変数番号が範囲外をさしています。");
  if (!AskNumber(e, "値", value)) return;
  e.values.intVars[static_cast<size_t>(number)] = value;
}

}  // namespace sorv
