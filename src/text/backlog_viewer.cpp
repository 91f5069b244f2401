// The backlog viewer: a past page drawn again in the text window, in the
// backlog colour, with an arrow at the window's top-right corner when an
// older page exists and one at its bottom-right corner when a newer one does.
//
// The page goes into the text layer, so the compositor puts the window
// background under it exactly as for live text; the page being written is
// set aside for as long as the viewer is open and put back afterwards.
#include <algorithm>
#include <utility>

#include "archive/lookup.h"
#include "graphics/image_load.h"
#include "graphics/scene.h"
#include "input/input.h"
#include "script/reader.h"
#include "shell/engine.h"
#include "sound/sound.h"
#include "text/backlog_view.h"
#include "text/textflow.h"
#include "text/text_window.h"

namespace sorv {
namespace {

constexpr uint32_t kKeyRepeatMs = 125;

// The file an image tag names: behind the ";" of a tag with options.
std::string FileOfTag(const std::string& tag) {
  if (tag.empty() || tag[0] != ':') return tag;
  size_t semi = tag.find(';');
  return semi == std::string::npos ? std::string() : tag.substr(semi + 1);
}

enum Arrow { kUpHover = 0, kUpNormal = 1, kDownHover = 2, kDownNormal = 3 };

class Viewer {
 public:
  explicit Viewer(Engine& e) : e_(e), v_(e.backlog), log_(e.messageLog) {}

  bool Run() {
    if (log_.entries.empty()) return false;
    LoadArrows();
    v_.open = true;
    v_.page = 1;
    v_.pagesShown = 0;
    // The live page and the window's state are set aside, not lost.
    TextWindow& tw = e_.textWindow;
    savedLayer_ = tw.layer.bits;
    savedCoverage_ = tw.coverage.values;
    savedShown_ = tw.window.shown;
    SaveSpriteArrows();
    Draw();
    Loop();
    tw.layer.bits = std::move(savedLayer_);
    tw.coverage.values = std::move(savedCoverage_);
    tw.window.shown = savedShown_;
    RestoreSpriteArrows();
    RedrawScreenRect(e_, TextRect{0, 0, e_.screenWidth, e_.screenHeight});
    v_.open = false;
    return true;
  }

 private:
  int32_t Pages() const { return static_cast<int32_t>(log_.entries.size()); }
  bool OlderExists() const { return v_.page < Pages(); }
  bool NewerExists() const { return v_.page > 1; }
  bool SpriteArrows() const {
    const TextSettings& s = e_.textSettings;
    return s.lookbackUpSprite >= 0 && s.lookbackUpSprite < kSpriteSlots && s.lookbackDownSprite >= 0 &&
           s.lookbackDownSprite < kSpriteSlots;
  }

  void LoadArrows() {
    if (SpriteArrows()) return;
    const auto& tags = e_.textSettings.lookbackButtons;
    for (size_t k = 0; k < tags.size(); ++k) {
      if (v_.arrowTags[k] == tags[k] && v_.arrows[k].HasSurface()) continue;
      v_.arrows[k].Clear();
      v_.arrowTags[k] = tags[k];
      // A missing picture leaves that arrow out (most games ship none);
      // the viewer still works with the wheel and the keys.
      if (!tags[k].empty() && ArchiveFileExists(e_, FileOfTag(tags[k]))) LoadImage(e_, v_.arrows[k], tags[k]);
    }
  }

  // Where an arrow picture goes: the window's top-right or bottom-right corner.
  Rect ArrowRect(bool up) const {
    const TaggedImage& img = v_.arrows[up ? kUpNormal : kDownNormal];
    const TextWindowState& w = e_.textWindow.window;
    int32_t iw = img.HasSurface() ? img.CellWidth() : 0, ih = img.surface.height;
    int32_t right = std::min(w.right, e_.screenWidth - 1) + 1;
    int32_t top = std::max(w.top, 0), bottom = std::min(w.bottom, e_.screenHeight - 1) + 1;
    return up ? Rect{right - iw, top, right, top + ih} : Rect{right - iw, bottom - ih, right, bottom};
  }

  static bool Inside(const Rect& r, int32_t x, int32_t y) {
    return !r.Empty() && x >= r.left && x < r.right && y >= r.top && y < r.bottom;
  }

  // +1 over the up arrow, -1 over the down arrow, 0 elsewhere.
  int HoverAt(int32_t x, int32_t y) const {
    if (SpriteArrows()) {
      const auto& sprites = e_.scene.sprites;
      const Sprite& up = sprites[static_cast<size_t>(e_.textSettings.lookbackUpSprite)];
      const Sprite& down = sprites[static_cast<size_t>(e_.textSettings.lookbackDownSprite)];
      if (OlderExists() && Inside(SpriteRect(up), x, y)) return 1;
      if (NewerExists() && Inside(SpriteRect(down), x, y)) return -1;
      return 0;
    }
    if (OlderExists() && Inside(ArrowRect(true), x, y)) return 1;
    if (NewerExists() && Inside(ArrowRect(false), x, y)) return -1;
    return 0;
  }

