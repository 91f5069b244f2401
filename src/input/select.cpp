// The classic choice menu (select, selgosub, selnum), drawn as lines of text
// in the text window, and the custom choices a game draws itself (csel and
// the customsel label).
#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "input/buttons.h"
#include "input/input.h"
#include "interp/control_flow.h"
#include "interp/error.h"
#include "interp/interp.h"
#include "script/reader.h"
#include "script/script.h"
#include "shell/engine.h"
#include "sound/sound.h"
#include "text/textflow.h"
#include "text/text_window.h"
#include "values/values.h"

namespace sorv {
namespace {

constexpr uint32_t kArrowRepeatMs = 125;
constexpr const char* kTooManyChoices = "選択肢が多すぎます。選択肢は50個までです。";
constexpr const char* kStackFull = "gosub文のせいでスタックが溢れました。";

// Pairs of text and label (or texts alone) until no comma follows. A pair
// with an empty text is left out; its label is still read.
std::vector<Choice> ReadChoices(Engine& e, bool withLabels) {
  std::vector<Choice> choices;
  while (true) {
    Choice c;
    ReadStringArgument(e, c.text);
    if (withLabels) {
      ExpectComma(e);
      ReadLabelName(e, c.label);
    }
    if (!c.text.empty()) {
      // The lists have room for 50; more would run off them.
      if (choices.size() >= kMaxChoices) ReportError(e, "エラー", kTooManyChoices);
      choices.push_back(std::move(c));
    }
    if (SkipBlanks(e) != ',') break;
    ++e.script.pos;
    SkipBlanksAndNewlines(e);
  }
  return choices;
}

// The menu on screen: the column the choices start at, the line each one
// starts on (and the line after the last), and the widest in columns.
class ChoiceMenu {
 public:
  ChoiceMenu(Engine& e, const std::vector<Choice>& choices)
      : e_(e), w_(e.textWindow.window), choices_(choices) {}

  std::optional<int32_t> Run() {
    Open();
    if (!e_.platform) return std::nullopt;
    // Nobody will choose: take the choice the run's --choose policy picks
    // (the first by default) so the game goes on.
    if (e_.platform->Unattended()) {
      e_.platform->SleepMs(16);
      if (choices_.empty()) return std::nullopt;
      PlaySelectVoice(e_, 2);
      return ChooseIndex(e_.app.choose, Count());
    }
    return Loop();
  }

 private:
  int32_t Count() const { return static_cast<int32_t>(choices_.size()); }

  void Open() {
    PlaySelectVoice(e_, 0);
    e_.interp.skipMode = false;
    ShowTextWindow(e_);
    RedrawDirty(e_);
    column_ = std::clamp(e_.textWindow.cursor.column, 0, std::max(w_.columns - 1, 0));
    int32_t line = e_.textWindow.cursor.line;
    for (const Choice& c : choices_) {
      firstLine_.push_back(line);
      line += Draw(c.text, column_, line, e_.shellSettings.choiceNormalColour);
      widest_ = std::max(widest_, std::min<int32_t>((static_cast<int32_t>(c.text.size()) + 1) / 2, w_.columns - column_));
    }
    firstLine_.push_back(line);
    DiscardPendingInput(e_);
    e_.interp.leftClickFlag = e_.interp.rightClickFlag = false;
    if (!e_.input.settings.modeKanade) MovePointer(e_, e_.input.pointerX, e_.input.pointerY);
  }

