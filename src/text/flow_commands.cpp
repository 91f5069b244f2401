// Script commands of the text flow, and the small parsers they share.
#include <algorithm>
#include <cstdlib>

#include "interp/error.h"
#include "script/reader.h"
#include "shell/engine.h"
#include "text/textflow.h"

namespace sorv {

namespace {

constexpr size_t kMaxRubyFace = 255;

bool AtEnd(unsigned char c) { return c == '\n' || c == '\r' || c == ':' || c == ';' || c == 0; }

// Reads "[w, h[, face]]" of rubyon and rubyon2.
void ReadRubyArguments(Engine& e, int32_t mode) {
  TextFlowState& t = e.text;
  t.rubyMode = mode;
  t.rubyW = t.rubyH = -1;
  t.rubyFace.clear();
  if (AtEnd(SkipBlanks(e))) return;
  t.rubyW = ReadNumberArgument(e);
  ExpectComma(e);
  t.rubyH = ReadNumberArgument(e);
  if (SkipBlanks(e) != ',') return;
  ExpectComma(e);
  std::string face;
  ReadStringArgument(e, face);
  if (face.size() > kMaxRubyFace) ReportError(e, "エラー", "ルビフォント名が長すぎます。");
  t.rubyFace = std::move(face);
}

void ReadCursor(Engine& e, bool absolute) {
  int32_t k = ReadNumberArgument(e);
  if (k < 0 || k > 1) ReportError(e, "エラー", "カーソルは０（通常）と１（クリック消去用）です。");
  WaitCursor& c = e.text.cursors[k];
  ExpectComma(e);
  ReadStringArgument(e, c.tag);
  ExpectComma(e);
  c.x = ReadNumberArgument(e);
  ExpectComma(e);
  c.y = ReadNumberArgument(e);
  c.absolute = absolute;
  LoadWaitCursor(e, k);
}

// The cursor to the start of the next line, as the end of a display line
// moves it.
void BreakTextLine(Engine& e) {
  TextCursor& cur = e.textWindow.cursor;
  ++cur.line;
  cur.column = 0;
  e.text.pageText.push_back('\n');
  int32_t lines = e.textWindow.verticalActive ? e.textWindow.window.columns : e.textWindow.window.rows;
  if (cur.line >= lines) ReportError(e, "エラー", "文字が枠をはみ出してしまいました。");
}

// texec and texec2 end a wait the text subroutine took over; texec2 leaves
// the new page for the next display line.
void FinishTextGosubWait(Engine& e, bool deferPage) {
  TextFlowState& t = e.text;
  char kind = t.gosubWait;
  t.gosubWait = 0;
  e.interp.inTextGosub = false;
  if (kind == '@') {
    if (e.textWindow.cursor.column != 0 && t.gosubLineBreakFollows) BreakTextLine(e);
  } else if (kind == '\\') {
    if (t.hooks.commitPage) t.hooks.commitPage(e);
    if (deferPage) {
      e.interp.newPagePending = true;
    } else {
      ClearTextWindow(e);
    }
  }
}

}  // namespace

CursorAnimation CursorAnimationFor(std::string_view tag) {
  CursorAnimation a;
  // ":mode/cells,delay,loop;file": the cell part sits between '/' and ';'.
  if (tag.empty() || tag[0] != ':') return a;
  size_t slash = tag.find('/');
  size_t semi = tag.find(';');
  if (slash == std::string_view::npos || semi == std::string_view::npos || semi < slash) return a;
  std::string cells(tag.substr(slash + 1, semi - slash - 1));
  int32_t values[3] = {1, 0, 0};
  size_t pos = 0;
  for (int k = 0; k < 3 && pos <= cells.size(); ++k) {
    values[k] = std::atoi(cells.c_str() + pos);
    size_t comma = cells.find(',', pos);
    if (comma == std::string::npos) break;
    pos = comma + 1;
  }
  a.cells = std::clamp(values[0], 1, 1000);
  a.delayMs = values[1];
  a.mode = std::clamp(values[2], 0, 2);
  return a;
}

bool PlainText(std::string_view text, std::string& out) {
  out.clear();
  for (size_t i = 0; i < text.size() && text[i] != 0;) {
    auto c = static_cast<unsigned char>(text[i]);
    if (IsLeadByte(c) && i + 1 < text.size()) {
      out.append(text.substr(i, 2));
      i += 2;
    } else if (c == '(') {
      size_t slash = text.find('/', i + 1);
      if (slash == std::string_view::npos) return false;
      size_t close = text.find(')', slash + 1);
      if (close == std::string_view::npos) return false;
      out.append(text.substr(i + 1, slash - i - 1));
      i = close + 1;
    } else {
      if (c != '\\') out.push_back(static_cast<char>(c));
      ++i;
    }
  }
  return true;
}

void Cmd_textspeed(Engine& e) { e.textWindow.window.speed = ReadNumberArgument(e); }

void Cmd_textspeeddefault(Engine& e) {
  e.textWindow.window.speed = e.menu.hasTextSpeedItem ? e.textSettings.userSpeeds[0] : -1;
}

void Cmd_indent(Engine& e) {
  int32_t n = ReadNumberArgument(e);
  // An indent as wide as the line would leave no room for text after a break.
  e.text.indent = std::clamp(n, 0, std::max(0, e.textWindow.window.columns - 1));
}

void Cmd_rubyon(Engine& e) { ReadRubyArguments(e, 1); }
void Cmd_rubyon2(Engine& e) { ReadRubyArguments(e, 2); }
void Cmd_rubyoff(Engine& e) { e.text.rubyMode = 0; }

void Cmd_kinsoku(Engine& e) {
  std::string word;
  SkipBlanks(e);
  ReadWord(e, word);
  if (word == "on") {
    e.text.kinsokuOff = false;
  } else if (word == "off") {
    e.text.kinsokuOff = true;
  } else {
    ReportError(e, "エラー", "kinsoku命令にはonかoffを指定してください。");
  }
}

void Cmd_texec(Engine& e) { FinishTextGosubWait(e, false); }
void Cmd_texec2(Engine& e) { FinishTextGosubWait(e, true); }

void Cmd_setcursor(Engine& e) { ReadCursor(e, false); }
void Cmd_abssetcursor(Engine& e) { ReadCursor(e, true); }

void Cmd_br(Engine& e) { BreakTextLine(e); }

// The page as it stands goes to the message log; the window keeps it.
void Cmd_textcommit(Engine& e) {
  if (e.text.hooks.commitPage) e.text.hooks.commitPage(e);
}

void Cmd_textbtnstart(Engine& e) {
  e.text.textButtonStart = ReadNumberArgument(e);  // numbering starts there from the next page
}

void Cmd_toplain(Engine& e) {
  int32_t var = ReadStrVarTarget(e, "toplainの第１引数は文字列変数です。");
  ExpectComma(e);
  std::string text;
  ReadStringArgument(e, text);
  std::string plain;
  if (!PlainText(text, plain)) ReportError(e, "エラー", "ルビ形式に間違いがあります。");
  e.values.strVars[static_cast<size_t>(var)] = std::move(plain);
}

}  // namespace sorv
