// The movie decoder over FFmpeg, in the av module. Bytes come through an
// AVIOContext of ours reading a file range or memory, so no protocol or file
// name is ever interpreted by FFmpeg and an archive entry needs no temporary
// copy.
#include "movie/av_backend.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <deque>

namespace sorv {
namespace {

constexpr int kIoBufferBytes = 64 * 1024;
// Silence put before a sound that starts late, at most this much.
constexpr int64_t kMaxLeadInMs = 10000;

std::string AvError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

// What the I/O context reads: a range of an open file, or memory.
struct ByteSource {
  int fd = -1;
  uint64_t base = 0;  // offset of the movie in the file
  const uint8_t* memory = nullptr;
  int64_t size = 0;
  int64_t pos = 0;

  ~ByteSource() {
    if (fd >= 0) close(fd);
  }

  static int Read(void* opaque, uint8_t* buf, int len) {
    auto* s = static_cast<ByteSource*>(opaque);
    int64_t left = s->size - s->pos;
    if (left <= 0) return AVERROR_EOF;
    int n = static_cast<int>(std::min<int64_t>(left, len));
    if (s->memory) {
      std::memcpy(buf, s->memory + s->pos, static_cast<size_t>(n));
    } else {
      ssize_t got = pread(s->fd, buf, static_cast<size_t>(n), static_cast<off_t>(s->base + static_cast<uint64_t>(s->pos)));
      if (got < 0) return AVERROR(errno);
      if (got == 0) return AVERROR_EOF;
      n = static_cast<int>(got);
    }
    s->pos += n;
    return n;
  }

  static int64_t Seek(void* opaque, int64_t offset, int whence) {
    auto* s = static_cast<ByteSource*>(opaque);
    whence &= ~AVSEEK_FORCE;
    int64_t to = 0;
    switch (whence) {
      case AVSEEK_SIZE:
        return s->size;
      case SEEK_SET:
        to = offset;
        break;
      case SEEK_CUR:
        to = s->pos + offset;
        break;
      case SEEK_END:
        to = s->size + offset;
        break;
      default:
        return AVERROR(EINVAL);
    }
    if (to < 0) return AVERROR(EINVAL);
    s->pos = to;
    return to;
  }
};

struct Frame {
  int64_t ms = 0;
  AVFrame* frame = nullptr;
};

}  // namespace

class FfmpegDecoder final : public MovieDecoderBackend {
 public:
  FfmpegDecoder();
  ~FfmpegDecoder() override;
  bool Open(const MovieSource& source, int width, int height, int audioRate, std::string* error) override;
  bool HasVideo() const override;
  bool HasAudio() const override;
  double FrameRate() const override;
  int SourceWidth() const override;
  int SourceHeight() const override;
  bool Step() override;
  bool AtEnd() const override;
  bool Rewind() override;
  size_t PacketsWaiting() const override;
  void DecodePictures(size_t want) override;
  size_t FramesWaiting() const override;
  int64_t FrameMs(size_t i) const override;
  void DropFrame() override;
  void DrawFrame(uint8_t* topRow, int stride) override;
  const std::vector<int16_t>& Pcm() const override;
  void TakePcm(size_t frames) override;
  const std::string& Error() const override;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

struct FfmpegDecoder::Impl {
  ByteSource bytes;
  std::shared_ptr<const std::vector<uint8_t>> memory;
  AVIOContext* io = nullptr;
  AVFormatContext* format = nullptr;
  AVCodecContext* video = nullptr;
  AVCodecContext* audio = nullptr;
  int videoIndex = -1, audioIndex = -1;
  SwsContext* sws = nullptr;
  SwrContext* swr = nullptr;
  AVPacket* packet = nullptr;
  AVFrame* decoded = nullptr;
  int width = 0, height = 0, audioRate = 0;
  int64_t startMs = 0;  // the container's start time
  int64_t lastVideoMs = -1;
  bool audioStarted = false;
  bool demuxEnded = false, ended = false;
  std::deque<Frame> frames;
  // Video packets read (for the sound that comes with them) but not yet
  // decoded: a picture is decoded when it is wanted, so the decoder writes
  // into the few buffers still warm in the cache instead of a dozen cold ones.
  std::deque<AVPacket*> videoPackets;
  std::vector<int16_t> pcm;
  std::string error;

