// Finding and reading the script, and the settings of its first line.
#include <algorithm>
#include <atomic>
#include <cctype>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>
#include <unordered_map>

#include "interp/error.h"
#include "platform/fs.h"
#include "script/line_scan.h"
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
  s.buffer.clear();
  s.buffer.resize(static_cast<size_t>(total) + 2048);  // filled by the loader, tail zeroed at the end
  s.scratchOffset = static_cast<int32_t>(total) + 512;
  s.length = 0;
}

void Append(ScriptState& s, const char* p, size_t n) {
  std::memcpy(s.buffer.data() + s.length, p, n);
  s.length += static_cast<int32_t>(n);
}

void AppendNewline(ScriptState& s) { s.buffer[static_cast<size_t>(s.length++)] = '\n'; }

// Hands each file's label lines to DraftLabels once the file is scanned:
// for a large script on a second thread, which drafts one file while the
// loader reads and scans the next. The script buffer never moves while
// loading; the drafter reads only text below the file's end and the line
// numbers copied for it, the loader writes only behind that end and never
// touches the draft, which is the drafter's alone until Finish.
class LabelDrafter {
 public:
  LabelDrafter(ScriptState& s, uint64_t totalBytes, int files) : s_(s) {
    if (totalBytes < draftOnThreadFrom || files < 2 || std::thread::hardware_concurrency() < 2) return;
    try {
      worker_ = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
      // No thread to be had: the drafts are made in line.
    }
  }
  LabelDrafter(const LabelDrafter&) = delete;
  LabelDrafter& operator=(const LabelDrafter&) = delete;
  ~LabelDrafter() { Finish(); }

  // The lines from `firstLine` on belong to text that ends at `textEnd`.
  void FileScanned(size_t firstLine, int32_t textEnd) {
    const std::vector<int32_t>& lines = s_.labelLines;
    if (!worker_.joinable()) {
      DraftLabels(s_, lines.data() + firstLine, lines.size() - firstLine, firstLine, textEnd);
      return;
    }
    Job job{firstLine, textEnd, std::vector<int32_t>(lines.begin() + static_cast<std::ptrdiff_t>(firstLine), lines.end())};
    {
      std::lock_guard<std::mutex> lock(mutex_);
      jobs_.push_back(std::move(job));
    }
    wake_.notify_one();
  }

  // Waits for the drafts still being made; the draft is the loader's again.
  void Finish() {
    if (!worker_.joinable()) return;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_ = true;
    }
    wake_.notify_one();
    worker_.join();
  }

 private:
  struct Job {
    size_t firstLine;
    int32_t textEnd;
    std::vector<int32_t> lines;
  };

  void Run() {
    for (;;) {
      Job job;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait(lock, [this] { return done_ || !jobs_.empty(); });
        if (jobs_.empty()) return;
        job = std::move(jobs_.front());
        jobs_.pop_front();
      }
      try {
        DraftLabels(s_, job.lines.data(), job.lines.size(), job.firstLine, job.textEnd);
      } catch (const std::bad_alloc&) {
        s_.labelDraftOpen = false;  // the draft is only a head start
      }
    }
  }

  ScriptState& s_;
  std::thread worker_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Job> jobs_;
  bool done_ = false;
};

void XorInPlace(char* p, size_t n, unsigned char key) {
  for (size_t i = 0; i < n; ++i) p[i] = static_cast<char>(static_cast<unsigned char>(p[i]) ^ key);
}

// The game directory's own entries, found once per load: the script names
// are looked up here instead of probing the file system for each of the
// hundred numbers (and matched without regard to case, as everywhere).
class GameFiles {
 public:
  explicit GameFiles(const Engine& e) : dir_(e.gameDir) {
    for (std::string& name : platform::ListDirectory(dir_)) {
      std::string key = name;
      for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      names_.emplace(std::move(key), std::move(name));  // the first spelling found wins
    }
  }
  // Full path of `name`, or empty when the directory has no such entry.
  std::string Find(const std::string& name) const {
    auto it = names_.find(name);
    if (it == names_.end()) return {};
    return dir_.empty() ? it->second : dir_ + "/" + it->second;
  }

