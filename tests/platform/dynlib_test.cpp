#include "platform/dynlib.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace sorv::platform {
namespace {

// Stands a real shared library the test process already uses (libpng, which
// the engine links) in for a game's plug-in: a symbolic link to it under a
// Windows-style name needs no compiler at test time.
class DynlibTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("sorv-dynlib-test-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir_ / "Dll");
    void* symbol = dlsym(RTLD_DEFAULT, "png_get_libpng_ver");
    Dl_info info{};
    ASSERT_NE(symbol, nullptr);
    ASSERT_NE(dladdr(symbol, &info), 0);
    library_ = info.dli_fname;
    ASSERT_EQ(library_.front(), '/') << library_;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  void Link(const std::string& name) { std::filesystem::create_symlink(library_, dir_ / name); }
  void Junk(const std::string& name) { std::ofstream(dir_ / name) << "MZ not an ELF file"; }

  std::filesystem::path dir_;
  std::string library_;
};

TEST_F(DynlibTest, MissingOrForeignLibrariesAreNull) {
  Junk("windows.dll");
  EXPECT_EQ(OpenLibrary(dir_.string(), "absent.dll"), nullptr);
  EXPECT_EQ(OpenLibrary(dir_.string(), "absent.so"), nullptr);
  EXPECT_EQ(OpenLibrary(dir_.string(), "windows.dll"), nullptr);
  EXPECT_EQ(OpenLibrary(dir_.string(), ""), nullptr);
  // A bare name is looked for in the game directory, never on the system's path.
  EXPECT_EQ(OpenLibrary(dir_.string(), "libc.so.6"), nullptr);
  EXPECT_EQ(FindSymbol(nullptr, "x"), nullptr);
  CloseLibrary(nullptr);
}

TEST_F(DynlibTest, DllNameFindsTheSharedObjectFirst) {
  Link("Dll/SvPng.so");
  Junk("Dll/SvPng.dll");
  void* lib = OpenLibrary(dir_.string(), "dll\\svpng.DLL");
  ASSERT_NE(lib, nullptr);
  EXPECT_EQ(FindSymbol(lib, "png_get_libpng_ver"), dlsym(RTLD_DEFAULT, "png_get_libpng_ver"));
  EXPECT_EQ(FindSymbol(lib, "NoSuchEntry"), nullptr);
  CloseLibrary(lib);
}

TEST_F(DynlibTest, DllNameAsWrittenWhenNoSharedObject) {
  Link("plugin.dll");
  void* lib = OpenLibrary(dir_.string(), "plugin.dll");
  ASSERT_NE(lib, nullptr);
  EXPECT_NE(FindSymbol(lib, "png_get_libpng_ver"), nullptr);
  CloseLibrary(lib);
  // An absolute name is used as it is.
  lib = OpenLibrary("/nonexistent", (dir_ / "plugin.dll").string());
  EXPECT_NE(lib, nullptr);
  CloseLibrary(lib);
}

}  // namespace
}  // namespace sorv::platform
