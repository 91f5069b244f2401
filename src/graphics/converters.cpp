// The authoring converters: commands a game runs once while it is being
// made, to prepare pictures. Every one names the file it writes first, reads
// its pictures through the ordinary image loader (loose files and archives),
// writes a 24-bit BMP inside the game directory only, beside it first and
// then renamed over the old file.
//   chainbmp "out", "a", "b"[, ...]   the pictures side by side, tops aligned
//   bmpcut "out", "in", x, y, w, h   a rectangle of a picture
//   bw2a "out", "pic", "mask"        picture and its mask half; mask white = shown
//   bw2a2 "out", "pic", "mask"       the same with mask black = shown
//   bw2a3 "out", "in"                a black-on-white drawing as a black
//                                    picture with its mask half (white clear)
//   convgif "out", "in.gif"          the first frame of a GIF
//   font2bmp "out", "text", w, h[, #colour]   text in the window's face on black
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "graphics/decoders/decoders.h"
#include "graphics/gif_decoder.h"
#include "graphics/image_commands.h"
#include "graphics/image_load.h"
#include "graphics/scene.h"
#include "interp/error.h"
#include "interp/game_paths.h"
#include "platform/fs.h"
#include "script/reader.h"
#include "shell/engine.h"
#include "text/text_window.h"