 private:
  std::string dir_;
  std::unordered_map<std::string, std::string> names_;
};

// Size of a script file; nullopt when absent. A name that exists but is no
// regular file (a directory, a device) is an error of its own rather than a
// silently missing script.
std::optional<uint64_t> ScriptFileSize(Engine& e, const GameFiles& files, const std::string& name) {
  std::string path = files.Find(name);
  if (path.empty()) return std::nullopt;
  if (auto size = platform::RegularFileSize(path)) return size;
  if (platform::IsDirectory(path)) {
    ReportError(e, "エラー", Format("スクリプトファイル%sがディレクトリです。", name.c_str()));
  }
  return std::nullopt;
}

// Reads a script file behind the text already in the buffer, never past
// `limit` (files may grow between measuring and reading); returns the count.
size_t ReadScriptFile(Engine& e, const GameFiles& files, const std::string& name, int64_t limit) {
  ScriptState& s = e.script;
  std::string why;
  size_t got = 0;
  size_t room = static_cast<size_t>(std::max<int64_t>(limit - s.length, 0));
  if (!platform::ReadFileInto(files.Find(name), s.data() + s.length, room, got, &why)) {
    ReportError(e, "エラー", Format("スクリプトファイル%sを読み込めません（%s）。", name.c_str(), why.c_str()));
  }
  return got;
}

void LoadScrambledSingle(Engine& e, const GameFiles& files) {
  ScriptState& s = e.script;
  uint64_t size = ScriptFileSize(e, files, "svscript.zat").value_or(0);
  StartBuffer(s, size);
  size_t got = ReadScriptFile(e, files, "svscript.zat", static_cast<int64_t>(size));
  XorInPlace(s.data(), got, 0xD3);
  s.length += static_cast<int32_t>(ScanScriptText(s.data(), got, false, 0, s.labelLines));
  LabelDrafter(s, 0, 1).FileScanned(0, s.length);
  AppendNewline(s);
}

void LoadScrambledMulti(Engine& e, const GameFiles& files) {
  ScriptState& s = e.script;
  uint64_t total = ScriptFileSize(e, files, "svscript.dat").value_or(0);
  std::vector<uint64_t> sizes(100, 0);
  std::vector<bool> present(100, false);
  for (int i = 0; i < 100; ++i) {
    if (auto n = ScriptFileSize(e, files, Format("%02d.np", i))) {
      present[static_cast<size_t>(i)] = true;
      sizes[static_cast<size_t>(i)] = *n;
      total += *n + 2;
    }
  }
  StartBuffer(s, total);
  LabelDrafter drafter(s, total, 1 + static_cast<int>(std::count(present.begin(), present.end(), true)));
  auto readOne = [&](const std::string& name, uint64_t size) {
    int32_t at = s.length;
    size_t got = ReadScriptFile(e, files, name, at + static_cast<int64_t>(size));
    XorInPlace(s.data() + at, got, 0xA7);
    const size_t firstLine = s.labelLines.size();
    s.length += static_cast<int32_t>(ScanScriptText(s.data() + at, got, false, at, s.labelLines));
    drafter.FileScanned(firstLine, s.length);
    AppendNewline(s);
  };
  readOne("svscript.dat", total);
  for (int i = 0; i < 100; ++i) {
    if (present[static_cast<size_t>(i)]) readOne(Format("%02d.np", i), sizes[static_cast<size_t>(i)]);
  }
  drafter.Finish();
}

void LoadBuiltin(Engine& e) {
  ScriptState& s = e.script;
  size_t n = std::strlen(kBuiltinScript);
  s.buffer.assign(n + 1 + 2048, '\0');
  std::memcpy(s.buffer.data(), kBuiltinScript, n);
  s.length = static_cast<int32_t>(n + 1);
  s.scratchOffset = s.length + 512;
  s.fallbackMode = true;
  ScanScriptText(s.data(), n, false, 0, s.labelLines);
}

