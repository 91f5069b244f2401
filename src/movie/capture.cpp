#include "movie/capture.h"

#include "graphics/surface.h"
#include "movie/av_backend.h"
#include "interp/error.h"
#include "movie/movie.h"
#include "script/reader.h"
#include "shell/engine.h"
#include "interp/game_paths.h"

namespace sorv {

struct AviCapture::Impl {
  std::unique_ptr<AviCaptureBackend> backend;
  int width = 0, height = 0;
  int64_t frameBytes = 0;
};

std::unique_ptr<AviCapture> AviCapture::Open(const std::string& path, int width, int height, int rate,
                                             std::string* error) {
  auto fail = [&](const std::string& why) -> std::unique_ptr<AviCapture> {
    if (error) *error = why;
    return nullptr;
  };
  if (rate <= 0) return fail("the frame rate must be above 0");
  if (width <= 0 || height <= 0) return fail("no frame to capture");
  std::string why;
  const AvBackend* av = LoadAvBackend(&why);
  if (!av) return fail(why);
  const int64_t frameBytes = RowStride(24, width) * height;
  auto backend = av->openCapture(path, width, height, rate, frameBytes, error);
  if (!backend) return nullptr;
  std::unique_ptr<AviCapture> cap(new AviCapture());
  cap->impl_ = std::make_unique<Impl>();
  cap->impl_->backend = std::move(backend);
  cap->impl_->width = width;
  cap->impl_->height = height;
  cap->impl_->frameBytes = frameBytes;
  return cap;
}

AviCapture::~AviCapture() = default;

bool AviCapture::Write(const Surface& frame, int64_t n, std::string* error) {
  const Impl& c = *impl_;
  if (frame.width != c.width || frame.height != c.height || frame.BitCount() != 24 ||
      static_cast<int64_t>(frame.bits.size()) < c.frameBytes) {
    if (error) *error = "the frame is not the capture's size";
    return false;
  }
  return c.backend->Write(frame.bits.data(), n, error);
}

bool AviCapture::Close(std::string* error) { return impl_->backend->Close(error); }

// --- the commands ------------------------------------------------------------

// aviwriteopen file, rate, length. The length is the count the script means
// to write; the file's header counts the frames really written, which is
// what a player needs.
void Cmd_aviwriteopen(Engine& e) {
  std::string file = ReadString(e);
  int32_t rate = NextNumber(e);
  NextNumber(e);
  std::string path = GameFileOrError(e, file, "aviwriteopen");
  CloseCapture(e);
  std::string why;
  e.movie.capture = AviCapture::Open(path, e.screenWidth, e.screenHeight, rate, &why);
  if (!e.movie.capture) ReportError(e, "エラー", "書き込み先AVIファイルを開けませんでした。");
}

void Cmd_aviwrite(Engine& e) {
  int32_t n = ReadNumberArgument(e);
  std::string why;
  if (!e.movie.capture || !e.movie.capture->Write(e.scene.display, n, &why)) {
    ReportError(e, "エラー", "AVIファイルへの書き込みに失敗しました。");
  }
}

void Cmd_aviwriteclose(Engine& e) { CloseCapture(e); }

}  // namespace sorv
