#include "movie/movie_files.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
}

#include <algorithm>
#include <cmath>
#include <iterator>
#include <memory>

namespace sorv::test {
namespace {

constexpr uint32_t kColours[] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0xFFFF00, 0x00FFFF, 0xFF00FF, 0x808080};

struct Encoder {
  AVCodecContext* ctx = nullptr;
  AVStream* stream = nullptr;
  ~Encoder() { avcodec_free_context(&ctx); }
};

struct Output {
  AVFormatContext* format = nullptr;
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  ~Output() {
    av_frame_free(&frame);
    av_packet_free(&packet);
    if (format) {
      if (format->pb) avio_closep(&format->pb);
      avformat_free_context(format);
    }
  }
};

bool Fail(std::string* error, const std::string& why) {
  if (error) *error = why;
  return false;
}

// Sends a frame (nullptr: the end) and writes every packet it gives.
bool Encode(Output& out, Encoder& enc, AVFrame* frame) {
  if (avcodec_send_frame(enc.ctx, frame) < 0) return false;
  while (avcodec_receive_packet(enc.ctx, out.packet) == 0) {
    av_packet_rescale_ts(out.packet, enc.ctx->time_base, enc.stream->time_base);
    out.packet->stream_index = enc.stream->index;
    if (av_interleaved_write_frame(out.format, out.packet) < 0) return false;
  }
  return true;
}

void FillPicture(AVFrame* f, const TestMovie& m, int k) {
  if (m.flat) {
    uint32_t c = TestMovieColour(k);
    double r = c >> 16 & 0xFF, g = c >> 8 & 0xFF, b = c & 0xFF;
    // Studio-range BT.601, as decoders assume for MPEG-1.
    int y = static_cast<int>(std::lround(16 + 0.257 * r + 0.504 * g + 0.098 * b));
    int u = static_cast<int>(std::lround(128 - 0.148 * r - 0.291 * g + 0.439 * b));
    int v = static_cast<int>(std::lround(128 + 0.439 * r - 0.368 * g - 0.071 * b));
    for (int row = 0; row < m.height; ++row) std::fill_n(f->data[0] + row * f->linesize[0], m.width, y);
    for (int row = 0; row < m.height / 2; ++row) {
      std::fill_n(f->data[1] + row * f->linesize[1], m.width / 2, u);
      std::fill_n(f->data[2] + row * f->linesize[2], m.width / 2, v);
    }
    return;
  }
  for (int row = 0; row < m.height; ++row) {
    for (int x = 0; x < m.width; ++x) f->data[0][row * f->linesize[0] + x] = static_cast<uint8_t>(x + row + k * 3);
  }
  for (int row = 0; row < m.height / 2; ++row) {
    for (int x = 0; x < m.width / 2; ++x) {
      f->data[1][row * f->linesize[1] + x] = static_cast<uint8_t>(128 + row + k * 2);
      f->data[2][row * f->linesize[2] + x] = static_cast<uint8_t>(64 + x + k * 5);
    }
  }
}

}  // namespace

uint32_t TestMovieColour(int k) { return kColours[static_cast<size_t>(k) % std::size(kColours)]; }