// Numbered text files "0.txt" … "99.txt" ("00.txt" … "09.txt" stand in for
// missing single-digit names). Returns false when there is no script at all.
bool LoadNumbered(Engine& e, const GameFiles& files) {
  ScriptState& s = e.script;
  uint64_t total = 0;
  std::vector<std::string> chosen(100);
  for (int i = 0; i < 100; ++i) {
    std::string plain = Format("%d.txt", i);
    auto n = ScriptFileSize(e, files, plain);
    if (n) {
      total += *n;
      chosen[static_cast<size_t>(i)] = plain;
    }
    if (i < 10) {
      std::string padded = Format("0%d.txt", i);
      if (auto m = ScriptFileSize(e, files, padded)) {
        total += *m;
        if (!n) chosen[static_cast<size_t>(i)] = padded;
      }
    }
  }
  if (total == 0) return false;
  StartBuffer(s, total);
  s.fromTextFiles = true;
  LabelDrafter drafter(s, total, static_cast<int>(100 - std::count(chosen.begin(), chosen.end(), std::string())));
  for (int i = 0; i < 100; ++i) {
    const std::string& name = chosen[static_cast<size_t>(i)];
    if (!name.empty()) {
      // Never let the text reach the scratch area, keeping room for the
      // newlines still to come.
      int64_t limit = static_cast<int64_t>(s.scratchOffset) - (100 - i) - 1;
      size_t got = ReadScriptFile(e, files, name, limit);
      const size_t firstLine = s.labelLines.size();
      s.length += static_cast<int32_t>(ScanScriptText(s.data() + s.length, got, true, s.length, s.labelLines));
      drafter.FileScanned(firstLine, s.length);
    }
    s.fileEnd[static_cast<size_t>(i)] = s.length;
    AppendNewline(s);
  }
  drafter.Finish();
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
  e.script.labelIndex.Clear();
}

static void ResetScriptState(Engine& e) {
  ScriptState& s = e.script;
  static std::atomic<uint32_t> loads{0};
  uint32_t generation = ++loads;
  s.textGeneration = generation ? generation : ++loads;
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
  s.labelLines.clear();
  s.labelLinesText = 0;
  s.labelDraft.clear();
  s.labelDraftHashes.clear();
  s.labelDraftOpen = true;
}

void LoadScript(Engine& e) {
  ResetScriptState(e);
  ScriptState& s = e.script;
  GameFiles files(e);
  auto present = [&](const char* name) { return !files.Find(name).empty(); };
  bool numberedZero = present("0.txt") || present("00.txt");
  if (!numberedZero && present("svscript.zat")) {
    LoadScrambledSingle(e, files);
  } else if (!numberedZero && present("svscript.dat")) {
    LoadScrambledMulti(e, files);
  } else if (!LoadNumbered(e, files)) {
    if (!e.app.luaPresent) {
      s.buffer.assign(2048, '\0');
      ReportError(e, "エラー", "スクリプトファイルが見つかりません。");
    }
    LoadBuiltin(e);
  }
  s.labelLinesText = s.textGeneration;
  // Everything behind the text (its NUL, the scratch area) reads as zero.
  std::memset(s.data() + s.length, 0, s.buffer.size() - static_cast<size_t>(s.length));

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
  ScanScriptText(s.data(), text.size(), false, 0, s.labelLines);
  LabelDrafter(s, 0, 1).FileScanned(0, s.length);
  s.labelLinesText = s.textGeneration;
  for (int i = 0; i < 100; ++i) {
    s.fileEnd[static_cast<size_t>(i)] = s.length;
    AppendNewline(s);
  }
  std::memset(s.data() + s.length, 0, s.buffer.size() - static_cast<size_t>(s.length));
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
