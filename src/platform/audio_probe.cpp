// Telling a sound file's kind and length from its bytes, without decoding
// it. The headless device uses the length to know when a sound ends; every
// read is bounded by the data, whatever the file claims.
#include <cstring>

#include "platform/audio.h"

namespace sorv::platform {
namespace {

uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

bool Starts(const uint8_t* d, size_t n, const char* tag) {
  size_t len = std::strlen(tag);
  return n >= len && std::memcmp(d, tag, len) == 0;
}

// RIFF chunks: "fmt " gives the byte rate, "data" the length. A data chunk
// that claims more than the file holds is cut to what is there.
int64_t WavDuration(const uint8_t* d, size_t n) {
  uint32_t byteRate = 0;
  size_t pos = 12;
  while (pos + 8 <= n) {
    uint32_t size = Le32(d + pos + 4);
    const uint8_t* body = d + pos + 8;
    size_t avail = n - pos - 8;
    if (std::memcmp(d + pos, "fmt ", 4) == 0 && avail >= 12) byteRate = Le32(body + 8);
    if (std::memcmp(d + pos, "data", 4) == 0) {
      uint64_t bytes = size < avail ? size : avail;
      return byteRate ? static_cast<int64_t>(bytes * 1000 / byteRate) : 0;
    }
    pos += 8 + static_cast<size_t>(size) + (size & 1);
    if (pos < 8 + size) break;  // wrapped
  }
  return 0;
}

// Ogg: the sample rate from the first packet (Vorbis or Opus), the length
// from the granule position of the last page.
int64_t OggDuration(const uint8_t* d, size_t n) {
  if (n < 27) return 0;
  size_t segs = d[26];
  size_t body = 27 + segs;
  if (body + 16 > n) return 0;
  uint32_t rate = 0;
  uint64_t skip = 0;
  if (std::memcmp(d + body, "\x01vorbis", 7) == 0 && body + 16 <= n) {
    rate = Le32(d + body + 12);
  } else if (std::memcmp(d + body, "OpusHead", 8) == 0 && body + 12 <= n) {
    rate = 48000;
    skip = Le16(d + body + 10);
  }
  if (rate == 0) return 0;
  for (size_t pos = n >= 27 ? n - 27 : 0;; --pos) {
    if (std::memcmp(d + pos, "OggS", 4) == 0) {
      uint64_t granule = 0;
      for (int i = 7; i >= 0; --i) granule = granule << 8 | d[pos + 6 + static_cast<size_t>(i)];
      if (granule != ~uint64_t{0}) return static_cast<int64_t>((granule > skip ? granule - skip : 0) * 1000 / rate);
    }
    if (pos == 0) break;
  }
  return 0;
}

// MPEG audio frames after an optional ID3v2 tag, summed until the first
// byte that is no frame header.
int64_t Mp3Duration(const uint8_t* d, size_t n, bool* isMp3) {
  static const int kRates[3] = {44100, 48000, 32000};
  static const int kBitrates[2][3][16] = {
      {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
       {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
       {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},
      {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
       {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
       {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}}};
  size_t pos = 0;
  if (Starts(d, n, "ID3") && n >= 10) {
    pos = 10 + ((d[6] & 0x7F) << 21 | (d[7] & 0x7F) << 14 | (d[8] & 0x7F) << 7 | (d[9] & 0x7F));
  }
  double seconds = 0;
  int frames = 0;
  while (pos + 4 <= n && d[pos] == 0xFF && (d[pos + 1] & 0xE0) == 0xE0) {
    int version = (d[pos + 1] >> 3) & 3;  // 3 = MPEG 1, 2 = MPEG 2, 0 = MPEG 2.5
    int layer = 4 - ((d[pos + 1] >> 1) & 3);
    int brIndex = d[pos + 2] >> 4, srIndex = (d[pos + 2] >> 2) & 3, pad = (d[pos + 2] >> 1) & 1;
    if (version == 1 || layer == 4 || srIndex == 3 || brIndex == 0 || brIndex == 15) break;
    int rate = kRates[srIndex] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
    int bitrate = kBitrates[version == 3 ? 0 : 1][layer - 1][brIndex] * 1000;
    int samples = layer == 1 ? 384 : (layer == 3 && version != 3) ? 576 : 1152;
    size_t length = layer == 1 ? static_cast<size_t>((12 * bitrate / rate + pad) * 4)
                               : static_cast<size_t>(samples / 8 * bitrate / rate + pad);
    if (length < 4) break;
    seconds += static_cast<double>(samples) / rate;
    ++frames;
    pos += length;
  }
  *isMp3 = frames > 0;
  return static_cast<int64_t>(seconds * 1000);
}

int64_t FlacDuration(const uint8_t* d, size_t n) {
  if (n < 8 + 18) return 0;
  const uint8_t* s = d + 8;  // STREAMINFO behind its 4-byte block header
  uint32_t rate = static_cast<uint32_t>(s[10]) << 12 | s[11] << 4 | s[12] >> 4;
  uint64_t total = static_cast<uint64_t>(s[13] & 0x0F) << 32 | static_cast<uint64_t>(s[14]) << 24 |
                   static_cast<uint64_t>(s[15]) << 16 | s[16] << 8 | s[17];
  return rate ? static_cast<int64_t>(total * 1000 / rate) : 0;
}

}  // namespace

SoundInfo ProbeSound(const uint8_t* data, size_t size) {
  SoundInfo info;
  if (Starts(data, size, "RIFF") && size >= 12 && std::memcmp(data + 8, "WAVE", 4) == 0) {
    info.format = SoundFormat::Wav;
    info.durationMs = WavDuration(data, size);
  } else if (Starts(data, size, "OggS")) {
    info.format = SoundFormat::Ogg;
    info.durationMs = OggDuration(data, size);
  } else if (Starts(data, size, "MThd")) {
    info.format = SoundFormat::Midi;
  } else if (Starts(data, size, "fLaC")) {
    info.format = SoundFormat::Flac;
    info.durationMs = FlacDuration(data, size);
  } else {
    bool mp3 = false;
    int64_t ms = Mp3Duration(data, size, &mp3);
    if (mp3) {
      info.format = SoundFormat::Mp3;
      info.durationMs = ms;
    }
  }
  return info;
}

}  // namespace sorv::platform