bool WriteTestMovie(const std::string& path, const TestMovie& m, std::string* error) {
  // The encoder's advice (buffer sizes, clipped coefficients) is noise here;
  // its errors still show.
  if (av_log_get_level() > AV_LOG_ERROR) av_log_set_level(AV_LOG_ERROR);
  Output out;
  if (avformat_alloc_output_context2(&out.format, nullptr, "mpeg", path.c_str()) < 0) {
    return Fail(error, "no MPEG muxer");
  }
  Encoder video, audio;
  const AVCodec* vc = avcodec_find_encoder(AV_CODEC_ID_MPEG1VIDEO);
  if (!vc) return Fail(error, "no MPEG-1 encoder");
  video.ctx = avcodec_alloc_context3(vc);
  video.ctx->width = m.width;
  video.ctx->height = m.height;
  video.ctx->time_base = AVRational{1, m.fps};
  video.ctx->framerate = AVRational{m.fps, 1};
  video.ctx->pix_fmt = AV_PIX_FMT_YUV420P;
  video.ctx->gop_size = 12;
  video.ctx->max_b_frames = 0;
  video.ctx->flags |= AV_CODEC_FLAG_QSCALE;
  video.ctx->global_quality = FF_QP2LAMBDA * 2;
  video.ctx->bit_rate = 8'000'000;
  if (avcodec_open2(video.ctx, vc, nullptr) < 0) return Fail(error, "the MPEG-1 encoder refused");
  video.stream = avformat_new_stream(out.format, nullptr);
  avcodec_parameters_from_context(video.stream->codecpar, video.ctx);
  video.stream->time_base = video.ctx->time_base;

  if (m.sound) {
    const AVCodec* ac = avcodec_find_encoder(AV_CODEC_ID_MP2);
    if (!ac) return Fail(error, "no MP2 encoder");
    audio.ctx = avcodec_alloc_context3(ac);
    audio.ctx->sample_fmt = AV_SAMPLE_FMT_S16;
    audio.ctx->sample_rate = 44100;
    audio.ctx->ch_layout = AV_CHANNEL_LAYOUT_STEREO;
    audio.ctx->bit_rate = 192000;
    audio.ctx->time_base = AVRational{1, 44100};
    if (avcodec_open2(audio.ctx, ac, nullptr) < 0) return Fail(error, "the MP2 encoder refused");
    audio.stream = avformat_new_stream(out.format, nullptr);
    avcodec_parameters_from_context(audio.stream->codecpar, audio.ctx);
    audio.stream->time_base = audio.ctx->time_base;
  }
  if (avio_open(&out.format->pb, path.c_str(), AVIO_FLAG_WRITE) < 0) return Fail(error, "cannot write " + path);
  if (avformat_write_header(out.format, nullptr) < 0) return Fail(error, "cannot write the header");

  AVFrame* picture = av_frame_alloc();
  picture->format = AV_PIX_FMT_YUV420P;
  picture->width = m.width;
  picture->height = m.height;
  av_frame_get_buffer(picture, 0);
  AVFrame* sound = nullptr;
  if (m.sound) {
    sound = av_frame_alloc();
    sound->format = AV_SAMPLE_FMT_S16;
    sound->sample_rate = 44100;
    sound->ch_layout = AV_CHANNEL_LAYOUT_STEREO;
    sound->nb_samples = audio.ctx->frame_size;
    av_frame_get_buffer(sound, 0);
  }
  std::unique_ptr<AVFrame, void (*)(AVFrame*)> holdPicture(picture, [](AVFrame* f) { av_frame_free(&f); });
  std::unique_ptr<AVFrame, void (*)(AVFrame*)> holdSound(sound, [](AVFrame* f) { av_frame_free(&f); });

  int64_t samples = 0;
  int64_t totalSamples = static_cast<int64_t>(m.frames) * 44100 / m.fps;
  for (int k = 0; k < m.frames; ++k) {
    av_frame_make_writable(picture);
    FillPicture(picture, m, k);
    picture->pts = k;
    if (!Encode(out, video, picture)) return Fail(error, "encoding a picture failed");
    // The sound up to the end of this picture.
    int64_t until = static_cast<int64_t>(k + 1) * 44100 / m.fps;
    while (sound && samples < until && samples < totalSamples) {
      av_frame_make_writable(sound);
      auto* pcm = reinterpret_cast<int16_t*>(sound->data[0]);
      for (int i = 0; i < sound->nb_samples; ++i) {
        auto v = static_cast<int16_t>(8000 * std::sin(2 * M_PI * 440 * static_cast<double>(samples + i) / 44100));
        pcm[2 * i] = pcm[2 * i + 1] = v;
      }
      sound->pts = samples;
      samples += sound->nb_samples;
      if (!Encode(out, audio, sound)) return Fail(error, "encoding the sound failed");
    }
  }
  if (!Encode(out, video, nullptr) || (sound && !Encode(out, audio, nullptr))) return Fail(error, "flushing failed");
  if (av_write_trailer(out.format) < 0) return Fail(error, "cannot finish the file");
  return true;
}

}  // namespace sorv::test
