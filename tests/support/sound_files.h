// Sound files made on the spot for the tests and benchmarks: a sine tone as
// 16-bit PCM WAV, and the same tone encoded as Ogg Vorbis.
#pragma once

#include <vorbis/vorbisenc.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <cstdlib>
#include <vector>

namespace sorv::test {

inline void PutLe(std::vector<uint8_t>& out, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// A stereo sine tone of `ms` milliseconds at `rate` Hz; `amplitude` is the
// peak as a fraction of full scale.
inline std::vector<uint8_t> MakeWav(uint32_t ms, double hz = 440, double amplitude = 0.5, uint32_t rate = 44100) {
  uint32_t frames = static_cast<uint32_t>(static_cast<uint64_t>(ms) * rate / 1000);
  uint32_t dataBytes = frames * 4;
  std::vector<uint8_t> w;
  w.insert(w.end(), {'R', 'I', 'F', 'F'});
  PutLe(w, 36 + dataBytes, 4);
  w.insert(w.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  PutLe(w, 16, 4);
  PutLe(w, 1, 2);  // PCM
  PutLe(w, 2, 2);
  PutLe(w, rate, 4);
  PutLe(w, rate * 4, 4);
  PutLe(w, 4, 2);
  PutLe(w, 16, 2);
  w.insert(w.end(), {'d', 'a', 't', 'a'});
  PutLe(w, dataBytes, 4);
  for (uint32_t i = 0; i < frames; ++i) {
    auto v = static_cast<int16_t>(std::lround(amplitude * 32767 * std::sin(2 * M_PI * hz * i / rate)));
    PutLe(w, static_cast<uint16_t>(v), 2);
    PutLe(w, static_cast<uint16_t>(v), 2);
  }
  return w;
}

// The same tone as Ogg Vorbis (44.1 kHz stereo).
inline std::vector<uint8_t> MakeOgg(uint32_t ms, double hz = 440, double amplitude = 0.5) {
  const long rate = 44100;
  std::vector<uint8_t> out;
  vorbis_info vi;
  vorbis_info_init(&vi);
  if (vorbis_encode_init_vbr(&vi, 2, rate, 0.3f) != 0) std::abort();
  vorbis_comment vc;
  vorbis_comment_init(&vc);
  vorbis_dsp_state vd;
  vorbis_block vb;
  vorbis_analysis_init(&vd, &vi);
  vorbis_block_init(&vd, &vb);
  ogg_stream_state os;
  ogg_stream_init(&os, 1);
  ogg_packet header, comment, code;
  vorbis_analysis_headerout(&vd, &vc, &header, &comment, &code);
  ogg_stream_packetin(&os, &header);
  ogg_stream_packetin(&os, &comment);
  ogg_stream_packetin(&os, &code);
  ogg_page page;
  auto emit = [&](const ogg_page& p) {
    out.insert(out.end(), p.header, p.header + p.header_len);
    out.insert(out.end(), p.body, p.body + p.body_len);
  };
  while (ogg_stream_flush(&os, &page)) emit(page);
  long frames = rate * static_cast<long>(ms) / 1000;
  long done = 0;
  bool eos = false;
  while (!eos) {
    long n = std::min<long>(1024, frames - done);
    if (n > 0) {
      float** buf = vorbis_analysis_buffer(&vd, static_cast<int>(n));
      for (long i = 0; i < n; ++i) {
        float v = static_cast<float>(amplitude * std::sin(2 * M_PI * hz * (done + i) / rate));
        buf[0][i] = buf[1][i] = v;
      }
      vorbis_analysis_wrote(&vd, static_cast<int>(n));
      done += n;
    } else {
      vorbis_analysis_wrote(&vd, 0);
    }
    while (vorbis_analysis_blockout(&vd, &vb) == 1) {
      vorbis_analysis(&vb, nullptr);
      vorbis_bitrate_addblock(&vb);
      ogg_packet op;
      while (vorbis_bitrate_flushpacket(&vd, &op)) {
        ogg_stream_packetin(&os, &op);
        while (ogg_stream_pageout(&os, &page)) {
          emit(page);
          if (ogg_page_eos(&page)) eos = true;
        }
      }
    }
    if (n <= 0 && !eos) {
      while (ogg_stream_flush(&os, &page)) {
        emit(page);
        if (ogg_page_eos(&page)) eos = true;
      }
    }
  }
  ogg_stream_clear(&os);
  vorbis_block_clear(&vb);
  vorbis_dsp_clear(&vd);
  vorbis_comment_clear(&vc);
  vorbis_info_clear(&vi);
  return out;
}

}  // namespace sorv::test
