// The av module's entry: the table the engine looks up when it loads us.
#include "movie/av_backend.h"

namespace sorv {

std::unique_ptr<MovieDecoderBackend> NewFfmpegDecoder();
std::unique_ptr<AviCaptureBackend> OpenFfmpegCapture(const std::string& path, int width, int height, int rate,
                                                     int64_t frameBytes, std::string* error);

}  // namespace sorv

extern "C" __attribute__((visibility("default"))) const sorv::AvBackend* sorv_av_backend() {
  static const sorv::AvBackend table{sorv::kAvBackendVersion, sizeof(sorv::MovieSource), &sorv::NewFfmpegDecoder,
                                     &sorv::OpenFfmpegCapture};
  return &table;
}
