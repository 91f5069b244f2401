// The decoder keeps the video packets it reads for the sound and decodes
// them only when pictures are asked for: every picture still comes out
// once, in order, at its time and with its colour, however late it is
// asked for, and a rewind forgets what was kept.
#include <gtest/gtest.h>

#include <vector>

#include "movie/decoder.h"
#include "movie/movie_files.h"
#include "support/engine_fixture.h"

namespace sorv::test {
namespace {

constexpr int kSide = 16;

// The colour of the oldest waiting picture, drawn top-down, as 0xRRGGBB.
uint32_t Colour(MovieDecoder& d) {
  std::vector<uint8_t> bgr(kSide * kSide * 3);
  d.DrawFrame(bgr.data(), kSide * 3);
  const uint8_t* p = &bgr[(kSide / 2 * kSide + kSide / 2) * 3];
  return static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[0];
}

bool Near(uint32_t a, uint32_t b) {
  for (int shift : {0, 8, 16}) {
    int diff = static_cast<int>(a >> shift & 0xFF) - static_cast<int>(b >> shift & 0xFF);
    if (diff > 24 || diff < -24) return false;
  }
  return true;
}

struct Picture {
  int64_t ms;
  uint32_t colour;
};

// Takes every waiting picture.
void TakeAll(MovieDecoder& d, std::vector<Picture>& out) {
  while (d.FramesWaiting() > 0) {
    out.push_back({d.FrameMs(0), Colour(d)});
    d.DropFrame();
  }
}

void ExpectTheMovie(const std::vector<Picture>& pictures, int frames) {
  ASSERT_EQ(pictures.size(), static_cast<size_t>(frames));
  EXPECT_LT(pictures[0].ms, 40);  // after the sound's lead-in, if any
  for (int k = 0; k < frames; ++k) {
    EXPECT_EQ(pictures[static_cast<size_t>(k)].ms - pictures[0].ms, 40 * k) << k;
    EXPECT_TRUE(Near(pictures[static_cast<size_t>(k)].colour, TestMovieColour(k)))
        << k << ": " << std::hex << pictures[static_cast<size_t>(k)].colour;
  }
}

class Decoder : public ::testing::Test {
 protected:
  void SetUp() override {
    movie.frames = 12;
    std::string why;
    ASSERT_TRUE(WriteTestMovie(dir.File("op.mpg"), movie, &why)) << why;
    source.path = dir.File("op.mpg");
  }
  TestMovie movie;
  TempDir dir;
  MovieSource source;
};

TEST_F(Decoder, PicturesAskedForLateComeOutOnceInOrder) {
  // Read for the sound alone: the pictures wait as packets, and the end of
  // the file decodes what is still kept.
  MovieDecoder d;
  std::string why;
  ASSERT_TRUE(d.Open(source, kSide, kSide, 44100, &why)) << why;
  ASSERT_TRUE(d.HasVideo());
  ASSERT_TRUE(d.HasAudio());
  bool kept = false;
  while (d.Step()) {
    EXPECT_EQ(d.FramesWaiting(), 0u);
    kept = kept || d.PacketsWaiting() > 0;
  }
  EXPECT_TRUE(kept);
  EXPECT_TRUE(d.AtEnd());
  EXPECT_EQ(d.PacketsWaiting(), 0u);
  EXPECT_GE(d.Pcm().size() / 2, 44100u * 12 / 25);
  std::vector<Picture> late;
  TakeAll(d, late);
  ExpectTheMovie(late, movie.frames);

  // Asked for two at a time while reading, as the player does.
  MovieDecoder e;
  ASSERT_TRUE(e.Open(source, kSide, kSide, 44100, &why)) << why;
  std::vector<Picture> early;
  while (!e.AtEnd()) {
    e.Step();
    e.DecodePictures(2);
    while (e.FramesWaiting() > 1) {
      early.push_back({e.FrameMs(0), Colour(e)});
      e.DropFrame();
    }
  }
  TakeAll(e, early);
  ExpectTheMovie(early, movie.frames);
}

TEST_F(Decoder, RewindForgetsWhatWasKept) {
  MovieDecoder d;
  std::string why;
  ASSERT_TRUE(d.Open(source, kSide, kSide, 44100, &why)) << why;
  for (int i = 0; i < 200 && d.PacketsWaiting() < 3 && d.Step();) ++i;
  ASSERT_GE(d.PacketsWaiting(), 3u);
  d.DecodePictures(1);
  ASSERT_EQ(d.FramesWaiting(), 1u);
  ASSERT_TRUE(d.Rewind());
  EXPECT_EQ(d.PacketsWaiting(), 0u);
  EXPECT_EQ(d.FramesWaiting(), 0u);
  EXPECT_TRUE(d.Pcm().empty());
  while (d.Step()) d.DecodePictures(1);
  std::vector<Picture> again;
  TakeAll(d, again);
  ExpectTheMovie(again, movie.frames);
}

}  // namespace
}  // namespace sorv::test
