#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/instance_lock.h"

namespace sorv::platform {
namespace {

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

class LockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("sorv-lock-test-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  // Runs `body` in a forked child and returns its exit status.
  template <typename Body>
  int InChild(Body body) {
    pid_t pid = fork();
    if (pid == 0) _exit(body());
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  std::filesystem::path dir_;
};

TEST_F(LockTest, PathPrefersLockDirThenRuntimeDirThenTemp) {
  std::string d = dir_.string();
  {
    ScopedEnv lock("SORV_LOCK_DIR", d.c_str());
    ScopedEnv runtime("XDG_RUNTIME_DIR", "/");
    EXPECT_EQ(InstanceLock::LockPath("MutexDesu2"), d + "/sorv-MutexDesu2.lock");
  }
  {
    ScopedEnv lock("SORV_LOCK_DIR", nullptr);
    ScopedEnv runtime("XDG_RUNTIME_DIR", d.c_str());
    EXPECT_EQ(InstanceLock::LockPath("MutexDesu2"), d + "/sorv-MutexDesu2.lock");
  }
  {
    ScopedEnv lock("SORV_LOCK_DIR", nullptr);
    ScopedEnv runtime("XDG_RUNTIME_DIR", (d + "/absent").c_str());
    ScopedEnv tmp("TMPDIR", d.c_str());
    EXPECT_EQ(InstanceLock::LockPath("a/b"), d + "/sorv-a_b-" + std::to_string(getuid()) + ".lock");
  }
}

TEST_F(LockTest, SecondProcessIsRefusedUntilTheHolderLetsGo) {
  ScopedEnv env("SORV_LOCK_DIR", dir_.string().c_str());
  InstanceLock lock;
  ASSERT_TRUE(lock.Acquire("test"));
  EXPECT_TRUE(lock.Held());
  EXPECT_EQ(InChild([] { return InstanceLock().Acquire("test") ? 1 : 0; }), 0);
  // Another name is another lock.
  EXPECT_EQ(InChild([] { return InstanceLock().Acquire("other") ? 1 : 0; }), 1);
  lock.Release();
  EXPECT_FALSE(lock.Held());
  EXPECT_EQ(InChild([] { return InstanceLock().Acquire("test") ? 1 : 0; }), 1);
}

TEST_F(LockTest, LockIsFreeAgainWhenTheHolderExits) {
  ScopedEnv env("SORV_LOCK_DIR", dir_.string().c_str());
  int ready[2], done[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(done), 0);
  pid_t pid = fork();
  if (pid == 0) {
    // The holder: takes the lock, says so, and exits without releasing it.
    InstanceLock* lock = new InstanceLock;
    char c = lock->Acquire("test") ? 'y' : 'n';
    if (write(ready[1], &c, 1) != 1) _exit(2);
    if (read(done[0], &c, 1) != 1) _exit(2);
    _exit(0);
  }
  char c = 0;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  EXPECT_EQ(c, 'y');
  InstanceLock second;
  EXPECT_FALSE(second.Acquire("test"));
  EXPECT_FALSE(second.Held());
  ASSERT_EQ(write(done[1], "x", 1), 1);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_TRUE(second.Acquire("test"));
  for (int fd : {ready[0], ready[1], done[0], done[1]}) close(fd);
}

}  // namespace
}  // namespace sorv::platform