namespace sorv {
namespace {

constexpr uint64_t kMaxGifBytes = 64ull << 20;

// A picture read through the image loader, as 24 bits.
Surface ReadPicture(Engine& e, const std::string& name, const char* command) {
  TaggedImage image;
  LoadImage(e, image, name);
  Surface out;
  if (!image.HasSurface() || !ConvertTo24(image.surface, out)) {
    ReportError(e, "エラー", Format("%sでファイル%sを読み込めません。", command, Sjis(name).c_str()));
  }
  return out;
}

void WritePicture(Engine& e, const std::string& name, const Surface& s, const char* command) {
  std::string path = GameFileOrError(e, name, command);
  std::vector<uint8_t> bytes = EncodeBmp(s);
  std::string error;
  if (!platform::WriteFileAtomic(path, bytes.data(), bytes.size(), &error)) {
    ReportError(e, "エラー", Format("%sでファイル%sを書き込めません。", command, Sjis(name).c_str()));
  }
}

Surface NewPicture(Engine& e, int64_t w, int64_t h, const char* command) {
  Surface s;
  if (w <= 0 || h <= 0 || !SurfaceSizeAllowed(w, h, 24) ||
      !CreateSurface(s, static_cast<int32_t>(w), static_cast<int32_t>(h))) {
    ReportError(e, "エラー", Format("%sで作る画像の大きさが範囲外です。", command));
  }
  return s;
}

// Copies a w x h block from (sx, sy) of `from` to (dx, dy) of `to`, both
// counted from the top; the caller keeps the block inside both.
void Blit(const Surface& from, int32_t sx, int32_t sy, Surface& to, int32_t dx, int32_t dy, int32_t w, int32_t h) {
  for (int32_t y = 0; y < h; ++y) {
    std::copy_n(from.TopRow(sy + y) + static_cast<size_t>(sx) * 3, static_cast<size_t>(w) * 3,
                to.TopRow(dy + y) + static_cast<size_t>(dx) * 3);
  }
}

// Picture and mask side by side; the mask's grey level (its mean channel)
// becomes the mask half, inverted when `whiteShows`. The mask is read at the
// picture's size: what it lacks counts as shown.
void PictureWithMask(Engine& e, const char* command, bool whiteShows) {
  std::string out, picName, maskName;
  ReadStringArgument(e, out);
  picName = NextString(e);
  maskName = NextString(e);
  Surface pic = ReadPicture(e, picName, command), mask = ReadPicture(e, maskName, command);
  Surface s = NewPicture(e, int64_t{pic.width} * 2, pic.height, command);
  Blit(pic, 0, 0, s, 0, 0, pic.width, pic.height);
  for (int32_t y = 0; y < pic.height; ++y) {
    uint8_t* row = s.TopRow(y) + static_cast<size_t>(pic.width) * 3;
    for (int32_t x = 0; x < pic.width; ++x) {
      uint8_t grey = 0;  // shown
      if (x < mask.width && y < mask.height) {
        const uint8_t* m = mask.TopRow(y) + static_cast<size_t>(x) * 3;
        int v = (m[0] + m[1] + m[2]) / 3;
        grey = static_cast<uint8_t>(whiteShows ? 255 - v : v);
      }
      row[x * 3] = row[x * 3 + 1] = row[x * 3 + 2] = grey;
    }
  }
  WritePicture(e, out, s, command);
}

}  // namespace

void Cmd_chainbmp(Engine& e) {
  std::string out;
  ReadStringArgument(e, out);
  std::vector<Surface> parts;
  do {
    parts.push_back(ReadPicture(e, NextString(e), "chainbmp"));
  } while (SkipBlanks(e) == ',');
  int64_t w = 0, h = 0;
  for (const Surface& p : parts) w += p.width, h = std::max<int64_t>(h, p.height);
  Surface s = NewPicture(e, w, h, "chainbmp");
  int32_t x = 0;
  for (const Surface& p : parts) {
    Blit(p, 0, 0, s, x, 0, p.width, p.height);
    x += p.width;
  }
  WritePicture(e, out, s, "chainbmp");
}

void Cmd_bmpcut(Engine& e) {
  std::string out;
  ReadStringArgument(e, out);
  std::string in = NextString(e);
  int32_t x = NextNumber(e), y = NextNumber(e), w = NextNumber(e), h = NextNumber(e);
  Surface pic = ReadPicture(e, in, "bmpcut");
  Rect cut = Rect{x, y, x + std::max(w, 0), y + std::max(h, 0)}.Intersect(Rect{0, 0, pic.width, pic.height});
  if (w <= 0 || h <= 0 || cut.left != x || cut.top != y || cut.right - cut.left != w || cut.bottom - cut.top != h) {
    ReportError(e, "エラー", Format("bmpcutの範囲(%d,%d,%d,%d)が画像%sの外にはみ出ています。", x, y, w, h,
                                   Sjis(in).c_str()));
  }
  Surface s = NewPicture(e, w, h, "bmpcut");
  Blit(pic, x, y, s, 0, 0, w, h);
  WritePicture(e, out, s, "bmpcut");
}

void Cmd_bw2a(Engine& e) { PictureWithMask(e, "bw2a", true); }
void Cmd_bw2a2(Engine& e) { PictureWithMask(e, "bw2a2", false); }

void Cmd_bw2a3(Engine& e) {
  std::string out;
  ReadStringArgument(e, out);
  Surface pic = ReadPicture(e, NextString(e), "bw2a3");
  Surface s = NewPicture(e, int64_t{pic.width} * 2, pic.height, "bw2a3");
  for (int32_t y = 0; y < pic.height; ++y) {
    const uint8_t* src = pic.TopRow(y);
    uint8_t* mask = s.TopRow(y) + static_cast<size_t>(pic.width) * 3;
    for (int32_t x = 0; x < pic.width; ++x) {
      uint8_t grey = static_cast<uint8_t>((src[x * 3] + src[x * 3 + 1] + src[x * 3 + 2]) / 3);
      mask[x * 3] = mask[x * 3 + 1] = mask[x * 3 + 2] = grey;
    }
  }
  WritePicture(e, out, s, "bw2a3");
}

void Cmd_convgif(Engine& e) {
  std::string out;
  ReadStringArgument(e, out);
  std::string in = NextString(e);
  std::string path = GameFileOrError(e, in, "convgif");
  std::optional<std::vector<char>> bytes = platform::ReadWholeFile(path, kMaxGifBytes);
  if (!bytes) ReportError(e, "エラー", Format("convgifでファイル%sを読み込めません。", Sjis(in).c_str()));
  Surface s;
  std::string error;
  if (!DecodeGif(reinterpret_cast<const uint8_t*>(bytes->data()), bytes->size(), s, error)) {
    ReportError(e, "エラー", Format("GIFファイル%sが壊れています(%s)。", Sjis(in).c_str(), error.c_str()));
  }
  WritePicture(e, out, s, "convgif");
}

void Cmd_font2bmp(Engine& e) {
  std::string out;
  ReadStringArgument(e, out);
  std::string text = NextString(e);
  int32_t w = NextNumber(e), h = NextNumber(e);
  int32_t colour = 0xFFFFFF;
  if (SkipBlanks(e) == ',') {
    ++e.script.pos;
    colour = ReadColourArgument(e);
  }
  if (w <= 0 || h <= 0 || w > 512 || h > 512) {
    ReportError(e, "エラー", Format("font2bmpの文字の大きさ%d,%dが範囲外です。", w, h));
  }
  // Full-width characters take w pixels, half-width ones w / 2.
  int64_t halves = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    bool wide = IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size();
    halves += wide ? 2 : 1;
    if (wide) ++i;
  }
  Surface s = NewPicture(e, std::max<int64_t>(halves * w / 2, 1), h, "font2bmp");
  GlyphStyle style;
  style.face = e.textWindow.fonts.currentFace;
  style.glyphW = w;
  style.glyphH = h;
  style.bold = false;
  style.shadow = false;
  style.colour = colour;
  style.writeLayer = false;
  halves = 0;
  for (size_t i = 0; i < text.size();) {
    bool wide = IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size();
    char ch[2] = {text[i], wide ? text[i + 1] : '\0'};
    DrawGlyph(e, ViewOf(s), ch, static_cast<int32_t>(halves * w / 2), 0, style);
    halves += wide ? 2 : 1;
    i += wide ? 2 : 1;
  }
  WritePicture(e, out, s, "font2bmp");
}

}  // namespace sorv
