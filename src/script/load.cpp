// Finding and reading the script, and the settings of its first line.
#include <algorithm>
#include <atomic>
#include <cctype>
#include <condition_variable>
#include <cstring>
#include <cstdint>
#include <exception>
#include <mutex>
#include <optional>
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

// One script file of the load, and the line feeds the script has in front
// of it (behind the file before, or for missing numbers).
struct ScriptPiece {
  std::string name;  // for messages
  std::string path;
  uint64_t size = 0;  // as measured: no more is read
  int feedsBefore = 0;
};

// Reads the pieces behind each other into the script buffer, with the
// given line feeds between them and `feedsAfter` behind the last, scanning
// each (ScanScriptText) and drafting its labels a step at a time as it
// comes in, while the text is in the cache, and indexing the labels.
//
// For a large script two threads do this, each taking the next piece, and
// everything but placing and indexing runs side by side. A piece whose
// place is not known yet (text mode may shrink the pieces before it) is
// read, scanned and drafted at the latest place it can have; in turn, in
// the order of the pieces, each is then moved down to its place if it is
// not there. The first thread indexes the labels of the pieces placed
// whenever it is between pieces, and those left at the end. No two of these touch the same
// bytes: a piece is read behind where the one before it can end up, and
// ends up in front of where the next one is read.
class PieceLoader {
 public:
  PieceLoader(Engine& e, std::vector<ScriptPiece> pieces, int feedsAfter, bool textMode, int xorKey)
      : e_(e), s_(e.script), pieces_(std::move(pieces)), feedsAfter_(feedsAfter), textMode_(textMode), xorKey_(xorKey),
        results_(pieces_.size()) {}

  // Loads everything: the text ends up at 0, s.length is its length with
  // the line feeds behind it.
  void Load() {
    uint64_t total = 0;
    for (const ScriptPiece& p : pieces_) total += p.size + static_cast<uint64_t>(p.feedsBefore);
    char* const b = s_.data();
    // Where a piece goes if no piece before it shrinks: the latest place
    // it can have.
    uint64_t at = 0;
    for (size_t i = 0; i < pieces_.size(); ++i) {
      at += static_cast<uint64_t>(pieces_[i].feedsBefore);
      results_[i].latest = static_cast<int32_t>(at);
      at += pieces_[i].size;
    }
    const int lead = pieces_.empty() ? feedsAfter_ : pieces_[0].feedsBefore;
    std::memset(b, '\n', static_cast<size_t>(lead));
    nextAt_ = lead;
    std::thread helper;
    if (total >= loadOnTwoThreadsFrom && pieces_.size() >= 2 && std::thread::hardware_concurrency() >= 2) {
      try {
        helper = std::thread([this] { Work(false); });
      } catch (const std::system_error&) {
        // No thread to be had: this one does it all.
      }
    }
    Work(true);
    if (helper.joinable()) helper.join();
    if (thrown_) std::rethrow_exception(thrown_);
    IndexPlaced();
    Gather();
    s_.labelDraftIndex = std::move(index_);
    s_.labelDraftIndexed = indexedLabels_;
  }

  // Where the text of piece i ends.
  int32_t End(size_t i) const { return results_[i].at + results_[i].length; }

 private:
  // Read in steps of this size, each scanned while it is in the cache.
  static constexpr size_t kStep = 256 * 1024;

  struct Result {
    int32_t latest = 0;  // its latest place
    int32_t readAt = 0;  // where it was read, scanned and drafted
    int32_t at = 0;      // where its text starts in the end
    int32_t length = 0;
    std::vector<int32_t> lines;
    std::vector<Label> draft;
    std::vector<uint32_t> hashes;
    size_t draftAt = 0;  // the index of its first label in the whole draft
    bool draftWhole = true;
    bool failed = false;
    std::string why;
  };

