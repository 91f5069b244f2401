// The input dialog and the edit field on the game screen, and the commands
// that open them. The field reads the platform's events itself: typed text
// arrives as text events (an input method delivers its result the same
// way), and the keys that edit never reach the game's own key handling, so
// typing "n" does not start skip mode.
#include <algorithm>
#include <cstring>

#include "graphics/scene.h"
#include "input/input.h"
#include "input/textinput.h"
#include "platform/encoding.h"
#include "script/reader.h"
#include "shell/engine.h"
#include "shell/window.h"
#include "text/text_window.h"
#include "values/values.h"

namespace sorv {
namespace {

constexpr int32_t kFieldText = 0x000000, kFieldBack = 0xFFFFFF, kFieldBorder = 0x7F9DB9;
constexpr int32_t kSelectionBack = 0x3399FF, kSelectionText = 0xFFFFFF;
constexpr int32_t kDialogBack = 0xF0F0F0, kDialogBorder = 0x404040, kTitleBack = 0x3A6EA5;
constexpr int32_t kDialogGlyph = 16;
constexpr int32_t kMaxFieldGlyph = 256;
// The face of the edit field: "黑体" as games name it (GB2312 bytes).
constexpr const char* kFieldFace = "\xBA\xDA\xCC\xE5";

struct EntryLayout {
  bool dialog = true;
  std::string title, prompt, buttonText;  // Shift-JIS
  TextRect panel, titleBar, promptAt, field, button;
  int32_t glyphW = kDialogGlyph / 2, glyphH = kDialogGlyph;  // a half-width character's cell
  std::string face;
};

enum class EntryEnd { Confirmed, Tab, Cancelled, Abandoned, Unattended };

bool Inside(const TextRect& r, int32_t x, int32_t y) { return x >= r.x && x < r.x + r.w && y >= r.y && y < r.y + r.h; }

void Fill(Surface& s, const TextRect& r, int32_t colour) { FillRect(s, Rect{r.x, r.y, r.x + r.w, r.y + r.h}, colour); }

void Frame(Surface& s, const TextRect& r, int32_t colour) {
  Fill(s, {r.x, r.y, r.w, 1}, colour);
  Fill(s, {r.x, r.y + r.h - 1, r.w, 1}, colour);
  Fill(s, {r.x, r.y, 1, r.h}, colour);
  Fill(s, {r.x + r.w - 1, r.y, 1, r.h}, colour);
}

class EntryScreen {
 public:
  EntryScreen(Engine& e, EntryLayout layout, TextEdit& edit)
      : e_(e), l_(std::move(layout)), edit_(edit), saved_(e.scene.scene.bits) {}

  // Puts back what the dialog or field covered.
  void Restore() {
    Surface& s = e_.scene.scene;
    if (saved_.size() == s.bits.size()) s.bits = saved_;
    Present(TextRect{0, 0, e_.screenWidth, e_.screenHeight});
  }

