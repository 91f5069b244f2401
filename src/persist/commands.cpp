#include "persist/commands.h"

#include <sys/stat.h>

#include <ctime>

#include "interp/error.h"
#include "persist/bitmap_file.h"
#include "persist/save_record.h"
#include "persist/savepoint.h"
#include "persist/slots.h"
#include "platform/fs.h"
#include "script/reader.h"
#include "shell/engine.h"

namespace sorv {
namespace {

constexpr int32_t kMaxSlot = 999;

// Slot numbers name files: anything outside 0-999 is refused with a
// message, and the game goes on.
bool SlotInRange(Engine& e, int32_t n, const char* command) {
  if (n >= 0 && n <= kMaxSlot) return true;
  e.platform->ShowMessageBox("エラー", Format("%sのセーブ番号%dは範囲外です。", command, n),
                             platform::MessageBoxButtons::Ok, platform::MessageBoxIcon::Error);
  return false;
}

std::string ExistingSlot(Engine& e, int32_t n) {
  std::string path = ReadPath(e, SlotFileName(n));
  return platform::IsRegularFile(path) ? path : std::string();
}

// The date fields of slot n's file, or zeros when there is none.
std::tm SlotTime(Engine& e, int32_t n) {
  std::tm tm{};
  std::string path = n >= 0 && n <= kMaxSlot ? ExistingSlot(e, n) : std::string();
  struct stat st{};
  if (!path.empty() && ::stat(path.c_str(), &st) == 0) {
    localtime_r(&st.st_mtime, &tm);
    tm.tm_year += 1900;
    tm.tm_mon += 1;
  } else {
    tm = std::tm{};
  }
  return tm;
}

void StoreTimeFields(Engine& e, const char* message, std::initializer_list<int32_t std::tm::*> fields, int32_t n) {
  const std::tm tm = SlotTime(e, n);
  for (auto field : fields) {
    ExpectComma(e);
    StoreIntLimited(e, ReadIntVarTarget(e, message), tm.*field);
  }
}

bool InsideGame(const std::string& name) {
  if (name.empty() || name[0] == '/' || name[0] == '\\') return false;
  size_t start = 0;
  for (size_t i = 0; i <= name.size(); ++i) {
    if (i == name.size() || name[i] == '/' || name[i] == '\\') {
      if (i - start == 2 && name.compare(start, 2, "..") == 0) return false;
      start = i + 1;
    }
  }
  return true;
}

void SaveScreenshot(Engine& e, bool keep) {
  std::string name = ReadString(e);
  Surface& shot = e.saveImage.screenshot;
  if (shot.Empty()) return;
  if (!InsideGame(name)) ReportError(e, "エラー", "スクリーンショットのファイル名が正しくありません。");
  std::string file = name;
  for (char& c : file) if (c == '\\') c = '/';
  std::vector<uint8_t> bytes = BitmapFileBytes(shot);
  if (!WriteEngineFile(e, file, bytes.data(), bytes.size())) {
    std::fprintf(stderr, "sorv: %s\n", e.saveImage.lastError.c_str());
  }
  if (!keep) shot.Release();
}

}  // namespace

void Cmd_savegame(Engine& e) {
  int32_t n = ReadNumberArgument(e);
  if (SlotInRange(e, n, "savegame")) SaveSlot(e, n);
}

void Cmd_savegame2(Engine& e) {
  int32_t n = ReadNumberArgument(e);
  std::string name = NextString(e);
  if (SlotInRange(e, n, "savegame2")) SaveSlotWithName(e, n, name);
}

void Cmd_loadgame(Engine& e) {
  int32_t n = ReadNumberArgument(e);
  if (n != -1 && !SlotInRange(e, n, "loadgame")) return;
  if (LoadSlot(e, n) == LoadResult::Loaded) e.saveImage.loaded = true;
}

void Cmd_saveon(Engine& e) { e.interp.saveEnable = true; }
void Cmd_saveoff(Engine& e) { e.interp.saveEnable = false; }
void Cmd_savepoint(Engine& e) { TakeSavePoint(e); }

void Cmd_savefileexist(Engine& e) {
  int32_t v = ReadIntVarTarget(e, "savefileexistの第一引数は数字変数です。");
  int32_t n = NextNumber(e);
  bool exists = n >= 0 && n <= kMaxSlot && !ExistingSlot(e, n).empty();
  StoreIntLimited(e, v, exists ? 1 : 0);
}

void Cmd_getsavestr(Engine& e) {
  int32_t v = ReadStrVarTarget(e, "getsavestrの第一引数は文字変数です。");
  int32_t n = NextNumber(e);
  std::string name;
  std::string path = n >= 0 && n <= kMaxSlot ? ExistingSlot(e, n) : std::string();
  if (!path.empty()) {
    if (auto data = platform::ReadWholeFile(path, 4u << 20)) {
      SaveRecord rec;
      std::string why;
      const uint8_t* bytes = reinterpret_cast<const uint8_t*>(data->data());
      size_t used = 0;
      if (ParseRecord(bytes, data->size(), ShapeOf(e), rec, why, &used) && used < data->size()) {
        // "name"* behind the record.
        std::string rest(data->data() + used, data->size() - used);
        if (rest.size() >= 3 && rest.front() == '"' && rest.compare(rest.size() - 2, 2, "\"*") == 0) {
          name = rest.substr(1, rest.size() - 3);
        }
      }
    }
  }
  e.values.strVars[static_cast<size_t>(v)] = name;
}

void Cmd_savetime(Engine& e) {
  int32_t n = ReadNumberArgument(e);
  StoreTimeFields(e, "savedateの第二引数は数字変数です。", {&std::tm::tm_mon, &std::tm::tm_mday, &std::tm::tm_hour, &std::tm::tm_min}, n);
}

void Cmd_savetime2(Engine& e) {
  int32_t n = ReadNumberArgument(e);
  StoreTimeFields(e, "savedateの第二引数は数字変数です。",
                  {&std::tm::tm_year, &std::tm::tm_mon, &std::tm::tm_mday, &std::tm::tm_hour, &std::tm::tm_min,
                   &std::tm::tm_sec},
                  n);
}

// A copy of the screen as shown, scaled to w x h by sampling.
void Cmd_getscreenshot(Engine& e) {
  int32_t w = ReadNumberArgument(e);
  int32_t h = NextNumber(e);
  const Surface& src = e.scene.display;
  Surface& shot = e.saveImage.screenshot;
  shot.Release();
  if (w <= 0 || h <= 0 || src.Empty() || !CreateSurface(shot, w, h)) return;
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* from = src.TopRow(static_cast<int32_t>(static_cast<int64_t>(y) * src.height / h));
    uint8_t* to = shot.TopRow(y);
    for (int32_t x = 0; x < w; ++x) {
      const uint8_t* p = from + static_cast<size_t>(static_cast<int64_t>(x) * src.width / w) * 3;
      to[x * 3] = p[0], to[x * 3 + 1] = p[1], to[x * 3 + 2] = p[2];
    }
  }
}

void Cmd_savescreenshot(Engine& e) { SaveScreenshot(e, false); }
void Cmd_savescreenshot2(Engine& e) { SaveScreenshot(e, true); }
void Cmd_deletescreenshot(Engine& e) { e.saveImage.screenshot.Release(); }

}  // namespace sorv
