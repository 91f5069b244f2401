// Finding and reading the script, and the settings of its first line.
#include <algorithm>
#include <cstring>

#include "interp/error.h"
#include "platform/fs.h"
#include "script/script.h"
#include "shell/engine.h"
#include "values/values.h"

namespace sorv {
namespace {

// Positions are signed 32-bit offsets; a script must leave room for the
// scratch area behind it.
constexpr uint64_t kMaxScriptBytes = 1024ull * 1024 * 1024;
constexpr int32_t kMaxVarCount = 16 * 1024 * 1024;
constexpr int kMaxScreenSide = 16384;

const char kBuiltinScript[] = "*define\ndeletemenu\nluasub main\ngame\n*start\nmain\n";

[[noreturn]] void FirstLineError(const char* message) {
  throw FatalExit{2, "エラー", message};
}

void StartBuffer(ScriptState& s, uint64_t total) {
  if (total > kMaxScriptBytes) throw FatalExit{2, "エラー", "スクリプトファイルが大きすぎます。"};
  s.buffer.assign(static_cast<size_t>(total) + 2048, '\0');
  s.scratchOffset = static_cast<int32_t>(total) + 512;
  s.length = 0;
}

void Append(ScriptState& s, const char* p, size_t n) {
  std::memcpy(s.buffer.data() + s.length, p, n);
  s.length += static_cast<int32_t>(n);
}

void AppendNewline(ScriptState& s) { s.buffer[static_cast<size_t>(s.length++)] = '\n'; }

// Text-mode copy: CR LF pairs become LF and a Ctrl-Z byte ends the file.
void AppendTextMode(ScriptState& s, const std::vector<char>& file) {
  char* out = s.buffer.data() + s.length;
  size_t n = file.size();
  size_t w = 0;
  for (size_t i = 0; i < n; ++i) {
    char c = file[i];
    if (c == 0x1A) break;
    if (c == '\r' && i + 1 < n && file[i + 1] == '\n') continue;
    out[w++] = c;
  }
  s.length += static_cast<int32_t>(w);
}

void AppendXored(ScriptState& s, const std::vector<char>& file, unsigned char key) {
  char* out = s.buffer.data() + s.length;
  for (size_t i = 0; i < file.size(); ++i) out[i] = static_cast<char>(static_cast<unsigned char>(file[i]) ^ key);
  s.length += static_cast<int32_t>(file.size());
}

std::vector<char> ReadScriptFile(Engine& e, const std::string& path, const std::string& shownName) {
  std::string why;
  auto data = platform::ReadWholeFile(path, kMaxScriptBytes, &why);
  if (!data) ReportError(e, "エラー", Format("スクリプトファイル%sを読み込めません（%s）。", shownName.c_str(), why.c_str()));
  return std::move(*data);
}

// A name that exists but is no readable regular file (a directory, a
// device) is an error of its own rather than a silently missing script.
std::optional<uint64_t> ScriptFileSize(Engine& e, const std::string& name) {
  std::string path = e.Path(name);
  if (auto size = platform::RegularFileSize(path)) return size;
  if (platform::IsDirectory(path)) {
    ReportError(e, "エラー", Format("スクリプトファイル%sがディレクトリです。", name.c_str()));
  }
  return std::nullopt;
}

bool Present(Engine& e, const std::string& name) { return platform::IsRegularFile(e.Path(name)) || platform::IsDirectory(e.Path(name)); }

void LoadScrambledSingle(Engine& e) {
  ScriptState& s = e.script;
  std::vector<char> file = ReadScriptFile(e, e.Path("svscript.zat"), "svscript.zat");
  StartBuffer(s, file.size());
  AppendXored(s, file, 0xD3);
  AppendNewline(s);
}

void LoadScrambledMulti(Engine& e) {
  ScriptState& s = e.script;
  std::vector<char> main = ReadScriptFile(e, e.Path("svscript.dat"), "svscript.dat");
  std::vector<std::vector<char>> parts(100);
  std::vector<bool> present(100, false);
  uint64_t total = main.size();
  for (int i = 0; i < 100; ++i) {
    std::string name = Format("%02d.np", i);
    if (ScriptFileSize(e, name)) {
      parts[i] = ReadScriptFile(e, e.Path(name), name);
      present[i] = true;
      total += parts[i].size() + 2;
    }
  }
  StartBuffer(s, total);
  AppendXored(s, main, 0xA7);
  AppendNewline(s);
  for (int i = 0; i < 100; ++i) {
    if (!present[i]) continue;
    AppendXored(s, parts[i], 0xA7);
    AppendNewline(s);
  }
}

void LoadBuiltin(Engine& e) {
  ScriptState& s = e.script;
  size_t n = std::strlen(kBuiltinScript);
  s.buffer.assign(n + 1 + 2048, '\0');
  std::memcpy(s.buffer.data(), kBuiltinScript, n);
  s.length = static_cast<int32_t>(n + 1);
  s.scratchOffset = s.length + 512;
  s.fallbackMode = true;
}

// Numbered text files "0.txt" … "99.txt" ("00.txt" … "09.txt" stand in for
// missing single-digit names). Returns false when there is no script at all.
bool LoadNumbered(Engine& e) {
  ScriptState& s = e.script;
  uint64_t total = 0;
  for (int i = 0; i < 100; ++i) {
    if (auto n = ScriptFileSize(e, Format("%d.txt", i))) total += *n;
    if (i < 10) {
      if (auto n = ScriptFileSize(e, Format("0%d.txt", i))) total += *n;
    }
  }
  if (total == 0) return false;
  StartBuffer(s, total);
  s.fromTextFiles = true;
  for (int i = 0; i < 100; ++i) {
    std::string name = Format("%d.txt", i);
    bool have = platform::IsRegularFile(e.Path(name));
    if (!have && i < 10) {
      name = Format("0%d.txt", i);
      have = platform::IsRegularFile(e.Path(name));
    }
    if (have) {
      std::vector<char> file = ReadScriptFile(e, e.Path(name), name);
      // The file may have grown since it was measured: never let the text
      // reach the scratch area, keeping room for the newlines still to come.
      int64_t room = static_cast<int64_t>(s.scratchOffset) - s.length - (100 - i) - 1;
      if (static_cast<int64_t>(file.size()) > room) file.resize(static_cast<size_t>(std::max<int64_t>(room, 0)));
      AppendTextMode(s, file);
    }
    s.fileEnd[static_cast<size_t>(i)] = s.length;
    AppendNewline(s);
  }
  return true;
}

int64_t ReadDecimal(const char*& p, const char* end) {
  int64_t v = 0;
  int digits = 0;
  while (p < end && *p >= '0' && *p <= '9') {
    if (digits < 12) v = v * 10 + (*p - '0');
    ++digits;
    ++p;
  }
  return v;
}

void SetBorder(Engine& e, int64_t border) {
  if (border > e.script.numVarCount - 2) FirstLineError("グローバル変数設定に与える数字が大きすぎます。");
  e.script.globalBorder = static_cast<int32_t>(border);
}

void SetScreen(Engine& e, int64_t w, int64_t h) {
  if (w < 1 || h < 1 || w > kMaxScreenSide || h > kMaxScreenSide) FirstLineError("一行目の設定が間違っています。");
  e.screenWidth = static_cast<int>(w);
  e.screenHeight = static_cast<int>(h);
  if (e.platform) e.platform->SetLogicalSize(e.screenWidth, e.screenHeight);
}

void ApplyDollarLine(Engine& e, const char* p, const char* end) {
  while (p < end && *p != '\n' && *p != '\r' && *p != 0) {
    char c = *p;
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    ++p;
    if (c == 'V') {
      int64_t v = ReadDecimal(p, end);
      if (v < 1 || v > kMaxVarCount) FirstLineError("一行目の設定が間違っています。");
      e.script.numVarCount = static_cast<int32_t>(v);
    } else if (c == 'G') {
      SetBorder(e, ReadDecimal(p, end));
    } else if (c == 'L') {
      int64_t v = ReadDecimal(p, end);
      if (v > kMaxVarCount) FirstLineError("一行目の設定が間違っています。");
      e.script.labelMax = static_cast<int32_t>(v);
    } else if (c == 'S') {
      int64_t w = ReadDecimal(p, end);
      if (p >= end || *p != ',') FirstLineError("一行目の設定が間違っています。");
      ++p;
      SetScreen(e, w, ReadDecimal(p, end));
    }
  }
}

bool StartsWith(const char* p, const char* end, const char* word) {
  size_t n = std::strlen(word);
  return static_cast<size_t>(end - p) >= n && std::memcmp(p, word, n) == 0;
}

const char* SkipSettingBlanks(const char* p, const char* end) {
  while (p < end && (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n')) ++p;
  return p;
}

}  // namespace

void ApplyFirstLineSettings(Engine& e, const char* text, size_t size, bool luaComment) {
  const char* end = text + size;
  const char* p = SkipSettingBlanks(text, end);
  if (luaComment) {
    if (!StartsWith(p, end, "--")) return;
    p += 2;
  } else {
    if (p >= end || *p != ';') return;
    ++p;
  }
  p = SkipSettingBlanks(p, end);
  bool mode = false;
  if (StartsWith(p, end, "mode800")) {
    SetScreen(e, 800, 600), mode = true;
  } else if (StartsWith(p, end, "mode400")) {
    SetScreen(e, 400, 300), mode = true;
  } else if (StartsWith(p, end, "mode320")) {
    SetScreen(e, 320, 240), mode = true;
  }
  if (StartsWith(p, end, "value")) {
    const char* q = p + 5;
    SetBorder(e, ReadDecimal(q, end));
  } else if (mode && StartsWith(p + 7, end, ",value")) {
    const char* q = p + 13;
    SetBorder(e, ReadDecimal(q, end));
  }
  if (p < end && *p == '$') ApplyDollarLine(e, p + 1, end);
}

void AllocateBanks(Engine& e) {
  ResetValueTables(e);
  e.script.labels.clear();
  e.script.labelIndex.clear();
}

static void ResetScriptState(Engine& e) {
  ScriptState& s = e.script;
  s.buffer.clear();
  s.length = 0;
  s.pos = 0;
  s.fileEnd.fill(0);
  s.fileEnd[99] = 16777215;
  s.fromTextFiles = false;
  s.fallbackMode = false;
  s.numVarCount = 4096;
  s.labelMax = 10000;
  s.globalBorder = 200;
  s.readNesting = 0;
}

void LoadScript(Engine& e) {
  ResetScriptState(e);
  ScriptState& s = e.script;
  bool numberedZero = Present(e, "0.txt") || Present(e, "00.txt");
  if (!numberedZero && Present(e, "svscript.zat")) {
    LoadScrambledSingle(e);
  } else if (!numberedZero && Present(e, "svscript.dat")) {
    LoadScrambledMulti(e);
  } else if (!LoadNumbered(e)) {
    if (!e.app.luaPresent) {
      s.buffer.assign(2048, '\0');
      ReportError(e, "エラー", "スクリプトファイルが見つかりません。");
    }
    LoadBuiltin(e);
  }
  s.buffer[static_cast<size_t>(s.length)] = 0;

  if (s.fallbackMode) {
    // The built-in script takes its settings from the head of system.lua.
    auto lua = platform::ReadWholeFile(e.Path("system.lua"), kMaxScriptBytes);
    if (lua) ApplyFirstLineSettings(e, lua->data(), std::min<size_t>(lua->size(), 100), true);
  } else {
    ApplyFirstLineSettings(e, s.data(), static_cast<size_t>(s.length), false);
  }
  AllocateBanks(e);
}

void LoadScriptFromText(Engine& e, std::string_view text) {
  ResetScriptState(e);
  ScriptState& s = e.script;
  StartBuffer(s, text.size());
  s.fromTextFiles = true;
  Append(s, text.data(), text.size());
  for (int i = 0; i < 100; ++i) {
    s.fileEnd[static_cast<size_t>(i)] = s.length;
    AppendNewline(s);
  }
  s.buffer[static_cast<size_t>(s.length)] = 0;
  ApplyFirstLineSettings(e, s.data(), static_cast<size_t>(s.length), false);
  AllocateBanks(e);
}

bool PlaceScratchLine(Engine& e, std::string_view line) {
  ScriptState& s = e.script;
  size_t off = static_cast<size_t>(s.scratchOffset);
  if (off + line.size() + 2 > s.buffer.size()) return false;
  std::memcpy(s.buffer.data() + off, line.data(), line.size());
  s.buffer[off + line.size()] = '\n';
  s.buffer[off + line.size() + 1] = 0;
  s.pos = s.scratchOffset;
  return true;
}

}  // namespace sorv
