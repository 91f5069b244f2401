// definereset fills the layer slots afresh: the layers of the pass before
// are finished first, once each.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/engine_fixture.h"

namespace sorv {
namespace {

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(LayerPlugin, ANewDefinePassFinishesTheLayersOfTheLastOne) {
  test::TempDir dir;
  std::filesystem::copy_file(std::string(SORV_TEST_PLUGIN_DIR) + "/mover.so", dir.File("mover.so"));
  // The Lua state outlives the restart and tells the passes apart.
  dir.Write("svlua.dll", "MZ\x90 stands for a Windows library");
  dir.Write("0.txt",
            "*define\nsetlayer 3,0,\"mover.dll/ff0000\"\ngame\n*start\n"
            "luastr \"passes = (passes or 0) + 1 SVSetIntValue(1, passes)\"\n"
            "if %1 == 1 layermessage 3,\"jump 40\":definereset\n"
            "layermessage 3,\"jump 70\"\nend\n");
  test::RunResult r = test::RunGameDir(dir.path());
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(Count(r.stderrText, "mover: finalized at 40"), 1u) << r.stderrText;
  EXPECT_EQ(Count(r.stderrText, "mover: finalized at 70"), 1u) << r.stderrText;
  EXPECT_EQ(Count(r.stderrText, "mover: finalized"), 2u) << r.stderrText;
}

}  // namespace
}  // namespace sorv
