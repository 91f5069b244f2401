// The engine's side of the movie decoder: everything is handed to the av
// module's decoder; without one, the decoder is a movie that never opened.
#include "movie/decoder.h"

namespace sorv {
namespace {

const std::vector<int16_t> kNoPcm;
const std::string kNoError;

}  // namespace

MovieDecoder::MovieDecoder() = default;
MovieDecoder::~MovieDecoder() = default;

bool MovieDecoder::Open(const MovieSource& source, int width, int height, int audioRate, std::string* error) {
  backend_.reset();
  std::string why;
  const AvBackend* av = LoadAvBackend(&why);
  if (!av) {
    if (error) *error = why;
    return false;
  }
  std::unique_ptr<MovieDecoderBackend> backend = av->newDecoder();
  if (!backend->Open(source, width, height, audioRate, error)) return false;
  backend_ = std::move(backend);
  return true;
}

bool MovieDecoder::HasVideo() const { return backend_ && backend_->HasVideo(); }
bool MovieDecoder::HasAudio() const { return backend_ && backend_->HasAudio(); }
double MovieDecoder::FrameRate() const { return backend_ ? backend_->FrameRate() : 0; }
int MovieDecoder::SourceWidth() const { return backend_ ? backend_->SourceWidth() : 0; }
int MovieDecoder::SourceHeight() const { return backend_ ? backend_->SourceHeight() : 0; }
bool MovieDecoder::Step() { return backend_ && backend_->Step(); }
bool MovieDecoder::AtEnd() const { return backend_ && backend_->AtEnd(); }
bool MovieDecoder::Rewind() { return backend_ && backend_->Rewind(); }
size_t MovieDecoder::PacketsWaiting() const { return backend_ ? backend_->PacketsWaiting() : 0; }
void MovieDecoder::DecodePictures(size_t want) {
  if (backend_) backend_->DecodePictures(want);
}
size_t MovieDecoder::FramesWaiting() const { return backend_ ? backend_->FramesWaiting() : 0; }
int64_t MovieDecoder::FrameMs(size_t i) const { return backend_ ? backend_->FrameMs(i) : 0; }
void MovieDecoder::DropFrame() {
  if (backend_) backend_->DropFrame();
}
void MovieDecoder::DrawFrame(uint8_t* topRow, int stride) {
  if (backend_) backend_->DrawFrame(topRow, stride);
}
const std::vector<int16_t>& MovieDecoder::Pcm() const { return backend_ ? backend_->Pcm() : kNoPcm; }
void MovieDecoder::TakePcm(size_t frames) {
  if (backend_) backend_->TakePcm(frames);
}
const std::string& MovieDecoder::Error() const { return backend_ ? backend_->Error() : kNoError; }

}  // namespace sorv
