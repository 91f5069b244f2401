// The menu bar drawn by the engine: the strip, the drop-down menus and the
// tracking loop that runs while one is open.
#include "shell/menubar.h"

#include <algorithm>
#include <string>

#include "graphics/scene.h"
#include "platform/encoding.h"
#include "shell/engine.h"
#include "shell/menu.h"
#include "shell/window.h"

namespace sorv {
namespace {

constexpr int32_t kFace = 0xD4D0C8;       // strip and menu background
constexpr int32_t kShade = 0x808080;      // borders
constexpr int32_t kSelected = 0x0A246A;   // the open title, the item under the pointer
constexpr int32_t kText = 0x000000;
constexpr int32_t kSelectedText = 0xFFFFFF;
constexpr int kTitlePad = 5;  // each side of a title
constexpr int kItemLeft = 20;  // room for the check mark
constexpr int kItemRight = 20;  // room for the submenu arrow

}  // namespace

void Put(const ScreenView& v, int x, int y, int32_t rgb) {
  if (x < 0 || y < 0 || x >= v.width || y >= v.height) return;
  uint8_t* p = v.TopRow(y) + static_cast<size_t>(x) * 3;
  p[0] = static_cast<uint8_t>(rgb);
  p[1] = static_cast<uint8_t>(rgb >> 8);
  p[2] = static_cast<uint8_t>(rgb >> 16);
}

void Fill(const ScreenView& v, TextRect r, int32_t rgb) {
  for (int y = std::max(r.y, 0); y < std::min(r.y + r.h, v.height); ++y) {
    for (int x = std::max(r.x, 0); x < std::min(r.x + r.w, v.width); ++x) Put(v, x, y, rgb);
  }
}

void Frame(const ScreenView& v, TextRect r, int32_t rgb) {
  Fill(v, {r.x, r.y, r.w, 1}, rgb);
  Fill(v, {r.x, r.y + r.h - 1, r.w, 1}, rgb);
  Fill(v, {r.x, r.y, 1, r.h}, rgb);
  Fill(v, {r.x + r.w - 1, r.y, 1, r.h}, rgb);
}

int TextWidth(const std::string& sjis) {
  int w = 0;
  for (size_t i = 0; i < sjis.size();) {
    auto b = static_cast<unsigned char>(sjis[i]);
    bool wide = ((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC)) && i + 1 < sjis.size();
    w += wide ? kMenuGlyph : kMenuGlyph / 2;
    i += wide ? 2 : 1;
  }
  return w;
}

void DrawText(Engine& e, const ScreenView& v, const std::string& sjis, int x, int y, int32_t colour) {
  GlyphStyle style;
  style.face = !e.menu.menuFace.empty() ? e.menu.menuFace : e.textSettings.defaultFace;
  style.glyphW = style.glyphH = kMenuGlyph;
  style.bold = style.shadow = false;
  style.colour = colour;
  style.writeLayer = false;
  for (size_t i = 0; i < sjis.size();) {
    auto b = static_cast<unsigned char>(sjis[i]);
    bool wide = ((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC)) && i + 1 < sjis.size();
    char ch[2] = {sjis[i], wide ? sjis[i + 1] : '\0'};
    GlyphStyle cs = style;
    if (!wide) cs.glyphW = kMenuGlyph / 2;
    if (b > ' ') DrawGlyph(e, v, ch, x, y, cs);
    x += wide ? kMenuGlyph : kMenuGlyph / 2;
    i += wide ? 2 : 1;
  }
}

namespace {

std::string SjisText(const MenuItem& m) { return platform::Utf8ToSjis(m.text); }

void CheckMark(const ScreenView& v, int x, int y, int32_t rgb) {
  // A tick: down three rows, then up six.
  for (int k = 0; k < 3; ++k) {
    Put(v, x + k, y + 4 + k, rgb);
    Put(v, x + k, y + 5 + k, rgb);
  }
  for (int k = 0; k < 6; ++k) {
    Put(v, x + 3 + k, y + 6 - k, rgb);
    Put(v, x + 3 + k, y + 7 - k, rgb);
  }
}

void Arrow(const ScreenView& v, int x, int y, int32_t rgb) {
  for (int k = 0; k < 4; ++k) Fill(v, {x + k, y + k, 1, 8 - 2 * k}, rgb);
}

// One open drop-down menu.
struct Level {
  std::vector<MenuItem>* items = nullptr;
  int sel = -1;
  TextRect box;
  int rowsPerColumn = 1, columnWidth = 0;

