// The entry points of archive plug-ins, as this engine calls them. A plug-in
// is a shared library exporting both functions with C linkage.
#pragma once

#include <cstdint>

extern "C" {

#pragma pack(push, 1)
// What GetFileInfo reports about one file of an archive.
struct SorvArchiveFileInfo {
  uint8_t method[8];
  uint32_t position;  // handed back to GetFile
  uint32_t compressedSize;
  uint32_t fileSize;
  uint32_t timestamp;
  char path[200];
  char fileName[200];  // the name the file gets when GetFile writes it
  uint32_t crc;
};
#pragma pack(pop)

// Flag bit of GetFileInfo: compare names without letter case.
constexpr uint32_t kSorvIgnoreCase = 128;

// Returns 0 when `name` is in `archive` and fills `info`.
typedef int32_t (*SorvGetFileInfo)(const char* archive, int32_t offset, const char* name, uint32_t flags,
                                   SorvArchiveFileInfo* info);
// Writes the file at `position` into the directory `dest` under its own
// name (flags 0: to disk). Returns 0 on success.
typedef int32_t (*SorvGetFile)(const char* archive, int32_t position, const char* dest, uint32_t flags,
                               void* progress, int32_t data);
}