  EntryEnd Run() {
    DrawAll();
    if (!e_.platform || e_.platform->Unattended()) return EntryEnd::Unattended;
    const TextRect& f = l_.field;
    e_.platform->SetTextInputArea(f.x, f.y, f.w, f.h);
    InputState& in = e_.input;
    bool dragging = false, buttonPressed = false, pressOutside = false;
    while (!WaitAbandoned(e_)) {
      FillMessageQueue(e_);
      auto& q = e_.app.queue;
      if (q.empty()) {
        bool dirty = !e_.scene.dirty.Empty();
        if (!l_.dialog) RunIdleStep(e_);
        if (dirty) DrawAll();  // the compositor drew over the field
        e_.platform->SleepMs(1);
        continue;
      }
      platform::Event ev = q.front();
      q.pop_front();
      using T = platform::Event::Type;
      switch (ev.type) {
        case T::KeyDown: {
          in.keyHeld[static_cast<size_t>(ev.vk) & 0xFF] = true;
          if (ev.vk == vk::kReturn) return EntryEnd::Confirmed;
          if (ev.vk == vk::kEscape) return EntryEnd::Cancelled;
          if (ev.vk == vk::kTab && !l_.dialog) return EntryEnd::Tab;
          EditKey(ev.vk);
          break;
        }
        case T::KeyUp:
          HandleInputEvent(e_, ev);
          break;
        case T::Text:
          if (!Held(vk::kControl) && edit_.Type(ev.ch)) DrawField();
          break;
        case T::MouseDown:
          in.pointerX = ev.x, in.pointerY = ev.y;
          if (ev.button != platform::MouseButton::Left) break;
          in.leftHeld = true;
          if (Inside(f, ev.x, ev.y)) {
            edit_.SetCaret(IndexAt(ev.x), Held(vk::kShift));
            dragging = true;
            DrawField();
          } else if (l_.dialog && Inside(l_.button, ev.x, ev.y)) {
            buttonPressed = true;
          } else {
            pressOutside = true;
          }
          break;
        case T::MouseMove:
          in.pointerX = ev.x, in.pointerY = ev.y;
          if (dragging && in.leftHeld) {
            edit_.SetCaret(IndexAt(ev.x), true);
            DrawField();
          }
          break;
        case T::MouseUp:
          in.pointerX = ev.x, in.pointerY = ev.y;
          if (ev.button != platform::MouseButton::Left) break;
          in.leftHeld = false;
          dragging = false;
          if (buttonPressed && Inside(l_.button, ev.x, ev.y)) return EntryEnd::Confirmed;
          // A click on the game screen outside the field ends the field.
          if (!l_.dialog && pressOutside) return EntryEnd::Confirmed;
          buttonPressed = pressOutside = false;
          break;
        case T::Wheel:
          break;
        default:
          WindowProc(e_, ev);  // closing, focus, repainting
          if (ev.type == T::Expose) DrawAll();
          break;
      }
    }
    return EntryEnd::Abandoned;
  }

  void DrawAll() {
    Surface& s = e_.scene.scene;
    if (s.Empty()) return;
    if (l_.dialog) {
      const TextRect& p = l_.panel;
      Fill(s, p, kDialogBack);
      Frame(s, p, kDialogBorder);
      Fill(s, l_.titleBar, kTitleBack);
      DrawText(s, l_.title, l_.titleBar.x + 6, l_.titleBar.y + (l_.titleBar.h - kDialogGlyph) / 2, 0xFFFFFF,
               kDialogGlyph / 2, kDialogGlyph, l_.panel);
      DrawText(s, l_.prompt, l_.promptAt.x, l_.promptAt.y, 0x000000, kDialogGlyph / 2, kDialogGlyph, l_.panel);
      const TextRect& b = l_.button;
      Fill(s, b, 0xE1E1E1);
      Frame(s, b, 0xADADAD);
      int32_t textW = static_cast<int32_t>(l_.buttonText.size()) * kDialogGlyph / 2;
      DrawText(s, l_.buttonText, b.x + (b.w - textW) / 2, b.y + (b.h - kDialogGlyph) / 2, 0x000000, kDialogGlyph / 2,
               kDialogGlyph, b);
      Present(p);
    }
    DrawField();
  }

 private:
  bool Held(int key) const { return e_.input.keyHeld[static_cast<size_t>(key)]; }

  void Present(const TextRect& r) {
    if (e_.textWindow.hooks.present) e_.textWindow.hooks.present(e_, r);
  }

  int32_t CharWidth(size_t i) const { return edit_.CharAt(i).size() == 2 ? 2 * l_.glyphW : l_.glyphW; }

  int32_t XOf(size_t index) const {
    int32_t x = 0;
    for (size_t i = 0; i < index && i < edit_.Length(); ++i) x += CharWidth(i);
    return x;
  }

  size_t IndexAt(int32_t px) const {
    int32_t x = px - (l_.field.x + kPad) + scroll_;
    int32_t at = 0;
    for (size_t i = 0; i < edit_.Length(); ++i) {
      int32_t w = CharWidth(i);
      if (x < at + w / 2) return i;
      at += w;
    }
    return edit_.Length();
  }

