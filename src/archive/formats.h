// The engine's archive formats read from bytes: the SVA index, the SV2
// index, the plain archive index and the LZSS coder. Pure functions, shared
// by the engine, the packer tool, the tests and the fuzz targets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sorv {

// Something an index can be read from: a file or a block of memory.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual uint64_t Size() const = 0;
  // Reads exactly `n` bytes at `offset`; false when they are not all there.
  virtual bool ReadAt(uint64_t offset, void* dst, size_t n) const = 0;
};

class MemorySource : public ByteSource {
 public:
  MemorySource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint64_t Size() const override { return size_; }
  bool ReadAt(uint64_t offset, void* dst, size_t n) const override;

 private:
  const uint8_t* data_;
  size_t size_;
};

class FileSource : public ByteSource {
 public:
  explicit FileSource(const std::string& path);
  ~FileSource() override;
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;
  bool Ok() const { return fd_ >= 0; }
  uint64_t Size() const override { return size_; }
  bool ReadAt(uint64_t offset, void* dst, size_t n) const override;

 private:
  int fd_ = -1;
  uint64_t size_ = 0;
};

// Archive names are compared without letter case and with either slash:
// ASCII letters are lowered (never the second byte of a double-byte
// character) and '/' becomes '\'.
std::string NormaliseArchiveName(std::string_view name);

// SVA compression kinds.
enum SvaKind : uint8_t { kSvaStored = 0, kSvaSpb = 1, kSvaLzss = 2 };

struct SvaEntry {
  std::string name;      // as stored
  uint8_t kind = 0;
  uint64_t offset = 0;   // data start + entry offset: without the prefix
  uint32_t stored = 0;   // bytes in the archive
  uint32_t unpacked = 0;
};

// Reads an SVA index behind `prefix` skipped bytes. False when the header
// or an entry ends early or the entry count could not fit in the file.
bool ReadSvaIndex(const ByteSource& src, int prefix, std::vector<SvaEntry>& out);

// The 256-bucket hash of an SVA name: the sum of byte x position, bytes
// taken as signed, reduced to its low 8 bits.
int SvaBucket(std::string_view lowerName);

struct Sv2Entry {
  std::string name;  // lower-cased
  uint64_t offset = 0;
  uint32_t size = 0;
};
// Reads an SV2 index; false when it is damaged.
bool ReadSv2Index(const ByteSource& src, std::vector<Sv2Entry>& out);

struct PlainEntry {
  std::string name;
  uint64_t offset = 0;  // absolute
  uint32_t size = 0;
};
bool ReadPlainIndex(const ByteSource& src, std::vector<PlainEntry>& out);

// LZSS as SVA entries use it. Output grows to at most `unpacked` bytes; the
// writer of the format kept 20 bytes of slack behind that, and bytes that
// land there are dropped. False when the stream runs on past the slack.
constexpr size_t kLzssSlack = 20;
bool LzssDecode(const uint8_t* in, size_t inSize, uint32_t unpacked, std::vector<uint8_t>& out);
std::vector<uint8_t> LzssEncode(const uint8_t* in, size_t size);

}  // namespace sorv
