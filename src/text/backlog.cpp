// The message log: pages committed at each page end, read back by getlog and
// friends, and shown on sprites by logsp. Already-read skipping is the
// statement loop's (it reads e.interp.kidokuMode); kidokumode sets it.
#include <algorithm>

#include "graphics/scene.h"
#include "interp/error.h"
#include "script/reader.h"
#include "shell/engine.h"
#include "text/backlog_view.h"
#include "values/values.h"

namespace sorv {

void CommitPage(Engine& e) {
  std::string& record = e.text.pageText;
  MessageLog& log = e.messageLog;
  if (log.enabled && !record.empty()) {
    log.entries.push_back(record);
    log.tags.push_back(e.interp.currentTag);
    ++log.counter;
    size_t max = static_cast<size_t>(std::max(e.textSettings.maxPages, 1));
    while (log.entries.size() > max) log.entries.erase(log.entries.begin());
    while (log.tags.size() > log.entries.size()) log.tags.erase(log.tags.begin());
  }
  // Emptied even when nothing was kept: a page ended twice (a page wait and
  // then textclear) is committed once, and text drawn while recording was
  // off never reaches a later page.
  record.clear();
  e.interp.currentTag.clear();
}

void ClearMessageLog(Engine& e) {
  e.messageLog.entries.clear();
  e.messageLog.tags.clear();
  e.text.pageText.clear();
}

namespace {

// The n-th page back from the newest of a list kept oldest first.
const std::string* FromNewest(const std::vector<std::string>& list, int32_t n) {
  if (n < 1 || static_cast<size_t>(n) > list.size()) return nullptr;
  return &list[list.size() - static_cast<size_t>(n)];
}

}  // namespace

bool LogPage(const Engine& e, int32_t n, std::string& out) {
  if (n == 0) {
    out = e.messageLog.enabled ? e.text.pageText : std::string();
    return true;
  }
  const std::string* page = FromNewest(e.messageLog.entries, n);
  if (!page) return false;
  out = *page;
  return true;
}

bool LogTag(const Engine& e, int32_t n, std::string& out) {
  if (n == 0) {
    out = e.interp.currentTag;
    return true;
  }
  const std::string* tag = FromNewest(e.messageLog.tags, n);
  if (!tag) return false;
  out = *tag;
  return true;
}

std::string WithoutBreaks(const std::string& text, bool dropWaits) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (IsLeadByte(c) && i + 1 < text.size()) {
      out.push_back(text[i]);
      out.push_back(text[++i]);
      continue;
    }
    if (c == '\n' || c == '\r') continue;
    if (dropWaits && c == '\\') continue;
    out.push_back(static_cast<char>(c));
  }
  return out;
}

void InstallBacklogHooks(Engine& e) {
  e.text.hooks.commitPage = CommitPage;
  e.textWindow.hooks.commitPage = CommitPage;
  e.textWindow.hooks.clearMessageLog = ClearMessageLog;
  e.input.hooks.openBacklog = [](Engine& en) { OpenBacklog(en); };
}

// ---- Commands ---------------------------------------------------------------

void Cmd_lookbackon(Engine& e) { e.messageLog.enabled = true; }

void Cmd_lookbackoff(Engine& e) {
  e.messageLog.enabled = false;
  e.text.pageText.clear();
}

void Cmd_lookbackflush(Engine& e) { ClearMessageLog(e); }

namespace {

constexpr const char* kNotStringVar = "文字列変数番号が範囲外です。";

// getlog and getlogtext: an unavailable page leaves the variable as it was.
void ReadLogInto(Engine& e, bool withoutBreaks) {
  int32_t var = ReadStrVarTarget(e, kNotStringVar, "エラー");
  int32_t n = NextNumber(e);
  std::string page;
  if (!LogPage(e, n, page)) return;
  e.values.strVars[static_cast<size_t>(var)] = withoutBreaks ? WithoutBreaks(page, false) : page;
}

}  // namespace

void Cmd_getlog(Engine& e) { ReadLogInto(e, false); }
void Cmd_getlogtext(Engine& e) { ReadLogInto(e, true); }

void Cmd_gettext(Engine& e) {
  int32_t var = ReadStrVarTarget(e, kNotStringVar, "エラー");
  std::string page;
  LogPage(e, 0, page);
  e.values.strVars[static_cast<size_t>(var)] = WithoutBreaks(page, true);
}

void Cmd_gettaglog(Engine& e) {
  int32_t var = ReadStrVarTarget(e, "gettaglogの引数は文字変数です。", "エラー");
  int32_t n = NextNumber(e);
  std::string tag;
  if (LogTag(e, n, tag)) e.values.strVars[static_cast<size_t>(var)] = tag;
}

// checkpage %v, n: 1 when page n of the log can be read (page 0, the page
// being written, when it holds text), else 0.
void Cmd_checkpage(Engine& e) {
  int32_t var = ReadIntVarTarget(e, "checkpageの第一引数は数字変数です。", "エラー");
  int32_t n = NextNumber(e);
  std::string page;
  bool there = LogPage(e, n, page) && (n != 0 || !page.empty());
  StoreIntLimited(e, var, there ? 1 : 0);
}

// getnextline %v: the line of the page the next character goes to.
void Cmd_getnextline(Engine& e) {
  int32_t var = ReadIntVarTarget(e, "getnextlineの引数は数字変数です。", "エラー");
  int32_t line = e.textWindow.cursor.line + (e.textWindow.cursor.column > 0 ? 1 : 0);
  StoreIntLimited(e, var, line);
}

void Cmd_kidokumode(Engine& e) { e.interp.kidokuMode = ReadNumberArgument(e) != 0; }

namespace {

// logsp and friends: a sprite showing a line of text in the text window's
// font. Line breaks of a log page are left out; the sprite is one line.
void LogSprite(Engine& e, bool ownSize, bool visible) {
  int32_t n = ReadNumberArgument(e);
  std::string text = NextString(e);
  int32_t x = NextNumber(e), y = NextNumber(e);
  const TextWindowState& w = e.textWindow.window;
  TextSpriteSpec spec;
  spec.sized = true;
  spec.width = w.glyphW;
  spec.height = w.glyphH;
  spec.pitch = w.advanceX - w.glyphW;
  if (ownSize) {
    spec.width = NextNumber(e);
    spec.height = NextNumber(e);
    spec.pitch = NextNumber(e);
    NextNumber(e);  // line spacing: the sprite holds one line
  }
  spec.style = w.shadow ? 2 : 0;
  spec.colours = {e.textWindow.colour.Rgb()};
  spec.text = WithoutBreaks(text, true);
  if (n < 0 || n >= kSpriteSlots) ReportError(e, "エラー", Format("スプライト番号%dは範囲外です。", n));
  Sprite& sp = e.scene.sprites[static_cast<size_t>(n)];
  if (sp.visible && !sp.tag.empty()) MarkDirty(e, SpriteRect(sp));
  sp.image.Clear();
  sp.image.textSpriteSpec = std::move(spec);
  RenderTextSprite(e, sp.image);
  sp.tag = "bklg";
  sp.image.tag = "bklg";
  sp.x = x;
  sp.y = y;
  sp.visible = visible;
  if (visible) MarkDirty(e, SpriteRect(sp));
}

}  // namespace

void Cmd_logsp(Engine& e) { LogSprite(e, false, true); }
void Cmd_logsp2(Engine& e) { LogSprite(e, true, true); }
void Cmd_logsph(Engine& e) { LogSprite(e, false, false); }
void Cmd_logsph2(Engine& e) { LogSprite(e, true, false); }

}  // namespace sorv
