// Where the engine's own files go, and how they are written: aside, flushed
// and renamed, so that a crash or a full disk never leaves a torn file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "persist/slots.h"
#include "platform/fs.h"
#include "shell/engine.h"

namespace sorv {
namespace {

bool MakeDirectories(const std::string& path) {
  std::string built;
  size_t at = 0;
  while (at <= path.size()) {
    size_t slash = path.find('/', at);
    if (slash == std::string::npos) slash = path.size();
    built = path.substr(0, slash);
    if (!built.empty() && ::mkdir(built.c_str(), 0755) != 0 && errno != EEXIST) return false;
    at = slash + 1;
  }
  return platform::IsDirectory(path);
}

bool Writable(const std::string& dir) { return platform::IsDirectory(dir) && ::access(dir.c_str(), W_OK | X_OK) == 0; }

std::string GameName(const Engine& e) {
  char* real = ::realpath(e.gameDir.c_str(), nullptr);
  std::string path = real ? real : e.gameDir;
  std::free(real);
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  size_t slash = path.rfind('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  return name.empty() || name == "/" ? "game" : name;
}

std::string FallbackDirectory(const Engine& e) {
  std::string base;
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/') {
    base = xdg;
  } else if (const char* home = std::getenv("HOME"); home && *home) {
    base = std::string(home) + "/.local/share";
  } else {
    base = platform::TempDirectory();
  }
  return base + "/sorv/" + GameName(e);
}

// The directory a save directory name stands for (the game directory when
// the name is empty).
std::string ShippedDirectory(Engine& e) {
  const std::string& dir = e.persistSettings.saveDir;
  return dir.empty() ? e.gameDir : e.Path(dir);
}

}  // namespace

std::string SaveDirectory(Engine& e) {
  SaveImageState& img = e.saveImage;
  if (img.writeDirChecked) return img.writeDir;
  std::string dir = ShippedDirectory(e);
  if (!platform::IsDirectory(dir)) MakeDirectories(dir);
  if (!Writable(dir)) {
    std::string fallback = FallbackDirectory(e);
    MakeDirectories(fallback);
    std::fprintf(stderr, "sorv: %s cannot be written; saves and settings go to %s\n", dir.c_str(),
                 fallback.c_str());
    dir = fallback;
  }
  img.writeDir = dir;
  img.writeDirChecked = true;
  return dir;
}

std::string WritePath(Engine& e, const std::string& name) { return SaveDirectory(e) + "/" + name; }

std::string ReadPath(Engine& e, const std::string& name) {
  std::string written = WritePath(e, name);
  if (platform::IsRegularFile(written)) return written;
  std::string shipped = platform::ResolvePath(ShippedDirectory(e), name);
  return platform::IsRegularFile(shipped) ? shipped : written;
}

bool WriteEngineFile(Engine& e, const std::string& name, const void* data, size_t size) {
  SaveImageState& img = e.saveImage;
  const std::string path = WritePath(e, name);
  const std::string temp = path + ".tmp";
  size_t allowed = img.writeSeam ? img.writeSeam(path, size) : size;
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    img.lastError = "cannot create " + temp + ": " + std::strerror(errno);
    return false;
  }
  const char* p = static_cast<const char*>(data);
  size_t done = 0;
  bool ok = true;
  while (done < size) {
    if (done >= allowed) {
      errno = ENOSPC;
      ok = false;
      break;
    }
    ssize_t n = ::write(fd, p + done, std::min(size - done, allowed - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = false;
      break;
    }
    done += static_cast<size_t>(n);
  }
  if (ok && ::fsync(fd) != 0) ok = false;
  int err = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    err = errno;
  }
  if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
    ok = false;
    err = errno;
  }
  if (!ok) {
    ::unlink(temp.c_str());
    img.lastError = "cannot write " + path + ": " + std::strerror(err);
    return false;
  }
  // The rename itself reaches the disk with the directory.
  int dfd = ::open(SaveDirectory(e).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
  return true;
}

}  // namespace sorv
