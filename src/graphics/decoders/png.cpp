// PNG through libpng. The common kind of file (8-bit RGB or RGBA, not
// interlaced, no colour-space chunks, no transparency chunk) is read straight
// into the surface's rows; every other kind goes through libpng's simplified
// reader, which handles every colour type and depth. Both report damaged or
// truncated data as a failure, and give the same pixels for the common kind.
#include <png.h>

#include <csetjmp>
#include <cstring>

#include "graphics/decoders/decoders.h"

namespace sorv {
namespace {

// Places the colour of PNG column x in the surface, and with a mask its
// coverage in the mask half of the cell the column belongs to.
void PutPixel(uint8_t* row, const uint8_t* bgra, int32_t x, bool alpha, int32_t cellWidth) {
  int32_t dst = x;
  if (alpha) {
    int32_t cell = x / cellWidth;
    dst = cell * cellWidth * 2 + x % cellWidth;
    uint8_t m = static_cast<uint8_t>(255 - bgra[3]);
    uint8_t* mask = row + (dst + cellWidth) * 3;
    mask[0] = mask[1] = mask[2] = m;
  }
  std::memcpy(row + dst * 3, bgra, 3);
}

struct MemoryReader {
  const uint8_t* data;
  size_t size;
  size_t pos;
};

void ReadFromMemory(png_structp png, png_bytep dst, png_size_t n) {
  auto* r = static_cast<MemoryReader*>(png_get_io_ptr(png));
  if (n > r->size - r->pos) png_error(png, "read beyond the end of the data");
  std::memcpy(dst, r->data + r->pos, n);
  r->pos += n;
}

// libpng's own messages are not the engine's: errors become a false return
// (through the jump the reader set up), warnings are dropped.
[[noreturn]] void Fail(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void Quiet(png_structp, png_const_charp) {}

// The column layout shared by both readers.
struct Layout {
  int32_t cellWidth;
  int32_t shown;  // columns that have a place in the surface
};

Layout LayoutFor(int64_t w, bool alpha, int32_t cells) {
  if (cells < 1) cells = 1;
  int32_t cellWidth = static_cast<int32_t>(w / cells);
  if (cellWidth < 1) cellWidth = static_cast<int32_t>(w);
  int32_t shown = alpha ? cellWidth * (static_cast<int32_t>(w) / cellWidth) : static_cast<int32_t>(w);
  return {cellWidth, shown};
}

enum class Direct { Done, Failed, NotThisKind };

// Everything libpng's longjmp may cross lives here, outside the frame that
// calls setjmp.
struct DirectRead {
  png_structp png = nullptr;
  png_infop info = nullptr;
  MemoryReader reader{};
  std::vector<uint8_t> row;
  Surface s;
  ~DirectRead() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
};

// Reads the common kind of file without libpng's general pixel pipeline.
Direct ReadDirect(DirectRead& d, const uint8_t* data, size_t size, bool alpha, int32_t cells) {
  d.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, Fail, Quiet);
  if (!d.png) return Direct::NotThisKind;
  d.info = png_create_info_struct(d.png);
  if (!d.info) return Direct::NotThisKind;
  d.reader = MemoryReader{data, size, 0};
  if (setjmp(png_jmpbuf(d.png))) return Direct::Failed;
  png_set_read_fn(d.png, &d.reader, ReadFromMemory);
  png_read_info(d.png, d.info);
  png_uint_32 w = png_get_image_width(d.png, d.info), h = png_get_image_height(d.png, d.info);
  int type = png_get_color_type(d.png, d.info);
  bool plain = png_get_bit_depth(d.png, d.info) == 8 &&
               (type == PNG_COLOR_TYPE_RGB || type == PNG_COLOR_TYPE_RGB_ALPHA) &&
               png_get_interlace_type(d.png, d.info) == PNG_INTERLACE_NONE &&
               !png_get_valid(d.png, d.info, PNG_INFO_tRNS | PNG_INFO_cHRM | PNG_INFO_iCCP);
  // An sRGB chunk or the sRGB gamma leaves 8-bit values as they are; any
  // other gamma is converted by the simplified reader.
  png_fixed_point gamma = 0;
  if (plain && png_get_valid(d.png, d.info, PNG_INFO_gAMA) && !png_get_valid(d.png, d.info, PNG_INFO_sRGB)) {
    plain = png_get_gAMA_fixed(d.png, d.info, &gamma) && gamma == 45455;  // 1 / 2.2
  }
  if (!plain) return Direct::NotThisKind;
  int64_t surfaceWidth = alpha ? int64_t{w} * 2 : int64_t{w};
  // The simplified reader's 32-bit buffer sets the limit for both.
  if (!SurfaceSizeAllowed(surfaceWidth, h, 32)) return Direct::Failed;
  if (!CreateSurface(d.s, static_cast<int32_t>(surfaceWidth), static_cast<int32_t>(h))) return Direct::Failed;
  png_set_bgr(d.png);
  if (!alpha) {
    if (type == PNG_COLOR_TYPE_RGB_ALPHA) png_set_strip_alpha(d.png);
    png_read_update_info(d.png, d.info);
    for (int32_t y = 0; y < d.s.height; ++y) png_read_row(d.png, d.s.TopRow(y), nullptr);
  } else {
    if (type == PNG_COLOR_TYPE_RGB) png_set_add_alpha(d.png, 0xFF, PNG_FILLER_AFTER);
    png_read_update_info(d.png, d.info);
    Layout l = LayoutFor(w, alpha, cells);
    d.row.resize(static_cast<size_t>(w) * 4);
    for (int32_t y = 0; y < d.s.height; ++y) {
      png_read_row(d.png, d.row.data(), nullptr);
      uint8_t* row = d.s.TopRow(y);
      for (int32_t x = 0; x < l.shown; ++x) PutPixel(row, d.row.data() + x * 4, x, true, l.cellWidth);
    }
  }
  png_read_end(d.png, nullptr);
  return Direct::Done;
}

}  // namespace

bool DecodePng(const uint8_t* data, size_t size, bool alpha, int32_t cells, Surface& out) {
  {
    DirectRead d;
    Direct r = ReadDirect(d, data, size, alpha, cells);
    if (r == Direct::Failed) return false;
    if (r == Direct::Done) {
      out = std::move(d.s);
      return true;
    }
  }
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, data, size)) return false;
  int64_t w = image.width, h = image.height;
  int64_t surfaceWidth = alpha ? w * 2 : w;
  if (!SurfaceSizeAllowed(surfaceWidth, h, 32)) {
    png_image_free(&image);
    return false;
  }
  image.format = PNG_FORMAT_BGRA;
  std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
    png_image_free(&image);
    return false;
  }
  Surface s;
  if (!CreateSurface(s, static_cast<int32_t>(surfaceWidth), static_cast<int32_t>(h))) return false;
  Layout l = LayoutFor(w, alpha, cells);
  for (int32_t y = 0; y < s.height; ++y) {
    const uint8_t* src = pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(w) * 4;
    uint8_t* row = s.TopRow(y);
    // Columns beyond the last whole cell have no place in a masked layout.
    for (int32_t x = 0; x < l.shown; ++x) PutPixel(row, src + x * 4, x, alpha, l.cellWidth);
  }
  out = std::move(s);
  return true;
}

}  // namespace sorv
