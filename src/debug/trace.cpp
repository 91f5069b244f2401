// The command trace and the value traces: the trace text shown in the debug
// window, the lines appended to "debuglog.txt" and, with --trace, written to
// stderr. Step execution and the debug title line live here too.
#include <algorithm>
#include <cstdio>
#include <vector>

#include "debug/debug_state.h"
#include "interp/error.h"
#include "persist/slots.h"
#include "platform/encoding.h"
#include "script/reader.h"
#include "shell/engine.h"
#include "text/glyph_renderer.h"

namespace sorv {
namespace {

// The window is redrawn at most this often while commands run; the pump
// draws what is left when the game waits.
constexpr uint32_t kRedrawIntervalMs = 30;

// Trace text is drawn in cells of this height; single-byte characters take
// half the width.
constexpr int kCell = 14;
constexpr int kLineHeight = 16;
constexpr int kMargin = 4;

const std::string& SjisText(const char* utf8) {
  thread_local std::vector<std::pair<const char*, std::string>> cache;
  for (const auto& [key, text] : cache) {
    if (key == utf8) return text;
  }
  cache.emplace_back(utf8, platform::Utf8ToSjis(utf8));
  return cache.back().second;
}

// Keeps the newest kTraceTextBytes bytes, never cutting a double-byte character.
void KeepNewest(std::string& text) {
  if (text.size() <= kTraceTextBytes) return;
  size_t cut = text.size() - kTraceTextBytes;
  size_t p = 0;
  while (p < cut) p += IsLeadByte(static_cast<unsigned char>(text[p])) && p + 1 < text.size() ? 2 : 1;
  text.erase(0, p);
}

// The terminal's copy of a trace line: UTF-8 with plain line ends.
void WriteStderr(std::string_view sjis) {
  std::string text;
  text.reserve(sjis.size() + 1);
  for (char c : sjis) {
    if (c != '\r') text.push_back(c);
  }
  std::string line = platform::SjisToUtf8(text) + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
}

void AppendLog(Engine& e, std::string_view line, std::string_view end) {
  DebugState& d = e.debug;
  if (!d.logSwitch) return;
  if (!d.log && !d.logUnavailable) {
    // Appended to and flushed line by line: a crash loses no line already traced.
    d.log.reset(std::fopen(WritePath(e, "debuglog.txt").c_str(), "ab"));
    d.logUnavailable = !d.log;
  }
  if (!d.log) return;
  std::fwrite(line.data(), 1, line.size(), d.log.get());
  std::fwrite(end.data(), 1, end.size(), d.log.get());
  std::fflush(d.log.get());
}

void Changed(Engine& e) {
  DebugState& d = e.debug;
  if (!d.window) return;
  d.windowDirty = true;
  uint32_t now = e.platform ? e.platform->NowMs() : 0;
  if (now - d.windowDrawnMs >= kRedrawIntervalMs || d.window->StepChecked()) FlushDebugWindow(e);
}

void TraceValue(Engine& e, const std::string& line) {
  UpdateTracing(e);
  DebugState& d = e.debug;
  if (!d.tracing) return;
  if (d.window) {
    d.text += "\r\n";
    d.text += line;
    KeepNewest(d.text);
    Changed(e);
  }
  AppendLog(e, line, "\n");
  if (d.toStderr) WriteStderr(line);
}

// Draws Shift-JIS text into `out` (width x height coverage), wrapped at the
// width; when it does not fit, the newest lines are shown.
void DrawText(Engine& e, std::string_view text, std::vector<uint8_t>& out, int width, int height, bool oneLine) {
  struct Glyph {
    uint16_t code;
    int x, line, w;
  };
  std::vector<Glyph> glyphs;
  int x = 0, line = 0;
  const int right = oneLine ? width : width - 2 * kMargin;
  for (size_t i = 0; i < text.size(); ++i) {
    auto c = static_cast<unsigned char>(text[i]);
    if (c == '\r') continue;
    if (c == '\n') {
      x = 0;
      ++line;
      continue;
    }
    uint16_t code = c;
    int w = kCell / 2;
    if (IsLeadByte(c) && i + 1 < text.size()) {
      code = static_cast<uint16_t>(c << 8 | static_cast<unsigned char>(text[++i]));
      w = kCell;
    }
    if (x + w > right && x > 0) {
      x = 0;
      ++line;
    }
    glyphs.push_back({code, x, line, w});
    x += w;
  }
  const int rows = oneLine ? 1 : std::max(1, (height - 2 * kMargin) / kLineHeight);
  const int first = std::max(0, line + 1 - rows);
  const int originX = oneLine ? 0 : kMargin, originY = oneLine ? 0 : kMargin;
  const std::string& face = e.textSettings.defaultFace;
  for (const Glyph& g : glyphs) {
    if (g.line < first || g.line >= first + rows) continue;
    GlyphKey key;
    key.face = face;
    key.cellW = g.w;
    key.cellH = kCell;
    key.code = g.code;
    const GlyphCoverage& cov = Glyphs(e).Coverage(key);
    int gx = originX + g.x, gy = originY + (g.line - first) * kLineHeight;
    for (int j = 0; j < cov.h && gy + j < height; ++j) {
      for (int i = 0; i < cov.w && gx + i < width; ++i) {
        uint8_t& px = out[static_cast<size_t>(gy + j) * static_cast<size_t>(width) + static_cast<size_t>(gx + i)];
        px = std::max(px, cov.values[static_cast<size_t>(j) * static_cast<size_t>(cov.w) + static_cast<size_t>(i)]);
      }
    }
  }
}

}  // namespace

void UpdateTracing(Engine& e) {
  DebugState& d = e.debug;
  if (d.window && !d.window->IsOpen()) {
    d.window.reset();
    d.windowDirty = false;
  }
  d.tracing = d.window || d.logSwitch || d.toStderr;
}

void FlushDebugWindow(Engine& e) {
  DebugState& d = e.debug;
  d.windowDirty = false;
  if (!d.window) return;
  if (!d.window->IsOpen()) {
    UpdateTracing(e);
    return;
  }
  if (e.platform && e.platform->IsHeadless()) return;  // nothing to draw on
  std::vector<uint8_t> coverage(static_cast<size_t>(platform::kDebugWindowWidth) * platform::kDebugTraceHeight, 0);
  DrawText(e, d.text, coverage, platform::kDebugWindowWidth, platform::kDebugTraceHeight, false);
  d.window->ShowTrace(coverage.data());
  d.windowDrawnMs = e.platform ? e.platform->NowMs() : 0;
}

void TraceCommandSlow(Engine& e, std::string_view word) {
  UpdateTracing(e);
  DebugState& d = e.debug;
  if (!d.tracing) return;
  const ScriptState& s = e.script;
  int32_t pos = s.pos;
  FileLine fl = PositionToFileLine(s, pos);
  int32_t begin = pos, end = pos;
  while (begin > 0 && s.at(begin - 1) != '\n' && s.at(begin - 1) != 0) --begin;
  while (s.at(end) != '\n' && s.at(end) != 0) ++end;
  if (end > begin && s.at(end - 1) == '\r') --end;
  std::string line = std::to_string(fl.file) + ".txt line:" + std::to_string(fl.line) + " " + SjisText("命令:");
  line.append(word);
  line += "\r\n> ";
  line.append(s.data() + begin, static_cast<size_t>(end - begin));
  if (d.window) {
    d.text = line;
    KeepNewest(d.text);
    Changed(e);
  }
  AppendLog(e, line, "\r\n");
  if (d.toStderr) WriteStderr(line);
}

void StepAfterCommandSlow(Engine& e) {
  if (e.app.closeRequested || e.app.restartRequested) return;
  // The player may have cleared the check box while the last step's box was
  // up; the statement loop does not pump between commands, so look now.
  if (e.platform && !e.platform->IsHeadless() && e.debug.window) FillMessageQueue(e);
  UpdateTracing(e);
  DebugState& d = e.debug;
  if (!d.window || !d.window->StepChecked() || !e.platform) return;
  if (d.windowDirty) FlushDebugWindow(e);
  e.platform->ShowMessageBox("ステップ実行", "ステップ実行中", platform::MessageBoxButtons::Ok,
                             platform::MessageBoxIcon::Information);
}

void ShowDebugTitle(Engine& e) {
  if (!e.platform) return;
  if (e.interp.skipMode || e.app.ctrlDown) {
    e.platform->SetTitle("---");
    return;
  }
  FileLine fl = PositionToFileLine(e.script, e.script.pos);
  e.platform->SetTitle(Format("(DebugMode) %d.txt line:%d", fl.file, fl.line));
}

void TraceArraySlow(Engine& e, int32_t array, int32_t value) {
  TraceValue(e, SjisText("配列変数?") + std::to_string(array) + SjisText("へアクセス：値") + std::to_string(value));
}

void TraceIntVarSlow(Engine& e, int32_t var, int32_t value) {
  TraceValue(e, SjisText("数字変数%") + std::to_string(var) + SjisText("へアクセス：値") + std::to_string(value));
}

void TraceBracketSlow(Engine& e, int32_t value) { TraceValue(e, SjisText("[]内の式の値") + std::to_string(value)); }

void TraceAliasSlow(Engine& e, const std::string& name, int32_t value) {
  TraceValue(e, SjisText("エイリアス") + name + SjisText("へアクセス：値") + std::to_string(value));
}

void TraceStrVarSlow(Engine& e, int32_t var, const std::string& value) {
  TraceValue(e, SjisText("文字列変数$") + std::to_string(var) + SjisText("へアクセス：値\"") + value + "\"");
}

void Cmd_createdebugwindow(Engine& e) {
  UpdateTracing(e);
  DebugState& d = e.debug;
  if (d.window) return;  // one at most
  if (e.platform && !e.platform->IsHeadless()) {
    std::string error;
    d.window = platform::CreateSdlDebugWindow("デバッグウィンドウ", 40, &error);
    if (d.window) {
      d.window->SetStepChecked(d.stepAtOpen);
      const std::string& label = SjisText("ステップ実行");
      int w = static_cast<int>(label.size() / 2) * kCell;
      std::vector<uint8_t> coverage(static_cast<size_t>(w) * kCell, 0);
      DrawText(e, label, coverage, w, kCell, true);
      d.window->SetLabel(coverage.data(), w, kCell);
    } else {
      std::fprintf(stderr, "sorv: the debug window could not be opened (%s); the trace is kept in memory\n",
                   error.c_str());
    }
  }
  if (!d.window) d.window = platform::CreateHeadlessDebugWindow(d.stepAtOpen);
  d.text.clear();
  FlushDebugWindow(e);
  UpdateTracing(e);
}

void Cmd_debuglog(Engine& e) {
  DebugState& d = e.debug;
  d.logSwitch = ReadNumberArgument(e) != 0;
  d.logUnavailable = false;  // a file that could not be opened is tried again
  if (!d.logSwitch) d.log.reset();
  UpdateTracing(e);
}

}  // namespace sorv
