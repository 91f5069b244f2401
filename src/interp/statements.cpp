// The statement loop: separators, labels, comments, commands and display
// lines, with the traps, the already-read map and save points between them.
#include <cstring>
#include <new>

#include "debug/hooks.h"
#include "interp/command_cache.h"
#include "interp/control_flow.h"
#include "interp/coverage.h"
#include "interp/error.h"
#include "interp/interp.h"
#include "interp/statement_forms.h"
#include "lua/bridge.h"
#include "lua/callbacks.h"
#include "persist/journal.h"
#include "persist/logs.h"
#include "persist/savepoint.h"
#include "script/reader.h"
#include "shell/engine.h"
#include "text/textflow.h"
#include "values/values.h"

namespace sorv {
namespace {

// Headless time is virtual and moves only when the game waits, so a loop
// that never waits would keep the clock still and run for ever. There each
// statement costs one microsecond of virtual time (a millisecond every
// thousand statements), which bounds every run by --max-time.
constexpr uint32_t kStatementsPerVirtualMs = 1000;

// A display chunk longer than this is handed over in pieces: the rest of the
// line is shown by the next pass of the loop, so no text is lost.
constexpr size_t kMaxChunkBytes = 16384;

const char kFullWidthSpace[] = "\x81\x40";

bool AtLineStart(const ScriptState& s) {
  return s.pos == 0 || s.at(s.pos - 1) == '\n' || s.at(s.pos - 1) == '\r';
}

bool SaveAllowed(const InterpState& in) { return !in.luaTextHook && (in.autoSaveOff || in.saveEnable); }

void FireTimerTrap(Engine& e) {
  TimerTrap& t = e.interp.timerTrap;
  uint32_t now = e.platform ? e.platform->NowMs() : 0;
  // A clock that wrapped below the start fires the trap at once.
  bool due = static_cast<uint64_t>(now) >= static_cast<uint64_t>(t.start) + t.interval || t.start > now;
  if (!due) return;
  if (t.mode == 2) return;
  if (t.mode == 1) {
    t.mode = 2;
    return;
  }
  std::string label = std::move(t.label);
  t.label.clear();
  JumpToLabel(e, label);
}

void FireClickTrap(Engine& e) {
  InterpState& in = e.interp;
  ClickTrap& t = in.clickTrap;
  bool fire = false;
  if (!t.rightOnly && TakeLeftButtonUp(e)) fire = true;
  if (t.leftOrSkip && !t.rightOnly && in.skipMode) fire = true;
  if (!t.rightOnly && in.leftClickFlag) fire = true;
  if (in.rightClickFlag && (t.leftAndRight || t.rightOnly)) fire = true;
  if (!fire || t.mode == 2) return;
  in.leftClickFlag = in.rightClickFlag = false;
  if (t.mode == 1) {
    t.mode = 2;
    return;
  }
  std::string label = std::move(t.label);
  t.label.clear();
  JumpToLabel(e, label);
}

void CheckTraps(Engine& e) {
  InterpState& in = e.interp;
  if (in.timerTrap.active && !in.timerTrap.label.empty()) {
    FireTimerTrap(e);
  } else if (!in.clickTrap.label.empty()) {
    FireClickTrap(e);
  }
}

void MarkRead(Engine& e) {
  InterpState& in = e.interp;
  size_t byte = static_cast<size_t>(e.script.pos) / 8;
  uint8_t bit = static_cast<uint8_t>(1u << (e.script.pos % 8));
  if (in.kidokuMode && !in.readMap.empty() && (byte >= in.readMap.size() || !(in.readMap[byte] & bit))) {
    in.skipMode = false;
  }
  if (byte < in.readMap.size()) in.readMap[byte] |= bit;
}

constexpr size_t kLabelLineSlots = 1024;

size_t LabelLineSlot(int32_t pos) { return (static_cast<uint32_t>(pos) * 2654435761u) >> 22; }

// A label line in the flow of statements: its name goes into the label log.
void PassLabelLine(Engine& e, std::string& word) {
  ScriptState& s = e.script;
  InterpState& in = e.interp;
  const int32_t start = s.pos;
  // Only the script's own text is remembered, never the scratch line.
  const bool cacheable = s.textGeneration != 0 && start < s.scratchOffset;
  if (cacheable && !in.labelLineCache.empty()) {
    const InterpState::CachedLabelLine& c = in.labelLineCache[LabelLineSlot(start)];
    if (c.pos == start && c.text == s.textGeneration && static_cast<size_t>(c.label) < s.labels.size()) {
      s.pos = c.next;
      AddLabelLogAt(e, c.label);
      return;
    }
  }
  ReadLabelName(e, word);
  const int32_t label = s.labelIndex.Find(s.data(), s.labels, word);
  if (label < 0) {
    AddLabelLog(e, word);
    return;
  }
  AddLabelLogAt(e, label);
  if (!cacheable) return;
  if (in.labelLineCache.empty()) in.labelLineCache.resize(kLabelLineSlots);
  in.labelLineCache[LabelLineSlot(start)] = {start, s.pos, s.textGeneration, label};
}

void StartNewPage(Engine& e) {
  e.interp.newPagePending = false;
  ClearTextWindow(e);
}

void SkipComment(ScriptState& s) {
  const void* nl = std::memchr(s.data() + s.pos, '\n', static_cast<size_t>(s.length - s.pos));
  s.pos = nl ? static_cast<int32_t>(static_cast<const char*>(nl) - s.data()) : s.length;
}

// "[tag]" in tag mode: the tag becomes the current tag and the pretextgosub
// routine reads its parameters with gettag.
void HandleTag(Engine& e) {
  InterpState& in = e.interp;
  ScriptState& s = e.script;
  bool took = false;
  if (SaveAllowed(in)) {
    TakeSavePoint(e);
    took = true;
  }
  if (in.newPagePending) {
    StartNewPage(e);
    if (!took && SaveAllowed(in)) TakeSavePoint(e);
  }
  ++s.pos;
  if (s.cur() == '[') ++s.pos;
  int32_t bracket = s.pos - 1;
  int32_t p = s.pos;
  while (s.at(p) != ']' && s.at(p) != 0 && s.at(p) != '\n') ++p;
  in.currentTag.assign(s.data() + s.pos, static_cast<size_t>(p - s.pos));
  if (LuaHasCallback(e, LuaEvent::Tag)) {
    s.pos = s.at(p) == ']' ? p + 1 : p;
    in.tagDone = true;
    LuaTagHook(e, in.currentTag);
    return;
  }
  if (!in.preTextGosub.on || in.preTextGosub.label.empty()) {
    // No routine reads the tag: step over it.
    s.pos = s.at(p) == ']' ? p + 1 : p;
    in.tagDone = true;
    return;
  }
  s.pos = bracket;
  CallEngineSubroutine(e, in.preTextGosub.label, "gosub文のせいでスタックが溢れました。");
  in.saveEnable = false;
  in.tagDone = true;
}

void HandleEnglishLine(Engine& e) {
  ScriptState& s = e.script;
  ++s.pos;
  std::string chunk;
  while (true) {
    unsigned char c = s.cur();
    if (c == '\n' || c == '\r' || c == 0 || c == '@' || c == '\\') break;
    chunk.push_back(static_cast<char>(c));
    ++s.pos;
  }
  if (chunk.size() % 2) chunk.push_back(' ');
  unsigned char stop = s.cur();
  if (stop == '@' || stop == '\\') {
    chunk.push_back(static_cast<char>(stop));
    ++s.pos;
  }
  ShowTextChunk(e, chunk);
}

// Pads a page-tag chunk with full-width spaces to a whole number of window lines.
void PadToWindowWidth(Engine& e, std::string& chunk) {
  size_t width = static_cast<size_t>(std::max(1, e.textWindow.window.columns)) * 2;
  if (chunk.size() % 2) chunk.push_back(' ');
  while (chunk.size() % width != 0 && chunk.size() < kMaxChunkBytes) chunk += kFullWidthSpace;
}

// Assembles one chunk of message text from the line at ScriptPos. Returns
// true when the chunk ended at the end of its line.
bool AssembleChunk(Engine& e, std::string& chunk) {
  ScriptState& s = e.script;
  InterpState& in = e.interp;
  bool splitAtWaits = in.textGosub.on || in.pageTag;
  while (true) {
    unsigned char c = s.cur();
    if (c == 0) return true;
    if (chunk.size() >= kMaxChunkBytes) return false;
    if (c == '\n') {
      if (!in.pageTag) return true;
      PadToWindowWidth(e, chunk);
      ++s.pos;
      continue;
    }
    if (IsLeadByte(c)) {
      if (s.at(s.pos + 1) == 0) {  // a lead byte cut off by the end of the text
        ++s.pos;
        continue;
      }
      chunk.push_back(static_cast<char>(c));
      chunk.push_back(static_cast<char>(s.at(s.pos + 1)));
      s.pos += 2;
      continue;
    }
    if (c == '{' || c == '}') {
      in.braceOn = c == '{';
      chunk.push_back(static_cast<char>(c));
      ++s.pos;
      continue;
    }
    if (!in.braceOn) {
      if ((c == '@' || c == '\\') && splitAtWaits) {
        chunk.push_back(static_cast<char>(c));
        ++s.pos;
        return false;
      }
      if (c == '$') {
        ++s.pos;
        int32_t n = ReadNumberPrimary(e);
        CheckStrVarNumber(e, n);
        chunk += e.values.strVars[static_cast<size_t>(n)];
        continue;
      }
      bool controlArgument = s.pos >= 2 && s.at(s.pos - 2) == '!';
      if ((c == '%' || c == '?') && !controlArgument) {
        chunk += FullWidthNumber(ReadNumberPrimary(e));
        continue;
      }
    }
    chunk.push_back(static_cast<char>(c));
    ++s.pos;
  }
}

void HandleDisplayLine(Engine& e, bool defineMode) {
  InterpState& in = e.interp;
  ScriptState& s = e.script;
  if (in.newPagePending) {
    StartNewPage(e);
    if (SaveAllowed(in)) TakeSavePoint(e);
  }
  bool atOrigin = e.textWindow.cursor.column == 0 && e.textWindow.cursor.line == 0;
  if (!in.tagDone && in.tagMode && AtLineStart(s)) {
    if (!in.luaTextHook && !in.savePointThisPass && !defineMode && atOrigin &&
        (in.autoSaveOff || in.saveEnable)) {
      TakeSavePoint(e);
    }
    in.currentTag.clear();
    if (LuaHasCallback(e, LuaEvent::Tag)) {
      LuaTagHook(e, "");
    } else if (in.preTextGosub.on && !in.preTextGosub.label.empty()) {
      CallEngineSubroutine(e, in.preTextGosub.label, "gosub文のせいでスタックが溢れました。");
      in.saveEnable = false;
      in.tagDone = true;
      return;
    }
  }
  if (defineMode) ReportError(e, "定義ブロックエラー", "*defineブロックには、表示文はおけません。");
  in.tagDone = false;
  in.braceOn = false;
  if (!in.luaTextHook && !in.tagMode && !in.savePointThisPass && atOrigin) TakeSavePoint(e);

  if (LuaHasCallback(e, LuaEvent::Text0)) {
    // The whole rest of the line goes to Lua instead of the text window.
    int32_t start = s.pos;
    while (s.cur() != '\n' && s.cur() != 0) ++s.pos;
    int32_t end = s.pos > start && s.at(s.pos - 1) == '\r' ? s.pos - 1 : s.pos;
    if (s.cur() == '\n') ++s.pos;
    LuaText0Hook(e, std::string_view(s.data() + start, static_cast<size_t>(end - start)));
    if (in.resetPending) ResetGame(e);
    return;
  }

  std::string chunk;
  bool lineEnded = AssembleChunk(e, chunk);
  if (lineEnded) {
    if (in.linePage) {
      chunk.push_back('\\');
    } else if (in.linePage2) {
      bool room = e.textWindow.cursor.line + 1 + in.linePage2Free < e.textWindow.window.rows;
      chunk.push_back(room ? '@' : '\\');
    }
  }
  MaterialiseSavePoint(e);
  if (LuaHasCallback(e, LuaEvent::Text)) {
    LuaTextHook(e, chunk);
  } else {
    ShowTextChunk(e, chunk);
  }
  if (in.resetPending) ResetGame(e);
}

void RunCommand(Engine& e, bool defineMode, std::string& word) {
  InterpState& in = e.interp;
  int32_t start = e.script.pos;
  in.statementStart = start;
  InterpState::CachedCommand* cached = CachedCommandAt(e, start, defineMode);
  if (!cached) ReadWord(e, word);
  if (!in.autoSaveOff && in.saveEnable) TakeSavePointInline(e);
  if (cached) {
    if (cached->form > static_cast<uint8_t>(StatementForm::None)) {
      if (!RunStatementForm(e, *cached)) RunCachedCommand(e, *cached);
    } else if (cached->form == static_cast<uint8_t>(StatementForm::Unknown)) {
      RunCachedCommandLearning(e, *cached);
    } else {
      RunCachedCommand(e, *cached);
    }
  } else {
    DispatchCommandAt(e, word, defineMode, start);
  }
  StepAfterCommand(e);
}

}  // namespace

std::string FullWidthNumber(int32_t value) {
  std::string out;
  uint32_t mag = static_cast<uint32_t>(value);
  if (value < 0) {
    out += "\x81\x7C";
    mag = 0u - mag;
  }
  char digits[12];
  int n = 0;
  do {
    digits[n++] = static_cast<char>(mag % 10);
    mag /= 10;
  } while (mag);
  while (n--) {
    out.push_back('\x82');
    out.push_back(static_cast<char>(0x4F + digits[n]));
  }
  return out;
}

void SkipRestOfLine(Engine& e) {
  ScriptState& s = e.script;
  SkipComment(s);
  if (s.cur() == '\n') ++s.pos;
}

namespace {

void RunStatementLoop(Engine& e, bool defineMode) {
  InterpState& in = e.interp;
  ScriptState& s = e.script;
  in.defineMode = defineMode;
  if (defineMode) {
    JumpToLabel(e, "define");
    in.clickTrap.label.clear();
    in.gameStarted = false;
  }
  while (IsBlank(s.cur())) ++s.pos;
  std::string word;
  word.reserve(64);
  const bool virtualClock = e.platform && e.platform->IsHeadless();
  uint32_t statements = 0;
  while (!e.app.restartRequested) {
    if (virtualClock && ++statements == kStatementsPerVirtualMs) {
      statements = 0;
      e.platform->SleepMs(1);
    }
    in.savePointThisPass = false;
    if (e.app.resetRequested) {
      ResetGame(e);
      e.app.resetRequested = false;
    }
    CheckTraps(e);
    unsigned char c = s.cur();
    if (in.luaTextHook && in.saveEnable && (s.pos == 0 || s.at(s.pos - 1) == '\n') && c != 0 &&
        std::strchr("\t :~*;", c) == nullptr) {
      TakeSavePoint(e);
    }
    MarkRead(e);
    switch (c) {
      case 0:
        if (e.lua.luaMain) throw FatalExit{-1, "エラー", "LuaのSVCOM_main関数が終了してしまいました。"};
        ReportError(e, "スクリプトエラー", "ファイルの終端に達しました。");
      case '\t':
      case '\n':
      case ' ':
      case ':':
      case '~':
        ++s.pos;
        continue;
      case '*':
        PassLabelLine(e, word);
        continue;
      case ';':
        SkipComment(s);
        continue;
      default:
        break;
    }
    RecordStatement(e.app.coverage, s.pos);
    if (c == '[' && in.tagMode) {
      HandleTag(e);
    } else if (c == '>' && in.english) {
      HandleEnglishLine(e);
    } else if (IsWordStart(c)) {
      RunCommand(e, defineMode, word);
      if ((defineMode && in.gameStarted) || e.app.closeRequested) return;
    } else if (in.tagMode && in.bracketNames && c == 0x81 && s.at(s.pos + 1) == 0x79) {
      // A full-width bracketed speaker name becomes a tag: 【name】 -> [[name]].
      s.data()[s.pos] = '[';
      s.data()[s.pos + 1] = '[';
      for (int32_t p = s.pos + 2; s.at(p) != 0 && s.at(p) != '\n'; ++p) {
        if (s.at(p) == 0x81 && s.at(p + 1) == 0x7A) {
          s.data()[p] = ']';
          s.data()[p + 1] = ']';
          break;
        }
        if (IsLeadByte(s.at(p)) && s.at(p + 1) != 0) ++p;
      }
      HandleTag(e);
    } else {
      HandleDisplayLine(e, defineMode);
    }
    if (e.app.closeRequested) return;
  }
}

}  // namespace

// An allocation that fails, or that the memory budget refuses, is a script
// error at the statement that made it, never the end of the process.
void RunStatements(Engine& e, bool defineMode) {
  try {
    RunStatementLoop(e, defineMode);
  } catch (const std::bad_alloc&) {
    ReportOutOfMemory(e);
  }
}

}  // namespace sorv
