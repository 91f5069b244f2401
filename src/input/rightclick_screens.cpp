// The screens of the right-click action: the item menu, the slot menus and
// the yes/no confirmation. Each starts from the scene composed without the
// text window and tinted with the menu tint; the first string drawn on a
// screen prepares it. Positions follow the menu layout (menusetwindow), so
// a game that tuned its menu for one screen size sees it where it expects.
#include <algorithm>
#include <cstring>
#include <deque>

#include "graphics/scene.h"
#include "input/input.h"
#include "input/rightclick.h"
#include "platform/encoding.h"
#include "script/reader.h"
#include "shell/engine.h"
#include "sound/internal.h"
#include "sound/sound.h"
#include "text/text_window.h"

namespace sorv {
namespace {

constexpr uint32_t kArrowRepeatMs = 125;

// Menu sounds (menuselectvoice s1 … s7).
enum MenuSound { kSoundOpen = 0, kSoundCancel, kSoundHover, kSoundChoose, kSoundEmptySlot, kSoundYes, kSoundNo };

const std::string& Numeral(int32_t slot) {
  static const std::vector<std::string> kNumerals = [] {
    const char* utf8[] = {"一",   "二",   "三",   "四",   "五",   "六",   "七",   "八",   "九",   "十  ",
                          "十一", "十二", "十三", "十四", "十五", "十六", "十七", "十八", "十九", "二十"};
    std::vector<std::string> v;
    for (const char* s : utf8) v.push_back(platform::Utf8ToSjis(s));
    return v;
  }();
  static const std::string kNone;
  if (slot < 1 || slot > static_cast<int32_t>(kNumerals.size())) return kNone;
  return kNumerals[static_cast<size_t>(slot - 1)];
}

const std::string& Sjis(const char* utf8) {
  // The few fixed texts of these screens, converted once; a deque keeps
  // the references handed out valid as it grows.
  static std::deque<std::pair<const char*, std::string>> cache;
  for (const auto& [key, value] : cache) {
    if (key == utf8) return value;
  }
  cache.emplace_back(utf8, platform::Utf8ToSjis(utf8));
  return cache.back().second;
}

int32_t Len(std::string_view s) { return static_cast<int32_t>(s.size()); }

// A menu screen: the tinted scene and the strings on it.
class MenuScreen {
 public:
  explicit MenuScreen(Engine& e) : e_(e), s_(e.shellSettings) { e_.rightClick.screenStrings.clear(); }

  int32_t W() const { return e_.screenWidth; }
  int32_t H() const { return e_.screenHeight; }
  int32_t AdvX() const { return s_.menuAdvanceX; }
  int32_t AdvY() const { return s_.menuAdvanceY; }

  // Draws a string at an absolute position; `record` keeps it in the
  // screen's list (a redraw in another colour does not).
  void Draw(std::string_view sjis, int32_t x, int32_t y, int32_t colour, bool record = true) {
    Prepare();
    if (record) e_.rightClick.screenStrings.emplace_back(sjis);
    Surface& target = e_.scene.scene;
    if (target.Empty()) return;
    ScreenView view = ViewOf(target);
    // What was drawn here before goes first, so a hover colour never
    // mixes with the normal one at the glyph edges.
    TextRect r = Extent(sjis, x, y);
    RestoreBackground(r);
    GlyphStyle style;
    style.face = e_.textWindow.fonts.currentFace;
    style.glyphW = s_.menuGlyphW;
    style.glyphH = s_.menuGlyphH;
    style.bold = s_.menuBold != 0;
    style.shadow = s_.menuShadow != 0;
    style.colour = colour;
    style.writeLayer = false;
    int32_t cx = x;
    for (size_t i = 0; i < sjis.size();) {
      bool wide = IsLeadByte(static_cast<unsigned char>(sjis[i])) && i + 1 < sjis.size();
      char ch[2] = {sjis[i], wide ? sjis[i + 1] : '\0'};
      GlyphStyle cs = style;
      if (!wide) cs.glyphW = std::max(style.glyphW / 2, 1);
      if (static_cast<unsigned char>(ch[0]) > ' ') DrawGlyph(e_, view, ch, cx, y, cs);
      cx += wide ? AdvX() : AdvX() / 2;
      i += wide ? 2 : 1;
    }
    Present(r);
  }

