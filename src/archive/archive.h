// Archive state and the lookups the loaders use: SVA archives (arc.sva,
// arc1.sva ... arc9.sva and one more in the addsvadir directory), SV2
// archives (00.sv2 ... 99.sv2), archive plug-ins, and extraction of an
// entry to a temporary file.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "archive/formats.h"

namespace sorv {

struct Engine;

constexpr int kMaxArchivePlugins = 50;
constexpr int kAddSvaDirArchive = 10;

struct SvaRecord {
  std::string name;  // lower-cased
  int archive = 0;
  uint8_t kind = 0;
  uint64_t offset = 0;  // without the prefix
  uint32_t stored = 0, unpacked = 0;
};

struct Sv2Record {
  int archive = 0;
  uint64_t offset = 0;
  uint32_t size = 0;
};

struct ArchiveState {
  // Define-block switches: sva, sv2 (one prefix byte), sv3 (two more).
  bool svaOn = false;
  bool sv2Prefix = false, sv3Prefix = false;
  std::string svaDir;     // svadir
  std::string addSvaDir;  // addsvadir
  // The index is built at the first lookup after the switches are set, so
  // that svadir may come after sva in the define block.
  bool svaIndexBuilt = false;
  std::array<std::vector<SvaRecord>, 256> buckets;

  bool sv2On = false;  // "00.sv2" existed at the last game reset
  std::unordered_map<std::string, Sv2Record> sv2;

  std::vector<std::string> plugins;  // "archive file|plug-in file"
  int tempCounter = 0;

  int Prefix() const { return (sv2Prefix ? 1 : 0) + (sv3Prefix ? 2 : 0); }
};

struct SvaHit {
  std::string archive;  // as the engine names it: "arc.sva", "arc3.sva", "dir\arc.sva"
  uint8_t kind = 0;
  uint64_t offset = 0;  // position in the file, the prefix included
  uint32_t stored = 0, unpacked = 0;
};

struct Sv2Hit {
  std::string archive;  // "07.sv2"
  uint64_t offset = 0;
  uint32_t size = 0;
};

// The SVA archive name of archive number n.
std::string SvaArchiveName(const ArchiveState& a, int n);

std::optional<SvaHit> FindSvaEntry(Engine& e, std::string_view name);
std::optional<Sv2Hit> FindSv2Entry(Engine& e, std::string_view name);

// Opens the SV2 archives when "00.sv2" exists (the game reset does this).
void OpenSv2Archives(Engine& e);
// Drops the SVA index so the next lookup reads the archives again.
void InvalidateSvaIndex(Engine& e);

// Reads `size` bytes at `offset` of an archive; reports the archive as
// damaged when the range passes its end.
std::vector<uint8_t> ReadArchiveRange(Engine& e, const std::string& archive, uint64_t offset, uint64_t size);
// The bytes of an SVA entry as stored, or unpacked for LZSS entries.
std::vector<uint8_t> ReadSvaEntry(Engine& e, const SvaHit& hit);
std::vector<uint8_t> LzssUnpack(Engine& e, const std::string& archive, const std::vector<uint8_t>& packed,
                                uint32_t unpacked);

// A temporary file the engine made; deleted with the object.
class TempFile {
 public:
  TempFile() = default;
  TempFile(std::string path, std::string dir) : path_(std::move(path)), dir_(std::move(dir)) {}
  ~TempFile();
  TempFile(TempFile&& o) noexcept;
  TempFile& operator=(TempFile&& o) noexcept;
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  const std::string& path() const { return path_; }

 private:
  void Remove();
  std::string path_;
  std::string dir_;  // a directory made for the file, removed with it
};

// A fresh, empty file in the temporary directory whose name ends in
// `suffix`; nullopt when none can be made.
std::optional<TempFile> MakeTempFile(Engine& e, const std::string& suffix);

// Copies a named entry out of the archives into a temporary file: SVA
// entries (LZSS unpacked), then the archive plug-ins. nullopt when no
// archive has it; SV2 mode and SPB entries are reported.
std::optional<TempFile> ExtractToTemp(Engine& e, const std::string& name);
// Only the archive plug-ins' part of that (the image loader has already
// looked in the engine's own archives).
std::optional<TempFile> ExtractThroughPlugins(Engine& e, const std::string& name);

// For plug-ins: where the unpacked bytes of a file are. The offset is the
// position in the archive file.
bool SVAGetFile(Engine& e, const std::string& name, std::string& archive, int32_t& offset, int32_t& size);
bool SV2GetFile(Engine& e, const std::string& name, std::string& archive, int32_t& offset, int32_t& size);

}  // namespace sorv