  ~Impl() {
    DropPackets();
    for (Frame& f : frames) av_frame_free(&f.frame);
    av_frame_free(&decoded);
    av_packet_free(&packet);
    sws_freeContext(sws);
    swr_free(&swr);
    avcodec_free_context(&video);
    avcodec_free_context(&audio);
    avformat_close_input(&format);
    if (io) av_freep(&io->buffer);
    avio_context_free(&io);
  }

  int64_t Ms(int64_t pts, AVRational tb) const {
    return av_rescale_q(pts, tb, AVRational{1, 1000}) - startMs;
  }

  bool OpenCodec(int index, AVCodecContext*& ctx) {
    const AVCodecParameters* par = format->streams[index]->codecpar;
    const AVCodec* codec = avcodec_find_decoder(par->codec_id);
    if (!codec) return false;
    ctx = avcodec_alloc_context3(codec);
    if (!ctx || avcodec_parameters_to_context(ctx, par) < 0 || avcodec_open2(ctx, codec, nullptr) < 0) {
      avcodec_free_context(&ctx);
      return false;
    }
    return true;
  }

  void TakeVideo() {
    AVStream* st = format->streams[videoIndex];
    int64_t pts = decoded->best_effort_timestamp;
    int64_t ms;
    if (pts == AV_NOPTS_VALUE) {
      double rate = av_q2d(st->avg_frame_rate);
      ms = lastVideoMs < 0 ? 0 : lastVideoMs + (rate > 0 ? static_cast<int64_t>(1000 / rate) : 40);
    } else {
      ms = Ms(pts, st->time_base);
    }
    ms = std::max<int64_t>(ms, 0);
    lastVideoMs = ms;
    AVFrame* copy = av_frame_clone(decoded);
    if (copy) frames.push_back({ms, copy});
  }

  void TakeAudio() {
    if (!swr) return;
    if (!audioStarted) {
      audioStarted = true;
      int64_t pts = decoded->best_effort_timestamp;
      if (pts != AV_NOPTS_VALUE) {
        int64_t lead = std::clamp<int64_t>(Ms(pts, format->streams[audioIndex]->time_base), 0, kMaxLeadInMs);
        pcm.insert(pcm.end(), static_cast<size_t>(lead * audioRate / 1000) * 2, 0);
      }
    }
    int room = swr_get_out_samples(swr, decoded->nb_samples);
    if (room <= 0) return;
    size_t at = pcm.size();
    pcm.resize(at + static_cast<size_t>(room) * 2);
    uint8_t* out = reinterpret_cast<uint8_t*>(pcm.data() + at);
    int got = swr_convert(swr, &out, room, const_cast<const uint8_t**>(decoded->extended_data), decoded->nb_samples);
    pcm.resize(at + static_cast<size_t>(std::max(got, 0)) * 2);
  }

  void DropPackets() {
    for (AVPacket*& p : videoPackets) av_packet_free(&p);
    videoPackets.clear();
  }

  // Sends one packet; a damaged one is skipped (the picture recovers at the
  // next key frame).
  void Decode(AVCodecContext* ctx, bool isVideo, AVPacket* p) {
    if (avcodec_send_packet(ctx, p) == AVERROR(EAGAIN)) {
      Drain(ctx, isVideo);
      avcodec_send_packet(ctx, p);
    }
    Drain(ctx, isVideo);
  }

  // Decodes waiting video packets until `want` pictures wait or none is left.
  void DecodePictures(size_t want) {
    while (frames.size() < want && !videoPackets.empty()) {
      AVPacket* p = videoPackets.front();
      videoPackets.pop_front();
      Decode(video, true, p);
      av_packet_free(&p);
    }
  }