  void Work(bool indexes) {
    try {
      for (;;) {
        const size_t i = taken_.fetch_add(1);
        if (i >= pieces_.size() || !LoadPiece(i)) return;
        if (indexes) IndexPlaced();
      }
    } catch (...) {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!thrown_) thrown_ = std::current_exception();
      turn_.notify_all();
    }
  }

  // False when loading stops at this piece.
  bool LoadPiece(size_t i) {
    const ScriptPiece& piece = pieces_[i];
    Result& r = results_[i];
    char* const b = s_.data();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (Stopped(i)) return false;
      // Once the piece before is placed, this one's place is known.
      r.readAt = placed_ == i ? nextAt_ : r.latest;
    }
    size_t scanned = 0;  // read bytes taken by the scan
    size_t xored = 0;
    bool ended = false;  // a Ctrl-Z ended the text
    auto scanTo = [&](size_t to) {
      const size_t firstLine = r.lines.size();
      const int32_t at = r.readAt + r.length;
      size_t taken = 0;
      r.length += static_cast<int32_t>(
          ScanScriptText(b + at, b + r.readAt + scanned, to - scanned, textMode_, at, r.lines, &taken));
      ended = taken < to - scanned;
      scanned = to;
      if (r.draftWhole) {
        try {
          r.draftWhole = DraftLabels(b, r.lines.data() + firstLine, r.lines.size() - firstLine, r.readAt + r.length,
                                     r.draft, r.hashes);
        } catch (const std::bad_alloc&) {
          r.draftWhole = false;  // the draft is only a head start
        }
      }
    };
    size_t got = 0;
    const bool read = readScriptFile(
        piece.path, b + r.readAt, static_cast<size_t>(piece.size), kStep, got,
        [&](size_t sofar) {
          if (xorKey_ >= 0) XorInPlace(b + r.readAt + xored, sofar - xored, static_cast<unsigned char>(xorKey_));
          xored = sofar;
          // Whole lines only: a step may end inside a line or a CR LF pair.
          const char* from = b + r.readAt + scanned;
          if (const void* lf = memrchr(from, '\n', sofar - scanned)) {
            scanTo(scanned + static_cast<size_t>(static_cast<const char*>(lf) - from) + 1);
          }
          return !ended;
        },
        &r.why);
    if (!read) {
      std::lock_guard<std::mutex> lock(mutex_);
      r.failed = true;
      failedAt_ = std::min(failedAt_, i);
      turn_.notify_all();
      return false;
    }
    if (!ended && scanned < got) scanTo(got);  // the last line has no line feed
    // Placing: in order, behind the piece before.
    {
      std::unique_lock<std::mutex> lock(mutex_);
      turn_.wait(lock, [&] { return placed_ == i || Stopped(i); });
      if (placed_ != i) return false;
      r.at = nextAt_;
    }
    if (const int32_t down = r.readAt - r.at) {
      std::memmove(b + r.at, b + r.readAt, static_cast<size_t>(r.length));
      for (int32_t& line : r.lines) line -= down;
      for (Label& label : r.draft) {
        label.pos -= down;
        label.nameAt -= down;
      }
    }
    const int32_t end = r.at + r.length;
    const int feeds = i + 1 < pieces_.size() ? pieces_[i + 1].feedsBefore : feedsAfter_;
    std::memset(b + end, '\n', static_cast<size_t>(feeds));
    {
      std::lock_guard<std::mutex> lock(mutex_);
      placed_ = i + 1;
      nextAt_ = end + feeds;
    }
    turn_.notify_all();
    return true;
  }

  // Indexes the pieces placed so far that are not indexed yet, in order.
  // Only the thread that called Load does this, so that the table stays in
  // one core's cache.
  void IndexPlaced() {
    for (;;) {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (indexedCount_ >= placed_) return;
      }
      if (indexing_) Index(indexedCount_);
      ++indexedCount_;
    }
  }

  // Indexes the drafted labels of piece i behind those of the pieces
  // before; stops indexing at a name met before (BuildLabelIndex reports
  // it) and after a piece whose draft stops short.
  void Index(size_t i) {
    Result& r = results_[i];
    const char* b = s_.data();
    if (i == 0 || index_.Empty()) {
      // Sized for the whole script at the rate of this piece.
      const double rate = static_cast<double>(r.draft.size()) / std::max<int32_t>(r.length, 1);
      index_.Reserve(std::min(static_cast<size_t>(rate * static_cast<double>(s_.buffer.size()) * 1.125) + 16,
                              s_.buffer.size() / 2));
    }
    r.draftAt = indexedLabels_;
    auto labelAt = [&](int32_t idx) -> const Label& {
      size_t k = i;
      while (results_[k].draftAt > static_cast<size_t>(idx)) --k;
      return results_[k].draft[static_cast<size_t>(idx) - results_[k].draftAt];
    };
    constexpr size_t kAhead = 8;
    const size_t count = r.draft.size();
    for (size_t k = 0; k < std::min(kAhead, count); ++k) index_.Prefetch(r.hashes[k]);
    for (size_t k = 0; k < count; ++k) {
      if (k + kAhead < count) index_.Prefetch(r.hashes[k + kAhead]);
      const Label& label = r.draft[k];
      const int32_t idx = static_cast<int32_t>(r.draftAt + k);
      if (index_.InsertWith(idx, r.hashes[k], [&](int32_t other) { return SameLabelName(b, labelAt(other), label); }) >= 0) {
        indexing_ = false;
        return;
      }
      indexedLabels_ = r.draftAt + k + 1;
    }
    indexing_ = r.draftWhole;
  }

  // Whether piece i is not to be loaded: a piece before it could not be
  // read, or something went wrong. Called with the mutex held.
  bool Stopped(size_t i) const { return failedAt_ < i || thrown_; }

  // Joins the pieces' lines and drafts in order; reports a piece that
  // could not be read, with the text before it loaded.
  void Gather() {
    size_t lines = 0;
    for (const Result& r : results_) lines += r.lines.size();
    s_.labelLines.reserve(s_.labelLines.size() + lines);
    bool drafting = true;
    for (size_t i = 0; i < results_.size(); ++i) {
      Result& r = results_[i];
      if (r.failed) {
        s_.length = nextAt_;  // the pieces before are placed, and no more
        ReportError(e_, "エラー",
                    Format("スクリプトファイル%sを読み込めません（%s）。", pieces_[i].name.c_str(), r.why.c_str()));
      }
      s_.labelLines.insert(s_.labelLines.end(), r.lines.begin(), r.lines.end());
      if (!drafting) continue;
      if (s_.labelDraft.empty() && s_.labelLines.size() == r.lines.size()) {
        s_.labelDraft = std::move(r.draft);
        s_.labelDraftHashes = std::move(r.hashes);
      } else {
        s_.labelDraft.insert(s_.labelDraft.end(), r.draft.begin(), r.draft.end());
        s_.labelDraftHashes.insert(s_.labelDraftHashes.end(), r.hashes.begin(), r.hashes.end());
      }
      drafting = r.draftWhole;
    }
    s_.length = nextAt_;
  }

  Engine& e_;
  ScriptState& s_;
  std::vector<ScriptPiece> pieces_;
  const int feedsAfter_;
  const bool textMode_;
  const int xorKey_;
  std::vector<Result> results_;
  std::atomic<size_t> taken_{0};
  std::mutex mutex_;
  std::condition_variable turn_;
  size_t placed_ = 0;           // the pieces placed so far, in order
  int32_t nextAt_ = 0;          // where the next piece to place starts
  size_t failedAt_ = SIZE_MAX;  // the first piece that could not be read
  // Only the thread that indexes touches these.
  size_t indexedCount_ = 0;  // the pieces indexed so far, in order
  LabelIndex index_;
  size_t indexedLabels_ = 0;
  bool indexing_ = true;
  std::exception_ptr thrown_;
};

