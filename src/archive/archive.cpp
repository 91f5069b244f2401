// SVA and SV2 indexes, reading entries, and extraction to temporary files.
#include "archive/archive.h"

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>

#include "archive/lookup.h"
#include "archive/plugin_abi.h"
#include "interp/error.h"
#include "platform/fs.h"
#include "platform/memory_budget.h"
#include "shell/engine.h"

namespace sorv {
namespace {

[[noreturn]] void ReportDamaged(Engine& e, const std::string& archive) {
  ReportError(e, "エラー", Format("アーカイブ\"%s\"が壊れています！", Sjis(archive).c_str()));
}

// An archive name that is a FIFO, a device or a socket is opened without
// waiting and then refused with the damaged-archive message: the game
// cannot run with it, and it must not hold the engine.
void RefuseSpecialArchive(Engine& e, const std::string& name) {
  if (platform::IsSpecialFile(e.Path(name))) ReportDamaged(e, name);
}

void AddSvaArchive(Engine& e, int number, const FileSource& src) {
  ArchiveState& a = e.archives;
  std::vector<SvaEntry> entries;
  if (!ReadSvaIndex(src, a.Prefix(), entries)) ReportDamaged(e, SvaArchiveName(a, number));
  for (SvaEntry& ent : entries) {
    SvaRecord r;
    r.name = NormaliseArchiveName(ent.name);
    r.archive = number;
    r.kind = ent.kind;
    r.offset = ent.offset;
    r.stored = ent.stored;
    r.unpacked = ent.unpacked;
    a.buckets[static_cast<size_t>(SvaBucket(r.name))].push_back(std::move(r));
  }
}

void BuildSvaIndex(Engine& e) {
  ArchiveState& a = e.archives;
  for (auto& b : a.buckets) b.clear();
  a.svaIndexBuilt = true;
  for (int n = 0; n < kAddSvaDirArchive; ++n) {
    FileSource src(e.Path(SvaArchiveName(a, n)));
    if (!src.Ok()) {
      RefuseSpecialArchive(e, SvaArchiveName(a, n));
      break;
    }
    AddSvaArchive(e, n, src);
  }
  // The addsvadir archive is read whether or not all ten numbered archives
  // exist: stopping at the first gap would make the command do nothing.
  if (a.svaDir.empty() && !a.addSvaDir.empty()) {
    FileSource src(e.Path(SvaArchiveName(a, kAddSvaDirArchive)));
    if (src.Ok()) AddSvaArchive(e, kAddSvaDirArchive, src);
    else RefuseSpecialArchive(e, SvaArchiveName(a, kAddSvaDirArchive));
  }
}

const SvaRecord* LookupSva(Engine& e, std::string_view name) {
  ArchiveState& a = e.archives;
  if (!a.svaOn) return nullptr;
  if (!a.svaIndexBuilt) BuildSvaIndex(e);
  std::string key = NormaliseArchiveName(name);
  for (const SvaRecord& r : a.buckets[static_cast<size_t>(SvaBucket(key))]) {
    if (r.name == key) return &r;
  }
  return nullptr;
}

bool WriteAll(const std::string& path, const std::vector<uint8_t>& data) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = data.empty() || std::fwrite(data.data(), 1, data.size(), f) == data.size();
  return std::fclose(f) == 0 && ok;
}

std::string BaseName(const std::string& name) {
  size_t cut = name.find_last_of("\\/");
  return cut == std::string::npos ? name : name.substr(cut + 1);
}

std::string TempRoot(Engine& e) { return e.app.tempDir.empty() ? platform::TempDirectory() : e.app.tempDir; }

// "archive file|plug-in file"
bool SplitPlugin(const std::string& entry, std::string& archive, std::string& plugin) {
  size_t bar = entry.find('|');
  if (bar == std::string::npos) return false;
  archive = entry.substr(0, bar);
  plugin = entry.substr(bar + 1);
  return true;
}

bool IsPlainArchivePlugin(const std::string& plugin) {
  return NormaliseArchiveName(BaseName(NormaliseArchiveName(plugin))) == "svunarc.dll";
}

const PlainEntry* FindPlain(const std::vector<PlainEntry>& index, const std::string& key) {
  for (const PlainEntry& p : index) {
    if (NormaliseArchiveName(p.name) == key) return &p;
  }
  return nullptr;
}

std::optional<TempFile> ExtractPlain(Engine& e, const std::string& archive, const std::string& name) {
  FileSource src(e.Path(archive));
  std::vector<PlainEntry> index;
  if (!src.Ok() || !ReadPlainIndex(src, index)) return std::nullopt;
  const PlainEntry* p = FindPlain(index, NormaliseArchiveName(name));
  if (!p) return std::nullopt;
  std::vector<uint8_t> data = ReadArchiveRange(e, archive, p->offset, p->size);
  std::optional<TempFile> tmp = MakeTempFile(e, "-" + BaseName(name));
  if (!tmp || !WriteAll(tmp->path(), data)) return std::nullopt;
  return tmp;
}

std::optional<TempFile> ExtractByPlugin(Engine& e, const std::string& archive, const std::string& plugin,
                                        const std::string& name) {
  auto info = reinterpret_cast<SorvGetFileInfo>(BindEntry(e, plugin, "GetFileInfo"));
  auto get = reinterpret_cast<SorvGetFile>(BindEntry(e, plugin, "GetFile"));
  if (!info || !get) return std::nullopt;
  std::string path = e.Path(archive);
  SorvArchiveFileInfo fi{};
  if (info(path.c_str(), 0, name.c_str(), kSorvIgnoreCase, &fi) != 0) return std::nullopt;
  // Each extraction gets a directory of its own: the plug-in chooses the
  // file name, and two extractions must not meet.
  std::string templ = TempRoot(e) + "/sorv-arc-XXXXXX";
  if (!mkdtemp(templ.data())) return std::nullopt;
  TempFile dirOnly("", templ);
  if (get(path.c_str(), static_cast<int32_t>(fi.position), templ.c_str(), 0, nullptr, 0) != 0) return std::nullopt;
  fi.fileName[sizeof fi.fileName - 1] = 0;
  std::string own = fi.fileName[0] ? BaseName(fi.fileName) : BaseName(name);
  std::string file = templ + "/" + own;
  if (own.empty() || own == "." || own == ".." || !platform::IsRegularFile(file)) return std::nullopt;
  return TempFile(file, templ);
}

}  // namespace

