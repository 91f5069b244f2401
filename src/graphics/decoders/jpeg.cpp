// JPEG through libjpeg. The library reports errors by a long jump, so the
// two functions that run it hold no C++ objects, and the surface is created
// between reading the header and decoding.
#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>
#include <jerror.h>

#include "graphics/decoders/decoders.h"

namespace sorv {
namespace {

struct JpegError {
  jpeg_error_mgr mgr;
  jmp_buf jump;
};

[[noreturn]] void OnJpegError(j_common_ptr c) { longjmp(reinterpret_cast<JpegError*>(c->err)->jump, 1); }

// Warnings stay quiet, except running out of data: the library would pad a
// truncated picture with grey and call it a success.
void OnJpegMessage(j_common_ptr c, int level) {
  if (level < 0 && c->err->msg_code == JWRN_JPEG_EOF) longjmp(reinterpret_cast<JpegError*>(c->err)->jump, 1);
}

// Reads the header and, when `bits` is given, decodes into it (bottom-up,
// `stride` bytes a row) after checking the size matches.
bool RunJpeg(const uint8_t* data, size_t size, int32_t* width, int32_t* height, uint8_t* bits, int32_t stride) {
  jpeg_decompress_struct cinfo;
  JpegError err;
  cinfo.err = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = OnJpegError;
  err.mgr.emit_message = OnJpegMessage;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = JCS_EXT_BGR;
  if (!bits) {
    jpeg_calc_output_dimensions(&cinfo);
    *width = static_cast<int32_t>(cinfo.output_width);
    *height = static_cast<int32_t>(cinfo.output_height);
    jpeg_destroy_decompress(&cinfo);
    return true;
  }
  jpeg_start_decompress(&cinfo);
  if (static_cast<int32_t>(cinfo.output_width) != *width || static_cast<int32_t>(cinfo.output_height) != *height ||
      cinfo.output_components != 3) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = bits + static_cast<size_t>(*height - 1 - static_cast<int32_t>(cinfo.output_scanline)) *
                              static_cast<size_t>(stride);
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return true;
}

}  // namespace

bool DecodeJpeg(const uint8_t* data, size_t size, Surface& out) {
  if (size == 0) return false;
  int32_t w = 0, h = 0;
  if (!RunJpeg(data, size, &w, &h, nullptr, 0)) return false;
  Surface s;
  if (!CreateSurface(s, w, h)) return false;
  if (!RunJpeg(data, size, &w, &h, s.bits.data(), s.stride)) return false;
  out = std::move(s);
  return true;
}

}  // namespace sorv