  GlyphStyle Style() const {
    GlyphStyle style = WindowGlyphStyle(e_);
    int32_t colour = e_.textSettings.backlogColour;
    style.colour = colour >= 0 ? colour : e_.textWindow.colour.Rgb();
    style.writeLayer = true;
    return style;
  }

  // The page into the text layer: "\n" and the window's last column break
  // lines; "(base/ruby)" groups draw the base, and the ruby over it when
  // ruby is on.
  void RenderPage(const std::string& text) {
    TextWindow& tw = e_.textWindow;
    std::fill(tw.layer.bits.begin(), tw.layer.bits.end(), 0);
    std::fill(tw.coverage.values.begin(), tw.coverage.values.end(), 0);
    const TextWindowState& w = tw.window;
    bool vertical = tw.verticalActive;
    int32_t columns = vertical ? w.rows : w.columns;
    int32_t lines = vertical ? w.columns : w.rows;
    int32_t rubyMode = e_.text.rubyMode;
    bool ruby = rubyMode == 1 || (rubyMode == 2 && text.find('(') != std::string::npos);
    int32_t rubyOffset = 0;
    if (ruby && !vertical) {
      rubyOffset = w.advanceY - w.glyphH;
      if (rubyMode == 2) rubyOffset += e_.text.rubyH < 0 ? w.glyphH / 2 : e_.text.rubyH;
    }
    GlyphStyle style = Style();
    ScreenView screen = TextScreen(e_);
    int32_t column = 0, line = 0;
    int32_t rubyStartX = 0, rubyStartY = 0, rubyStartColumn = 0;
    bool inBase = false, inRuby = false;
    std::string rubyText;
    for (size_t i = 0; i < text.size() && line < lines;) {
      unsigned char c = static_cast<unsigned char>(text[i]);
      if (c == '\n') {
        ++line;
        column = 0;
        ++i;
        continue;
      }
      if (c == '(' && !inBase && !inRuby) {
        inBase = true;
        CellPosition(e_, column, line, rubyStartX, rubyStartY);
        rubyStartColumn = column;
        ++i;
        continue;
      }
      if (c == '/' && inBase) {
        inBase = false;
        inRuby = true;
        rubyText.clear();
        ++i;
        continue;
      }
      if (c == ')' && inRuby) {
        inRuby = false;
        int32_t chars = column - rubyStartColumn;
        if (ruby && chars > 0 && !rubyText.empty()) {
          RubyStyle rs;
          rs.face = e_.text.rubyFace;
          rs.rubyW = e_.text.rubyW;
          rs.rubyH = e_.text.rubyH;
          rs.colour = style.colour;
          int32_t advance = vertical ? w.advanceY : w.advanceX;
          DrawRuby(e_, rubyText, rubyStartX, rubyStartY + rubyOffset, chars * advance, rs, false);
        }
        ++i;
        continue;
      }
      bool wide = IsLeadByte(c) && i + 1 < text.size();
      if (!wide) {  // other single bytes draw nothing
        ++i;
        continue;
      }
      if (inRuby) {
        rubyText.append(text, i, 2);
        i += 2;
        continue;
      }
      if (column >= columns) {
        ++line;
        column = 0;
        if (line >= lines) break;
      }
      int32_t x = 0, y = 0;
      CellPosition(e_, column, line, x, y);
      if (!vertical) y += rubyOffset;
      char ch[2] = {text[i], text[i + 1]};
      DrawGlyph(e_, screen, ch, x, y, style);
      ++column;
      i += 2;
    }
  }

  void Draw() {
    const std::string& text = log_.entries[log_.entries.size() - static_cast<size_t>(v_.page)];
    RenderPage(text);
    v_.shownText = text;
    e_.textWindow.window.shown = 1;
    ++v_.pagesShown;
    if (SpriteArrows()) {
      ShowSpriteArrows();
      RedrawScreenRect(e_, TextRect{0, 0, e_.screenWidth, e_.screenHeight});
      return;
    }
    RedrawScreenRect(e_, WindowRect(e_, 2));
    DrawArrows();
  }

  // The arrow pictures straight onto the screen image over the window.
  void DrawArrows() {
    Surface& target = e_.scene.scene;
    if (target.Empty()) return;
    Rect screen{0, 0, e_.screenWidth, e_.screenHeight};
    if (OlderExists()) {
      Rect r = ArrowRect(true);
      DrawImage(v_.arrows[hover_ == 1 ? kUpHover : kUpNormal], target, r.left, r.top, screen);
    }
    if (NewerExists()) {
      Rect r = ArrowRect(false);
      DrawImage(v_.arrows[hover_ == -1 ? kDownHover : kDownNormal], target, r.left, r.top, screen);
    }
    if (e_.textWindow.hooks.present) e_.textWindow.hooks.present(e_, WindowRect(e_, 2));
  }

