// Files as the engine names them: relative to the game directory, written
// with Windows separators and in whatever letter case the game's author used.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace sorv::platform {

// Joins `name` to `baseDir` (unless absolute), turning '\' into '/', and
// resolves each component case-insensitively when the exact spelling does not
// exist. Returns the path to use (the exact join when nothing matches, so the
// caller's open fails in the ordinary way).
std::string ResolvePath(const std::string& baseDir, const std::string& name);

bool IsRegularFile(const std::string& path);
// True when something other than a regular file or a directory is there
// (a FIFO, a socket, a device): things the engine never reads as data.
bool IsSpecialFile(const std::string& path);

// Opens a regular file for reading without ever blocking on it: the open
// itself does not wait (a FIFO with no writer would hold the engine for
// ever), and anything but a regular file is refused. Returns the descriptor
// (blocking mode restored) or -1 with the reason in *error.
int OpenRegularFile(const std::string& path, std::string* error = nullptr);

// Whether `path`, with every symbolic link of the part that exists
// followed, lies inside the directory `root` (or is it). A name whose
// missing tail starts at a dangling link or contains ".." is refused: a
// later create would follow the link.
bool ResolvesInside(const std::string& root, const std::string& path);
bool IsDirectory(const std::string& path);
// Size of a regular file, or nullopt when it is absent or not a regular file.
std::optional<uint64_t> RegularFileSize(const std::string& path);

// Reads a whole regular file. Fails (nullopt, reason in *error) for
// directories, unreadable files and files larger than `maxBytes`.
std::optional<std::vector<char>> ReadWholeFile(const std::string& path, uint64_t maxBytes,
                                               std::string* error = nullptr);

// Reads at most `capacity` bytes of a regular file into `dst`; `got` is the
// count read. Fails for directories and unreadable files.
bool ReadFileInto(const std::string& path, char* dst, size_t capacity, size_t& got, std::string* error = nullptr);
// The same about `step` bytes at a time, calling `took(got)` after each
// read with the count so far; stops reading (without failing) when `took`
// returns false.
bool ReadFileInSteps(const std::string& path, char* dst, size_t capacity, size_t step, size_t& got,
                     const std::function<bool(size_t)>& took, std::string* error = nullptr);

// Names of the entries of a directory (without "." and ".."); empty when it
// cannot be read.
std::vector<std::string> ListDirectory(const std::string& dir);

// Writes `data` to a temporary file beside `path` and renames it over `path`,
// so a crash leaves either the old or the new file, never a torn one.
bool WriteFileAtomic(const std::string& path, const void* data, size_t size,
                     std::string* error = nullptr);

// The system temporary directory ($TMPDIR or /tmp), without trailing '/'.
std::string TempDirectory();
// Directory of the running executable (from /proc/self/exe).
std::string ExecutableDirectory();

}  // namespace sorv::platform
