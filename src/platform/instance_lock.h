// The single-instance lock. The original engine used a named mutex
// ("MutexDesu2"); here it is an flock() on a file in the runtime directory
// ($XDG_RUNTIME_DIR, else the temporary directory; $SORV_LOCK_DIR overrides
// both). The kernel drops the lock when the process dies, so it is never
// left stale by a crash.
#pragma once

#include <string>

namespace sorv::platform {

class InstanceLock {
 public:
  InstanceLock() = default;
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // True when this process now holds the lock named `name`; false when
  // another process holds it (or the lock file cannot be made).
  bool Acquire(const std::string& name);
  void Release();
  bool Held() const { return fd_ >= 0; }
  static std::string LockPath(const std::string& name);

 private:
  int fd_ = -1;
};

}  // namespace sorv::platform
