#include "platform/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace sorv::platform {

namespace {

const char* NonEmptyEnv(const char* name) {
  const char* value = std::getenv(name);
  return value && *value ? value : nullptr;
}

bool IsDir(const char* path) {
  struct stat st;
  return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

InstanceLock::~InstanceLock() { Release(); }

std::string InstanceLock::LockPath(const std::string& name) {
  std::string safe = name;
  for (char& c : safe) {
    if (c == '/') c = '_';
  }
  if (const char* dir = NonEmptyEnv("SORV_LOCK_DIR")) return std::string(dir) + "/sorv-" + safe + ".lock";
  if (const char* dir = NonEmptyEnv("XDG_RUNTIME_DIR"); dir && IsDir(dir)) {
    return std::string(dir) + "/sorv-" + safe + ".lock";
  }
  // The temporary directory is shared between users: keep each user's lock apart.
  const char* tmp = NonEmptyEnv("TMPDIR");
  return std::string(tmp ? tmp : "/tmp") + "/sorv-" + safe + "-" + std::to_string(getuid()) + ".lock";
}

bool InstanceLock::Acquire(const std::string& name) {
  if (fd_ >= 0) return true;
  std::string path = LockPath(name);
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  int rc;
  do {
    rc = flock(fd, LOCK_EX | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    close(fd);
    return false;
  }
  fd_ = fd;
  return true;
}

// The file itself stays: removing it would let a third process lock a new
// file of the same name while a second still waits on the old one.
void InstanceLock::Release() {
  if (fd_ < 0) return;
  flock(fd_, LOCK_UN);
  close(fd_);
  fd_ = -1;
}

}  // namespace sorv::platform