std::string SvaArchiveName(const ArchiveState& a, int n) {
  if (!a.svaDir.empty()) return n == 0 ? a.svaDir + "\\arc.sva" : Format("%s\\arc%d.sva", a.svaDir.c_str(), n);
  if (n == kAddSvaDirArchive) return a.addSvaDir + "\\arc.sva";
  return n == 0 ? "arc.sva" : Format("arc%d.sva", n);
}

void InvalidateSvaIndex(Engine& e) {
  e.archives.svaIndexBuilt = false;
  for (auto& b : e.archives.buckets) b.clear();
}

std::optional<SvaHit> FindSvaEntry(Engine& e, std::string_view name) {
  const SvaRecord* r = LookupSva(e, name);
  if (!r) return std::nullopt;
  SvaHit hit;
  hit.archive = SvaArchiveName(e.archives, r->archive);
  hit.kind = r->kind;
  hit.offset = r->offset + static_cast<uint64_t>(e.archives.Prefix());
  hit.stored = r->stored;
  hit.unpacked = r->unpacked;
  return hit;
}

void OpenSv2Archives(Engine& e) {
  ArchiveState& a = e.archives;
  a.sv2.clear();
  a.sv2On = platform::IsRegularFile(e.Path("00.sv2"));
  if (!a.sv2On) return;
  std::vector<Sv2Entry> entries;
  for (int n = 0; n < 100; ++n) {
    std::string name = Format("%02d.sv2", n);
    FileSource src(e.Path(name));
    if (!src.Ok()) {
      RefuseSpecialArchive(e, name);
      continue;
    }
    if (!ReadSv2Index(src, entries)) ReportDamaged(e, name);
    for (Sv2Entry& ent : entries) a.sv2[ent.name] = Sv2Record{n, ent.offset, ent.size};
  }
}

std::optional<Sv2Hit> FindSv2Entry(Engine& e, std::string_view name) {
  if (!e.archives.sv2On) return std::nullopt;
  auto it = e.archives.sv2.find(NormaliseArchiveName(name));
  if (it == e.archives.sv2.end()) return std::nullopt;
  return Sv2Hit{Format("%02d.sv2", it->second.archive), it->second.offset, it->second.size};
}

std::vector<uint8_t> ReadArchiveRange(Engine& e, const std::string& archive, uint64_t offset, uint64_t size) {
  FileSource src(e.Path(archive));
  if (!src.Ok()) ReportError(e, "ロードエラー", Format("ファイル%sを開けません。", Sjis(archive).c_str()));
  // The index's claims are checked against the file before anything is
  // allocated or read.
  if (offset > src.Size() || size > src.Size() - offset) ReportDamaged(e, archive);
  platform::ReserveMemory(size);
  std::vector<uint8_t> data(static_cast<size_t>(size));
  if (!src.ReadAt(offset, data.data(), data.size())) ReportDamaged(e, archive);
  return data;
}

std::vector<uint8_t> LzssUnpack(Engine& e, const std::string& archive, const std::vector<uint8_t>& packed,
                                uint32_t unpacked) {
  std::vector<uint8_t> out;
  platform::ReserveMemory(unpacked);
  if (!LzssDecode(packed.data(), packed.size(), unpacked, out)) ReportDamaged(e, archive);
  return out;
}

