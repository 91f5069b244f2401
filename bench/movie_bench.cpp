// A minute of 800 x 600 MPEG-1 at 30 frames a second with MP2 sound, made
// here: the engine playing it through `movie` in a headless run (decoding,
// resampling the sound onto the null device, presenting every picture)
// beside FFmpeg decoding the same file alone (both streams, no conversion).
// A run that keeps no frames leaves the pictures unconverted, as nobody can
// see them; the second engine figure keeps a screenshot, so every picture is
// converted into the frame and the frame copied, as for a window.
// Processor time of the whole process, so that the comparison counts what
// each side really costs.
#include <time.h>
#include <unistd.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench_report.h"
#include "movie/movie_files.h"
#include "platform/platform.h"
#include "shell/engine.h"
#include "shell/window.h"

namespace {

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct Game {
  std::string dir;
  Game() {
    dir = std::filesystem::temp_directory_path() / ("sorv-movie-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    sorv::test::TestMovie m;
    m.width = 800;
    m.height = 600;
    m.fps = 30;
    m.frames = 30 * 60;
    m.flat = false;
    std::string why;
    if (!sorv::test::WriteTestMovie(dir + "/op.mpg", m, &why)) {
      std::fprintf(stderr, "cannot make the movie: %s\n", why.c_str());
      std::exit(1);
    }
    std::ofstream(dir + "/0.txt") << ";mode800\n*define\ngame\n*start\nmovie \"op.mpg\"\nend\n";
  }
  ~Game() { std::filesystem::remove_all(dir); }
};

const Game& TheGame() {
  static Game game;
  return game;
}

void PlayMovie(benchmark::State& state, bool seen) {
  const Game& game = TheGame();
  for (auto _ : state) {
    double start = CpuSeconds();
    sorv::platform::Options options;
    options.headless = true;
    if (seen) options.screenshotFile = game.dir + "/shot.png";
    auto platform = sorv::platform::CreateHeadlessPlatform(options);
    auto e = std::make_unique<sorv::Engine>();
    e->platform = platform.get();
    e->gameDir = game.dir;
    platform->CreateMainWindow(e->screenWidth, e->screenHeight);
    int status = sorv::RunEngine(*e);
    platform->Shutdown();
    if (status != 0) state.SkipWithError("the run failed");
    e.reset();
    platform.reset();
    state.SetIterationTime(CpuSeconds() - start);
  }
}

void BM_EnginePlaysMovie(benchmark::State& state) { PlayMovie(state, false); }
BENCHMARK(BM_EnginePlaysMovie)->Unit(benchmark::kMillisecond)->UseManualTime();

void BM_EnginePlaysMovieSeen(benchmark::State& state) { PlayMovie(state, true); }
BENCHMARK(BM_EnginePlaysMovieSeen)->Unit(benchmark::kMillisecond)->UseManualTime();

// FFmpeg alone: demux and decode every packet of both streams.
void BM_FfmpegDecodes(benchmark::State& state) {
  const Game& game = TheGame();
  std::string path = game.dir + "/op.mpg";
  for (auto _ : state) {
    double start = CpuSeconds();
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) {
      state.SkipWithError("cannot open");
      return;
    }
    avformat_find_stream_info(format, nullptr);
    std::vector<AVCodecContext*> ctx(format->nb_streams, nullptr);
    for (unsigned i = 0; i < format->nb_streams; ++i) {
      const AVCodec* codec = avcodec_find_decoder(format->streams[i]->codecpar->codec_id);
      if (!codec) continue;
      ctx[i] = avcodec_alloc_context3(codec);
      avcodec_parameters_to_context(ctx[i], format->streams[i]->codecpar);
      avcodec_open2(ctx[i], codec, nullptr);
    }
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    int64_t pictures = 0;
    while (av_read_frame(format, pkt) >= 0) {
      AVCodecContext* c = ctx[static_cast<size_t>(pkt->stream_index)];
      if (c && avcodec_send_packet(c, pkt) == 0) {
        while (avcodec_receive_frame(c, frame) == 0) {
          if (c->codec_type == AVMEDIA_TYPE_VIDEO) ++pictures;
          av_frame_unref(frame);
        }
      }
      av_packet_unref(pkt);
    }
    benchmark::DoNotOptimize(pictures);
    av_frame_free(&frame);
    av_packet_free(&pkt);
    for (AVCodecContext*& c : ctx) avcodec_free_context(&c);
    avformat_close_input(&format);
    state.SetIterationTime(CpuSeconds() - start);
  }
}
BENCHMARK(BM_FfmpegDecodes)->Unit(benchmark::kMillisecond)->UseManualTime();

}  // namespace

int main(int argc, char** argv) {
  return sorv::bench::RunAndReport(argc, argv,
                                   {{"movie_play_800x600_1min", "BM_EnginePlaysMovie/manual_time",
                                     "BM_FfmpegDecodes/manual_time",
                                     "ffmpeg_decode"},
                                    {"movie_play_800x600_1min_seen", "BM_EnginePlaysMovieSeen/manual_time",
                                     "BM_FfmpegDecodes/manual_time", "ffmpeg_decode"}});
}