  TextRect Row(int i) const {
    int col = i / rowsPerColumn, row = i % rowsPerColumn;
    return {box.x + 1 + col * columnWidth, box.y + 1 + row * kMenuRowHeight, columnWidth, kMenuRowHeight};
  }
  int At(int x, int y) const {
    if (!items) return -1;
    for (int i = 0; i < static_cast<int>(items->size()); ++i) {
      TextRect r = Row(i);
      if (x >= r.x && x < r.x + r.w && y >= r.y && y < r.y + r.h) return i;
    }
    return -1;
  }
  bool Contains(int x, int y) const { return x >= box.x && x < box.x + box.w && y >= box.y && y < box.y + box.h; }
};

// Places a drop-down whose top-left would be (x, y), in columns when it is
// taller than the picture, moved left or up to stay on it.
Level Layout(Engine& e, std::vector<MenuItem>* items, int x, int y) {
  Level l;
  l.items = items;
  int n = static_cast<int>(items->size());
  int width = 0;
  for (const MenuItem& m : *items) width = std::max(width, TextWidth(SjisText(m)));
  l.columnWidth = kItemLeft + width + kItemRight;
  int fit = std::max(1, (e.screenHeight - 2) / kMenuRowHeight);
  l.rowsPerColumn = std::max(1, std::min(n, fit));
  int columns = n == 0 ? 1 : (n + l.rowsPerColumn - 1) / l.rowsPerColumn;
  l.box.w = columns * l.columnWidth + 2;
  l.box.h = (n == 0 ? 0 : l.rowsPerColumn) * kMenuRowHeight + 2;
  l.box.x = std::max(0, std::min(x, e.screenWidth - l.box.w));
  l.box.y = std::max(0, std::min(y, e.screenHeight - l.box.h));
  return l;
}

void DrawLevel(Engine& e, const ScreenView& v, const Level& l) {
  Fill(v, l.box, kFace);
  Frame(v, l.box, kShade);
  for (int i = 0; i < static_cast<int>(l.items->size()); ++i) {
    const MenuItem& m = (*l.items)[static_cast<size_t>(i)];
    TextRect r = l.Row(i);
    bool sel = i == l.sel;
    int32_t ink = sel ? kSelectedText : kText;
    if (sel) Fill(v, r, kSelected);
    if (m.checked && !m.submenu) CheckMark(v, r.x + 5, r.y + 5, ink);
    DrawText(e, v, SjisText(m), r.x + kItemLeft, r.y + (kMenuRowHeight - kMenuGlyph) / 2, ink);
    if (m.submenu) Arrow(v, r.x + r.w - 12, r.y + 6, ink);
  }
}

// The modal loop of an open menu. Level 0 is the bar, its `sel` the title.
class Tracker {
 public:
  explicit Tracker(Engine& e) : e_(e) {}

  // Returns the chosen command, or -1.
  int Run(int title, bool open, bool keyboard) {
    keyboard_ = keyboard;
    Select(title, open);
    Draw();
    while (!done_) {
      if (e_.app.closeRequested) break;
      platform::Event ev;
      if (!TakeWindowEvent(e_, ev)) {
        e_.platform->IdleWaitMs(10);
        continue;
      }
      Handle(ev);
      if (!done_) Draw();
    }
    return chosen_;
  }

 private:
  using T = platform::Event::Type;

