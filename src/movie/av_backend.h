// The movie decoder and the video capture live in a module of their own,
// "sorv-av.so" beside the executable, loaded the first time a movie plays or
// a capture opens. The module carries FFmpeg and the hundred-odd libraries
// FFmpeg links; the engine binary does not, so a game that shows no movie
// never pays for loading them, and one without the module still runs, its
// movies reported as unplayable.
//
// The interface is C++ objects behind a versioned table. The module is built
// from this tree with the engine, so both sides agree on the layout of the
// types that cross (std::string, std::vector, std::shared_ptr).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace sorv {

// Where a movie's bytes are: a range of a file (the whole file, or an
// archive entry stored as it is), or bytes in memory (an unpacked entry).
struct MovieSource {
  std::string path;
  uint64_t offset = 0;
  int64_t size = -1;  // -1: to the end of the file
  std::shared_ptr<const std::vector<uint8_t>> memory;  // set: read these instead
};

// What MovieDecoder (movie/decoder.h) asks of its implementation; the
// methods mean what the ones of that class with the same names say.
class MovieDecoderBackend {
 public:
  virtual ~MovieDecoderBackend() = default;
  virtual bool Open(const MovieSource& source, int width, int height, int audioRate, std::string* error) = 0;
  virtual bool HasVideo() const = 0;
  virtual bool HasAudio() const = 0;
  virtual double FrameRate() const = 0;
  virtual int SourceWidth() const = 0;
  virtual int SourceHeight() const = 0;
  virtual bool Step() = 0;
  virtual bool AtEnd() const = 0;
  virtual bool Rewind() = 0;
  virtual size_t PacketsWaiting() const = 0;
  virtual void DecodePictures(size_t want) = 0;
  virtual size_t FramesWaiting() const = 0;
  virtual int64_t FrameMs(size_t i) const = 0;
  virtual void DropFrame() = 0;
  virtual void DrawFrame(uint8_t* topRow, int stride) = 0;
  virtual const std::vector<int16_t>& Pcm() const = 0;
  virtual void TakePcm(size_t frames) = 0;
  virtual const std::string& Error() const = 0;
};

// An open capture file; the frames handed in are checked by the caller to
// be `frameBytes` of 24-bit rows, bottom-up.
class AviCaptureBackend {
 public:
  virtual ~AviCaptureBackend() = default;
  virtual bool Write(const uint8_t* frame, int64_t n, std::string* error) = 0;
  virtual bool Close(std::string* error) = 0;
};

constexpr uint32_t kAvBackendVersion = 1;

struct AvBackend {
  uint32_t version;       // kAvBackendVersion of the tree it was built from
  uint32_t sourceBytes;   // sizeof(MovieSource) there, a check of the layout
  std::unique_ptr<MovieDecoderBackend> (*newDecoder)();
  // A capture of width x height frames at `rate` a second into `path`
  // (written aside and renamed when closed); nullptr with the reason.
  std::unique_ptr<AviCaptureBackend> (*openCapture)(const std::string& path, int width, int height, int rate,
                                                    int64_t frameBytes, std::string* error);
};

// The module's table, loaded at the first call; nullptr, with the reason
// (the same every time), when the module is missing or does not fit.
const AvBackend* LoadAvBackend(std::string* error);

}  // namespace sorv

// The module's one exported symbol.
extern "C" const sorv::AvBackend* sorv_av_backend();
