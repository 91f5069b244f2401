// Movies and video capture: `avi`, `mpegplay`, `mpegplay2` and `movie` play a
// movie file in the game window (one decoder path for all of them), `swf` is
// accepted and ignored, and `aviwriteopen` / `aviwrite` / `aviwriteclose`
// record the presented frame into an uncompressed AVI file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace sorv {

struct Engine;
class MoviePlayer;
class AviCapture;

// Playback outcome: how the last movie ended.
constexpr int32_t kMovieLeftClick = 1;
constexpr int32_t kMovieRightClick = 0;
constexpr int32_t kMovieRanOut = -1;  // end of file, error or close request

struct MovieState {
  // Movie-active flags: set while a movie plays; an asynchronous movie keeps
  // them until `movie stop`.
  bool playing = false;
  bool windowShown = false;
  int32_t outcome = kMovieRanOut;

  // The asynchronous movie the idle step advances, if any.
  std::unique_ptr<MoviePlayer> async;
  bool idleInstalled = false;

  std::unique_ptr<AviCapture> capture;

  MovieState();
  ~MovieState();
  MovieState(MovieState&&) noexcept;
  MovieState& operator=(MovieState&&) noexcept;
};

// Ends any movie playback (the stop-everything step of a reset, a load, a
// restart pass and the end of the program).
void StopMovie(Engine& e);
// Closes a capture left open, keeping what it recorded (reset and exit).
void CloseCapture(Engine& e);

void Cmd_avi(Engine& e);
void Cmd_mpegplay(Engine& e);
void Cmd_mpegplay2(Engine& e);
void Cmd_movie(Engine& e);
void Cmd_swf(Engine& e);
void Cmd_aviwriteopen(Engine& e);
void Cmd_aviwrite(Engine& e);
void Cmd_aviwriteclose(Engine& e);

}  // namespace sorv
