// One movie playing in the game window: found as a loose file or an archive
// entry, decoded, its pictures scaled into the destination rectangle over
// the displayed frame and its sound fed to the audio device's stream. The
// picture follows the sound: a picture is shown when the sound has played up
// to its time (the platform clock stands in for a movie without sound).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "graphics/scene.h"
#include "graphics/surface.h"
#include "movie/decoder.h"
#include "platform/audio.h"

namespace sorv {

struct Engine;

struct MovieRequest {
  std::string file;  // as the script names it
  Rect dest;         // destination rectangle on the screen
  bool clickStops = false;
  bool rightClickStops = false;  // mpegplay: a right click stops it too
  bool loop = false;
};

// Where the movie lies; a plug-in's temporary copy goes with it.
struct LocatedMovie {
  MovieSource source;
  std::optional<TempFile> temp;
};

// Finds the movie: loose file, SV2, SVA, archive plug-ins. A missing file is
// "ファイル%sを開けません。" unless noloaderror is on; then nullopt.
std::optional<LocatedMovie> LocateMovie(Engine& e, const std::string& name);

class MoviePlayer {
 public:
  // Opens a located movie; nullptr, with the reason, when it cannot be played.
  static std::unique_ptr<MoviePlayer> Open(Engine& e, const MovieRequest& request, LocatedMovie located,
                                           std::string* error);
  ~MoviePlayer();

  // Decodes ahead, feeds the sound and shows the picture that is due.
  // False once the movie has ended (a looping one starts again instead).
  bool Advance(Engine& e);
  // How long the caller may sleep before the next picture is due.
  uint32_t IdleMs(Engine& e);
  // Frames shown so far, for the tests and the benchmark.
  uint64_t FramesShown() const { return shown_; }

 private:
  MoviePlayer(Engine& e, const MovieRequest& request);
  int64_t ClockMs(Engine& e);
  void FeedSound(Engine& e);
  void Show(Engine& e);
  // Puts the due picture over the displayed frame in composite_.
  void Compose(Engine& e);
  bool Ended(Engine& e);

  MovieRequest request_;
  LocatedMovie located_;
  MovieDecoder decoder_;
  platform::AudioDevice* audio_ = nullptr;  // set while the movie's sound plays
  int rate_ = 0;
  bool soundDone_ = false;
  int64_t anchorMs_ = 0;       // movie time at anchorWall_
  uint32_t anchorWall_ = 0;    // platform clock
  Surface composite_;          // the displayed frame with the picture over it
  std::vector<uint8_t> scratch_;  // a picture partly off the screen, before clipping
  bool drawPicture_ = true;
  uint64_t shown_ = 0;
  uint64_t shownAtLoop_ = 0;
};

}  // namespace sorv