  void EditKey(int key) {
    bool shift = Held(vk::kShift), ctrl = Held(vk::kControl);
    switch (key) {
      case vk::kBackspace: edit_.Backspace(); break;
      case 0x2E: edit_.Delete(); break;  // Delete
      case vk::kLeft: edit_.Left(shift); break;
      case vk::kRight: edit_.Right(shift); break;
      case 0x24: edit_.Home(shift); break;  // Home
      case 0x23: edit_.End(shift); break;   // End
      case 'A':
        if (ctrl) edit_.SelectAll();
        break;
      case 'C':
      case 'X':
        if (ctrl && edit_.HasSelection()) {
          e_.platform->SetClipboardText(platform::SjisToUtf8(edit_.SelectedText()));
          if (key == 'X') edit_.Delete();
        }
        break;
      case 'V':
        if (ctrl) edit_.Paste(e_.platform->ClipboardText());
        break;
      default: return;
    }
    DrawField();
  }

  // The field: its own small picture, so the text is clipped to it, then
  // copied onto the screen.
  void DrawField() {
    Surface& s = e_.scene.scene;
    const TextRect f = l_.field;
    if (s.Empty() || f.Empty()) return;
    Surface pic;
    if (!CreateSurface(pic, f.w, f.h)) return;
    TextRect all{0, 0, f.w, f.h};
    Fill(pic, all, kFieldBack);
    Frame(pic, all, kFieldBorder);
    int32_t inner = std::max(f.w - 2 * kPad, 1);
    int32_t caretX = XOf(edit_.Caret());
    if (caretX - scroll_ > inner - 1) scroll_ = caretX - inner + 1;
    if (caretX < scroll_) scroll_ = caretX;
    int32_t y = std::max((f.h - l_.glyphH) / 2, 0);
    int32_t x = kPad - scroll_;
    TextRect clip{1, 1, f.w - 2, f.h - 2};
    for (size_t i = 0; i < edit_.Length(); ++i) {
      int32_t w = CharWidth(i);
      bool selected = i >= edit_.SelectionStart() && i < edit_.SelectionEnd();
      if (selected) Fill(pic, Clip({x, y, w, l_.glyphH}, clip), kSelectionBack);
      DrawText(pic, edit_.CharAt(i), x, y, selected ? kSelectionText : kFieldText, l_.glyphW, l_.glyphH, clip);
      x += w;
    }
    Fill(pic, Clip({kPad + caretX - scroll_, y, 1, l_.glyphH}, clip), kFieldText);
    for (int32_t row = 0; row < f.h; ++row) {
      int32_t sy = f.y + row;
      if (sy < 0 || sy >= s.height) continue;
      int32_t x0 = std::max(f.x, 0), x1 = std::min(f.x + f.w, s.width);
      if (x0 >= x1) break;
      std::memcpy(s.TopRow(sy) + static_cast<size_t>(x0) * 3, pic.TopRow(row) + static_cast<size_t>(x0 - f.x) * 3,
                  static_cast<size_t>(x1 - x0) * 3);
    }
    Present(f);
  }

  static TextRect Clip(TextRect r, const TextRect& c) {
    int32_t x0 = std::max(r.x, c.x), y0 = std::max(r.y, c.y);
    int32_t x1 = std::min(r.x + r.w, c.x + c.w), y1 = std::min(r.y + r.h, c.y + c.h);
    return {x0, y0, std::max(x1 - x0, 0), std::max(y1 - y0, 0)};
  }

  // Shift-JIS text from (x, y), half-width characters `halfW` wide; glyphs
  // that would cross `clip` are left out.
  void DrawText(Surface& target, std::string_view sjis, int32_t x, int32_t y, int32_t colour, int32_t halfW,
                int32_t h, const TextRect& clip) {
    GlyphStyle style;
    style.face = l_.face;
    style.glyphH = h;
    style.bold = false;
    style.shadow = false;
    style.colour = colour;
    style.writeLayer = false;
    ScreenView view = ViewOf(target);
    for (size_t i = 0; i < sjis.size();) {
      bool wide = IsLeadByte(static_cast<unsigned char>(sjis[i])) && i + 1 < sjis.size();
      char ch[2] = {sjis[i], wide ? sjis[i + 1] : '\0'};
      style.glyphW = wide ? 2 * halfW : halfW;
      if (x >= clip.x && x + style.glyphW <= clip.x + clip.w && static_cast<unsigned char>(ch[0]) > ' ') {
        DrawGlyph(e_, view, ch, x, y, style);
      }
      x += style.glyphW;
      i += wide ? 2 : 1;
    }
  }

