#include "platform/fs.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <cstring>

namespace sorv::platform {
namespace {

// Finds the entry of `dir` whose name equals `component` ignoring ASCII case.
bool FindEntryIgnoringCase(const std::string& dir, const std::string& component, std::string& out) {
  DIR* d = opendir(dir.empty() ? "." : dir.c_str());
  if (!d) return false;
  bool found = false;
  while (dirent* ent = readdir(d)) {
    if (strcasecmp(ent->d_name, component.c_str()) == 0) {
      out = ent->d_name;
      found = true;
      break;
    }
  }
  closedir(d);
  return found;
}

bool Exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

}  // namespace

std::string ResolvePath(const std::string& baseDir, const std::string& name) {
  std::string rel = name;
  for (char& c : rel) {
    if (c == '\\') c = '/';
  }
  std::string joined;
  if (!rel.empty() && rel[0] == '/') {
    joined = rel;
  } else if (baseDir.empty()) {
    joined = rel;
  } else {
    joined = baseDir;
    if (joined.back() != '/') joined += '/';
    joined += rel;
  }
  if (Exists(joined)) return joined;

  // Walk the relative part one component at a time, repairing letter case
  // where the exact spelling is missing: games were made on file systems
  // that ignore case.
  std::string cur;
  size_t start = 0;
  if (!rel.empty() && rel[0] == '/') {
    cur = "/";
    start = 1;
  } else if (!baseDir.empty()) {
    cur = baseDir;
  }
  while (start <= rel.size()) {
    size_t slash = rel.find('/', start);
    if (slash == std::string::npos) slash = rel.size();
    std::string comp = rel.substr(start, slash - start);
    start = slash + 1;
    if (comp.empty() || comp == ".") continue;
    std::string next = cur.empty() ? comp : (cur.back() == '/' ? cur + comp : cur + "/" + comp);
    if (!Exists(next) && comp != "..") {
      std::string actual;
      if (!FindEntryIgnoringCase(cur, comp, actual)) return joined;
      next = cur.empty() ? actual : (cur.back() == '/' ? cur + actual : cur + "/" + actual);
    }
    cur = next;
  }
  return cur.empty() ? joined : cur;
}

bool IsRegularFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsSpecialFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
}

int OpenRegularFile(const std::string& path, std::string* error) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    if (error) *error = std::strerror(errno);
    return -1;
  }
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    if (error) *error = "not a regular file";
    return -1;
  }
  int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  return fd;
}

bool ResolvesInside(const std::string& root, const std::string& path) {
  char buf[PATH_MAX];
  if (!::realpath(root.empty() ? "." : root.c_str(), buf)) return false;
  std::string rootReal = buf;
  // Strip missing components from the end until what is left exists.
  std::string head = path.empty() ? "." : path;
  while (true) {
    if (::realpath(head.c_str(), buf)) break;
    if (errno != ENOENT && errno != ENOTDIR) return false;
    while (head.size() > 1 && head.back() == '/') head.pop_back();
    struct stat st;
    // Present but not resolvable: a dangling link, which a create would follow.
    if (::lstat(head.c_str(), &st) == 0) return false;
    size_t slash = head.rfind('/');
    std::string tail = slash == std::string::npos ? head : head.substr(slash + 1);
    if (tail == "..") return false;
    if (slash == std::string::npos) {
      head = ".";
    } else {
      head = slash == 0 ? "/" : head.substr(0, slash);
    }
  }
  std::string real = buf;
  if (rootReal == "/") return true;
  return real == rootReal || (real.size() > rootReal.size() && real.compare(0, rootReal.size(), rootReal) == 0 &&
                              real[rootReal.size()] == '/');
}

bool IsDirectory(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::optional<uint64_t> RegularFileSize(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return static_cast<uint64_t>(st.st_size);
}

std::optional<std::vector<char>> ReadWholeFile(const std::string& path, uint64_t maxBytes,
                                               std::string* error) {
  auto fail = [&](const std::string& why) -> std::optional<std::vector<char>> {
    if (error) *error = why;
    return std::nullopt;
  };
  std::string why;
  int fd = OpenRegularFile(path, &why);
  if (fd < 0) return fail(why);
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    ::close(fd);
    return fail(std::strerror(errno));
  }
  if (static_cast<uint64_t>(st.st_size) > maxBytes) {
    ::close(fd);
    return fail("file too large");
  }
  std::vector<char> data(static_cast<size_t>(st.st_size));
  size_t got = 0;
  while (got < data.size()) {
    ssize_t n = ::read(fd, data.data() + got, data.size() - got);
    if (n < 0) {
      if (errno == EINTR) continue;
      std::string why = std::strerror(errno);
      ::close(fd);
      return fail(why);
    }
    if (n == 0) break;  // the file shrank while we read it
    got += static_cast<size_t>(n);
  }
  data.resize(got);
  ::close(fd);
  return data;
}

bool ReadFileInto(const std::string& path, char* dst, size_t capacity, size_t& got, std::string* error) {
  return ReadFileInSteps(path, dst, capacity, capacity, got, nullptr, error);
}

bool ReadFileInSteps(const std::string& path, char* dst, size_t capacity, size_t step, size_t& got,
                     const std::function<bool(size_t)>& took, std::string* error) {
  got = 0;
  int fd = OpenRegularFile(path, error);
  if (fd < 0) return false;
  // Closed however this ends, `took` may throw.
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  step = std::max<size_t>(step, 1);
  while (got < capacity) {
    ssize_t n = ::read(fd, dst + got, std::min(step, capacity - got));
    if (n < 0) {
      if (errno == EINTR) continue;
      if (error) *error = std::strerror(errno);
      return false;
    }
    if (n == 0) break;
    got += static_cast<size_t>(n);
    if (took && !took(got)) break;
  }
  return true;
}

std::vector<std::string> ListDirectory(const std::string& dir) {
  std::vector<std::string> names;
  DIR* d = opendir(dir.empty() ? "." : dir.c_str());
  if (!d) return names;
  while (dirent* ent = readdir(d)) {
    std::string name = ent->d_name;
    if (name != "." && name != "..") names.push_back(std::move(name));
  }
  closedir(d);
  return names;
}

bool WriteFileAtomic(const std::string& path, const void* data, size_t size, std::string* error) {
  std::string tmp = path + ".tmp-" + std::to_string(::getpid());
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    if (error) *error = std::strerror(errno);
    return false;
  }
  const char* p = static_cast<const char*>(data);
  size_t left = size;
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (error) *error = std::strerror(errno);
      ::close(fd);
      ::unlink(tmp.c_str());
      return false;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  if (::fsync(fd) != 0 || ::close(fd) != 0) {
    if (error) *error = std::strerror(errno);
    ::unlink(tmp.c_str());
    return false;
  }
  if (::rename(tmp.c_str(), path.c_str()) != 0) {
    if (error) *error = std::strerror(errno);
    ::unlink(tmp.c_str());
    return false;
  }
  return true;
}

std::string TempDirectory() {
  const char* t = std::getenv("TMPDIR");
  std::string dir = (t && *t) ? t : "/tmp";
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  return dir;
}

std::string ExecutableDirectory() {
  char buf[4096];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return ".";
  buf[n] = 0;
  std::string path(buf);
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
}

}  // namespace sorv::platform
