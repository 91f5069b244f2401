#include "persist/global_files.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "interp/error.h"
#include "persist/slots.h"
#include "platform/fs.h"
#include "shell/engine.h"

namespace sorv {
namespace {

constexpr uint8_t kLogKey = 0xA7;
constexpr uint64_t kMaxGlobalFileBytes = 64u << 20;

void PutInt(std::vector<uint8_t>& out, int32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i)));
}
void PutStr(std::vector<uint8_t>& out, const std::string& s) {
  size_t n = std::strlen(s.c_str());
  out.insert(out.end(), s.begin(), s.begin() + static_cast<ptrdiff_t>(n));
  out.push_back(0);
}

// Values missing at the end of a file read as 0 and strings as empty.
struct In {
  const uint8_t* p;
  const uint8_t* end;
  int32_t Int() {
    if (end - p < 4) {
      p = end;
      return 0;
    }
    uint32_t v = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
                 static_cast<uint32_t>(p[3]) << 24;
    p += 4;
    return static_cast<int32_t>(v);
  }
  std::string Str() {
    const void* z = std::memchr(p, 0, static_cast<size_t>(end - p));
    const uint8_t* stop = z ? static_cast<const uint8_t*>(z) : end;
    std::string s(reinterpret_cast<const char*>(p), static_cast<size_t>(stop - p));
    p = z ? stop + 1 : end;
    return s;
  }
};

std::optional<std::vector<char>> ReadEngineFile(Engine& e, const std::string& name) {
  std::string path = ReadPath(e, name);
  if (!platform::IsRegularFile(path)) return std::nullopt;
  return platform::ReadWholeFile(path, kMaxGlobalFileBytes);
}

const uint8_t* Bytes(const std::vector<char>& v) { return reinterpret_cast<const uint8_t*>(v.data()); }

// The directory in envdata is used only when it stays inside the game.
bool SafeRelativeDir(const std::string& dir) {
  if (dir.empty() || dir[0] == '/' || dir[0] == '\\' || dir.find(':') != std::string::npos) return false;
  size_t start = 0;
  for (size_t i = 0; i <= dir.size(); ++i) {
    if (i == dir.size() || dir[i] == '/' || dir[i] == '\\') {
      if (i - start == 2 && dir.compare(start, 2, "..") == 0) return false;
      start = i + 1;
    }
  }
  return true;
}

Environment CurrentEnvironment(Engine& e) {
  Environment env;
  const EnvExtras& x = e.envExtras;
  env.fullscreen = e.app.fullscreen ? 1 : 0;
  env.menuSwitch2 = x.menuSwitch2;
  env.speedChoice = e.text.userSpeedIndex;
  env.menuSwitch4 = x.menuSwitch4;
  env.face = e.textWindow.fonts.selectedFace;
  env.menuSwitch6 = x.menuSwitch6;
  env.face2 = x.face2;
  std::copy(std::begin(x.settings), std::end(x.settings), env.settings);
  env.kidokuMode = e.interp.kidokuMode ? 1 : 0;
  env.switch12 = x.switch12;
  env.saveDir = e.persistSettings.saveDir;
  env.value14 = x.value14;
  return env;
}

}  // namespace

std::vector<uint8_t> EnvironmentBytes(const Environment& env) {
  std::vector<uint8_t> out;
  PutInt(out, env.fullscreen);
  PutInt(out, env.menuSwitch2);
  PutInt(out, env.speedChoice);
  PutInt(out, env.menuSwitch4);
  PutStr(out, env.face);
  PutInt(out, env.menuSwitch6);
  PutStr(out, env.face2);
  for (int32_t v : env.settings) PutInt(out, v);
  PutInt(out, env.kidokuMode);
  PutInt(out, env.switch12);
  PutStr(out, env.saveDir);
  PutInt(out, env.value14 == 0 ? 99999 : env.value14);
  return out;
}

Environment ParseEnvironment(const uint8_t* data, size_t size) {
  In in{data, data + size};
  Environment env;
  env.fullscreen = in.Int();
  env.menuSwitch2 = in.Int();
  env.speedChoice = in.Int();
  env.menuSwitch4 = in.Int();
  env.face = in.Str();
  env.menuSwitch6 = in.Int();
  env.face2 = in.Str();
  for (int32_t& v : env.settings) v = in.Int();
  env.kidokuMode = in.Int();
  env.switch12 = in.Int();
  env.saveDir = in.Str();
  env.value14 = in.Int();
  if (env.value14 == 99999) env.value14 = 0;
  return env;
}

std::vector<uint8_t> GlobalVariableBytes(const Engine& e) {
  std::vector<uint8_t> out;
  const size_t v = std::min(static_cast<size_t>(std::max(e.script.numVarCount, 0)), e.values.intVars.size());
  for (size_t n = static_cast<size_t>(std::max(e.script.globalBorder, 0)); n < v; ++n) {
    PutInt(out, e.values.intVars[n]);
    PutStr(out, e.values.strVars[n]);
  }
  return out;
}

void ParseGlobalVariables(Engine& e, const uint8_t* data, size_t size) {
  In in{data, data + size};
  const size_t v = std::min(static_cast<size_t>(std::max(e.script.numVarCount, 0)), e.values.intVars.size());
  for (size_t n = static_cast<size_t>(std::max(e.script.globalBorder, 0)); n < v; ++n) {
    e.values.intVars[n] = in.Int();
    e.values.strVars[n] = in.Str();
  }
}