  TextRect Extent(std::string_view sjis, int32_t x, int32_t y) const {
    int32_t w = Len(sjis) * AdvX() / 2 + s_.menuGlyphW + 4;
    return TextRect{x, y, w, std::max(AdvY(), s_.menuGlyphH) + 4};
  }

 private:
  // The first string of a screen: the scene without the window, tinted,
  // on screen; a copy is kept to draw entries again over.
  void Prepare() {
    if (prepared_) return;
    prepared_ = true;
    TextWindowState& w = e_.textWindow.window;
    Surface& target = e_.scene.scene;
    if (target.Empty()) return;
    Rect all{0, 0, W(), H()};
    int32_t shown = w.shown;
    w.shown = 0;
    ComposeRect(e_, all);
    w.shown = shown;
    int32_t tint = s_.menuTint;
    const uint8_t* rowB = kBlend.Row(tint & 255);
    const uint8_t* rowG = kBlend.Row((tint >> 8) & 255);
    const uint8_t* rowR = kBlend.Row((tint >> 16) & 255);
    for (int32_t y = 0; y < target.height; ++y) {
      uint8_t* p = target.Row(y);
      for (int32_t x = 0; x < target.width; ++x, p += 3) {
        p[0] = rowB[p[0]];
        p[1] = rowG[p[1]];
        p[2] = rowR[p[2]];
      }
    }
    background_ = target.bits;
    Present(TextRect{0, 0, W(), H()});
  }

  void RestoreBackground(TextRect r) {
    Surface& target = e_.scene.scene;
    if (background_.size() != target.bits.size()) return;
    int32_t x0 = std::max(r.x, 0), x1 = std::min(r.x + r.w, target.width);
    int32_t y0 = std::max(r.y, 0), y1 = std::min(r.y + r.h, target.height);
    if (x0 >= x1) return;
    for (int32_t y = y0; y < y1; ++y) {
      size_t off = static_cast<size_t>(target.height - 1 - y) * static_cast<size_t>(target.stride) +
                   static_cast<size_t>(x0) * 3;
      std::memcpy(target.bits.data() + off, background_.data() + off, static_cast<size_t>(x1 - x0) * 3);
    }
  }

  void Present(TextRect r) {
    if (e_.textWindow.hooks.present) e_.textWindow.hooks.present(e_, r);
  }

  Engine& e_;
  const ShellSettings& s_;
  bool prepared_ = false;
  std::vector<uint8_t> background_;
};

// The input side shared by the three screens: one message a pass, Up/Down
// (and Left/Right) at most every 125 ms, Escape acting once released.
class MenuInput {
 public:
  explicit MenuInput(Engine& e) : e_(e) {
    DiscardPendingInput(e_, true);
    e_.interp.leftClickFlag = e_.interp.rightClickFlag = false;
    lastArrow_ = e_.platform ? e_.platform->NowMs() - kArrowRepeatMs : 0;
  }

  bool Pump() {
    bool got = PumpInput(e_);
    if (!got && e_.platform) e_.platform->SleepMs(1);
    return got;
  }

  // -1 previous, +1 next, 0 none; `horizontal` reads Left/Right too.
  int Arrow(bool horizontal) {
    int d = KeyHeld(e_, vk::kUp) || (horizontal && KeyHeld(e_, vk::kLeft))      ? -1
            : KeyHeld(e_, vk::kDown) || (horizontal && KeyHeld(e_, vk::kRight)) ? 1
                                                                                : 0;
    uint32_t now = e_.platform->NowMs();
    if (d == 0 || now - lastArrow_ < kArrowRepeatMs) return 0;
    lastArrow_ = now;
    return d;
  }

  bool TakeLeftClick() {
    bool c = e_.interp.leftClickFlag;
    e_.interp.leftClickFlag = false;
    return c;
  }