  void Select(int title, bool open) {
    auto& bar = e_.menu.bar;
    int n = static_cast<int>(bar.size());
    if (n == 0) {
      done_ = true;
      return;
    }
    title = (title % n + n) % n;
    title_ = title;
    titles_ = MenuTitleRects(e_);
    levels_.clear();
    MenuItem& m = bar[static_cast<size_t>(title)];
    if (open && m.submenu) Open(m, titles_.empty() ? 0 : titles_[static_cast<size_t>(title)].x, 0, keyboard_ ? 0 : -1);
  }

  void Open(MenuItem& m, int x, int y, int sel) {
    if (m.fontList && !e_.menu.customised && !e_.menu.fontsFilled) {
      e_.menu.fontsFilled = true;
      FillFontMenu(e_, m);
    }
    Level l = Layout(e_, &m.items, x, y);
    l.sel = m.items.empty() ? -1 : sel;
    levels_.push_back(l);
  }

  void Draw() {
    titles_ = MenuTitleRects(e_);
    std::vector<uint8_t> band;
    DrawMenuBand(e_, band, e_.screenWidth, title_);
    e_.platform->PresentMenuBand(band.data(), e_.screenWidth, MenuBandHeight(e_), (e_.screenWidth * 3 + 3) & ~3);
    Surface& d = e_.scene.display;
    if (d.Empty()) return;
    std::vector<uint8_t> copy = d.bits;
    ScreenView v{copy.data(), d.width, d.height, d.stride};
    for (const Level& l : levels_) DrawLevel(e_, v, l);
    e_.platform->Present(copy.data(), d.width, d.height, d.stride);
  }

  int TitleAt(int x, int y) const {
    int band = MenuBandHeight(e_);
    if (y >= 0 || y < -band) return -1;
    y += band;
    for (size_t i = 0; i < titles_.size(); ++i) {
      const TextRect& r = titles_[i];
      if (x >= r.x && x < r.x + r.w && y >= r.y - 1 && y < r.y - 1 + kMenuBandHeight) return static_cast<int>(i);
    }
    return -1;
  }

  // The deepest open level under the point, or -1.
  int LevelAt(int x, int y) const {
    for (int k = static_cast<int>(levels_.size()) - 1; k >= 0; --k) {
      if (levels_[static_cast<size_t>(k)].Contains(x, y)) return k;
    }
    return -1;
  }

  void Hover(int k, int i, bool openSub) {
    levels_.resize(static_cast<size_t>(k) + 1);
    Level& l = levels_.back();
    l.sel = i;
    if (i < 0) return;
    MenuItem& m = (*l.items)[static_cast<size_t>(i)];
    if (m.submenu && openSub) {
      TextRect r = l.Row(i);
      Open(m, r.x + r.w, r.y - 1, -1);
    }
  }

  // The menu goes at once; the loop ends with the press's release.
  void Close() {
    closing_ = true;
    levels_.clear();
    title_ = -1;
  }

  void Choose(const MenuItem& m) {
    if (m.submenu) return;
    chosen_ = m.command;
    done_ = true;
  }

