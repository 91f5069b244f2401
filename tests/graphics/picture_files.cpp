#include "graphics/picture_files.h"

#include <png.h>

#include <cstdio>
#include <cstring>

#include <jpeglib.h>

namespace sorv::test {

Surface MakePicture(int32_t w, int32_t h, const std::function<uint32_t(int32_t, int32_t)>& rgb) {
  Surface s;
  CreateSurface(s, w, h);
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* row = s.TopRow(y);
    for (int32_t x = 0; x < w; ++x) {
      uint32_t c = rgb(x, y);
      row[x * 3] = static_cast<uint8_t>(c);
      row[x * 3 + 1] = static_cast<uint8_t>(c >> 8);
      row[x * 3 + 2] = static_cast<uint8_t>(c >> 16);
    }
  }
  return s;
}

uint32_t At(const Surface& s, int32_t x, int32_t y) {
  const uint8_t* p = s.Row(s.height - 1 - y) + x * 3;
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16);
}

Surface MakePaletted(int32_t w, int32_t h) {
  Surface s;
  CreateSurfaceDepth(s, w, h, 8, 256);
  s.info.clrUsed = 256;
  for (int i = 0; i < 256; ++i) {
    s.palette[static_cast<size_t>(i)] =
        RgbQuad{static_cast<uint8_t>(i / 2), static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i), 0};
  }
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) s.TopRow(y)[x] = static_cast<uint8_t>((x + y) % 256);
  }
  return s;
}

std::vector<uint8_t> EncodePng(int32_t w, int32_t h, const std::function<uint32_t(int32_t, int32_t)>& argb) {
  std::vector<uint8_t> rgba(static_cast<size_t>(w) * static_cast<size_t>(h) * 4);
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      uint32_t c = argb(x, y);
      uint8_t* p = &rgba[(static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)) * 4];
      p[0] = static_cast<uint8_t>(c >> 16);
      p[1] = static_cast<uint8_t>(c >> 8);
      p[2] = static_cast<uint8_t>(c);
      p[3] = static_cast<uint8_t>(c >> 24);
    }
  }
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(w);
  image.height = static_cast<png_uint_32>(h);
  image.format = PNG_FORMAT_RGBA;
  png_alloc_size_t size = 0;
  png_image_write_to_memory(&image, nullptr, &size, 0, rgba.data(), 0, nullptr);
  std::vector<uint8_t> out(size);
  png_image_write_to_memory(&image, out.data(), &size, 0, rgba.data(), 0, nullptr);
  out.resize(size);
  return out;
}

std::vector<uint8_t> EncodeJpeg(const Surface& s, int quality) {
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* mem = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &mem, &size);
  c.image_width = static_cast<JDIMENSION>(s.width);
  c.image_height = static_cast<JDIMENSION>(s.height);
  c.input_components = 3;
  c.in_color_space = JCS_EXT_BGR;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, quality, TRUE);
  jpeg_start_compress(&c, TRUE);
  while (c.next_scanline < c.image_height) {
    JSAMPROW row = const_cast<uint8_t*>(s.Row(s.height - 1 - static_cast<int32_t>(c.next_scanline)));
    jpeg_write_scanlines(&c, &row, 1);
  }
  jpeg_finish_compress(&c);
  std::vector<uint8_t> out(mem, mem + size);
  jpeg_destroy_compress(&c);
  std::free(mem);
  return out;
}

std::string Bytes(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

}  // namespace sorv::test
