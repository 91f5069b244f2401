// The movie decoder: one path for every movie format FFmpeg knows (MPEG-1/2,
// AVI with its common codecs, WMV, MP4, Ogg Theora, WebM). It reads the bytes
// through an I/O context of ours, so that a movie stored in an archive plays
// from the archive itself, and hands out decoded pictures with their times
// and the sound as 16-bit stereo PCM at the audio device's rate. The work is
// done in the av module (movie/av_backend.h); without it every movie fails
// to open, with the reason.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "movie/av_backend.h"

namespace sorv {

class MovieDecoder {
 public:
  MovieDecoder();
  ~MovieDecoder();
  MovieDecoder(const MovieDecoder&) = delete;
  MovieDecoder& operator=(const MovieDecoder&) = delete;

  // Opens the movie. Pictures will be scaled to width x height; sound is
  // resampled to `audioRate` (0: the sound is not wanted). False, with the
  // reason, when the file is no movie FFmpeg can play.
  bool Open(const MovieSource& source, int width, int height, int audioRate, std::string* error);

  bool HasVideo() const;
  bool HasAudio() const;
  double FrameRate() const;  // frames a second as the file declares them, 0 when unknown
  int SourceWidth() const;
  int SourceHeight() const;

  // Reads one packet and decodes it, or keeps it when it is a picture. False
  // once the movie has ended (after the decoders have given out what they
  // held, every kept picture included), or when reading failed.
  bool Step();
  bool AtEnd() const;
  // Back to the start, for a movie that loops. False when the file cannot seek.
  bool Rewind();

  // Video packets read but not decoded yet (Step keeps them: reading on
  // for the sound must not decode pictures long before they are due).
  size_t PacketsWaiting() const;
  // Decodes waiting packets until `want` pictures wait, or none is left.
  void DecodePictures(size_t want);
  // Decoded pictures waiting, oldest first, and their times in ms from the
  // movie's start.
  size_t FramesWaiting() const;
  int64_t FrameMs(size_t i) const;
  void DropFrame();
  // Scales the oldest waiting picture into BGR rows: `topRow` is the top
  // line and `stride` the step from one line to the next below it (negative
  // for a bottom-up picture).
  void DrawFrame(uint8_t* topRow, int stride);

  // Decoded sound waiting: interleaved stereo frames. The caller takes from
  // the front with TakePcm.
  const std::vector<int16_t>& Pcm() const;
  void TakePcm(size_t frames);

  // Why the movie ended early, empty after a clean end.
  const std::string& Error() const;

 private:
  std::unique_ptr<MovieDecoderBackend> backend_;  // none until a movie opened
};

}  // namespace sorv