ScriptPiece Piece(const GameFiles& files, const std::string& name, uint64_t size, int feedsBefore) {
  return ScriptPiece{name, files.Find(name), size, feedsBefore};
}

void LoadScrambledSingle(Engine& e, const GameFiles& files) {
  ScriptState& s = e.script;
  uint64_t size = ScriptFileSize(e, files, "svscript.zat").value_or(0);
  StartBuffer(s, size);
  PieceLoader(e, {Piece(files, "svscript.zat", size, 0)}, 1, false, 0xD3).Load();
}

void LoadScrambledMulti(Engine& e, const GameFiles& files) {
  ScriptState& s = e.script;
  uint64_t total = ScriptFileSize(e, files, "svscript.dat").value_or(0);
  std::vector<ScriptPiece> pieces{Piece(files, "svscript.dat", total, 0)};
  for (int i = 0; i < 100; ++i) {
    const std::string name = Format("%02d.np", i);
    if (auto n = ScriptFileSize(e, files, name)) {
      pieces.push_back(Piece(files, name, *n, 1));
      total += *n + 2;
    }
  }
  StartBuffer(s, total);
  PieceLoader(e, std::move(pieces), 1, false, 0xA7).Load();
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
  std::vector<ScriptPiece> pieces;
  std::vector<int> numbers;  // of the pieces
  int feeds = 0;             // one behind every number, whether it has a file or not
  for (int i = 0; i < 100; ++i) {
    std::string plain = Format("%d.txt", i);
    auto n = ScriptFileSize(e, files, plain);
    std::optional<uint64_t> m;
    std::string padded;
    if (i < 10) {
      padded = Format("0%d.txt", i);
      m = ScriptFileSize(e, files, padded);
    }
    if (n || m) {
      total += n.value_or(0) + m.value_or(0);
      pieces.push_back(n ? Piece(files, plain, *n, feeds) : Piece(files, padded, *m, feeds));
      numbers.push_back(i);
      feeds = 0;
    }
    ++feeds;
  }
  if (total == 0) return false;
  StartBuffer(s, total);
  s.fromTextFiles = true;
  PieceLoader loader(e, std::move(pieces), feeds, true, -1);
  loader.Load();
  // Each number's file ends where the text stands before its line feed.
  int32_t at = 0;
  size_t next = 0;
  for (int i = 0; i < 100; ++i) {
    if (next < numbers.size() && numbers[next] == i) at = loader.End(next++);
    s.fileEnd[static_cast<size_t>(i)] = at;
    ++at;
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

ScriptFileReader readScriptFile = platform::ReadFileInSteps;

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
  s.labelDraftIndex.Clear();
  s.labelDraftIndexed = 0;
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
  DraftLabels(s.data(), s.labelLines.data(), s.labelLines.size(), s.length, s.labelDraft, s.labelDraftHashes);
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