std::vector<uint8_t> ReadSvaEntry(Engine& e, const SvaHit& hit) {
  std::vector<uint8_t> stored = ReadArchiveRange(e, hit.archive, hit.offset, hit.stored);
  if (hit.kind != kSvaLzss) return stored;
  return LzssUnpack(e, hit.archive, stored, hit.unpacked);
}

TempFile::~TempFile() { Remove(); }

TempFile::TempFile(TempFile&& o) noexcept : path_(std::move(o.path_)), dir_(std::move(o.dir_)) {
  o.path_.clear();
  o.dir_.clear();
}

TempFile& TempFile::operator=(TempFile&& o) noexcept {
  if (this != &o) {
    Remove();
    path_ = std::move(o.path_);
    dir_ = std::move(o.dir_);
    o.path_.clear();
    o.dir_.clear();
  }
  return *this;
}

void TempFile::Remove() {
  if (!path_.empty()) unlink(path_.c_str());
  if (!dir_.empty()) rmdir(dir_.c_str());
  path_.clear();
  dir_.clear();
}

std::optional<TempFile> MakeTempFile(Engine& e, const std::string& suffix) {
  std::string safe;
  for (char c : suffix) safe.push_back(c == '/' || c == '\\' ? '_' : c);
  std::string templ = TempRoot(e) + "/sorv" + std::to_string(getpid()) + "-" + std::to_string(++e.archives.tempCounter) +
                      "-XXXXXX" + safe;
  int fd = mkstemps(templ.data(), static_cast<int>(safe.size()));
  if (fd < 0) return std::nullopt;
  close(fd);
  return TempFile(templ, "");
}

std::optional<TempFile> ExtractToTemp(Engine& e, const std::string& name) {
  if (e.archives.sv2On) {
    ReportError(e, "エラー", "SV2はテンポラリファイルへの展開に対応していません。（とりあえず）");
  }
  if (std::optional<SvaHit> hit = FindSvaEntry(e, name)) {
    if (hit->kind == kSvaSpb) ReportError(e, "エラー", Format("%sが開けませんでした。", Sjis(name).c_str()));
    std::vector<uint8_t> data = ReadSvaEntry(e, *hit);
    std::optional<TempFile> tmp = MakeTempFile(e, "-" + BaseName(name));
    if (tmp && WriteAll(tmp->path(), data)) return tmp;
    return std::nullopt;
  }
  return ExtractThroughPlugins(e, name);
}

std::optional<TempFile> ExtractThroughPlugins(Engine& e, const std::string& name) {
  for (const std::string& entry : e.archives.plugins) {
    std::string archive, plugin;
    if (!SplitPlugin(entry, archive, plugin)) continue;
    std::optional<TempFile> got =
        IsPlainArchivePlugin(plugin) ? ExtractPlain(e, archive, name) : ExtractByPlugin(e, archive, plugin, name);
    if (got) return got;
  }
  return std::nullopt;
}

bool SVAGetFile(Engine& e, const std::string& name, std::string& archive, int32_t& offset, int32_t& size) {
  std::optional<SvaHit> hit = FindSvaEntry(e, name);
  if (!hit || hit->offset > INT32_MAX || hit->unpacked > INT32_MAX) return false;
  archive = e.Path(hit->archive);
  offset = static_cast<int32_t>(hit->offset);
  size = static_cast<int32_t>(hit->unpacked);
  return true;
}

bool SV2GetFile(Engine& e, const std::string& name, std::string& archive, int32_t& offset, int32_t& size) {
  std::optional<Sv2Hit> hit = FindSv2Entry(e, name);
  if (!hit || hit->offset > INT32_MAX || hit->size > INT32_MAX) return false;
  archive = e.Path(hit->archive);
  offset = static_cast<int32_t>(hit->offset);
  size = static_cast<int32_t>(hit->size);
  return true;
}

bool ArchiveFileExists(Engine& e, const std::string& name) {
  if (platform::IsRegularFile(e.Path(name))) return true;
  if (FindSv2Entry(e, name) || FindSvaEntry(e, name)) return true;
  for (const std::string& entry : e.archives.plugins) {
    std::string archive, plugin;
    if (!SplitPlugin(entry, archive, plugin)) continue;
    if (IsPlainArchivePlugin(plugin)) {
      FileSource src(e.Path(archive));
      std::vector<PlainEntry> index;
      if (src.Ok() && ReadPlainIndex(src, index) && FindPlain(index, NormaliseArchiveName(name))) return true;
      continue;
    }
    auto info = reinterpret_cast<SorvGetFileInfo>(BindEntry(e, plugin, "GetFileInfo"));
    SorvArchiveFileInfo fi{};
    if (info && info(e.Path(archive).c_str(), 0, name.c_str(), kSorvIgnoreCase, &fi) == 0) return true;
  }
  return false;
}

}  // namespace sorv
