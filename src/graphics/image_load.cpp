#include "graphics/image_load.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "archive/archive.h"
#include "graphics/decoders/decoders.h"
#include "graphics/image_plugin.h"
#include "graphics/image_tag.h"
#include "interp/error.h"
#include "interp/game_paths.h"
#include "platform/fs.h"
#include "shell/engine.h"

namespace sorv {
namespace {

constexpr uint64_t kMaxImageFileBytes = 512ull << 20;

enum class Found { Loaded, Missing };

// What the loader needs to know about the tag while it reads the file.
struct LoadRequest {
  std::string name;  // the body: the file name as the script wrote it
  bool alpha = false;
  int32_t cells = 1;
};

std::string Extension(const std::string& name) {
  size_t dot = name.rfind('.');
  if (dot == std::string::npos) return {};
  std::string ext = name.substr(dot + 1);
  for (char& c : ext) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return ext;
}

bool IsJpeg(const std::string& ext) { return ext == "jpg" || ext == "jpeg"; }

[[noreturn]] void Report(Engine& e, const char* title, const char* fmt, const std::string& name) {
  ReportError(e, title, Format(fmt, Sjis(name).c_str()));
}

bool Decode(const std::string& ext, const LoadRequest& r, const uint8_t* d, size_t n, Surface& out) {
  if (ext == "png") return DecodePng(d, n, r.alpha, r.cells, out);
  if (IsJpeg(ext)) return DecodeJpeg(d, n, out);
  if (ext == "spb") return DecodeSpb(d, n, out);
  return DecodeBmp(d, n, out);
}

// A file on disk, by its extension. `name` is what messages show.
void LoadLoose(Engine& e, const std::string& path, const LoadRequest& r, Surface& out) {
  std::string ext = Extension(r.name);
  bool builtIn = ext == "png" || IsJpeg(ext) || ext == "spb" || ext == "bmp";
  if (!builtIn) {
    std::string plugin = ImagePluginFor(e, r.name);
    if (plugin.empty()) Report(e, "ロードエラー", "ファイル%sを開けません。", r.name);
    LoadPluginFile(e, plugin, path, out);  // a failure leaves the image empty
    return;
  }
  std::optional<std::vector<char>> bytes = platform::ReadWholeFile(path, kMaxImageFileBytes);
  if (!bytes) {
    if (IsJpeg(ext)) ReportError(e, "エラー", "JPEGがロード出来ません。OLEが使えません");
    Report(e, "ロードエラー", "ファイル%sを開けません。", r.name);
  }
  if (Decode(ext, r, reinterpret_cast<const uint8_t*>(bytes->data()), bytes->size(), out)) return;
  if (IsJpeg(ext)) ReportError(e, "エラー", "JPEGがロード出来ません。OLEが使えません");
  if (ext == "png") Report(e, "エラー", "PNGファイル%sのロードに失敗しました。", r.name);
  if (ext == "spb") Report(e, "エラー", "SPBファイル%sが壊れています。", r.name);
  Report(e, "エラー", "BMPファイル%sが壊れています。", r.name);
}

void LoadFromSv2(Engine& e, const Sv2Hit& hit, const LoadRequest& r, Surface& out) {
  std::string ext = Extension(r.name);
  if (!IsJpeg(ext) && ext != "png" && ext != "bmp") {
    ReportError(e, "エラー", "SV2形式はBMP,JPEG,PNG以外には対応していません。");
  }
  std::vector<uint8_t> data = ReadArchiveRange(e, hit.archive, hit.offset, hit.size);
  if (Decode(ext, r, data.data(), data.size(), out)) return;
  if (IsJpeg(ext)) ReportError(e, "エラー", "JPEGのロードに失敗しました。");
  if (ext == "png") Report(e, "エラー", "PNGファイル%sのロードに失敗しました。", r.name);
  Report(e, "エラー", "BMPファイル%sが壊れています。", r.name);
}

// JPEG entries are decoded in memory; once that has failed, through a
// temporary file for the rest of the run.
void LoadSvaJpeg(Engine& e, const SvaHit& hit, const LoadRequest& r, Surface& out) {
  std::vector<uint8_t> data = ReadSvaEntry(e, hit);
  if (e.images.jpegInMemory) {
    if (DecodeJpeg(data.data(), data.size(), out)) return;
    e.images.jpegInMemory = false;
  }
  std::optional<TempFile> tmp = MakeTempFile(e, "dm.jpg");
  FILE* f = tmp ? std::fopen(tmp->path().c_str(), "wb") : nullptr;
  bool written = f && std::fwrite(data.data(), 1, data.size(), f) == data.size();
  if (f) written = std::fclose(f) == 0 && written;
  if (!written) ReportError(e, "エラー", "JPEGがロード出来ません。OLEが使えません");
  LoadLoose(e, tmp->path(), r, out);
}

void LoadFromSva(Engine& e, const SvaHit& hit, const LoadRequest& r, Surface& out) {
  std::string ext = Extension(r.name);
  if (IsJpeg(ext)) return LoadSvaJpeg(e, hit, r, out);
  if (ext == "png") {
    std::vector<uint8_t> data = ReadSvaEntry(e, hit);
    if (!DecodePng(data.data(), data.size(), r.alpha, r.cells, out)) {
      Report(e, "エラー", "PNGファイル%sのロードに失敗しました。", r.name);
    }
    return;
  }
  if (ext == "bmp") {
    if (hit.kind == kSvaStored) ReportError(e, "エラー", "BMPが圧縮されていません");
    std::vector<uint8_t> data = ReadSvaEntry(e, hit);
    bool ok = hit.kind == kSvaSpb ? DecodeSpb(data.data(), data.size(), out) : DecodeBmp(data.data(), data.size(), out);
    if (!ok) Report(e, "エラー", hit.kind == kSvaSpb ? "SPBファイル%sが壊れています。" : "BMPファイル%sが壊れています。", r.name);
    return;
  }
  std::string plugin = ImagePluginFor(e, r.name);
  if (plugin.empty()) Report(e, "ロードエラー", "ファイル%sを開けません。", r.name);
  LoadPluginMemory(e, plugin, ReadSvaEntry(e, hit), out);
}

// Loose file, SV2, SVA, archive plug-ins: the first that has the file wins.
// A source that lacks it does not report by itself: the file may well be
// in the next one.
Found LoadFile(Engine& e, const LoadRequest& r, Surface& out) {
  std::string path = AssetPathOrError(e, r.name);
  if (platform::IsRegularFile(path)) {
    LoadLoose(e, path, r, out);
    return Found::Loaded;
  }
  if (std::optional<Sv2Hit> hit = FindSv2Entry(e, r.name)) {
    LoadFromSv2(e, *hit, r, out);
    return Found::Loaded;
  }
  if (std::optional<SvaHit> hit = FindSvaEntry(e, r.name)) {
    LoadFromSva(e, *hit, r, out);
    return Found::Loaded;
  }
  if (std::optional<TempFile> tmp = ExtractThroughPlugins(e, r.name)) {
    LoadLoose(e, tmp->path(), r, out);
    return Found::Loaded;
  }
  return Found::Missing;
}

void ReportMissing(Engine& e, const std::string& name) {
  if (e.archives.sv2On || e.archives.svaOn) Report(e, "エラー", "SVAアーカイブからファイル%sがみつかりません", name);
  Report(e, "ロードエラー", "ファイル%sを開けません。", name);
}

void MakeColourBands(Engine& e, TaggedImage& image, const std::string& body) {
  ColourBands b = ParseColourBands(e, body);
  if (!CreateSurface(image.surface, b.width, b.height)) {
    ReportError(e, "エラー", "グラフィックファイルのタグ指定>が間違っています。");
  }
  int32_t bandWidth = b.width / static_cast<int32_t>(b.colours.size());
  for (int32_t y = 0; y < b.height; ++y) {
    uint8_t* row = image.surface.Row(y);
    for (size_t i = 0; i < b.colours.size(); ++i) {
      int32_t c = b.colours[i];
      for (int32_t x = static_cast<int32_t>(i) * bandWidth; x < static_cast<int32_t>(i + 1) * bandWidth; ++x) {
        row[x * 3] = static_cast<uint8_t>(c);
        row[x * 3 + 1] = static_cast<uint8_t>(c >> 8);
        row[x * 3 + 2] = static_cast<uint8_t>(c >> 16);
      }
    }
  }
}

// The picture a text sprite is drawn into: per colour a cell of a colour
// half (black until drawn) and a mask half (white: transparent until drawn).
void MakeBlankTextSprite(Engine& e, TaggedImage& image) {
  const TextSpriteSpec& t = image.textSpriteSpec;
  int64_t w = t.sized ? t.width : e.images.textSpriteFontWidth;
  int64_t h = t.sized ? t.height : e.images.textSpriteFontHeight;
  int64_t pitch = t.sized ? t.pitch : 0;
  int32_t style = t.style >= 0 ? t.style : e.images.textSpriteStyle;
  int64_t half = static_cast<int64_t>(t.text.size()) * (w + pitch) / 2;
  if (pitch < 0) half += w - (w + pitch);
  if (style == 2) {
    half += 2;
    h += 2;
  }
  half = std::max<int64_t>(half, 1);
  int64_t cells = static_cast<int64_t>(t.colours.size());
  if (!SurfaceSizeAllowed(half * 2 * cells, h, 24)) return;
  CreateSurface(image.surface, static_cast<int32_t>(half * 2 * cells), static_cast<int32_t>(h));
  for (int32_t y = 0; y < image.surface.height; ++y) {
    uint8_t* row = image.surface.Row(y);
    for (int64_t c = 0; c < cells; ++c) std::fill_n(row + (c * 2 + 1) * half * 3, half * 3, 255);
  }
}

void MakeTextSprite(Engine& e, TaggedImage& image, ImageTag& t) {
  if (t.textVariable >= 0) {
    CheckStrVarNumber(e, t.textVariable);
    t.text.text = e.values.strVars[static_cast<size_t>(t.textVariable)];
  }
  image.textSprite = true;
  image.textSpriteSpec = t.text;
  image.cellCount = static_cast<int32_t>(t.text.colours.size());
  if (e.images.renderTextSprite) {
    e.images.renderTextSprite(e, image);
  } else {
    MakeBlankTextSprite(e, image);
  }
}

// Joins the loaded picture and a mask picture side by side: the image then
// carries its own coverage.
void ApplyMaskFile(Engine& e, TaggedImage& image, const std::string& maskName) {
  if (image.cellCount > 1) {
    ReportError(e, "エラー", "画像指定タグ:mファイル名のときは複数セル画像はサポートしていません。");
  }
  TaggedImage mask;
  LoadImageTag(e, mask, maskName);
  Surface base, cover, joined;
  if (!image.HasSurface() || !mask.HasSurface() || !ConvertTo24(image.surface, base) ||
      !ConvertTo24(mask.surface, cover) || !CreateSurface(joined, base.width * 2, base.height)) {
    return;
  }
  int32_t w = base.width;
  for (int32_t y = 0; y < base.height; ++y) {
    std::copy_n(base.TopRow(y), w * 3, joined.TopRow(y));
    if (y < cover.height) std::copy_n(cover.TopRow(y), std::min(w, cover.width) * 3, joined.TopRow(y) + w * 3);
  }
  image.surface = std::move(joined);
  image.transMode = kTransAlpha;
}

void ApplyFilters(Engine& e, TaggedImage& image, const ImageTag& t) {
  if (!(t.brightness || t.rgb) || !image.HasSurface()) return;
  if (image.surface.BitCount() != 24) ReportError(e, "エラー", "フルカラー画像以外ではフィルタはかけられません");
  if (t.brightness) ApplyBrightness(image.surface, t.brightnessValue);
  if (t.rgb) ApplyRgb(image.surface, t.red, t.green, t.blue);
}

uint8_t Scale(uint8_t v, int32_t factor) {
  int64_t x = static_cast<int64_t>(v) * factor / 255;
  return static_cast<uint8_t>(std::clamp<int64_t>(x, 0, 255));
}

void ScaleChannels(Surface& s, int32_t blue, int32_t green, int32_t red) {
  uint8_t table[3][256];
  int32_t factors[3] = {blue, green, red};
  for (int c = 0; c < 3; ++c) {
    for (int v = 0; v < 256; ++v) table[c][v] = Scale(static_cast<uint8_t>(v), factors[c]);
  }
  for (int32_t y = 0; y < s.height; ++y) {
    uint8_t* row = s.Row(y);
    for (int32_t x = 0; x < s.width; ++x) {
      for (int c = 0; c < 3; ++c) row[x * 3 + c] = table[c][row[x * 3 + c]];
    }
  }
}

void StartImage(Engine& e, TaggedImage& image, const std::string& tag, const ImageTag& t) {
  image.tag = tag;
  image.loadTime = e.platform ? e.platform->NowMs() : 0;
  image.transMode = t.mode;
  image.keyRed = t.keyRed;
  image.keyGreen = t.keyGreen;
  image.keyBlue = t.keyBlue;
  image.keyIndex = t.keyIndex;
  image.cellCount = t.cells;
  image.cellTime = t.cellTime;
  image.cellTimes = t.cellTimes;
  image.animationMode = t.animationMode;
}

// Returns false when the file was found nowhere (and that was not reported).
bool LoadBody(Engine& e, TaggedImage& image, const ImageTag& t) {
  if (!t.body.empty() && t.body[0] == '>') {
    MakeColourBands(e, image, t.body);
    return true;
  }
  if (e.persistSettings.fileLog) AddFileLog(e, t.body);
  LoadRequest r{t.body, t.mode == kTransAlpha, t.cells};
  if (LoadFile(e, r, image.surface) == Found::Loaded) return true;
  if (e.images.loadingCursor) {
    CreateSurface(image.surface, 2, 2);
    return true;
  }
  if (!e.images.jpegMode && !e.images.noLoadError) ReportMissing(e, t.body);
  return false;
}

}  // namespace

void ApplyBrightness(Surface& s, int32_t n) { ScaleChannels(s, n, n, n); }
void ApplyRgb(Surface& s, int32_t red, int32_t green, int32_t blue) { ScaleChannels(s, blue, green, red); }

void LoadImageTag(Engine& e, TaggedImage& image, const std::string& tag) {
  if (tag == image.tag) {
    image.currentCell = 0;
    return;
  }
  image.Clear();
  ImageTag t = ParseImageTag(e, tag, e.images.defaultTransMode);
  StartImage(e, image, tag, t);
  if (t.placeholder) {
    CreateSurface(image.surface, 1, 1);
    return;
  }
  bool found = true;
  if (t.textSprite) {
    MakeTextSprite(e, image, t);
  } else {
    found = LoadBody(e, image, t);
  }
  // A file that was there but gave no picture; a missing one is quiet here
  // under noloaderror and jpegmode.
  if (found && !image.HasSurface() && !e.images.jpegMode) ReportError(e, "エラー", "ロード失敗!");
  ApplyFilters(e, image, t);
  if (!t.maskFile.empty() && image.HasSurface()) ApplyMaskFile(e, image, t.maskFile);
}

std::string JpegModeTag(const std::string& tag) {
  std::string out = tag;
  size_t dot = out.rfind('.');
  if (dot == std::string::npos) return out;
  for (size_t i = dot + 1; i < out.size(); ++i) {
    char& c = out[i];
    if (c == 'b') c = 'j';
    else if (c == 'B') c = 'J';
    else if (c == 'm') c = 'p';
    else if (c == 'M') c = 'P';
    else if (c == 'p') c = 'g';
    else if (c == 'P') c = 'G';
  }
  return out;
}

void LoadImage(Engine& e, TaggedImage& image, const std::string& tag) {
  LoadImageTag(e, image, tag);
  if (!e.images.jpegMode || image.HasSurface()) return;
  LoadImageTag(e, image, JpegModeTag(tag));
  if (!image.HasSurface()) ReportError(e, "ロードエラー(JPEGMODE)", Sjis(tag));
}

}  // namespace sorv
