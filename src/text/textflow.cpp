#include "text/textflow.h"

#include <algorithm>
#include <cstring>

#include "debug/debug_state.h"
#include "interp/control_flow.h"
#include "interp/error.h"
#include "script/reader.h"
#include "shell/engine.h"
#include "sound/sound.h"

namespace sorv {

namespace {

constexpr size_t kLookAheadBytes = 128;
constexpr size_t kPageTextCapacity = 5000;
constexpr size_t kRubyTextMax = 100;
constexpr size_t kButtonTextMax = 255;
constexpr size_t kMaxButtons = 1000;
constexpr size_t kMaxPageCells = 8192;
constexpr size_t kMaxCursorRecords = 64;
constexpr const char* kOverflow = "文字が枠をはみ出してしまいました。";
constexpr const char* kFullWidthSpace = "\x81\x40";

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

int HexValue(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The page's text record has a fixed capacity; what does not fit is not kept.
void RecordText(TextFlowState& t, std::string_view bytes) {
  if (t.pageText.size() + bytes.size() <= kPageTextCapacity) t.pageText.append(bytes);
}

// What follows the character just drawn, as the line breaker sees it.
struct LookAhead {
  char chars[kLookAheadBytes / 2][2];
  int count = 0;
  bool waitFollows = false;
};

class ChunkRenderer {
 public:
  ChunkRenderer(Engine& e, std::string_view chunk) : e_(e), t_(e.text), w_(e.textWindow), c_(chunk) {}
  void Run();

 private:
  unsigned char At(size_t i) const { return i < c_.size() ? static_cast<unsigned char>(c_[i]) : 0; }
  const TextWindowState& Win() const { return w_.window; }
  int32_t& Column() { return w_.cursor.column; }
  int32_t& Line() { return w_.cursor.line; }

  bool Step();
  bool StepEnglish();
  bool StepControl(unsigned char c);
  void DrawCell(const char* bytes);
  void AfterCharacter(const char* bytes);
  void Pace();
  LookAhead Look() const;
  bool Chained(const char* first, const char* second) const;
  void CheckLineBreak(const LookAhead& la);
  void BreakLine(bool indent);
  void PlaceCursorCell();
  int32_t RubyLineOffset() const;
  bool ClickWait();
  bool PageWait();
  bool HandOverToTextGosub(char kind);
  bool RunWait(int kind);
  void InlineSpeed();
  bool InlineTimedWait(bool interruptible);
  void StartRuby();
  void RubySeparator();
  void EndRuby();
  void StartButton();
  void EndButton();
  void Assignments();
  int32_t ReadDecimal();
  void Flush();

  Engine& e_;
  TextFlowState& t_;
  TextWindow& w_;
  std::string_view c_;
  size_t i_ = 0;
  int32_t x_ = 0, y_ = 0;
  bool instant_ = false;
  bool hurry_ = false;        // a click during drawing: no more pacing in this chunk
  bool exemptNext_ = false;   // "_": the next character inserts no wait
  bool pageEnded_ = false;    // the last thing the chunk did was end a page
  bool joinNext_ = false;     // "/" at the end: no line break
  bool hasParen_ = false;
  int32_t chars_ = 0;
  int32_t colour_ = 0xFFFFFF;
  GlyphStyle style_;  // the font of the chunk, made again after each wait
  // The ruby group under way.
  bool inRuby_ = false, inRubyText_ = false;
  size_t rubyBaseStart_ = 0, rubyTextStart_ = 0;
  int32_t rubyExtra_ = 0, rubyX_ = 0, rubyY_ = 0, rubyBaseWidth_ = 0;
  // The text button under way.
  bool inButton_ = false;
};

void ChunkRenderer::Run() {
  instant_ = InstantSpeed(e_);
  colour_ = w_.colour.Rgb();
  style_ = WindowGlyphStyle(e_);
  hasParen_ = c_.find('(') != std::string_view::npos;
  PlaceCursorCell();
  while (i_ < c_.size() && c_[i_] != 0) {
    if (!Step()) {
      Flush();
      return;
    }
  }
  Flush();
  if (joinNext_ || pageEnded_ || Column() == 0) return;
  ++Line();
  Column() = 0;
  RecordText(t_, "\n");
  if (Line() >= Win().rows) ReportError(e_, "エラー", kOverflow);
}

// One element of the chunk; false when the chunk ends here.
bool ChunkRenderer::Step() {
  if (e_.interp.english) return StepEnglish();
  unsigned char c = At(i_);
  if (IsLeadByte(c)) {
    if (i_ + 1 >= c_.size() || At(i_ + 1) == 0) {  // a lead byte cut off by the end
      ++i_;
      return true;
    }
    char bytes[2] = {c_[i_], c_[i_ + 1]};
    i_ += 2;
    AfterCharacter(bytes);
    return !WaitAbandoned(e_);
  }
  return StepControl(c);
}

// In English mode only "@", "\" and "_" are controls; every other byte pair
// is one cell.
bool ChunkRenderer::StepEnglish() {
  unsigned char c = At(i_);
  if (c == '@' || c == '\\' || c == '_') return StepControl(c);
  char bytes[2] = {c_[i_], i_ + 1 < c_.size() && c_[i_ + 1] != 0 ? c_[i_ + 1] : ' '};
  i_ = std::min(c_.size(), i_ + 2);
  AfterCharacter(bytes);
  return !WaitAbandoned(e_);
}

bool ChunkRenderer::StepControl(unsigned char c) {
  switch (c) {
    case '@':
      ++i_;
      return !ClickWait();
    case '\\':
      ++i_;
      return !PageWait();
    case '_':
      ++i_;
      if (At(i_) == '@' || At(i_) == '\\') {
        ++i_;  // the wait is dropped
      } else {
        exemptNext_ = true;
      }
      return true;
    case '!':
      if (At(i_ + 1) == 's') {
        i_ += 2;
        InlineSpeed();
        return true;
      }
      if (At(i_ + 1) == 'w' || At(i_ + 1) == 'd') {
        bool interruptible = At(i_ + 1) == 'd';
        i_ += 2;
        return InlineTimedWait(interruptible);
      }
      ++i_;
      return true;
    case '#': {
      int32_t rgb = 0;
      for (size_t k = 1; k <= 6; ++k) {
        int h = HexValue(At(i_ + k));
        if (h < 0) {
          ++i_;
          return true;
        }
        rgb = rgb * 16 + h;
      }
      colour_ = rgb;
      w_.colour.Set(rgb);
      i_ += 7;
      return true;
    }
    case '&': {
      ++i_;
      int32_t n = ReadDecimal();
      if (n >= 0 && n < 256) {
        colour_ = w_.colourTable.entries[static_cast<size_t>(n)];
        w_.colour.Set(colour_);
      }
      return true;
    }
    case '/':
      if (inRuby_ && !inRubyText_) {
        RubySeparator();
        return true;
      }
      if (i_ + 1 >= c_.size() || At(i_ + 1) == 0) {
        joinNext_ = true;
        ++i_;
        return false;
      }
      ReportError(e_, "エラー", "表示文中の、/の次は改行文字でなければなりません。");
    case '(':
      StartRuby();
      return true;
    case ')':
      ++i_;
      if (inRuby_) EndRuby();
      return true;
    case '<':
      StartButton();
      return true;
    case '>':
      ++i_;
      if (inButton_) EndButton();
      return true;
    case '{':
      Assignments();
      return true;
    default:  // tabs, spaces and other single bytes draw nothing
      ++i_;
      return true;
  }
}

int32_t ChunkRenderer::ReadDecimal() {
  int64_t n = 0;
  bool any = false;
  while (IsDigit(At(i_))) {
    n = std::min<int64_t>(n * 10 + (At(i_) - '0'), INT32_MAX);
    ++i_;
    any = true;
  }
  return any ? static_cast<int32_t>(n) : -1;
}

void ChunkRenderer::InlineSpeed() {
  if (At(i_) == 'd') {
    ++i_;
    w_.window.speed = e_.menu.hasTextSpeedItem ? e_.textSettings.userSpeeds[0] : -1;
    return;
  }
  int32_t n = ReadDecimal();
  if (n >= 0) w_.window.speed = n;
}

// !w and !d; false when the engine abandoned the text meanwhile.
bool ChunkRenderer::InlineTimedWait(bool interruptible) {
  int32_t ms = std::max(0, ReadDecimal());
  Flush();
  TimedWait(e_, ms, interruptible ? TimedWaitKind::Interruptible : TimedWaitKind::EnterOnly);
  return !WaitAbandoned(e_);
}

// ---- Characters ------------------------------------------------------------

void ChunkRenderer::DrawCell(const char* bytes) {
  style_.colour = colour_;
  DrawGlyphChecked(e_, bytes, x_, y_, style_, !instant_);
  if (t_.pageCells.size() < kMaxPageCells) t_.pageCells.push_back({{bytes[0], bytes[1]}, x_, y_, colour_});
  RecordText(t_, std::string_view(bytes, 2));
  if (w_.verticalActive) {
    y_ += Win().advanceY;
  } else {
    x_ += Win().advanceX;
  }
  ++Column();
  ++chars_;
}

void ChunkRenderer::AfterCharacter(const char* bytes) {
  if (inRubyText_) {  // the ruby is logged here and drawn at ")"
    RecordText(t_, std::string_view(bytes, 2));
    return;
  }
  pageEnded_ = false;
  if (!w_.window.shown) ShowTextWindow(e_);
  DrawCell(bytes);
  Pace();
  if (WaitAbandoned(e_)) return;
  LookAhead la = Look();
  if (!inRuby_) CheckLineBreak(la);
  bool exempt = exemptNext_;
  exemptNext_ = false;
  const TextSettings& s = e_.textSettings;
  if (exempt || s.clickChars.empty() || la.waitFollows || !CharInList(s.clickChars, bytes)) return;
  if (la.count > 0 && CharInList(s.clickChars, la.chars[0])) return;
  if (Line() < Win().rows - s.pageLines) {
    ClickWait();
  } else {
    PageWait();
  }
}

// The time a character takes, unless something says to hurry.
void ChunkRenderer::Pace() {
  if (instant_ || hurry_ || t_.skipToPageEnd || e_.interp.skipMode || !e_.platform) return;
  int32_t ms = EffectiveSpeed(e_);
  if (ms <= 0) return;
  // A held key repeats, so holding the skip key hurries the text even when
  // no new message comes in (the headless backend sends no repeats).
  if (SkipKeyHeld(e_)) {
    hurry_ = true;
    return;
  }
  uint32_t start = e_.platform->NowMs();
  while (e_.platform->NowMs() - start < static_cast<uint32_t>(ms)) {
    if (WaitAbandoned(e_)) return;
    bool got = PumpInput(e_);
    bool enter = e_.input.lastMessage == InputMessage::Char && e_.input.lastParam == '\r';
    if (got && (e_.interp.leftClickFlag || SkipKeyHeld(e_) || enter)) {
      hurry_ = true;
      if (e_.textSettings.clickSkipPage) t_.skipToPageEnd = true;
      return;
    }
    IdlePass(e_);
  }
}

// The full-width characters that follow, up to 128 bytes: a ruby base
// counts as characters that may not end a line, so it never splits; the
// ruby text is not on the line at all.
LookAhead ChunkRenderer::Look() const {
  LookAhead la;
  const std::string& lineEnd = e_.textSettings.lineEndForbidden;
  int state = inRuby_ ? (inRubyText_ ? 2 : 1) : 0;  // 0 plain, 1 ruby base, 2 ruby text
  size_t end = std::min(c_.size(), i_ + kLookAheadBytes);
  for (size_t k = i_; k < end && At(k) != 0;) {
    unsigned char c = At(k);
    if (IsLeadByte(c) && k + 1 < c_.size()) {
      if (state != 2 && la.count < static_cast<int>(kLookAheadBytes / 2)) {
        const char* src = state == 1 && lineEnd.size() >= 2 ? lineEnd.data() : c_.data() + k;
        la.chars[la.count][0] = src[0];
        la.chars[la.count][1] = src[1];
        ++la.count;
        // Only the unit that may not be split matters: stop at the first
        // character that could start a new line.
        if (la.count >= 2 && !Chained(la.chars[la.count - 2], la.chars[la.count - 1])) break;
        if (la.count >= 1 && t_.kinsokuOff) break;
      }
      k += 2;
      continue;
    }
    if (c == '(') state = 1;
    if (c == '/' && state == 1) state = 2;
    if (c == ')') state = 0;
    if ((c == '@' || c == '\\') && la.count == 0) la.waitFollows = true;
    ++k;
  }
  return la;
}

// True when a line may not break between the two characters.
bool ChunkRenderer::Chained(const char* first, const char* second) const {
  const TextSettings& s = e_.textSettings;
  return CharInList(s.lineEndForbidden, first) || CharInList(s.lineStartForbidden, second);
}

void ChunkRenderer::CheckLineBreak(const LookAhead& la) {
  int32_t columns = w_.verticalActive ? Win().rows : Win().columns;
  int k = la.count > 0 ? 1 : 0;
  if (!t_.kinsokuOff) {
    while (k > 0 && k < la.count && Chained(la.chars[k - 1], la.chars[k])) ++k;
  }
  // A unit that fits on no line at all would break before every character
  // and run off the page; it breaks only for its own first character.
  if (k > columns - t_.indent) k = 1;
  if (k == 0) {
    if (!la.waitFollows && Column() >= columns) BreakLine(true);
    return;
  }
  if (Column() + k > columns) BreakLine(true);
}

void ChunkRenderer::BreakLine(bool indent) {
  ++Line();
  Column() = 0;
  int32_t lines = w_.verticalActive ? Win().columns : Win().rows;
  if (Line() >= lines) ReportError(e_, "エラー", kOverflow);
  RecordText(t_, "\n");
  if (indent && t_.indent > 0) {
    Column() = t_.indent;
    for (int32_t k = 0; k < t_.indent; ++k) RecordText(t_, kFullWidthSpace);
  }
  PlaceCursorCell();
}

int32_t ChunkRenderer::RubyLineOffset() const {
  if (t_.rubyMode == 1 || (t_.rubyMode == 2 && hasParen_)) {
    int32_t off = Win().advanceY - Win().glyphH;
    if (t_.rubyMode == 2) off += t_.rubyH < 0 ? Win().glyphH / 2 : t_.rubyH;
    return off;
  }
  return 0;
}

void ChunkRenderer::PlaceCursorCell() {
  CellPosition(e_, Column(), Line(), x_, y_);
  if (!w_.verticalActive) y_ += RubyLineOffset();
}

void ChunkRenderer::Flush() {
  if (instant_ && w_.window.shown && w_.hooks.present) w_.hooks.present(e_, WindowRect(e_, 2));
}

// ---- Waits -----------------------------------------------------------------

// "@"; true when the chunk ends here.
bool ChunkRenderer::ClickWait() {
  if (t_.skipToPageEnd || t_.pageAtATime) return false;
  Flush();
  if (Win().textMode && e_.interp.textGosub.on) return HandOverToTextGosub('@');
  return !RunWait(0);
}

// "\"; true when the chunk ends here.
bool ChunkRenderer::PageWait() {
  t_.skipToPageEnd = false;
  if (!Win().textMode) return false;
  Flush();
  if (e_.interp.textGosub.on) return HandOverToTextGosub('\\');
  if (!RunWait(1)) return true;
  if (t_.hooks.commitPage) t_.hooks.commitPage(e_);
  ClearTextWindow(e_);
  style_ = WindowGlyphStyle(e_);  // a new page takes the selected face
  PlaceCursorCell();
  pageEnded_ = true;
  return false;
}

bool ChunkRenderer::HandOverToTextGosub(char kind) {
  e_.interp.interruptedWait = kind;
  t_.gosubWait = kind;
  unsigned char next = i_ < c_.size() ? At(i_) : e_.script.cur();
  t_.gosubLineBreakFollows = next == '\n' || next == '\r' || next == 0;
  e_.interp.textGosubMark = e_.interp.depth;
  e_.interp.inTextGosub = true;
  CallEngineSubroutine(e_, e_.interp.textGosub.label, "textgosub処理のせいでスタックが溢れました。");
  pageEnded_ = true;  // the subroutine decides what happens to the line
  return true;
}

// The click wait with its cursor; false when something outside took the
// text over.
bool ChunkRenderer::RunWait(int kind) {
  WaitCursorShown shown;
  shown.kind = kind;
  const WaitCursor& cur = t_.cursors[kind];
  if (cur.absolute) {
    shown.x = cur.x;
    shown.y = cur.y;
  } else {
    shown.x = x_ + cur.x;
    shown.y = y_ + cur.y;
  }
  if (t_.cursorsShown.size() >= kMaxCursorRecords) t_.cursorsShown.erase(t_.cursorsShown.begin());
  t_.cursorsShown.push_back(shown);

  CursorAnimation anim = CursorAnimationFor(cur.tag);
  if (e_.platform) anim.lastMs = e_.platform->NowMs();
  bool drawn = false;
  ClickWaitRequest request;
  request.kind = kind == 0 ? WaitKind::Click : WaitKind::Page;
  request.chunkChars = chars_;
  request.eachPass = [&] {
    bool changed = e_.platform && anim.Advance(e_.platform->NowMs());
    if (changed || !drawn) {
      shown.cell = anim.cell;
      PaintWaitCursor(e_, shown, true);
      if (t_.hooks.cursor) t_.hooks.cursor(e_, shown, true);
      drawn = true;
    }
  };
  WaitEnd end = WaitForClick(e_, request);
  if (drawn) {
    PaintWaitCursor(e_, shown, false);
    if (t_.hooks.cursor) t_.hooks.cursor(e_, shown, false);
  }
  if (end == WaitEnd::Interrupted) return false;
  style_ = WindowGlyphStyle(e_);
  if (!e_.interp.skipMode) PlayClickVoice(e_, kind);
  return !WaitAbandoned(e_);
}

// ---- Ruby ----------------------------------------------------------------

void ChunkRenderer::StartRuby() {
  size_t slash = c_.find('/', i_ + 1);
  if (slash == std::string_view::npos) {  // no ruby: the parenthesis draws nothing
    ++i_;
    return;
  }
  size_t close = c_.find(')', slash + 1);
  if (close == std::string_view::npos) close = c_.size();
  ++i_;
  RecordText(t_, "(");
  int32_t baseChars = static_cast<int32_t>((slash - i_) / 2);
  int32_t rubyChars = static_cast<int32_t>((close - slash) / 2);
  bool vertical = w_.verticalActive;
  int32_t glyph = vertical ? Win().glyphH : Win().glyphW;
  int32_t advance = vertical ? Win().advanceY : Win().advanceX;
  int32_t rubySize = vertical ? (t_.rubyH < 0 ? Win().glyphH / 2 : t_.rubyH) : (t_.rubyW < 0 ? Win().glyphW / 2 : t_.rubyW);
  int32_t p = rubyChars * rubySize;
  rubyExtra_ = p > baseChars * advance ? p - baseChars * glyph : 0;
  int32_t wide = std::max(p, baseChars * advance);
  int32_t columns = vertical ? Win().rows : Win().columns;
  int32_t here = vertical ? y_ : x_;
  int32_t first = vertical ? Win().originY : Win().originX;
  if (Column() > 0 && here + wide > first + advance * columns) BreakLine(true);
  if (vertical) {
    y_ += rubyExtra_ / 2;
  } else {
    x_ += rubyExtra_ / 2;
  }
  rubyBaseStart_ = i_;
  rubyX_ = x_;
  rubyY_ = y_;
  inRuby_ = true;
  inRubyText_ = false;
}

void ChunkRenderer::RubySeparator() {
  int32_t advance = w_.verticalActive ? Win().advanceY : Win().advanceX;
  rubyBaseWidth_ = static_cast<int32_t>(i_ - rubyBaseStart_) * advance / 2 + rubyExtra_;
  RecordText(t_, "/");
  ++i_;
  rubyTextStart_ = i_;
  inRubyText_ = true;
}

void ChunkRenderer::EndRuby() {
  RecordText(t_, ")");
  inRuby_ = false;
  if (!inRubyText_) return;  // "(base)" with the slash missing: nothing to draw
  inRubyText_ = false;
  size_t len = std::min(kRubyTextMax, i_ - 1 - rubyTextStart_);
  std::string_view ruby = c_.substr(rubyTextStart_, len);
  if (t_.rubyMode != 0) {
    RubyStyle style;
    style.face = t_.rubyFace;
    style.rubyW = t_.rubyW;
    style.rubyH = t_.rubyH;
    style.colour = colour_;
    DrawRuby(e_, ruby, rubyX_, rubyY_, rubyBaseWidth_, style, !instant_);
    if (t_.pageRubies.size() < kMaxPageCells) t_.pageRubies.push_back({std::string(ruby), rubyX_, rubyY_, rubyBaseWidth_});
  }
  int32_t advance = w_.verticalActive ? Win().advanceY : Win().advanceX;
  if (advance > 0) Column() += rubyExtra_ / advance;
  if (w_.verticalActive) {
    y_ += rubyExtra_ / 2;
  } else {
    x_ += rubyExtra_ / 2;
  }
  CheckLineBreak(Look());
}

// ---- Text buttons ---------------------------------------------------------

void ChunkRenderer::StartButton() {
  ++i_;
  int32_t n = ReadDecimal();
  if (n < 0) n = t_.nextButtonNumber;
  t_.nextButtonNumber = n == INT32_MAX ? n : n + 1;
  TextButtonSlot slot;
  slot.number = n;
  slot.x = x_;
  slot.y = y_;
  size_t close = c_.find('>', i_);
  if (close == std::string_view::npos) close = c_.size();
  slot.text = std::string(c_.substr(i_, std::min(kButtonTextMax, close - i_)));
  if (t_.buttons.size() < kMaxButtons) t_.buttons.push_back(std::move(slot));
  inButton_ = true;
  colour_ = w_.linkColours[0];
}

void ChunkRenderer::EndButton() {
  inButton_ = false;
  colour_ = w_.colour.Rgb();
  if (t_.buttons.empty()) return;
  TextButtonSlot& slot = t_.buttons.back();
  slot.right = Column() == 0 ? Win().originX + Win().advanceX * Win().columns - 1 : x_ - 1;
}

// ---- Inline assignments ---------------------------------------------------

void ChunkRenderer::Assignments() {
  constexpr const char* kMalformed = "表示文中の{}の指定が間違っています。";
  ++i_;
  auto skipSpace = [&] {
    while (At(i_) == ' ' || At(i_) == '\t' || At(i_) == '\n' || At(i_) == '\r' || At(i_) == ',') ++i_;
  };
  while (true) {
    skipSpace();
    unsigned char kind = At(i_);
    if (kind == '}') {
      ++i_;
      return;
    }
    if (kind != '%' && kind != '$') ReportError(e_, "エラー", kMalformed);
    ++i_;
    int32_t n = ReadDecimal();
    while (At(i_) == ' ' || At(i_) == '\t') ++i_;
    if (n < 0 || At(i_) != ',') ReportError(e_, "エラー", kMalformed);
    ++i_;
    while (At(i_) == ' ' || At(i_) == '\t') ++i_;
    if (kind == '%') {
      if (n >= static_cast<int32_t>(e_.values.intVars.size())) {
        ReportError(e_, "エラー", "変数番号が範囲外をさしています。");
      }
      bool negative = At(i_) == '-';
      if (negative) ++i_;
      int32_t v = ReadDecimal();
      if (v < 0) ReportError(e_, "エラー", kMalformed);
      StoreIntLimited(e_, n, negative ? -v : v);
    } else {
      if (n >= static_cast<int32_t>(e_.values.strVars.size())) {
        ReportError(e_, "エラー", "文字列変数番号が範囲外です。");
      }
      size_t start = i_;
      while (i_ < c_.size() && At(i_) != ',' && At(i_) != '}' && At(i_) != 0) i_ += IsLeadByte(At(i_)) ? 2 : 1;
      i_ = std::min(i_, c_.size());
      e_.values.strVars[static_cast<size_t>(n)].assign(c_.substr(start, i_ - start));
    }
    if (At(i_) == 0) ReportError(e_, "エラー", kMalformed);
  }
}

}  // namespace

// ---- Public -----------------------------------------------------------------

bool CursorAnimation::Advance(uint32_t nowMs) {
  if (cells <= 1 || delayMs <= 0) return false;
  bool wrapped = nowMs < lastMs;
  if (!wrapped && nowMs - lastMs < static_cast<uint32_t>(delayMs)) return false;
  lastMs = nowMs;
  int32_t next = cell + step;
  if (next < 0 || next >= cells) {
    if (mode == 0) {
      next = 0;
    } else if (mode == 1) {
      next = cells - 1;
    } else {
      step = -step;
      next = cell + step;
      if (next < 0 || next >= cells) next = cell;
    }
  }
  bool changed = next != cell;
  cell = next;
  return changed;
}

bool CharInList(std::string_view list, const char* sjis) {
  for (size_t k = 0; k < list.size();) {
    auto c = static_cast<unsigned char>(list[k]);
    if (IsLeadByte(c) && k + 1 < list.size()) {
      if (list[k] == sjis[0] && list[k + 1] == sjis[1]) return true;
      k += 2;
    } else {
      ++k;
    }
  }
  return false;
}

bool InstantSpeed(const Engine& e) { return EffectiveSpeed(e) == 0; }

int32_t EffectiveSpeed(const Engine& e) {
  int32_t speed = e.textWindow.window.speed;
  if (speed != -1) return speed;
  int32_t idx = std::clamp(e.text.userSpeedIndex, 0, 2);
  return e.textSettings.userSpeeds[idx];
}

void ShowTextChunk(Engine& e, std::string_view chunk) {
  if (e.app.debugFlag) ShowDebugTitle(e);
  e.text.shownChunks.emplace_back(chunk);
  ChunkRenderer(e, chunk).Run();
}

void ClearTextWindow(Engine& e) {
  TextFlowState& t = e.text;
  NewPage(e);
  t.skipToPageEnd = false;
  t.buttons.clear();
  t.nextButtonNumber = t.textButtonStart;
  t.pageText.clear();
  t.pageCells.clear();
  t.pageRubies.clear();
}

void ResetTextFlow(Engine& e) {
  TextFlowState& t = e.text;
  TextFlowHooks hooks = std::move(t.hooks);
  std::vector<std::string> chunks = std::move(t.shownChunks);
  int32_t userSpeed = t.userSpeedIndex;
  bool pageAtATime = t.pageAtATime;
  t = TextFlowState();
  t.hooks = std::move(hooks);
  t.shownChunks = std::move(chunks);
  t.userSpeedIndex = userSpeed;  // the player's menu choices outlive a restart
  t.pageAtATime = pageAtATime;
}

}  // namespace sorv