  // A right click, or Escape once released.
  bool Cancelled() {
    bool right = e_.interp.rightClickFlag;
    e_.interp.rightClickFlag = false;
    if (KeyHeld(e_, vk::kEscape)) {
      escapeDown_ = true;
    } else if (escapeDown_) {
      escapeDown_ = false;
      right = true;
    }
    return right;
  }

  void WaitEscapeReleased() {
    while (KeyHeld(e_, vk::kEscape) && !WaitAbandoned(e_)) Pump();
    e_.interp.rightClickFlag = false;
  }

 private:
  Engine& e_;
  uint32_t lastArrow_ = 0;
  bool escapeDown_ = false;
};

bool NobodyAnswers(Engine& e) { return !e.platform || e.platform->Unattended(); }

// The screen as it was, put back when a screen opened from the script closes.
class SavedScreenCopy {
 public:
  explicit SavedScreenCopy(Engine& e) : e_(e), bits_(e.scene.scene.bits) {}
  void Restore() {
    Surface& s = e_.scene.scene;
    if (bits_.size() != s.bits.size()) return;
    s.bits = bits_;
    if (e_.textWindow.hooks.present) e_.textWindow.hooks.present(e_, TextRect{0, 0, s.width, s.height});
  }

 private:
  Engine& e_;
  std::vector<uint8_t> bits_;
};

}  // namespace

// ---- Texts ------------------------------------------------------------------

std::string SlotDateText(const std::tm& t) {
  char ascii[64];
  std::snprintf(ascii, sizeof ascii, "%2d@%2d#%2d$%02d&", t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min);
  static const char* kDigits[] = {"零", "一", "二", "三", "四", "五", "六", "七", "八", "九"};
  std::string out;
  for (const char* p = ascii; *p; ++p) {
    switch (*p) {
      case ' ': out += "\x81\x40"; break;
      case '@': out += Sjis("月"); break;
      case '#': out += Sjis("日"); break;
      case '$': out += Sjis("時"); break;
      case '&': out += Sjis("分"); break;
      default: out += Sjis(kDigits[*p - '0']); break;
    }
  }
  return out;
}

std::string SlotRowText(const Engine& e, int32_t slot, int32_t count, const std::optional<std::time_t>& when) {
  std::string row = e.shellSettings.slotPrefix;
  if (count > 9 && slot < 10) row += "  ";
  row += Numeral(slot);
  row += "  ";
  if (when) {
    std::tm local{};
    std::time_t t = *when;
    localtime_r(&t, &local);
    row += SlotDateText(local);
  } else {
    row += "------------------------";
  }
  return row;
}

// ---- The item menu ------------------------------------------------------------

int32_t ShowRightClickMenu(Engine& e) {
  const auto& items = e.shellSettings.rightClickItems;
  MenuScreen screen(e);
  int32_t n = static_cast<int32_t>(items.size());
  PlayMenuSelectVoice(e, kSoundOpen);
  int32_t longest = 0;
  for (const auto& item : items) longest = std::max(longest, Len(item.text));
  const ShellSettings& s = e.shellSettings;
  int32_t half = screen.AdvX() * longest / 4;
  int32_t x = screen.W() / 2 - half;
  auto top = [&](int32_t k) { return screen.H() / 2 - (n / 2 - k) * screen.AdvY(); };
  for (int32_t k = 0; k < n; ++k) screen.Draw(items[static_cast<size_t>(k)].text, x, top(k), s.menuNormalColour);
  if (n == 0 || NobodyAnswers(e)) return -1;
  MenuInput input(e);
  if (!e.input.settings.modeKanade) MovePointer(e, e.input.pointerX, e.input.pointerY);
  auto entryAt = [&](int32_t px, int32_t py) -> int32_t {
    if (px < screen.W() / 2 - half || px >= screen.W() / 2 + half) return -1;
    for (int32_t k = 0; k < n; ++k) {
      if (py >= top(k) && py < screen.H() / 2 + (k - n / 2 + 1) * screen.AdvY()) return k;
    }
    return -1;
  };
  int32_t hovered = -1;
  auto redraw = [&](int32_t k, bool hover) {
    if (k >= 0) screen.Draw(items[static_cast<size_t>(k)].text, x, top(k), hover ? s.menuHoverColour : s.menuNormalColour, false);
  };
  while (!WaitAbandoned(e)) {
    bool got = input.Pump();
    if (int d = input.Arrow(false)) {
      int32_t k = hovered < 0 ? (d > 0 ? 0 : n - 1) : (hovered + d + n) % n;
      MovePointer(e, x, top(k));
    }
    if (got) {
      int32_t k = entryAt(e.input.pointerX, e.input.pointerY);
      if (k != hovered) {
        if (k >= 0) PlayMenuSelectVoice(e, kSoundHover);
        redraw(hovered, false);
        redraw(k, true);
        hovered = k;
      }
    }
    if (input.TakeLeftClick()) {
      int32_t k = entryAt(e.input.pointerX, e.input.pointerY);
      if (k >= 0) {
        PlayMenuSelectVoice(e, kSoundChoose);
        redraw(k, false);
        return k;
      }
    }
    if (input.Cancelled()) {
      input.WaitEscapeReleased();
      PlayMenuSelectVoice(e, kSoundCancel);
      redraw(hovered, false);
      return -1;
    }
  }
  return -1;
}

// ---- The slot menu ----------------------------------------------------------

int32_t ShowSlotMenu(Engine& e, bool forSave, std::string& nameOut) {
  const ShellSettings& s = e.shellSettings;
  // The menu holds at most 20 rows, whatever savenumber asked for.
  int32_t count = std::clamp(e.persistSettings.saveNumber, 0, 20);
  if (!e.rightClick.active) {
    RedrawScreenRect(e, TextRect{0, 0, e.screenWidth, e.screenHeight});
  }
  e.textWindow.window.shown = 1;
  MenuScreen screen(e);
  PlayMenuSelectVoice(e, kSoundOpen);
  int32_t W = screen.W(), H = screen.H(), advX = screen.AdvX(), advY = screen.AdvY();
  const std::string& title = forSave ? s.saveTitle : s.loadTitle;
  int32_t titleHalf = Len(title) * advX / 4;
  screen.Draw(title, titleHalf >= W / 2 ? 1 : W / 2 - titleHalf, std::max(1, H / 2 - (count / 2 + 1) * advY),
              e.textWindow.colour.Rgb());

  std::vector<std::string> rows;
  std::vector<bool> present;
  for (int32_t slot = 1; slot <= count; ++slot) {
    std::optional<std::time_t> when;
    if (e.rightClick.slots.fileTime) when = e.rightClick.slots.fileTime(e, slot);
    rows.push_back(SlotRowText(e, slot, count, when));
    present.push_back(when.has_value());
  }
  int32_t rowHalf = rows.empty() ? 0 : Len(rows[0]) * advX / 4;
  int32_t x0 = rowHalf >= W / 2 ? 1 : W / 2 - rowHalf;
  int32_t y0 = std::max(1, H / 2 - (count / 2 - 1) * advY);
  auto colourOf = [&](int32_t i) { return present[static_cast<size_t>(i)] ? s.menuNormalColour : s.menuDisabledColour; };
  for (int32_t i = 0; i < count; ++i) screen.Draw(rows[static_cast<size_t>(i)], x0, y0 + i * advY, colourOf(i));
  if (count == 0 || NobodyAnswers(e)) return -1;

  MenuInput input(e);
  auto rowAt = [&](int32_t px, int32_t py) -> int32_t {
    if (px < x0 || px > W / 2 + rowHalf) return -1;
    for (int32_t i = 0; i < count; ++i) {
      if (py >= y0 + i * advY && py < y0 + (i + 1) * advY) return i;
    }
    return -1;
  };
  int32_t hovered = -1;
  auto redraw = [&](int32_t i, bool hover) {
    if (i >= 0) screen.Draw(rows[static_cast<size_t>(i)], x0, y0 + i * advY, hover ? s.menuHoverColour : colourOf(i), false);
  };
  size_t nameBytes = s.slotPrefix.size() + (count > 9 ? 4 : 2);
  while (!WaitAbandoned(e)) {
    bool got = input.Pump();
    if (int d = input.Arrow(false)) {
      int32_t i = hovered < 0 ? (d > 0 ? 0 : count - 1) : (hovered + d + count) % count;
      MovePointer(e, x0, y0 + i * advY);
    }
    if (got) {
      int32_t i = rowAt(e.input.pointerX, e.input.pointerY);
      if (i != hovered) {
        if (i >= 0) PlayMenuSelectVoice(e, kSoundHover);
        redraw(hovered, false);
        redraw(i, true);
        hovered = i;
      }
    }
    if (input.TakeLeftClick() && hovered >= 0) {
      if (forSave || present[static_cast<size_t>(hovered)]) {
        PlayMenuSelectVoice(e, kSoundChoose);
        redraw(hovered, false);
        nameOut = rows[static_cast<size_t>(hovered)].substr(0, nameBytes);
        return hovered;
      }
      PlayMenuSelectVoice(e, kSoundEmptySlot);
    }
    if (input.Cancelled()) break;
  }
  input.WaitEscapeReleased();
  if (!s.menuSounds[kSoundCancel].empty()) {
    redraw(hovered, false);
    PlayMenuSelectVoice(e, kSoundCancel);
  }
  return -1;
}

// ---- The confirmation -------------------------------------------------------

int32_t ConfirmInWindow(Engine& e, std::string_view question) {
  const ShellSettings& s = e.shellSettings;
  if (!e.rightClick.active) {
    RedrawScreenRect(e, TextRect{0, 0, e.screenWidth, e.screenHeight});
  }
  e.textWindow.window.shown = 1;
  MenuScreen screen(e);
  PlayMenuSelectVoice(e, kSoundOpen);
  int32_t W = screen.W(), H = screen.H(), advX = screen.AdvX(), advY = screen.AdvY();
  int32_t half = Len(question) * advX / 4;
  screen.Draw(question, half >= W / 2 ? 1 : W / 2 - half, H / 2 - advY, e.textWindow.colour.Rgb());
  const std::string& yes = Sjis("是");
  const std::string& no = Sjis("否");
  const int32_t yesX = W / 2 - 4 * advX, noX = W / 2 + 2 * advX, y = H / 2 + advY;
  screen.Draw(yes, yesX, y, s.menuNormalColour);
  screen.Draw(no, noX, y, s.menuNormalColour);
  if (NobodyAnswers(e)) return -1;

  MenuInput input(e);
  const int32_t lineH = e.textWindow.window.advanceY;
  auto answerAt = [&](int32_t px, int32_t py) -> int32_t {
    if (py < y || py >= y + lineH) return -1;
    if (px >= yesX && px < yesX + 3 * advX) return 1;
    if (px >= noX && px < noX + 3 * advX) return 0;
    return -1;
  };
  int32_t hovered = -1;
  auto redraw = [&](int32_t a, bool hover) {
    if (a == 1) screen.Draw(yes, yesX, y, hover ? s.menuHoverColour : s.menuNormalColour, false);
    if (a == 0) screen.Draw(no, noX, y, hover ? s.menuHoverColour : s.menuNormalColour, false);
  };
  while (!WaitAbandoned(e)) {
    bool got = input.Pump();
    if (int d = input.Arrow(true)) {
      // Left/Up go to "no" from "yes", else to "yes"; Right/Down the
      // other way round.
      bool toNo = d < 0 ? hovered == 1 : hovered != 0;
      MovePointer(e, (toNo ? noX : yesX) + 1, y + 1);
    }
    if (got) {
      int32_t a = answerAt(e.input.pointerX, e.input.pointerY);
      if (a != hovered) {
        if (a >= 0) PlayMenuSelectVoice(e, kSoundHover);
        redraw(hovered, false);
        redraw(a, true);
        hovered = a;
      }
    }
    if (input.TakeLeftClick() && hovered >= 0) {
      PlayMenuSelectVoice(e, hovered == 1 ? kSoundYes : kSoundNo);
      redraw(hovered, false);
      return hovered;
    }
    if (input.Cancelled()) break;
  }
  input.WaitEscapeReleased();
  if (!s.menuSounds[kSoundCancel].empty()) {
    redraw(hovered, false);
    PlayMenuSelectVoice(e, kSoundCancel);
  }
  return -1;
}

// ---- The volume screen --------------------------------------------------------

namespace {

// One row of the volume screen: music, effects, voice.
void SetVolume(Engine& e, int row, int32_t volume) {
  int32_t a = 100 - std::clamp(volume, 0, 100);
  SoundSettings& s = e.soundSettings;
  SoundState& st = e.sound;
  if (row == 0) {
    s.musicAtt = a;
    st.channelAtt[kIntroChannel] = st.channelAtt[kLoopChannel] = a;
    ApplyMusicGain(e);
  } else if (row == 1) {
    s.seAtt = a;
    for (int ch = 1; ch < kIntroChannel; ++ch) {
      if (!ChannelPlaying(e, ch)) continue;
      st.channelAtt[static_cast<size_t>(ch)] = a;
      ApplyChannelGain(e, ch);
    }
  } else {
    s.voiceAtt = a;
    st.channelAtt[kVoiceChannel] = a;
    ApplyChannelGain(e, kVoiceChannel);
  }
}

int32_t VolumeOf(const Engine& e, int row) {
  int32_t a = row == 0 ? MusicAttenuation(e) : row == 1 ? EffectAttenuation(e) : VoiceAttenuation(e);
  return 100 - std::clamp(a, 0, 100);
}

std::string VolumeBar(int32_t volume) {
  std::string bar;
  for (int k = 0; k < 10; ++k) bar += Sjis(k < (volume + 5) / 10 ? "■" : "□");
  return bar;
}

}  // namespace

void ShowVolumeScreen(Engine& e) {
  const ShellSettings& s = e.shellSettings;
  SavedScreenCopy saved(e);
  MenuScreen screen(e);
  PlayMenuSelectVoice(e, kSoundOpen);
  const char* labels[3] = {"音楽", "効果音", "音声"};
  int32_t W = screen.W(), H = screen.H(), advX = screen.AdvX(), advY = screen.AdvY();
  const int32_t labelX = W / 2 - 7 * advX, barX = W / 2 - 3 * advX;
  auto rowY = [&](int row) { return H / 2 - (1 - row) * advY - advY / 2; };
  int selected = 0;
  auto draw = [&](int row, bool record) {
    screen.Draw(Sjis(labels[row]), labelX, rowY(row), row == selected ? s.menuHoverColour : s.menuNormalColour, record);
    screen.Draw(VolumeBar(VolumeOf(e, row)), barX, rowY(row), s.menuNormalColour, record);
  };
  for (int row = 0; row < 3; ++row) draw(row, true);
  if (!NobodyAnswers(e)) {
    MenuInput input(e);
    while (!WaitAbandoned(e)) {
      input.Pump();
      int d = input.Arrow(false);
      if (d != 0) {
        int old = selected;
        selected = (selected + d + 3) % 3;
        draw(old, false);
        draw(selected, false);
        PlayMenuSelectVoice(e, kSoundHover);
      }
      bool left = KeyHeld(e, vk::kLeft), right = KeyHeld(e, vk::kRight);
      if ((left || right) && input.Arrow(true) != 0) {
        SetVolume(e, selected, VolumeOf(e, selected) + (right ? 10 : -10));
        draw(selected, false);
      }
      if (input.TakeLeftClick()) {
        int32_t px = e.input.pointerX, py = e.input.pointerY;
        int row = -1;
        for (int r = 0; r < 3; ++r) {
          if (py >= rowY(r) && py < rowY(r) + advY) row = r;
        }
        if (row < 0 || px < barX || px >= barX + 10 * advX) break;
        int old = selected;
        selected = row;
        SetVolume(e, row, ((px - barX) / advX + 1) * 10);
        draw(old, false);
        draw(row, false);
      }
      if (input.Cancelled()) {
        input.WaitEscapeReleased();
        break;
      }
    }
  }
  PlayMenuSelectVoice(e, kSoundCancel);
  saved.Restore();
}

}  // namespace sorv