std::vector<uint8_t> LogBytes(const std::vector<std::string>& names) {
  std::string text = Format("%d\n", static_cast<int>(names.size()));
  for (const std::string& name : names) {
    std::string scrambled = name.substr(0, 511);
    for (char& c : scrambled) c = static_cast<char>(c ^ kLogKey);
    text += "\"" + scrambled + "\"";
  }
  return std::vector<uint8_t>(text.begin(), text.end());
}

std::vector<std::string> ParseLog(const uint8_t* data, size_t size, size_t capacity) {
  std::vector<std::string> names;
  size_t p = 0;
  long count = 0;
  while (p < size && data[p] >= '0' && data[p] <= '9' && count < 100000000) count = count * 10 + (data[p++] - '0');
  for (long k = 0; k < count && names.size() < capacity; ++k) {
    while (p < size && data[p] != '"') ++p;
    if (p >= size) break;
    size_t start = ++p;
    while (p < size && data[p] != '"' && p - start < 511) ++p;
    std::string name(reinterpret_cast<const char*>(data + start), p - start);
    for (char& c : name) c = static_cast<char>(c ^ kLogKey);
    names.push_back(std::move(name));
    if (p < size && data[p] == '"') ++p;
  }
  return names;
}

void SaveGlobalFiles(Engine& e) {
  const InterpState& in = e.interp;
  const size_t mapBytes = static_cast<size_t>(std::max(e.script.length, 0)) / 8;
  if (e.persistSettings.kidokuSkip && mapBytes > 0 && in.readMap.size() >= mapBytes) {
    WriteEngineFile(e, "kidoku.dat", in.readMap.data(), mapBytes);
  }
  if (e.values.globalOn) {
    std::vector<uint8_t> bytes = GlobalVariableBytes(e);
    if (bytes.size() > kSaveImageSize) ReportError(e, "エラー", "セーブデータが大きすぎます");
    WriteEngineFile(e, "gloval.sav", bytes.data(), bytes.size());
  }
  std::vector<uint8_t> env = EnvironmentBytes(CurrentEnvironment(e));
  WriteEngineFile(e, "envdata", env.data(), env.size());
  if (e.persistSettings.fileLog) {
    std::vector<std::string> names(e.logs.files.begin(), e.logs.files.end());
    std::sort(names.begin(), names.end());
    std::vector<uint8_t> bytes = LogBytes(names);
    WriteEngineFile(e, "Sorvflog.dat", bytes.data(), bytes.size());
  }
  if (e.persistSettings.labelLog) {
    std::vector<std::string> names(e.logs.labels.begin(), e.logs.labels.end());
    std::sort(names.begin(), names.end());
    std::vector<uint8_t> bytes = LogBytes(names);
    WriteEngineFile(e, "Sorvllog.dat", bytes.data(), bytes.size());
  }
}

void LoadGlobalVariables(Engine& e) {
  ClearGlobalVariables(e);
  if (auto data = ReadEngineFile(e, "gloval.sav")) ParseGlobalVariables(e, Bytes(*data), data->size());
}

void ReadSaveDirectory(Engine& e) {
  e.saveImage.writeDirChecked = false;
  if (auto data = ReadEngineFile(e, "envdata")) {
    Environment env = ParseEnvironment(Bytes(*data), data->size());
    if (SafeRelativeDir(env.saveDir) && platform::IsDirectory(e.Path(env.saveDir))) {
      e.persistSettings.saveDir = env.saveDir;
    }
  }
}

void LoadAfterDefine(Engine& e) {
  e.saveImage.writeDirChecked = false;
  if (e.persistSettings.kidokuSkip) {
    const size_t mapBytes = static_cast<size_t>(std::max(e.script.length, 0)) / 8;
    std::vector<uint8_t>& map = e.interp.readMap;
    if (map.size() < mapBytes) map.resize(mapBytes, 0);
    std::fill(map.begin(), map.end(), 0);
    if (auto data = ReadEngineFile(e, "kidoku.dat")) {
      std::memcpy(map.data(), data->data(), std::min(mapBytes, data->size()));
    }
  }
  const size_t capacity = static_cast<size_t>(std::max(e.script.labelMax, 0));
  if (e.persistSettings.fileLog) {
    if (auto data = ReadEngineFile(e, "Sorvflog.dat")) {
      for (std::string& n : ParseLog(Bytes(*data), data->size(), capacity)) e.logs.files.insert(FileLogKey(n));
    }
  }
  if (e.persistSettings.labelLog) {
    if (auto data = ReadEngineFile(e, "Sorvllog.dat")) {
      for (std::string& n : ParseLog(Bytes(*data), data->size(), capacity)) {
        for (char& c : n) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        e.logs.labels.insert(std::move(n));
      }
    }
  }
}

void ApplyEnvironment(Engine& e) {
  auto data = ReadEngineFile(e, "envdata");
  if (!data) return;
  Environment env = ParseEnvironment(Bytes(*data), data->size());
  EnvExtras& x = e.envExtras;
  // The window follows the menu's full-screen command, not this flag.
  x.menuSwitch2 = env.menuSwitch2;
  if (env.speedChoice >= 0 && env.speedChoice <= 2) e.text.userSpeedIndex = env.speedChoice;
  x.menuSwitch4 = env.menuSwitch4;
  if (!env.face.empty()) {
    e.textWindow.fonts.selectedFace = env.face;
    e.textWindow.fonts.currentFace = env.face;
  }
  x.menuSwitch6 = env.menuSwitch6;
  x.face2 = env.face2;
  std::copy(std::begin(env.settings), std::end(env.settings), x.settings);
  e.interp.kidokuMode = env.kidokuMode != 0;
  x.switch12 = env.switch12;
  if (env.value14 != 0) x.value14 = env.value14;
}

}  // namespace sorv