  // Draws one choice from (column, line), wrapping to the window's first
  // column; the glyphs go into the text layer like message text. Returns the
  // lines it takes.
  int32_t Draw(const std::string& text, int32_t column, int32_t line, int32_t colour) {
    GlyphStyle style = WindowGlyphStyle(e_);
    style.colour = colour;
    style.vertical = false;
    style.writeLayer = true;
    int32_t half = 2 * column, lines = 1;
    int32_t minX = INT32_MAX, minY = INT32_MAX, maxX = INT32_MIN, maxY = INT32_MIN;
    for (size_t i = 0; i < text.size();) {
      bool wide = IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size();
      char ch[2] = {text[i], wide ? text[i + 1] : '\0'};
      i += wide ? 2 : 1;
      if (half >= 2 * w_.columns) {
        half = 0;
        ++lines;
      }
      int32_t x = w_.originX + half * w_.advanceX / 2, y = w_.originY + (line + lines - 1) * w_.advanceY;
      GlyphStyle cs = style;
      if (!wide) cs.glyphW = style.glyphW / 2;
      DrawGlyph(e_, TextScreen(e_), ch, x, y, cs);
      minX = std::min(minX, x);
      minY = std::min(minY, y);
      maxX = std::max(maxX, x + cs.glyphW + 2);
      maxY = std::max(maxY, y + cs.glyphH + 2);
      half += wide ? 2 : 1;
    }
    if (minX <= maxX) RedrawScreenRect(e_, TextRect{minX, minY, maxX - minX, maxY - minY});
    return lines;
  }

  void Redraw(int32_t k, bool hovered) {
    if (k < 0 || k >= Count()) return;
    const ShellSettings& s = e_.shellSettings;
    Draw(choices_[static_cast<size_t>(k)].text, column_, firstLine_[static_cast<size_t>(k)],
         hovered ? s.choiceHoverColour : s.choiceNormalColour);
  }

  std::optional<int32_t> ChoiceAt(int32_t x, int32_t y) const {
    int64_t left = int64_t{w_.originX} + int64_t{column_} * w_.advanceX;
    int64_t right = int64_t{w_.originX} + int64_t{column_ + widest_} * w_.advanceX;
    if (!(left < x && x <= right)) return std::nullopt;
    for (int32_t k = 0; k < Count(); ++k) {
      int64_t top = int64_t{w_.originY} + int64_t{firstLine_[static_cast<size_t>(k)]} * w_.advanceY;
      int64_t bottom = int64_t{w_.originY} + int64_t{firstLine_[static_cast<size_t>(k) + 1]} * w_.advanceY;
      if (top <= y && y < bottom) return k;
    }
    return std::nullopt;
  }

  void Hover(int32_t k) {
    if (k == hovered_) return;
    Redraw(hovered_, false);
    hovered_ = k;
    Redraw(hovered_, true);
    if (k >= 0) PlaySelectVoice(e_, 1);
  }

  void Arrows() {
    int direction = KeyHeld(e_, vk::kUp) ? -1 : KeyHeld(e_, vk::kDown) ? 1 : 0;
    uint32_t now = e_.platform->NowMs();
    if (direction == 0 || Count() == 0 || now - lastArrow_ < kArrowRepeatMs) return;
    lastArrow_ = now;
    int32_t k = hovered_ < 0 ? (direction > 0 ? 0 : Count() - 1) : (hovered_ + direction + Count()) % Count();
    MovePointer(e_, w_.originX + column_ * w_.advanceX + 1, w_.originY + firstLine_[static_cast<size_t>(k)] * w_.advanceY);
  }

