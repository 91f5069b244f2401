// Finding sound files: loose, then inside the archives, then through the
// archive plug-ins; sounds in a form only a sound plug-in knows are
// expanded by it. Archive entries are played from memory.
#include <strings.h>
#include <unistd.h>

#include <cstdlib>

#include "archive/archive.h"
#include "interp/error.h"
#include "interp/game_paths.h"
#include "platform/fs.h"
#include "platform/memory_budget.h"
#include "shell/engine.h"
#include "sound/internal.h"

namespace sorv {
namespace {

constexpr uint64_t kMaxSoundBytes = uint64_t{1} << 30;

platform::SoundBytes Share(std::vector<uint8_t>&& bytes) {
  return std::make_shared<const std::vector<uint8_t>>(std::move(bytes));
}

std::optional<std::vector<uint8_t>> ReadFile(const std::string& path) {
  // The file is read once and copied once: both count against the budget.
  if (auto size = platform::RegularFileSize(path)) platform::ReserveMemory(std::min(*size, kMaxSoundBytes) * 2);
  std::optional<std::vector<char>> data = platform::ReadWholeFile(path, kMaxSoundBytes);
  if (!data) return std::nullopt;
  return std::vector<uint8_t>(data->begin(), data->end());
}

std::optional<SoundSource> FindInArchives(Engine& e, const std::string& name) {
  SoundSource src;
  if (e.archives.sv2On) {
    if (std::optional<Sv2Hit> hit = FindSv2Entry(e, name)) {
      src.bytes = Share(ReadArchiveRange(e, hit->archive, hit->offset, hit->size));
      src.path = e.Path(hit->archive);
      src.offset = hit->offset;
      src.size = hit->size;
      src.rangeUsable = true;
      return src;
    }
  }
  if (std::optional<SvaHit> hit = FindSvaEntry(e, name)) {
    // SPB is a picture coding: such an entry is no sound and cannot be
    // unpacked as one.
    if (hit->kind == kSvaSpb) ReportError(e, "エラー", Format("%sが開けませんでした。", Sjis(name).c_str()));
    src.bytes = Share(ReadSvaEntry(e, *hit));
    src.path = e.Path(hit->archive);
    src.offset = hit->offset;
    src.size = hit->stored;
    src.rangeUsable = hit->kind == kSvaStored;
    return src;
  }
  if (std::optional<TempFile> tmp = ExtractThroughPlugins(e, name)) {
    if (std::optional<std::vector<uint8_t>> data = ReadFile(tmp->path())) {
      src.bytes = Share(std::move(*data));
      return src;
    }
  }
  return std::nullopt;
}

std::string Extension(const std::string& name) {
  size_t dot = name.rfind('.');
  size_t slash = name.find_last_of("\\/");
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  return name.substr(dot + 1);
}

// The sound plug-in registered as "library|ext" for the name's extension.
std::string SoundPluginFor(Engine& e, const std::string& name) {
  std::string ext = Extension(name);
  if (ext.empty()) return "";
  for (const std::string& entry : e.soundSettings.plugins) {
    size_t bar = entry.find('|');
    if (bar == std::string::npos) continue;
    if (strcasecmp(entry.c_str() + bar + 1, ext.c_str()) == 0) return entry.substr(0, bar);
  }
  return "";
}

// A sound plug-in's expand (source, source, destination) writes a plain
// WAV (or MIDI) file, which is read back and deleted.
bool ExpandWithPlugin(Engine& e, const std::string& plugin, const std::string& name, SoundSource& src) {
  using ExpandFn = int (*)(const char*, const char*, const char*);
  auto expand = reinterpret_cast<ExpandFn>(BindEntry(e, plugin, "expand"));
  if (!expand) return false;
  std::optional<TempFile> copy;
  std::string input = src.rangeUsable && src.offset == 0 && !src.path.empty() ? src.path : "";
  if (input.empty()) {
    copy = MakeTempFile(e, "-" + Extension(name).substr(0, 8));
    if (!copy || !platform::WriteFileAtomic(copy->path(), src.bytes->data(), src.bytes->size())) return false;
    input = copy->path();
  }
  bool midi = strcasecmp(Extension(name).c_str(), "mid") == 0;
  std::string out = platform::TempDirectory() + (midi ? "/Sorvtmp.mid" : "/Sorvtmp.wav");
  expand(input.c_str(), input.c_str(), out.c_str());
  std::optional<std::vector<uint8_t>> data = ReadFile(out);
  unlink(out.c_str());
  if (!data) return false;
  src = SoundSource{};
  src.bytes = Share(std::move(*data));
  return true;
}

bool NoLoadError(const Engine& e) { return e.images.noLoadError; }

}  // namespace

void ReportUnopenable(Engine& e, const std::string& name) {
  if (NoLoadError(e)) return;
  ReportError(e, "ロードエラー", Format("ファイル%sを開けません。", Sjis(name).c_str()));
}

std::optional<SoundSource> FindSound(Engine& e, const std::string& name) {
  std::optional<SoundSource> src;
  std::string path = AssetPathOrError(e, name);
  if (platform::IsRegularFile(path)) {
    if (std::optional<std::vector<uint8_t>> data = ReadFile(path)) {
      src.emplace();
      src->size = data->size();
      src->bytes = Share(std::move(*data));
      src->path = path;
      src->rangeUsable = true;
    }
  } else {
    src = FindInArchives(e, name);
  }
  if (!src) {
    ReportUnopenable(e, name);
    return std::nullopt;
  }
  if (e.persistSettings.fileLog) AddFileLog(e, name);
  std::string plugin = SoundPluginFor(e, name);
  if (!plugin.empty() && !ExpandWithPlugin(e, plugin, name, *src)) {
    ReportUnopenable(e, name);
    return std::nullopt;
  }
  return src;
}

std::string SplitStartTime(const std::string& spec, double& seconds) {
  seconds = 0;
  if (spec.empty() || spec[0] != '(') return spec;
  size_t close = spec.find(')');
  if (close == std::string::npos) return spec;
  seconds = std::atof(spec.substr(1, close - 1).c_str());
  if (!(seconds > 0) || seconds > 86400) seconds = 0;
  return spec.substr(close + 1);
}

}  // namespace sorv
