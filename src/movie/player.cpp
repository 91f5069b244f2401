#include "movie/player.h"

#include <algorithm>
#include <cstring>

#include "interp/error.h"
#include "interp/game_paths.h"
#include "persist/logs.h"
#include "platform/fs.h"
#include "shell/engine.h"
#include "sound/sound.h"

namespace sorv {
namespace {

// Sound decoded ahead of what has been played, in frames of the stream: a
// quarter of a second rides out a slow picture.
constexpr size_t kSoundAheadFrames = 11025;
// Pictures read ahead at most, decoded or not (the sound may need more
// packets read).
constexpr size_t kMaxPicturesAhead = 60;
// A destination larger than this on a side is not drawn (the sound plays).
constexpr int32_t kMaxDestSide = 8192;

}  // namespace

std::optional<LocatedMovie> LocateMovie(Engine& e, const std::string& name) {
  LocatedMovie found;
  bool have = false;
  std::string path = AssetPathOrError(e, name);
  if (platform::IsRegularFile(path)) {
    found.source.path = path;
    have = true;
  } else if (std::optional<Sv2Hit> hit = FindSv2Entry(e, name)) {
    found.source.path = e.Path(hit->archive);
    found.source.offset = hit->offset;
    found.source.size = hit->size;
    have = true;
  } else if (std::optional<SvaHit> sva = FindSvaEntry(e, name); sva && sva->kind != kSvaSpb) {
    if (sva->kind == kSvaStored) {
      // Played from the archive itself.
      found.source.path = e.Path(sva->archive);
      found.source.offset = sva->offset;
      found.source.size = sva->stored;
    } else {
      found.source.memory = std::make_shared<const std::vector<uint8_t>>(ReadSvaEntry(e, *sva));
    }
    have = true;
  } else if (std::optional<TempFile> tmp = ExtractThroughPlugins(e, name)) {
    found.source.path = tmp->path();
    found.temp = std::move(tmp);
    have = true;
  }
  if (!have) {
    if (e.images.noLoadError) return std::nullopt;
    ReportError(e, "ロードエラー", Format("ファイル%sを開けません。", Sjis(name).c_str()));
  }
  if (e.persistSettings.fileLog) AddFileLog(e, name);
  return found;
}

MoviePlayer::MoviePlayer(Engine& e, const MovieRequest& request) : request_(request) {
  CreateSurface(composite_, e.screenWidth, e.screenHeight);
}

MoviePlayer::~MoviePlayer() {
  if (audio_) audio_->CloseStream();
}

std::unique_ptr<MoviePlayer> MoviePlayer::Open(Engine& e, const MovieRequest& request, LocatedMovie located,
                                               std::string* error) {
  std::unique_ptr<MoviePlayer> p(new MoviePlayer(e, request));
  p->located_ = std::move(located);
  const Rect& r = request.dest;
  int32_t w = r.right - r.left, h = r.bottom - r.top;
  p->drawPicture_ = w > 0 && h > 0 && w <= kMaxDestSide && h <= kMaxDestSide && !p->composite_.Empty();
  platform::AudioDevice* device = e.sound.device.get();
  int rate = device ? device->StreamRate() : 0;
  if (!p->decoder_.Open(p->located_.source, p->drawPicture_ ? w : 1, p->drawPicture_ ? h : 1, rate, error)) {
    return nullptr;
  }
  if (p->decoder_.HasAudio() && rate > 0) {
    p->audio_ = device;
    p->rate_ = rate;
    device->OpenStream();
    device->SetStreamGain(AttenuationGain(MusicAttenuation(e)));
  }
  p->anchorWall_ = e.platform->NowMs();
  return p;
}

int64_t MoviePlayer::ClockMs(Engine& e) {
  uint32_t now = e.platform->NowMs();
  if (audio_ && !soundDone_) {
    int64_t ms = audio_->StreamPosition() * 1000 / rate_;
    // Once the sound has all been played the platform clock carries on
    // from where it ended, for the pictures that follow it.
    if (decoder_.AtEnd() && decoder_.Pcm().empty() && audio_->StreamQueued() == 0) soundDone_ = true;
    anchorMs_ = ms;
    anchorWall_ = now;
    return ms;
  }
  return anchorMs_ + static_cast<int64_t>(static_cast<uint32_t>(now - anchorWall_));
}

void MoviePlayer::FeedSound(Engine&) {
  if (!audio_) return;
  const std::vector<int16_t>& pcm = decoder_.Pcm();
  if (pcm.empty()) return;
  size_t taken = audio_->QueueStream(pcm.data(), pcm.size() / 2);
  decoder_.TakePcm(taken);
}

void MoviePlayer::Show(Engine& e) {
  // Converting the picture is most of what showing it costs; where no frame
  // can be seen (a headless run keeping no pictures) it is left undone, and
  // the frame is presented all the same.
  if (e.platform->FramesSeen()) Compose(e);
  const Surface& c = composite_;
  e.platform->Present(c.bits.data(), c.width, c.height, c.stride);
  ++shown_;
}

void MoviePlayer::Compose(Engine& e) {
  Surface& c = composite_;
  const Surface& display = e.scene.display;
  const Rect& r = request_.dest;
  Rect screen{0, 0, c.width, c.height};
  bool covers = r.left <= 0 && r.top <= 0 && r.right >= c.width && r.bottom >= c.height;
  if (!covers && display.bitsSize == c.bitsSize && !display.Empty()) {
    std::memcpy(c.bits.data(), display.bits.data(), c.bits.size());
  }
  if (drawPicture_) {
    int32_t w = r.right - r.left, h = r.bottom - r.top;
    if (r.left >= 0 && r.top >= 0 && r.right <= c.width && r.bottom <= c.height) {
      // Scaled straight into the frame, whose rows run bottom-up.
      decoder_.DrawFrame(c.TopRow(r.top) + static_cast<size_t>(r.left) * 3, -c.stride);
    } else {
      size_t rowBytes = static_cast<size_t>(w) * 3;
      scratch_.resize(rowBytes * static_cast<size_t>(h));
      decoder_.DrawFrame(scratch_.data(), static_cast<int>(rowBytes));
      Rect v = r.Intersect(screen);
      for (int32_t y = v.top; y < v.bottom; ++y) {
        const uint8_t* from = scratch_.data() + static_cast<size_t>(y - r.top) * rowBytes +
                              static_cast<size_t>(v.left - r.left) * 3;
        std::memcpy(c.TopRow(y) + static_cast<size_t>(v.left) * 3, from, static_cast<size_t>(v.right - v.left) * 3);
      }
    }
  }
}

bool MoviePlayer::Ended(Engine& e) {
  if (!decoder_.AtEnd() || decoder_.FramesWaiting() > 0) return false;
  if (audio_ && !soundDone_) {
    ClockMs(e);
    if (!soundDone_) return false;
  }
  return true;
}

bool MoviePlayer::Advance(Engine& e) {
  // Pictures are decoded two ahead, from the packets read so far; reading
  // goes on while pictures or sound are short.
  while (!decoder_.AtEnd()) {
    decoder_.DecodePictures(2);
    size_t pictures = decoder_.FramesWaiting();
    if (pictures + decoder_.PacketsWaiting() >= kMaxPicturesAhead) break;
    bool needPicture = decoder_.HasVideo() && pictures < 2;
    bool needSound = audio_ && decoder_.Pcm().size() / 2 + audio_->StreamQueued() < kSoundAheadFrames;
    if (!needPicture && !needSound) break;
    decoder_.Step();
  }
  FeedSound(e);
  int64_t now = ClockMs(e);
  while (true) {
    decoder_.DecodePictures(2);
    if (decoder_.FramesWaiting() == 0 || decoder_.FrameMs(0) > now) break;
    // A picture whose successor is due as well comes too late to be seen.
    if (decoder_.FramesWaiting() > 1 && decoder_.FrameMs(1) <= now) {
      decoder_.DropFrame();
      continue;
    }
    Show(e);
    decoder_.DropFrame();
    break;
  }
  decoder_.DecodePictures(2);
  if (!Ended(e)) return true;
  // A looping movie starts again, unless a whole pass showed nothing (a
  // movie with nothing in it would otherwise loop on the spot).
  if (!request_.loop || (shown_ == shownAtLoop_ && !audio_) || !decoder_.Rewind()) return false;
  shownAtLoop_ = shown_;
  if (audio_) audio_->OpenStream();
  soundDone_ = false;
  anchorMs_ = 0;
  anchorWall_ = e.platform->NowMs();
  return true;
}

uint32_t MoviePlayer::IdleMs(Engine& e) {
  if (decoder_.FramesWaiting() == 0) return 5;
  int64_t until = decoder_.FrameMs(0) - ClockMs(e);
  return static_cast<uint32_t>(std::clamp<int64_t>(until, 1, 10));
}

}  // namespace sorv