  // Right click, or Escape once it is released.
  bool RightClicked() {
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

  std::optional<int32_t> Loop() {
    InputState& in = e_.input;
    lastArrow_ = e_.platform->NowMs() - kArrowRepeatMs;
    while (!WaitAbandoned(e_)) {
      bool got = PumpInput(e_);
      if (got && in.lastMessage == InputMessage::Move) Hover(ChoiceAt(in.pointerX, in.pointerY).value_or(-1));
      Arrows();
      if (e_.interp.leftClickFlag) {
        e_.interp.leftClickFlag = false;
        if (std::optional<int32_t> k = ChoiceAt(in.pointerX, in.pointerY)) {
          PlaySelectVoice(e_, 2);
          Redraw(*k, false);
          return k;
        }
      }
      if (got && in.lastMessage == InputMessage::Wheel && in.wheelDelta > 0 && in.hooks.openBacklog) {
        in.hooks.openBacklog(e_);
      }
      if (RightClicked()) {
        Redraw(hovered_, false);
        hovered_ = -1;
        if (in.hooks.rightClickAction && in.hooks.rightClickAction(e_)) return std::nullopt;
      }
      IdlePass(e_, kNoDeadline);
    }
    return std::nullopt;
  }

  Engine& e_;
  const TextWindowState& w_;
  const std::vector<Choice>& choices_;
  int32_t column_ = 0, widest_ = 0;
  std::vector<int32_t> firstLine_;
  int32_t hovered_ = -1;
  bool escapeDown_ = false;
  uint32_t lastArrow_ = 0;
};

void NewPageCommitted(Engine& e) {
  if (e.text.hooks.commitPage) e.text.hooks.commitPage(e);
  ClearTextWindow(e);
}

const Choice& CustomChoice(Engine& e, int32_t k, const char* command) {
  const auto& list = e.buttons.customChoices;
  if (k < 0 || static_cast<size_t>(k) >= list.size()) {
    ReportError(e, "エラー", Format("%sの選択肢番号%dがありません。", command, k));
  }
  return list[static_cast<size_t>(k)];
}

}  // namespace

void Cmd_select(Engine& e) {
  std::vector<Choice> choices = ReadChoices(e, true);
  std::optional<int32_t> k = ChoiceMenu(e, choices).Run();
  if (!k) return;
  NewPageCommitted(e);
  JumpToLabel(e, choices[static_cast<size_t>(*k)].label);
}

void Cmd_selgosub(Engine& e) {
  std::vector<Choice> choices = ReadChoices(e, true);
  std::optional<int32_t> k = ChoiceMenu(e, choices).Run();
  if (!k) return;
  CallEngineSubroutine(e, choices[static_cast<size_t>(*k)].label, kStackFull);
}

void Cmd_selnum(Engine& e) {
  int32_t var = ReadIntVarTarget(e, "selnumの第一引数は数字変数です。", "エラー");
  ExpectComma(e);
  std::vector<Choice> choices = ReadChoices(e, false);
  std::optional<int32_t> k = ChoiceMenu(e, choices).Run();
  if (k) StoreIntLimited(e, var, *k);
}

void Cmd_csel(Engine& e) {
  e.buttons.customChoices = ReadChoices(e, true);
  MarkAllDirty(e);
  RedrawDirty(e);
  CallEngineSubroutine(e, "customsel", kStackFull);
}

void Cmd_getcselnum(Engine& e) {
  int32_t var = ReadIntVarTarget(e, "getcselnumの引数は数字変数です。", "エラー");
  StoreIntLimited(e, var, static_cast<int32_t>(e.buttons.customChoices.size()));
}

void Cmd_getcselstr(Engine& e) {
  int32_t var = ReadStrVarTarget(e, "getcselstrの第一引数は文字列変数です。", "エラー");
  ExpectComma(e);
  int32_t k = ReadNumberArgument(e);
  const auto& list = e.buttons.customChoices;
  std::string text = k >= 0 && static_cast<size_t>(k) < list.size() ? list[static_cast<size_t>(k)].text : "";
  e.values.strVars[static_cast<size_t>(var)] = std::move(text);
}

void Cmd_cselgoto(Engine& e) {
  int32_t k = ReadNumberArgument(e);
  std::string label = CustomChoice(e, k, "cselgoto").label;
  NewPageCommitted(e);
  JumpToLabel(e, label);
}

// 1 when the statement the current subroutine returns to is another csel:
// the game can then gather several csel calls into one screen.
void Cmd_nextcsel(Engine& e) {
  int32_t var = ReadIntVarTarget(e, "nextcselの引数は数字変数です。", "エラー");
  const InterpState& in = e.interp;
  int32_t found = 0;
  if (in.depth > 0 && in.stack[in.depth - 1] >= 0) {
    const ScriptState& s = e.script;
    int32_t p = in.stack[in.depth - 1], end = static_cast<int32_t>(s.buffer.size()) - 1;
    while (p < end) {
      unsigned char c = s.at(p);
      if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == ':') {
        ++p;
      } else if (c == ';') {
        while (p < end && s.at(p) != '\n') ++p;
      } else {
        break;
      }
    }
    std::string word;
    while (p < end && word.size() < 8 && IsWordByte(s.at(p))) word += static_cast<char>(LowerAscii(s.at(p++)));
    found = word == "csel" && (p >= end || !IsWordByte(s.at(p))) ? 1 : 0;
  }
  StoreIntLimited(e, var, found);
}

}  // namespace sorv