  // Gives out every frame a decoder holds now.
  void Drain(AVCodecContext* ctx, bool isVideo) {
    while (avcodec_receive_frame(ctx, decoded) == 0) {
      if (isVideo) {
        TakeVideo();
      } else {
        TakeAudio();
      }
      av_frame_unref(decoded);
    }
  }
};

FfmpegDecoder::FfmpegDecoder() : impl_(std::make_unique<Impl>()) {}
FfmpegDecoder::~FfmpegDecoder() = default;

bool FfmpegDecoder::Open(const MovieSource& source, int width, int height, int audioRate, std::string* error) {
  impl_ = std::make_unique<Impl>();
  Impl& d = *impl_;
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    impl_ = std::make_unique<Impl>();
    return false;
  };
  d.width = width;
  d.height = height;
  d.audioRate = audioRate;
  if (source.memory) {
    d.memory = source.memory;
    d.bytes.memory = d.memory->data();
    d.bytes.size = static_cast<int64_t>(d.memory->size());
  } else {
    d.bytes.fd = open(source.path.c_str(), O_RDONLY | O_CLOEXEC);
    if (d.bytes.fd < 0) return fail(std::strerror(errno));
    off_t end = lseek(d.bytes.fd, 0, SEEK_END);
    if (end < 0 || static_cast<uint64_t>(end) < source.offset) return fail("the file is shorter than its entry");
    int64_t avail = static_cast<int64_t>(static_cast<uint64_t>(end) - source.offset);
    d.bytes.base = source.offset;
    d.bytes.size = source.size < 0 ? avail : std::min(source.size, avail);
  }
  auto* buffer = static_cast<uint8_t*>(av_malloc(kIoBufferBytes));
  if (!buffer) return fail("out of memory");
  d.io = avio_alloc_context(buffer, kIoBufferBytes, 0, &d.bytes, &ByteSource::Read, nullptr, &ByteSource::Seek);
  if (!d.io) {
    av_free(buffer);
    return fail("out of memory");
  }
  d.format = avformat_alloc_context();
  if (!d.format) return fail("out of memory");
  d.format->pb = d.io;
  d.format->flags |= AVFMT_FLAG_CUSTOM_IO;
  int rc = avformat_open_input(&d.format, nullptr, nullptr, nullptr);
  if (rc < 0) {
    d.format = nullptr;  // freed by avformat_open_input
    return fail("not a movie FFmpeg knows (" + AvError(rc) + ")");
  }
  rc = avformat_find_stream_info(d.format, nullptr);
  if (rc < 0) return fail("no stream can be read (" + AvError(rc) + ")");
  if (d.format->start_time != AV_NOPTS_VALUE) d.startMs = d.format->start_time / (AV_TIME_BASE / 1000);

