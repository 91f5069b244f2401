// The movie commands. Every playing command goes through PlayMovie: the
// movie is located and opened, then either played to its end here, in a
// loop of its own that pumps messages and watches the click latches, or
// handed to the idle step (`movie ...,async`) until `movie stop`.
#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "input/input.h"
#include "interp/error.h"
#include "movie/capture.h"
#include "movie/movie.h"
#include "movie/player.h"
#include "script/reader.h"
#include "shell/engine.h"
#include "values/values.h"

namespace sorv {

MovieState::MovieState() = default;
MovieState::~MovieState() = default;
MovieState::MovieState(MovieState&&) noexcept = default;
MovieState& MovieState::operator=(MovieState&&) noexcept = default;

namespace {

void ClearFlags(Engine& e) { e.movie.playing = e.movie.windowShown = false; }

// The asynchronous movie's share of the idle step. A movie that has ended
// keeps the flags until `movie stop`, as the player's window stayed.
void MovieIdle(Engine& e) {
  MovieState& m = e.movie;
  if (!m.async) return;
  if (!m.async->Advance(e)) m.async.reset();
}

void InstallIdle(Engine& e) {
  if (e.movie.idleInstalled) return;
  e.movie.idleInstalled = true;
  e.input.hooks.idle.push_back(MovieIdle);
}

// A movie FFmpeg cannot play is told to the player and skipped; the game
// goes on.
void ReportUnplayable(Engine& e, const std::string& file, const std::string& why) {
  std::fprintf(stderr, "sorv: the movie %s cannot be played: %s\n", Sjis(file).c_str(), why.c_str());
  if (!e.platform) return;
  e.platform->ShowMessageBox("ムービーエラー", Format("ムービー%sを再生できません。", Sjis(file).c_str()),
                             platform::MessageBoxButtons::Ok, platform::MessageBoxIcon::Warning);
}

// What PlayMovie did.
enum class Played { Missing, Unplayable, Played };

// Plays a movie, or reports why not: missing (only with noloaderror, which
// returns at once) or unplayable.
Played PlayMovie(Engine& e, const MovieRequest& request, bool async) {
  StopMovie(e);
  MovieState& m = e.movie;
  m.outcome = kMovieRanOut;
  std::optional<LocatedMovie> located = LocateMovie(e, request.file);
  if (!located) return Played::Missing;
  if (!e.platform) return Played::Unplayable;
  std::string why;
  std::unique_ptr<MoviePlayer> player = MoviePlayer::Open(e, request, std::move(*located), &why);
  if (!player) {
    ReportUnplayable(e, request.file, why);
    return Played::Unplayable;
  }
  m.playing = m.windowShown = true;
  InterpState& in = e.interp;
  DiscardPendingInput(e);
  in.leftClickFlag = in.rightClickFlag = false;
  if (async) {
    InstallIdle(e);
    m.async = std::move(player);
    m.async->Advance(e);
    return Played::Played;
  }
  while (true) {
    bool got = PumpInput(e);
    if (request.clickStops && in.leftClickFlag) {
      m.outcome = kMovieLeftClick;
      break;
    }
    if (request.clickStops && request.rightClickStops && in.rightClickFlag) {
      m.outcome = kMovieRightClick;
      break;
    }
    if (WaitAbandoned(e) || !player->Advance(e)) break;
    if (!got) e.platform->IdleWaitMs(player->IdleMs(e));
  }
  player.reset();
  ClearFlags(e);
  in.leftClickFlag = in.rightClickFlag = false;
  PresentDisplay(e);
  return Played::Played;
}

Rect FullScreen(const Engine& e) { return Rect{0, 0, e.screenWidth, e.screenHeight}; }

void ReadClickFlagMovie(Engine& e, MovieRequest& r) { r.clickStops = NextNumber(e) != 0; }

int32_t Saturate(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

bool AtStatementEnd(unsigned char c) { return c == 0 || c == '\n' || c == ':' || c == ';'; }

}  // namespace

void StopMovie(Engine& e) {
  MovieState& m = e.movie;
  bool shown = m.async != nullptr || m.playing;
  m.async.reset();
  ClearFlags(e);
  if (shown) PresentDisplay(e);
}

void CloseCapture(Engine& e) {
  if (!e.movie.capture) return;
  std::string why;
  if (!e.movie.capture->Close(&why)) std::fprintf(stderr, "sorv: the capture could not be finished: %s\n", why.c_str());
  e.movie.capture.reset();
}

// avi file, clickflag: the destination is 640 x 480 on a 640-wide screen and
// 800 x 600 on any other.
void Cmd_avi(Engine& e) {
  MovieRequest r;
  r.file = ReadString(e);
  ReadClickFlagMovie(e, r);
  r.dest = e.screenWidth == 640 ? Rect{0, 0, 640, 480} : Rect{0, 0, 800, 600};
  PlayMovie(e, r, false);
}

void Cmd_mpegplay(Engine& e) {
  MovieRequest r;
  r.file = ReadString(e);
  ReadClickFlagMovie(e, r);
  r.rightClickStops = true;
  r.dest = FullScreen(e);
  PlayMovie(e, r, false);
}

void Cmd_mpegplay2(Engine& e) {
  int32_t var = ReadIntVarTarget(e, "mpegplay2の第一引数は数字変数です。");
  MovieRequest r;
  r.file = NextString(e);
  ReadClickFlagMovie(e, r);
  r.rightClickStops = true;
  r.dest = FullScreen(e);
  Played played = PlayMovie(e, r, false);
  if (played != Played::Missing) StoreIntLimited(e, var, played == Played::Played ? 1 : 0);
}

// movie file[,pos|position,x,y,w,h][,click][,loop][,async] and movie stop.
void Cmd_movie(Engine& e) {
  unsigned char c = SkipBlanks(e);
  if (c == 's' || c == 'S') {
    std::string word;
    ReadWord(e, word);
    if (word != "stop") ReportError(e, "エラー", "movie命令への指定が間違っています。");
    StopMovie(e);
    return;
  }
  MovieRequest r;
  r.file = ReadString(e);
  r.dest = FullScreen(e);
  bool async = false;
  std::string option;
  while (SkipBlanks(e) == ',') {
    ++e.script.pos;
    ReadWord(e, option);
    if (option == "pos" || option == "position") {
      int32_t x = NextNumber(e), y = NextNumber(e), w = NextNumber(e), h = NextNumber(e);
      r.dest = Rect{x, y, Saturate(static_cast<int64_t>(x) + w), Saturate(static_cast<int64_t>(y) + h)};
    } else if (option == "click") {
      r.clickStops = true;
    } else if (option == "loop") {
      r.loop = true;
    } else if (option == "async") {
      async = true;
    } else {
      ReportError(e, "エラー", "movie命令に与えるパラメータが間違っています。");
    }
  }
  PlayMovie(e, r, async);
}

// Flash movies are not played; whatever follows the word is passed over.
void Cmd_swf(Engine& e) {
  ScriptState& s = e.script;
  bool quoted = false;
  while (s.cur() != 0 && s.cur() != '\n' && (quoted || !AtStatementEnd(s.cur()))) {
    if (s.cur() == '"') quoted = !quoted;
    ++s.pos;
  }
}

}  // namespace sorv
