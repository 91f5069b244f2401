// Video capture in the av module: the frames written into an uncompressed
// AVI through libavformat's AVI muxer, under a temporary name beside the
// target, renamed over it when the capture closes.
#include "movie/av_backend.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace sorv {
namespace {

constexpr int kIoBufferBytes = 256 * 1024;

std::string AvError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

// The muxer writes through these into the temporary file; no file name
// reaches FFmpeg.
int WritePacket(void* opaque, uint8_t* buf, int len) {
  int fd = *static_cast<int*>(opaque);
  int done = 0;
  while (done < len) {
    ssize_t n = write(fd, buf + done, static_cast<size_t>(len - done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return AVERROR(errno);
    }
    done += static_cast<int>(n);
  }
  return len;
}

int64_t SeekFile(void* opaque, int64_t offset, int whence) {
  int fd = *static_cast<int*>(opaque);
  if (whence & AVSEEK_SIZE) {
    off_t here = lseek(fd, 0, SEEK_CUR);
    off_t end = lseek(fd, 0, SEEK_END);
    lseek(fd, here, SEEK_SET);
    return end;
  }
  off_t at = lseek(fd, static_cast<off_t>(offset), whence & ~AVSEEK_FORCE);
  return at < 0 ? AVERROR(errno) : at;
}

}  // namespace

class FfmpegCapture final : public AviCaptureBackend {
 public:
  ~FfmpegCapture() override { Discard(); }
  bool Write(const uint8_t* frame, int64_t n, std::string* error) override;
  bool Close(std::string* error) override;

  // The open file and the muxer writing into it.
  std::string path, temp;
  int fd = -1;
  AVFormatContext* format = nullptr;
  AVIOContext* io = nullptr;
  AVStream* stream = nullptr;
  AVPacket* packet = nullptr;
  int width = 0, height = 0, rate = 0;
  int64_t frameBytes = 0;
  int64_t lastFrame = -1;
  bool headerWritten = false;

  void Free() {
    av_packet_free(&packet);
    if (format) avformat_free_context(format);
    format = nullptr;
    if (io) av_freep(&io->buffer);
    avio_context_free(&io);
    if (fd >= 0) close(fd);
    fd = -1;
  }

  // Gives up: the temporary file goes, the target is left as it was.
  void Discard() {
    Free();
    if (!temp.empty()) unlink(temp.c_str());
    temp.clear();
  }
};

std::unique_ptr<AviCaptureBackend> OpenFfmpegCapture(const std::string& path, int width, int height, int rate,
                                                     int64_t frameBytes, std::string* error) {
  auto fail = [&](const std::string& why) -> std::unique_ptr<AviCaptureBackend> {
    if (error) *error = why;
    return nullptr;
  };
  auto cap = std::make_unique<FfmpegCapture>();
  FfmpegCapture& c = *cap;
  c.path = path;
  c.width = width;
  c.height = height;
  c.rate = rate;
  c.frameBytes = frameBytes;
  c.temp = path + ".tmp-" + std::to_string(getpid());
  c.fd = open(c.temp.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (c.fd < 0) {
    c.temp.clear();
    return fail(std::strerror(errno));
  }
  const AVOutputFormat* avi = av_guess_format("avi", nullptr, nullptr);
  if (!avi) return fail("no AVI muxer");
  if (avformat_alloc_output_context2(&c.format, avi, nullptr, nullptr) < 0 || !c.format) return fail("out of memory");
  auto* buffer = static_cast<uint8_t*>(av_malloc(kIoBufferBytes));
  if (!buffer) return fail("out of memory");
  c.io = avio_alloc_context(buffer, kIoBufferBytes, 1, &c.fd, nullptr, &WritePacket, &SeekFile);
  if (!c.io) {
    av_free(buffer);
    return fail("out of memory");
  }
  c.format->pb = c.io;
  c.format->flags |= AVFMT_FLAG_CUSTOM_IO;
  c.stream = avformat_new_stream(c.format, nullptr);
  if (!c.stream) return fail("out of memory");
  AVCodecParameters* par = c.stream->codecpar;
  par->codec_type = AVMEDIA_TYPE_VIDEO;
  par->codec_id = AV_CODEC_ID_RAWVIDEO;
  par->codec_tag = 0;  // BI_RGB
  par->format = AV_PIX_FMT_BGR24;
  par->width = width;
  par->height = height;
  par->bits_per_coded_sample = 24;
  // The frames are DIB rows, bottom-up: the muxer then writes a positive
  // height, which is how every player reads an upright uncompressed frame.
  static const char kBottomUp[] = "BottomUp";
  par->extradata = static_cast<uint8_t*>(av_mallocz(sizeof kBottomUp + AV_INPUT_BUFFER_PADDING_SIZE));
  if (!par->extradata) return fail("out of memory");
  std::memcpy(par->extradata, kBottomUp, sizeof kBottomUp);
  par->extradata_size = sizeof kBottomUp;
  c.stream->time_base = AVRational{1, rate};
  c.stream->avg_frame_rate = AVRational{rate, 1};
  c.stream->r_frame_rate = AVRational{rate, 1};
  av_dict_set(&c.stream->metadata, "title", "Video #1", 0);
  int rc = avformat_write_header(c.format, nullptr);
  if (rc < 0) return fail(AvError(rc));
  c.headerWritten = true;
  c.packet = av_packet_alloc();
  if (!c.packet) return fail("out of memory");
  return cap;
}

bool FfmpegCapture::Write(const uint8_t* frame, int64_t n, std::string* error) {
  FfmpegCapture& c = *this;
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  if (!c.format) return fail("the capture is closed");
  if (n <= c.lastFrame) return fail("frame numbers must increase");
  if (av_new_packet(c.packet, static_cast<int>(c.frameBytes)) < 0) return fail("out of memory");
  std::memcpy(c.packet->data, frame, static_cast<size_t>(c.frameBytes));
  c.packet->stream_index = 0;
  c.packet->pts = c.packet->dts = av_rescale_q(n, AVRational{1, c.rate}, c.stream->time_base);
  c.packet->duration = av_rescale_q(1, AVRational{1, c.rate}, c.stream->time_base);
  c.packet->flags |= AV_PKT_FLAG_KEY;
  int rc = av_write_frame(c.format, c.packet);
  av_packet_unref(c.packet);
  if (rc < 0) return fail(AvError(rc));
  if (c.io->error < 0) return fail(AvError(c.io->error));
  c.lastFrame = n;
  return true;
}

bool FfmpegCapture::Close(std::string* error) {
  FfmpegCapture& c = *this;
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    c.Discard();
    return false;
  };
  if (!c.format) return fail("the capture is closed");
  int rc = av_write_trailer(c.format);
  if (rc < 0) return fail(AvError(rc));
  avio_flush(c.io);
  if (c.io->error < 0) return fail(AvError(c.io->error));
  if (fsync(c.fd) != 0) return fail(std::strerror(errno));
  if (rename(c.temp.c_str(), c.path.c_str()) != 0) return fail(std::strerror(errno));
  c.temp.clear();
  c.Free();
  return true;
}

}  // namespace sorv