  int vi = av_find_best_stream(d.format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (vi >= 0 && d.OpenCodec(vi, d.video)) d.videoIndex = vi;
  int ai = audioRate > 0 ? av_find_best_stream(d.format, AVMEDIA_TYPE_AUDIO, -1, vi, nullptr, 0) : -1;
  if (ai >= 0 && d.OpenCodec(ai, d.audio)) {
    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    if (swr_alloc_set_opts2(&d.swr, &stereo, AV_SAMPLE_FMT_S16, audioRate, &d.audio->ch_layout,
                            d.audio->sample_fmt, d.audio->sample_rate, 0, nullptr) == 0 &&
        swr_init(d.swr) == 0) {
      d.audioIndex = ai;
    } else {
      swr_free(&d.swr);
      avcodec_free_context(&d.audio);
    }
  }
  if (vi < 0 && ai < 0) return fail("the file holds neither pictures nor sound");
  if (d.videoIndex < 0 && d.audioIndex < 0) return fail("no decoder for its streams");
  d.packet = av_packet_alloc();
  d.decoded = av_frame_alloc();
  if (!d.packet || !d.decoded) return fail("out of memory");
  return true;
}

bool FfmpegDecoder::HasVideo() const { return impl_->videoIndex >= 0; }
bool FfmpegDecoder::HasAudio() const { return impl_->audioIndex >= 0; }

double FfmpegDecoder::FrameRate() const {
  const Impl& d = *impl_;
  return d.videoIndex < 0 ? 0 : av_q2d(d.format->streams[d.videoIndex]->avg_frame_rate);
}

int FfmpegDecoder::SourceWidth() const { return impl_->video ? impl_->video->width : 0; }
int FfmpegDecoder::SourceHeight() const { return impl_->video ? impl_->video->height : 0; }

bool FfmpegDecoder::Step() {
  Impl& d = *impl_;
  if (d.ended || !d.format) return false;
  if (d.demuxEnded) {
    // The decoders hand out what they still hold, then the movie is over.
    if (d.video) {
      d.DecodePictures(SIZE_MAX);
      avcodec_send_packet(d.video, nullptr);
      d.Drain(d.video, true);
    }
    if (d.audio) {
      avcodec_send_packet(d.audio, nullptr);
      d.Drain(d.audio, false);
    }
    d.ended = true;
    return false;
  }
  int rc = av_read_frame(d.format, d.packet);
  if (rc < 0) {
    if (rc != AVERROR_EOF && !(d.format->pb && avio_feof(d.format->pb))) d.error = AvError(rc);
    d.demuxEnded = true;
    return true;
  }
  if (d.packet->stream_index == d.videoIndex) {
    // Kept until its picture is wanted (decoded at once when it cannot be kept).
    AVPacket* kept = av_packet_alloc();
    if (kept && av_packet_make_refcounted(d.packet) == 0) {
      av_packet_move_ref(kept, d.packet);
      d.videoPackets.push_back(kept);
    } else {
      av_packet_free(&kept);
      d.DecodePictures(SIZE_MAX);
      d.Decode(d.video, true, d.packet);
    }
  } else if (d.packet->stream_index == d.audioIndex) {
    d.Decode(d.audio, false, d.packet);
  }
  av_packet_unref(d.packet);
  return true;
}

bool FfmpegDecoder::AtEnd() const { return impl_->ended; }

bool FfmpegDecoder::Rewind() {
  Impl& d = *impl_;
  if (!d.format) return false;
  int64_t start = d.format->start_time != AV_NOPTS_VALUE ? d.format->start_time : 0;
  if (avformat_seek_file(d.format, -1, INT64_MIN, start, start, 0) < 0 &&
      av_seek_frame(d.format, -1, start, AVSEEK_FLAG_BACKWARD) < 0) {
    // Last resort for files without an index: read again from the first byte.
    if (avio_seek(d.format->pb, 0, SEEK_SET) < 0) return false;
  }
  if (d.video) avcodec_flush_buffers(d.video);
  if (d.audio) avcodec_flush_buffers(d.audio);
  d.DropPackets();
  for (Frame& f : d.frames) av_frame_free(&f.frame);
  d.frames.clear();
  d.pcm.clear();
  d.lastVideoMs = -1;
  d.audioStarted = false;
  d.demuxEnded = d.ended = false;
  d.error.clear();
  return true;
}

size_t FfmpegDecoder::FramesWaiting() const { return impl_->frames.size(); }
size_t FfmpegDecoder::PacketsWaiting() const { return impl_->videoPackets.size(); }
void FfmpegDecoder::DecodePictures(size_t want) { impl_->DecodePictures(want); }
int64_t FfmpegDecoder::FrameMs(size_t i) const { return impl_->frames[i].ms; }

void FfmpegDecoder::DropFrame() {
  Impl& d = *impl_;
  if (d.frames.empty()) return;
  av_frame_free(&d.frames.front().frame);
  d.frames.pop_front();
}

void FfmpegDecoder::DrawFrame(uint8_t* topRow, int stride) {
  Impl& d = *impl_;
  if (d.frames.empty()) return;
  const AVFrame* f = d.frames.front().frame;
  d.sws = sws_getCachedContext(d.sws, f->width, f->height, static_cast<AVPixelFormat>(f->format), d.width, d.height,
                               AV_PIX_FMT_BGR24, SWS_BILINEAR, nullptr, nullptr, nullptr);
  if (!d.sws) return;
  uint8_t* dst[4] = {topRow, nullptr, nullptr, nullptr};
  int dstStride[4] = {stride, 0, 0, 0};
  sws_scale(d.sws, f->data, f->linesize, 0, f->height, dst, dstStride);
}

const std::vector<int16_t>& FfmpegDecoder::Pcm() const { return impl_->pcm; }

void FfmpegDecoder::TakePcm(size_t frames) {
  std::vector<int16_t>& pcm = impl_->pcm;
  size_t n = std::min(frames * 2, pcm.size());
  pcm.erase(pcm.begin(), pcm.begin() + static_cast<ptrdiff_t>(n));
}

const std::string& FfmpegDecoder::Error() const { return impl_->error; }

std::unique_ptr<MovieDecoderBackend> NewFfmpegDecoder() { return std::make_unique<FfmpegDecoder>(); }

}  // namespace sorv
