// Frame pixels as a person sees them: the engine keeps its screen as a
// bottom-up BGR device-independent bitmap; images and the headless backend's
// PNG files want top-down RGB.
#include <png.h>
#include <unistd.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/platform.h"

namespace sorv::platform {

void FrameToRgb(const uint8_t* bits, int width, int height, int stride, uint8_t* rgbOut) {
  for (int y = 0; y < height; ++y) {
    const uint8_t* src = bits + static_cast<ptrdiff_t>(height - 1 - y) * stride;
    uint8_t* dst = rgbOut + static_cast<ptrdiff_t>(y) * width * 3;
    for (int x = 0; x < width; ++x, src += 3, dst += 3) {
      dst[0] = src[2];
      dst[1] = src[1];
      dst[2] = src[0];
    }
  }
}

namespace {

struct PngWriteError {
  char message[256];
};

void OnPngError(png_structp png, png_const_charp message) {
  auto* err = static_cast<PngWriteError*>(png_get_error_ptr(png));
  std::snprintf(err->message, sizeof err->message, "%s", message);
  png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

// Kept free of objects with destructors: libpng reports errors by longjmp.
bool WritePngStream(FILE* file, const uint8_t* rgb, int width, int height, PngWriteError* err) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, err, OnPngError, OnPngWarning);
  if (!png) {
    std::snprintf(err->message, sizeof err->message, "out of memory");
    return false;
  }
  png_infop info = png_create_info_struct(png);
  if (!info || setjmp(png_jmpbuf(png))) {
    if (!info) std::snprintf(err->message, sizeof err->message, "out of memory");
    png_destroy_write_struct(&png, info ? &info : nullptr);
    return false;
  }
  png_init_io(png, file);
  // Frame dumps write thousands of files; fast compression matters more than size.
  png_set_compression_level(png, 1);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < height; ++y) png_write_row(png, rgb + static_cast<ptrdiff_t>(y) * width * 3);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

bool WritePngRgb(const std::string& path, const uint8_t* rgb, int width, int height, std::string* error) {
  auto fail = [&](const std::string& reason) {
    if (error) *error = path + ": " + reason;
    return false;
  };
  if (width <= 0 || height <= 0) return fail("empty image");
  // Written beside the target and renamed over it, so a reader never sees half a file.
  std::string temp = path + ".tmp." + std::to_string(getpid());
  FILE* file = std::fopen(temp.c_str(), "wb");
  if (!file) return fail(std::strerror(errno));
  PngWriteError err{};
  bool ok = WritePngStream(file, rgb, width, height, &err);
  std::string reason = ok ? "" : err.message;
  if (std::fflush(file) != 0 && ok) {
    ok = false;
    reason = std::strerror(errno);
  }
  if (std::fclose(file) != 0 && ok) {
    ok = false;
    reason = std::strerror(errno);
  }
  if (ok && std::rename(temp.c_str(), path.c_str()) != 0) {
    ok = false;
    reason = std::strerror(errno);
  }
  if (!ok) {
    std::remove(temp.c_str());
    return fail(reason);
  }
  return true;
}

}  // namespace sorv::platform
