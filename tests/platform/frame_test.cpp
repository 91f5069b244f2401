#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

#include "platform/platform.h"
#include "png_reader.h"

namespace sorv::platform {
namespace {

// A 3x2 frame as the engine keeps it: bottom row first, B G R bytes, rows
// padded to 12 bytes.
std::vector<uint8_t> SmallFrame() {
  return {
      // bottom row: blue, green, red
      0xFF,
      0x00,
      0x00,
      0x00,
      0xFF,
      0x00,
      0x00,
      0x00,
      0xFF,
      0xEE,
      0xEE,
      0xEE,
      // top row: (1,2,3) as B,G,R, white, black
      0x03,
      0x02,
      0x01,
      0xFF,
      0xFF,
      0xFF,
      0x00,
      0x00,
      0x00,
      0xEE,
      0xEE,
      0xEE,
  };
}

TEST(FrameToRgb, FlipsRowsAndSwapsBlueAndRed) {
  std::vector<uint8_t> frame = SmallFrame();
  std::vector<uint8_t> rgb(3 * 2 * 3, 0x55);
  FrameToRgb(frame.data(), 3, 2, 12, rgb.data());
  std::vector<uint8_t> expected = {
      0x01, 0x02, 0x03, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00,  // top row
      0x00, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0x00,  // bottom row
  };
  EXPECT_EQ(rgb, expected);
}

class PngTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("sorv-png-test-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path dir_;
};

TEST_F(PngTest, WritesEightBitRgbThatReadsBackExactly) {
  const uint8_t rgb[] = {1, 2, 3, 250, 251, 252, 0, 0, 0, 9, 8, 7, 100, 110, 120, 255, 0, 255};
  std::string path = (dir_ / "out.png").string();
  std::string error;
  ASSERT_TRUE(WritePngRgb(path, rgb, 3, 2, &error)) << error;
  testing::RgbImage image = testing::ReadPngRgb(path);
  ASSERT_TRUE(image.ok);
  EXPECT_EQ(image.fileFormat, static_cast<uint32_t>(PNG_FORMAT_RGB));
  EXPECT_EQ(image.width, 3);
  EXPECT_EQ(image.height, 2);
  EXPECT_EQ(image.rgb, std::vector<uint8_t>(rgb, rgb + sizeof rgb));
  // Only the PNG is left: the temporary file was renamed over it.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 1);
}

TEST_F(PngTest, ReplacesAnExistingFileAndReportsFailures) {
  std::string path = (dir_ / "out.png").string();
  const uint8_t red[] = {255, 0, 0};
  const uint8_t green[] = {0, 255, 0};
  ASSERT_TRUE(WritePngRgb(path, red, 1, 1));
  ASSERT_TRUE(WritePngRgb(path, green, 1, 1));
  EXPECT_EQ(testing::ReadPngRgb(path).At(0, 0), 0x00FF00u);

  std::string missing = (dir_ / "no-such-dir" / "out.png").string();
  std::string error;
  EXPECT_FALSE(WritePngRgb(missing, red, 1, 1, &error));
  EXPECT_NE(error.find(missing), std::string::npos) << error;
  EXPECT_NE(error.find("No such file"), std::string::npos) << error;
}

}  // namespace
}  // namespace sorv::platform
