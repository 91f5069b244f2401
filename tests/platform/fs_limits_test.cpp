// Opening files without blocking, confinement by what a path resolves to,
// and the memory budget's arithmetic.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <vector>

#include "platform/fs.h"
#include "platform/headless/events_file.h"
#include "platform/memory_budget.h"
#include "support/engine_fixture.h"

namespace sorv::platform {
namespace {

using test::TempDir;

// A FIFO with no writer, a directory, a socket and a device are all refused
// at once; the regular file opens in blocking mode.
TEST(OpenRegularFile, RefusesWhatIsNotARegularFileWithoutWaiting) {
  TempDir dir;
  dir.Write("plain.txt", "abc");
  ASSERT_EQ(mkfifo(dir.File("pipe").c_str(), 0644), 0);
  mkdir(dir.File("sub").c_str(), 0755);
  int sock = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::string sockPath = dir.File("sock");
  ASSERT_LT(sockPath.size(), sizeof addr.sun_path);
  std::copy(sockPath.begin(), sockPath.end(), addr.sun_path);
  ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);

  for (std::string name : {"pipe", "sub", "sock"}) {
    std::string why;
    EXPECT_EQ(OpenRegularFile(dir.File(name), &why), -1) << name;
    // A socket cannot even be opened; the others open and are refused.
    if (name != "sock") {
      EXPECT_EQ(why, "not a regular file") << name;
    }
    EXPECT_FALSE(ReadWholeFile(dir.File(name), 100).has_value()) << name;
    size_t got = 0;
    char buf[4];
    EXPECT_FALSE(ReadFileInto(dir.File(name), buf, sizeof buf, got)) << name;
  }
  EXPECT_EQ(OpenRegularFile("/dev/zero"), -1);
  EXPECT_TRUE(IsSpecialFile(dir.File("pipe")));
  EXPECT_TRUE(IsSpecialFile("/dev/null"));
  EXPECT_FALSE(IsSpecialFile(dir.File("sub")));
  EXPECT_FALSE(IsSpecialFile(dir.File("plain.txt")));
  EXPECT_FALSE(IsSpecialFile(dir.File("absent")));

  int fd = OpenRegularFile(dir.File("plain.txt"));
  ASSERT_GE(fd, 0);
  EXPECT_EQ(fcntl(fd, F_GETFL) & O_NONBLOCK, 0);
  close(fd);
  auto data = ReadWholeFile(dir.File("plain.txt"), 100);
  ASSERT_TRUE(data.has_value());
  EXPECT_EQ(std::string(data->begin(), data->end()), "abc");
  close(sock);
}

// Links inside the root that lead out, directly or through a directory, and
// a dangling link that a create would follow, are all outside.
TEST(ResolvesInside, FollowsLinksOfTheExistingPart) {
  TempDir root, outside;
  root.Write("in/file.txt", "x");
  outside.Write("secret.txt", "s");
  ASSERT_EQ(symlink(outside.path().c_str(), root.File("out").c_str()), 0);
  ASSERT_EQ(symlink(outside.File("secret.txt").c_str(), root.File("secret").c_str()), 0);
  ASSERT_EQ(symlink(outside.File("not-yet.txt").c_str(), root.File("dangling").c_str()), 0);
  ASSERT_EQ(symlink("in", root.File("alias").c_str()), 0);

  const std::string& r = root.path();
  EXPECT_TRUE(ResolvesInside(r, r));
  EXPECT_TRUE(ResolvesInside(r, root.File("in/file.txt")));
  EXPECT_TRUE(ResolvesInside(r, root.File("in/new.txt")));
  EXPECT_TRUE(ResolvesInside(r, root.File("new/deeper/file.txt")));
  EXPECT_TRUE(ResolvesInside(r, root.File("alias/file.txt")));  // a link that stays inside
  EXPECT_FALSE(ResolvesInside(r, root.File("out")));
  EXPECT_FALSE(ResolvesInside(r, root.File("out/secret.txt")));
  EXPECT_FALSE(ResolvesInside(r, root.File("out/new.txt")));
  EXPECT_FALSE(ResolvesInside(r, root.File("secret")));
  EXPECT_FALSE(ResolvesInside(r, root.File("dangling")));
  EXPECT_FALSE(ResolvesInside(r, root.File("in/../../x")));
  EXPECT_FALSE(ResolvesInside(r, outside.File("secret.txt")));
  // A root that is itself reached through a link still holds its files.
  ASSERT_EQ(symlink(r.c_str(), outside.File("game").c_str()), 0);
  EXPECT_TRUE(ResolvesInside(outside.File("game"), outside.File("game/in/file.txt")));
}

TEST(MemoryBudget, RefusesWhatWouldPassTheLimit) {
  uint64_t saved = MemoryLimit();
  EXPECT_GE(DefaultMemoryLimit(), 256ull << 20);
  EXPECT_LE(DefaultMemoryLimit(), 4096ull << 20);
  uint64_t base = HeapInUse();
  SetMemoryLimit(base + (64ull << 20));
  EXPECT_NO_THROW(ReserveMemory(16ull << 20));
  EXPECT_THROW(ReserveMemory(128ull << 20), MemoryBudgetExceeded);
  EXPECT_THROW(ReserveMemory(~0ull), MemoryBudgetExceeded);
  // Small requests are summed: holding them all would pass the budget, so
  // some request is refused long before.
  std::vector<std::vector<char>> held;
  bool refused = false;
  for (int i = 0; i < 1000 && !refused; ++i) {
    try {
      ReserveMemory(512 << 10);
      held.emplace_back(512 << 10, 'x');
    } catch (const MemoryBudgetExceeded&) {
      refused = true;
    }
  }
  EXPECT_TRUE(refused);
  EXPECT_LE(held.size(), 130u);
  SetMemoryLimit(saved);
}

// An events file cannot expand into more input than a player could give:
// too much from one line or in all is a refusal naming the line.
TEST(EventsFileBounds, HostileFilesAreRefusedWithTheirLine) {
  std::string wheels;
  for (int i = 0; i < 200000; ++i) wheels += "0 wheel 1000\n";
  try {
    ParseEventsScript(wheels);
    ADD_FAILURE() << "a flood of wheel lines was taken";
  } catch (const std::runtime_error& err) {
    EXPECT_STREQ(err.what(), "events file line 1001: the file gives more than 1000000 events");
  }
  std::string text = "# long\n5 text " + std::string(5000, 'a') + "\n";
  try {
    ParseEventsScript(text);
    ADD_FAILURE() << "a line of 5000 characters was taken";
  } catch (const std::runtime_error& err) {
    EXPECT_STREQ(err.what(), "events file line 2: text gives 5000 events, more than the 4096 a line may give");
  }
  EXPECT_EQ(ParseEventsScript("0 text " + std::string(4096, 'b')).events.size(), 4096u);

  TempDir dir;
  ASSERT_EQ(mkfifo(dir.File("pipe").c_str(), 0644), 0);
  mkdir(dir.File("sub").c_str(), 0755);
  for (const char* name : {"pipe", "sub"}) {
    try {
      LoadEventsScript(dir.File(name));
      ADD_FAILURE() << name;
    } catch (const std::runtime_error& err) {
      EXPECT_EQ(std::string(err.what()).rfind("cannot read events file", 0), 0u) << err.what();
    }
  }
}

}  // namespace
}  // namespace sorv::platform
