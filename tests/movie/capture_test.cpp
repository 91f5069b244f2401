// Captures read back through libavformat: size, rate, frame count and the
// pixels upright, whether closed by the script or left open at the end.
#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <dirent.h>

#include "graphics/picture_files.h"
#include "support/engine_fixture.h"

namespace sorv::test {
namespace {

uint32_t TopColour(int k) { return 0x102030u * static_cast<uint32_t>(k + 1) & 0xFFFFFF; }
constexpr uint32_t kBottom = 0x2040C0;

struct ReadBack {
  int width = 0, height = 0;
  AVRational rate{0, 1};
  std::vector<std::pair<uint32_t, uint32_t>> frames;  // (top, bottom) pixel of each frame
  std::string error;
};

ReadBack ReadAvi(const std::string& path) {
  ReadBack out;
  AVFormatContext* format = nullptr;
  if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) {
    out.error = "cannot open";
    return out;
  }
  avformat_find_stream_info(format, nullptr);
  AVStream* st = format->streams[0];
  out.width = st->codecpar->width;
  out.height = st->codecpar->height;
  out.rate = st->avg_frame_rate;
  const AVCodec* codec = avcodec_find_decoder(st->codecpar->codec_id);
  AVCodecContext* ctx = avcodec_alloc_context3(codec);
  avcodec_parameters_to_context(ctx, st->codecpar);
  avcodec_open2(ctx, codec, nullptr);
  AVPacket* pkt = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  auto pixel = [&](int x, int y) {
    const uint8_t* p = frame->data[0] + static_cast<ptrdiff_t>(y) * frame->linesize[0] + x * 3;
    return uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
  };
  while (av_read_frame(format, pkt) >= 0) {
    if (avcodec_send_packet(ctx, pkt) == 0 && avcodec_receive_frame(ctx, frame) == 0) {
      if (frame->format != AV_PIX_FMT_BGR24) out.error = "not BGR24";
      out.frames.emplace_back(pixel(10, 10), pixel(10, out.height - 10));
    }
    av_packet_unref(pkt);
  }
  av_frame_free(&frame);
  av_packet_free(&pkt);
  avcodec_free_context(&ctx);
  avformat_close_input(&format);
  return out;
}

std::vector<std::string> Names(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* ent = readdir(d)) names.emplace_back(ent->d_name);
    closedir(d);
  }
  return names;
}

class Capture : public ::testing::Test {
 protected:
  // Ten pictures, each with its own top half and the same bottom half, and
  // a script that shows them one by one and captures each.
  std::string Script(bool close) {
    std::string s = "*define\ngame\n*start\naviwriteopen \"cap.avi\",15,10\n";
    for (int k = 0; k < 10; ++k) {
      std::vector<uint8_t> png = EncodePng(640, 480, [k](int32_t, int32_t y) {
        return 0xFF000000u | (y < 240 ? TopColour(k) : kBottom);
      });
      std::string name = "p" + std::to_string(k) + ".png";
      dir.Write(name, Bytes(png));
      s += "bg \"" + name + "\",1\naviwrite " + std::to_string(k) + "\n";
    }
    s += close ? "aviwriteclose\nend\n" : "end\n";
    return s;
  }
  void Check() {
    ReadBack back = ReadAvi(dir.File("cap.avi"));
    ASSERT_EQ(back.error, "");
    EXPECT_EQ(back.width, 640);
    EXPECT_EQ(back.height, 480);
    EXPECT_EQ(back.rate.num, 15);
    EXPECT_EQ(back.rate.den, 1);
    ASSERT_EQ(back.frames.size(), 10u);
    for (int k = 0; k < 10; ++k) {
      EXPECT_EQ(back.frames[static_cast<size_t>(k)].first, TopColour(k)) << k;
      EXPECT_EQ(back.frames[static_cast<size_t>(k)].second, kBottom) << k;
    }
    for (const std::string& name : Names(dir.path())) EXPECT_EQ(name.find(".tmp"), std::string::npos) << name;
  }
  TempDir dir;
};

TEST_F(Capture, TenFramesReadBackUpright) {
  dir.Write("0.txt", Script(true));
  RunResult r = RunGameDir(dir.path());
  ASSERT_EQ(r.status, 0) << r.stderrText;
  Check();
}

TEST_F(Capture, ACaptureLeftOpenIsFinishedAtTheEnd) {
  dir.Write("0.txt", Script(false));
  RunResult r = RunGameDir(dir.path());
  ASSERT_EQ(r.status, 0) << r.stderrText;
  Check();
}

// Failures are the script's errors: no capture open, frame numbers going
// back, a rate of 0; the file under the real name is never half-written.
TEST_F(Capture, FailuresAreReported) {
  struct Case {
    const char* lines;
    const char* message;
  } cases[] = {
      {"aviwrite 0", "AVIファイルへの書き込みに失敗しました。"},
      {"aviwriteopen \"cap.avi\",15,10\naviwrite 3\naviwrite 2", "AVIファイルへの書き込みに失敗しました。"},
      {"aviwriteopen \"cap.avi\",0,10", "書き込み先AVIファイルを開けませんでした。"},
      {"aviwriteopen \"nodir/cap.avi\",15,10", "書き込み先AVIファイルを開けませんでした。"},
  };
  for (const Case& c : cases) {
    dir.Write("0.txt", std::string("*define\ngame\n*start\n") + c.lines + "\nend\n");
    RunResult r = RunGameDir(dir.path());
    EXPECT_EQ(r.status, 1) << c.lines;
    EXPECT_EQ(r.errorMessage, c.message) << c.lines;
  }
}

}  // namespace
}  // namespace sorv::test