  void Handle(const platform::Event& ev) {
    switch (ev.type) {
      case T::MouseMove: {
        int t = TitleAt(ev.x, ev.y);
        if (t >= 0 && t != title_ && !levels_.empty()) Select(t, true);
        int k = LevelAt(ev.x, ev.y);
        if (k >= 0) {
          int i = levels_[static_cast<size_t>(k)].At(ev.x, ev.y);
          if (i >= 0 && i != levels_[static_cast<size_t>(k)].sel) Hover(k, i, true);
        }
        break;
      }
      case T::MouseDown: {
        if (closing_) break;
        int t = TitleAt(ev.x, ev.y);
        if (t >= 0) {
          // A press on the open title closes the menu again.
          if (t == title_ && !levels_.empty()) {
            Close();
          } else {
            Select(t, true);
          }
        } else if (LevelAt(ev.x, ev.y) < 0) {
          // A press elsewhere leaves the menu; neither it nor its release
          // reaches the game.
          Close();
        }
        break;
      }
      case T::MouseUp: {
        if (closing_) {
          done_ = true;
          break;
        }
        int t = TitleAt(ev.x, ev.y);
        if (t >= 0 && t == title_ && levels_.empty()) {
          Choose(e_.menu.bar[static_cast<size_t>(t)]);
          break;
        }
        int k = LevelAt(ev.x, ev.y);
        if (k < 0) break;
        Level& l = levels_[static_cast<size_t>(k)];
        int i = l.At(ev.x, ev.y);
        if (i < 0) break;
        MenuItem& m = (*l.items)[static_cast<size_t>(i)];
        if (m.submenu) {
          Hover(k, i, true);
        } else {
          Choose(m);
        }
        break;
      }
      case T::KeyDown:
        if (!closing_) Key(ev.vk);
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

  void Key(int vk) {
    switch (vk) {
      case 0x1B:  // Escape: one level back; from the bar, out
        if (levels_.size() > 1) {
          levels_.pop_back();
        } else if (levels_.size() == 1 && keyboard_) {
          levels_.clear();
        } else {
          done_ = true;
        }
        break;
      case 0x79:  // F10 and Alt leave the menu
      case 0x12:
        done_ = true;
        break;
      case 0x25:  // Left
        if (levels_.size() > 1) {
          levels_.pop_back();
        } else {
          Select(title_ - 1, !levels_.empty());
        }
        break;
      case 0x27: {  // Right
        Level* l = levels_.empty() ? nullptr : &levels_.back();
        if (l && l->sel >= 0 && (*l->items)[static_cast<size_t>(l->sel)].submenu) {
          Hover(static_cast<int>(levels_.size()) - 1, l->sel, true);
          if (!levels_.back().items->empty()) levels_.back().sel = 0;
        } else {
          Select(title_ + 1, !levels_.empty());
        }
        break;
      }
      case 0x26:  // Up
      case 0x28: {  // Down
        if (levels_.empty()) {
          Select(title_, true);
          break;
        }
        Level& l = levels_.back();
        int n = static_cast<int>(l.items->size());
        if (n == 0) break;
        int d = vk == 0x26 ? -1 : 1;
        l.sel = l.sel < 0 ? (d > 0 ? 0 : n - 1) : ((l.sel + d) % n + n) % n;
        break;
      }
      case 0x0D: {  // Enter
        if (levels_.empty()) {
          MenuItem& m = e_.menu.bar[static_cast<size_t>(title_)];
          if (m.submenu) {
            Select(title_, true);
          } else {
            Choose(m);
          }
          break;
        }
        Level& l = levels_.back();
        if (l.sel < 0) break;
        MenuItem& m = (*l.items)[static_cast<size_t>(l.sel)];
        if (m.submenu) {
          Hover(static_cast<int>(levels_.size()) - 1, l.sel, true);
          if (!levels_.back().items->empty()) levels_.back().sel = 0;
        } else {
          Choose(m);
        }
        break;
      }
      default:
        break;
    }
  }

  Engine& e_;
  bool keyboard_ = false;
  int title_ = 0;
  std::vector<Level> levels_;
  std::vector<TextRect> titles_;
  bool done_ = false, closing_ = false;
  int chosen_ = -1;
};

// Runs the tracker and then the command; the picture and the strip are
// shown as they were before it opened.
void Track(Engine& e, int title, bool open, bool keyboard) {
  e.menu.busy = true;
  int command = -1;
  try {
    Tracker t(e);
    command = t.Run(title, open, keyboard);
  } catch (...) {
    e.menu.busy = false;
    throw;
  }
  e.menu.busy = false;
  e.menu.bandRevision = ~0u;
  UpdateMenuBand(e);
  PresentDisplay(e);
  if (command >= 0) RunMenuCommand(e, command);
}

}  // namespace

bool TakeWindowEvent(Engine& e, platform::Event& ev) {
  if (!e.app.queue.empty()) {
    ev = e.app.queue.front();
    e.app.queue.pop_front();
    return true;
  }
  return e.platform && e.platform->PollEvent(ev);
}

int WantedMenuBand(const Engine& e) {
  if (!e.platform || !e.platform->HasMenuBand()) return 0;
  if (e.menu.removed || e.app.fullscreen || e.menu.bar.empty()) return 0;
  return MenuBandHeight(e);
}

int MenuBandHeight(const Engine& e) {
  std::vector<TextRect> rects = MenuTitleRects(e);
  return rects.empty() ? kMenuBandHeight : rects.back().y - 1 + kMenuBandHeight;
}

void UpdateMenuBand(Engine& e) {
  if (!e.platform) return;
  MenuState& m = e.menu;
  int want = WantedMenuBand(e);
  bool stale = m.bandRevision != m.revision || m.bandWidth != e.screenWidth;
  if (want != m.bandShown) {
    e.platform->SetMenuBand(want);
    m.bandShown = want;
    stale = true;
  }
  m.bandRevision = m.revision;
  m.bandWidth = e.screenWidth;
  m.bandFullscreen = e.app.fullscreen;
  if (want == 0 || !stale) return;
  std::vector<uint8_t> band;
  DrawMenuBand(e, band, e.screenWidth, -1);
  e.platform->PresentMenuBand(band.data(), e.screenWidth, want, (e.screenWidth * 3 + 3) & ~3);
}

// Titles that do not fit on a row go to the next, as a narrow window's
// menu bar wraps.
std::vector<TextRect> MenuTitleRects(const Engine& e) {
  std::vector<TextRect> rects;
  int x = 2, y = 1;
  for (const MenuItem& m : e.menu.bar) {
    int w = TextWidth(SjisText(m)) + 2 * kTitlePad;
    if (x > 2 && x + w > e.screenWidth) {
      x = 2;
      y += kMenuBandHeight;
    }
    rects.push_back(TextRect{x, y, w, kMenuBandHeight - 2});
    x += w;
  }
  return rects;
}

void DrawMenuBand(Engine& e, std::vector<uint8_t>& bits, int width, int highlight) {
  int stride = (width * 3 + 3) & ~3;
  int height = MenuBandHeight(e);
  bits.assign(static_cast<size_t>(stride) * height, 0);
  ScreenView v{bits.data(), width, height, stride};
  Fill(v, {0, 0, width, height}, kFace);
  Fill(v, {0, height - 1, width, 1}, kShade);
  std::vector<TextRect> rects = MenuTitleRects(e);
  for (size_t i = 0; i < rects.size(); ++i) {
    bool sel = static_cast<int>(i) == highlight;
    if (sel) Fill(v, rects[i], kSelected);
    DrawText(e, v, SjisText(e.menu.bar[i]), rects[i].x + kTitlePad, rects[i].y - 1 + (kMenuBandHeight - kMenuGlyph) / 2,
             sel ? kSelectedText : kText);
  }
}

bool MenuBarEvent(Engine& e, const platform::Event& ev) {
  using T = platform::Event::Type;
  MenuState& m = e.menu;
  bool shown = m.bandShown > 0;
  switch (ev.type) {
    case T::KeyDown:
      if (ev.vk == 0x12) {
        if (!ev.repeat) m.altAlone = true;
        return false;
      }
      m.altAlone = false;
      if (ev.vk == 0x79) {  // F10 opens the menu, and the game never sees it
        if (shown && !m.busy) Track(e, 0, false, true);
        return true;
      }
      return false;
    case T::KeyUp:
      if (ev.vk == 0x12 && m.altAlone) {
        m.altAlone = false;
        if (shown && !m.busy) Track(e, 0, false, true);
      }
      return false;
    case T::MouseDown:
    case T::MouseUp:
    case T::MouseMove:
    case T::Wheel:
      if (ev.type == T::MouseDown) m.altAlone = false;
      if (!shown || ev.y >= 0) return false;
      if (ev.type == T::MouseDown && !m.busy && ev.button == platform::MouseButton::Left) {
        std::vector<TextRect> rects = MenuTitleRects(e);
        for (size_t i = 0; i < rects.size(); ++i) {
          if (ev.x >= rects[i].x && ev.x < rects[i].x + rects[i].w) {
            Track(e, static_cast<int>(i), true, false);
            break;
          }
        }
      }
      return true;  // over the strip: never the game's
    default:
      return false;
  }
}

}  // namespace sorv