  void RedrawArrows() {
    if (SpriteArrows()) {
      ShowSpriteArrows();
      RedrawScreenRect(e_, TextRect{0, 0, e_.screenWidth, e_.screenHeight});
      return;
    }
    // The window again from the layer, then the arrows in their new state.
    RedrawScreenRect(e_, WindowRect(e_, 2));
    DrawArrows();
  }

  // lookbacksp: the two sprites are the arrows, cell 1 hovered, cell 0 normal.
  void SaveSpriteArrows() {
    if (!SpriteArrows()) return;
    const auto& sprites = e_.scene.sprites;
    upWasVisible_ = sprites[static_cast<size_t>(e_.textSettings.lookbackUpSprite)].visible;
    downWasVisible_ = sprites[static_cast<size_t>(e_.textSettings.lookbackDownSprite)].visible;
  }

  void ShowSpriteArrows() {
    auto& sprites = e_.scene.sprites;
    Sprite& up = sprites[static_cast<size_t>(e_.textSettings.lookbackUpSprite)];
    Sprite& down = sprites[static_cast<size_t>(e_.textSettings.lookbackDownSprite)];
    up.visible = OlderExists();
    down.visible = NewerExists();
    up.image.currentCell = std::min(hover_ == 1 ? 1 : 0, std::max(up.image.cellCount - 1, 0));
    down.image.currentCell = std::min(hover_ == -1 ? 1 : 0, std::max(down.image.cellCount - 1, 0));
  }

  void RestoreSpriteArrows() {
    if (!SpriteArrows()) return;
    auto& sprites = e_.scene.sprites;
    Sprite& up = sprites[static_cast<size_t>(e_.textSettings.lookbackUpSprite)];
    Sprite& down = sprites[static_cast<size_t>(e_.textSettings.lookbackDownSprite)];
    up.visible = upWasVisible_;
    down.visible = downWasVisible_;
    up.image.currentCell = down.image.currentCell = 0;
  }

  void Turn(int direction) {
    if (direction > 0 && !OlderExists()) return;
    if (direction < 0 && !NewerExists()) return;
    v_.page += direction;
    hover_ = HoverAt(e_.input.pointerX, e_.input.pointerY);
    PlayLookbackVoice(e_);
    Draw();
  }

  void Loop() {
    InputState& in = e_.input;
    InterpState& interp = e_.interp;
    interp.leftClickFlag = interp.rightClickFlag = false;
    DiscardPendingInput(e_, true);
    hover_ = HoverAt(in.pointerX, in.pointerY);
    if (!e_.platform || e_.platform->Unattended()) return;
    uint32_t lastKey = e_.platform->NowMs() - kKeyRepeatMs;
    bool escapeDown = false;
    while (!WaitAbandoned(e_)) {
      bool got = PumpInput(e_);
      if (got && in.lastMessage == InputMessage::Move) {
        int h = HoverAt(in.pointerX, in.pointerY);
        if (h != hover_) {
          hover_ = h;
          RedrawArrows();
        }
      }
      if (got && in.lastMessage == InputMessage::Wheel) Turn(in.wheelDelta > 0 ? 1 : -1);
      int key = KeyHeld(e_, vk::kPageUp) || KeyHeld(e_, vk::kUp)       ? 1
                : KeyHeld(e_, vk::kPageDown) || KeyHeld(e_, vk::kDown) ? -1
                                                                       : 0;
      uint32_t now = e_.platform->NowMs();
      if (key != 0 && now - lastKey >= kKeyRepeatMs) {
        lastKey = now;
        Turn(key);
      }
      if (interp.leftClickFlag) {
        interp.leftClickFlag = false;
        int h = HoverAt(in.pointerX, in.pointerY);
        if (h == 0) break;
        Turn(h);
      }
      if (interp.rightClickFlag) {
        interp.rightClickFlag = false;
        break;
      }
      if (KeyHeld(e_, vk::kEscape)) {
        escapeDown = true;
      } else if (escapeDown) {
        break;
      }
      if (!got) e_.platform->SleepMs(1);
    }
    // The click that closed the viewer is not also a click for the wait
    // that opened it.
    interp.leftClickFlag = interp.rightClickFlag = false;
  }

  Engine& e_;
  BacklogView& v_;
  MessageLog& log_;
  std::vector<uint8_t> savedLayer_, savedCoverage_;
  int32_t savedShown_ = 0;
  bool upWasVisible_ = false, downWasVisible_ = false;
  int hover_ = 0;
};

}  // namespace

bool OpenBacklog(Engine& e) { return Viewer(e).Run(); }

}  // namespace sorv