  static constexpr int32_t kPad = 3;
  Engine& e_;
  EntryLayout l_;
  TextEdit& edit_;
  std::vector<uint8_t> saved_;
  int32_t scroll_ = 0;
};

// Points to pixels at the 96 dots an inch of this platform's displays.
int32_t PointsToPixels(int32_t pt) { return static_cast<int32_t>(int64_t{pt} * 96 / 72); }

// The dialog's layout: its own size by default, or the four sizes a script
// gave, centred on the game screen.
EntryLayout DialogLayout(Engine& e, bool numeric, const std::string& prompt, const int32_t* sizes) {
  EntryLayout l;
  l.title = platform::Utf8ToSjis(numeric ? "数値入力" : "文字列入力");
  l.buttonText = platform::Utf8ToSjis("決定");
  l.prompt = prompt;
  l.face = e.textWindow.fonts.currentFace;
  int32_t W = e.screenWidth, H = e.screenHeight;
  const int32_t titleH = 24;
  int32_t dw = 340, dh = 92, ew = 230, eh = 30;
  if (sizes) {
    dw = PointsToPixels(sizes[0]);
    dh = PointsToPixels(sizes[1]);
    ew = PointsToPixels(sizes[2]);
    eh = PointsToPixels(sizes[3]);
  }
  dw = std::clamp(dw, 120, W);
  dh = std::clamp(dh + titleH, 60, H) - titleH;
  ew = std::clamp(ew, 20, dw - 20);
  eh = std::clamp(eh, kDialogGlyph + 6, std::max(dh - 36, kDialogGlyph + 6));
  int32_t x = (W - dw) / 2, y = (H - dh - titleH) / 2;
  l.panel = {x, y, dw, dh + titleH};
  l.titleBar = {x + 1, y + 1, dw - 2, titleH - 1};
  l.promptAt = {x + 10, y + titleH + 10, dw - 20, kDialogGlyph};
  l.field = {x + 10, y + titleH + 36, ew, eh};
  int32_t bw = 60;
  l.button = {x + dw - bw - PointsToPixels(20) - 1, l.field.y, bw, eh};
  if (l.button.x < l.field.x + l.field.w + 4) l.button.x = std::min(l.field.x + l.field.w + 4, x + dw - bw - 2);
  l.glyphH = std::min(kDialogGlyph + 4, eh - 6);
  l.glyphW = l.glyphH / 2;
  return l;
}

// Four optional sizes behind a comma.
bool ReadSizes(Engine& e, int32_t sizes[4]) {
  if (SkipBlanks(e) != ',') return false;
  for (int k = 0; k < 4; ++k) sizes[k] = NextNumber(e);
  return true;
}

void Refuse(Engine& e, const char* title, const char* message) {
  e.platform->ShowMessageBox(title, message, platform::MessageBoxButtons::Ok, platform::MessageBoxIcon::Error);
}

const char* ProblemText(EntryProblem p) {
  switch (p) {
    case EntryProblem::Empty: return "文字列を入力してください。";
    case EntryProblem::TooLong: return "文字列が長すぎます。";
    case EntryProblem::NotFullWidth: return "全て全角文字で入力してください。";
    case EntryProblem::NotNumber: return "数値を入力してください。";
    default: return "";
  }
}

// The dialog until an entry passes its checks. False when the game is
// ending and nothing is to be stored.
bool RunDialog(Engine& e, const std::string& prompt, const std::string& defaultText, int32_t maxLength,
               bool fullWidthOnly, const int32_t* sizes, std::string& result) {
  bool numeric = maxLength == -1;
  TextEdit edit(defaultText);
  EntryScreen screen(e, DialogLayout(e, numeric, prompt, sizes), edit);
  bool stored = false;
  while (true) {
    EntryEnd end = screen.Run();
    if (end == EntryEnd::Abandoned) break;
    if (end == EntryEnd::Unattended) {  // nobody types: the default stands
      result = defaultText;
      stored = true;
      break;
    }
    if (end == EntryEnd::Cancelled) {
      if (defaultText.empty()) continue;
      result = defaultText;
      stored = true;
      break;
    }
    std::string text = edit.Text();
    EntryProblem p = numeric ? CheckNumberEntry(text) : CheckStringEntry(text, maxLength, fullWidthOnly);
    if (p != EntryProblem::None) {
      Refuse(e, numeric ? "数値入力" : "文字列入力", ProblemText(p));
      continue;
    }
    result = std::move(text);
    stored = true;
    break;
  }
  screen.Restore();
  e.interp.leftClickFlag = e.interp.rightClickFlag = false;
  return stored;
}

void StringDialog(Engine& e, const char* kindMessage, bool withDefault) {
  int32_t var = ReadStrVarTarget(e, kindMessage);
  std::string prompt = NextString(e);
  std::string defaultText = withDefault ? NextString(e) : std::string();
  int32_t maxLength = NextNumber(e);
  bool fullWidthOnly = NextNumber(e) != 0;
  int32_t sizes[4];
  bool sized = ReadSizes(e, sizes);
  // -1 is the numeric dialog's mark; a string dialog never becomes one.
  if (maxLength == -1) maxLength = 0;
  std::string result;
  if (RunDialog(e, prompt, defaultText, maxLength, fullWidthOnly, sized ? sizes : nullptr, result)) {
    e.values.strVars[static_cast<size_t>(var)] = std::move(result);
  }
}

}  // namespace

void Cmd_inputstr(Engine& e) { StringDialog(e, "inputstrの第一引数は文字変数です。", false); }
void Cmd_input(Engine& e) { StringDialog(e, "inputの第一引数は文字変数です。", true); }

void Cmd_inputnum(Engine& e) {
  int32_t var = ReadIntVarTarget(e, "inputnumの第一引数は数字変数です。");
  std::string prompt = NextString(e);
  int32_t sizes[4];
  bool sized = ReadSizes(e, sizes);
  std::string result;
  if (RunDialog(e, prompt, "", -1, false, sized ? sizes : nullptr, result)) StoreIntLimited(e, var, EntryNumber(result));
}

void Cmd_textfield(Engine& e) {
  int32_t var = ReadStrVarTarget(e, "textfield命令の第一引数は文字列変数です", "エラー");
  int32_t left = NextNumber(e), top = NextNumber(e), right = NextNumber(e), bottom = NextNumber(e);
  int32_t glyphW = NextNumber(e), glyphH = NextNumber(e);
  bool fullWidthOnly = NextNumber(e) != 0;
  e.values.returnNumber = 0;
  EntryLayout l;
  l.dialog = false;
  l.field = {left, top, std::max(right - left + 1, 1), std::max(bottom - top + 1, 1)};
  // The field's font: glyph width is that of a half-width character, as a
  // font's average width is.
  l.glyphW = std::clamp(glyphW, 1, kMaxFieldGlyph);
  l.glyphH = std::clamp(glyphH, 1, kMaxFieldGlyph);
  l.face = kFieldFace;
  TextEdit edit(e.values.strVars[static_cast<size_t>(var)]);
  EntryScreen screen(e, l, edit);
  while (true) {
    EntryEnd end = screen.Run();
    if (end == EntryEnd::Abandoned) {
      screen.Restore();
      return;
    }
    if (end == EntryEnd::Cancelled) {
      if (edit.Length() > 0) {  // Escape first empties the field
        edit.Clear();
        continue;
      }
    }
    std::string text = edit.Text();
    if (end != EntryEnd::Unattended && fullWidthOnly && !text.empty() && !AllFullWidth(text)) {
      e.platform->ShowMessageBox("文字列入力", "全て全角文字で入力してください。", platform::MessageBoxButtons::Ok,
                                 platform::MessageBoxIcon::None);
      continue;
    }
    if (end == EntryEnd::Tab) e.values.returnNumber = 1;
    e.values.strVars[static_cast<size_t>(var)] = std::move(text);
    break;
  }
  screen.Restore();
  e.interp.leftClickFlag = e.interp.rightClickFlag = false;
}

}  // namespace sorv
