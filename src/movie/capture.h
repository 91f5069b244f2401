// Video capture: the presented frame written frame by frame into an
// uncompressed AVI (24-bit DIB frames, rows bottom-up as the frame keeps
// them) through libavformat's AVI muxer. The file is written under a
// temporary name beside the target and renamed over it when closed, so a
// capture cut short never leaves a half-written file under the real name.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace sorv {

struct Surface;

class AviCapture {
 public:
  // A capture of width x height frames at `rate` frames a second; nullptr,
  // with the reason, when the file cannot be made.
  static std::unique_ptr<AviCapture> Open(const std::string& path, int width, int height, int rate,
                                          std::string* error);
  ~AviCapture();
  AviCapture(const AviCapture&) = delete;
  AviCapture& operator=(const AviCapture&) = delete;

  // Writes `frame` (a 24-bit surface of the capture's size) as frame number n,
  // a key frame. Frames left out between two numbers are empty in the file.
  bool Write(const Surface& frame, int64_t n, std::string* error);
  // Finishes the file and gives it its name.
  bool Close(std::string* error);

 private:
  AviCapture() = default;
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace sorv
