// The picture the image and archive benchmarks work on: 800 x 600 with
// smooth areas and edges, as CG usually is.
#pragma once

#include <png.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "graphics/picture_files.h"
#include "graphics/surface.h"

inline const sorv::Surface& BenchPicture() {
  static const sorv::Surface s = [] {
    sorv::Surface p;
    sorv::CreateSurface(p, 800, 600);
    for (int y = 0; y < 600; ++y) {
      for (int x = 0; x < 800; ++x) {
        uint8_t* px = p.Row(y) + x * 3;
        px[0] = static_cast<uint8_t>(x / 4 + ((x / 64 + y / 64) % 2) * 40);
        px[1] = static_cast<uint8_t>(y / 3);
        px[2] = static_cast<uint8_t>((x * y) >> 10);
      }
    }
    return p;
  }();
  return s;
}

// The picture as a PNG file (what the engine's PNG writer for tests makes).
inline const std::vector<uint8_t>& BenchPng() {
  static const std::vector<uint8_t> png = [] {
    const sorv::Surface& s = BenchPicture();
    return sorv::test::EncodePng(s.width, s.height,
                                 [&s](int32_t x, int32_t y) { return 0xFF000000u | sorv::test::At(s, x, y); });
  }();
  return png;
}

// libpng decoding a PNG file in memory into a plain buffer of rows, as the
// file has them: the reference for picture decoding.
inline void LibpngDecode(const std::vector<uint8_t>& file, std::vector<uint8_t>& pixels) {
  struct Source {
    const uint8_t* data;
    size_t pos;
  } src{file.data(), 0};
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_read_fn(png, &src, [](png_structp p, png_bytep d, png_size_t n) {
    auto* s = static_cast<Source*>(png_get_io_ptr(p));
    std::memcpy(d, s->data + s->pos, n);
    s->pos += n;
  });
  png_read_info(png, info);
  png_uint_32 h = png_get_image_height(png, info);
  png_read_update_info(png, info);
  size_t rowBytes = png_get_rowbytes(png, info);
  pixels.resize(rowBytes * h);
  std::vector<png_bytep> rows(h);
  for (png_uint_32 y = 0; y < h; ++y) rows[y] = pixels.data() + y * rowBytes;
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
}
