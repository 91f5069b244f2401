// Movies the tests and the benchmark make for themselves with FFmpeg's
// encoders: MPEG-1 pictures (each frame one flat colour, so a test can tell
// which frame it sees) and, when asked, an MP2 tone, in an MPEG program
// stream.
#pragma once

#include <cstdint>
#include <string>

namespace sorv::test {

struct TestMovie {
  int width = 160, height = 120;
  int fps = 25;         // one of MPEG-1's rates
  int frames = 10;
  bool sound = true;    // a 440 Hz tone, 44.1 kHz stereo
  bool flat = true;     // flat colours; false: a moving gradient (a benchmark's load)
};

// The colour of frame k of a flat test movie, as 0xRRGGBB.
uint32_t TestMovieColour(int k);

// Writes the movie to `path`; false, with the reason, on failure.
bool WriteTestMovie(const std::string& path, const TestMovie& movie, std::string* error = nullptr);

}  // namespace sorv::test
