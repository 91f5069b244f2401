// Face lookup through fontconfig, rasterising through FreeType, and the
// coverage cache.
#include "text/glyph_renderer.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <algorithm>
#include <cstring>

#include "platform/encoding.h"
#include "shell/engine.h"

namespace sorv {

struct GlyphRenderer::Face {
  std::string file;
  int index = 0;
  FT_Face ft = nullptr;
};

namespace {

// The cache is dropped whole past this size; a game cycling through many
// sizes and faces must not grow it without end.
constexpr size_t kMaxCacheBytes = 64u << 20;

// Japanese gothic face used when the named face is missing or has no
// Japanese characters: fontconfig answers any name with some face, often one
// without a single kana.
constexpr const char* kFallbackPattern = "IPAGothic:lang=ja";

bool CoversJapanese(FcPattern* match) {
  FcLangSet* langs = nullptr;
  if (FcPatternGetLangSet(match, FC_LANG, 0, &langs) != FcResultMatch) return false;
  return FcLangSetHasLang(langs, reinterpret_cast<const FcChar8*>("ja")) == FcLangEqual;
}

// The best match of a pattern: its file and face index, when it covers
// Japanese (or when `anyFace` accepts whatever is there).
bool MatchPattern(FcPattern* pattern, bool anyFace, std::string& file, int& index) {
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  bool ok = false;
  if (match && (anyFace || CoversJapanese(match))) {
    FcChar8* path = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch && path) {
      file = reinterpret_cast<const char*>(path);
      if (FcPatternGetInteger(match, FC_INDEX, 0, &index) != FcResultMatch) index = 0;
      ok = true;
    }
  }
  if (match) FcPatternDestroy(match);
  return ok;
}

bool ResolveFace(const std::string& utf8Name, std::string& file, int& index) {
  if (!utf8Name.empty()) {
    FcPattern* p = FcPatternCreate();
    FcPatternAddString(p, FC_FAMILY, reinterpret_cast<const FcChar8*>(utf8Name.c_str()));
    bool ok = MatchPattern(p, false, file, index);
    FcPatternDestroy(p);
    if (ok) return true;
  }
  for (bool anyFace : {false, true}) {
    FcPattern* p = FcNameParse(reinterpret_cast<const FcChar8*>(kFallbackPattern));
    if (!p) return false;
    bool ok = MatchPattern(p, anyFace, file, index);
    FcPatternDestroy(p);
    if (ok) return true;
  }
  return false;
}

// Decodes the first UTF-8 sequence of `s`.
uint32_t FirstCodepoint(const std::string& s) {
  if (s.empty()) return 0;
  auto b = [&](size_t i) { return static_cast<uint32_t>(static_cast<unsigned char>(s[i])); };
  uint32_t c = b(0);
  if (c < 0x80) return c;
  if (c >= 0xE0 && c < 0xF0 && s.size() >= 3) return ((c & 0x0F) << 12) | ((b(1) & 0x3F) << 6) | (b(2) & 0x3F);
  if (c >= 0xC0 && c < 0xE0 && s.size() >= 2) return ((c & 0x1F) << 6) | (b(1) & 0x3F);
  if (c >= 0xF0 && s.size() >= 4) {
    return ((c & 0x07) << 18) | ((b(1) & 0x3F) << 12) | ((b(2) & 0x3F) << 6) | (b(3) & 0x3F);
  }
  return 0;
}

// Vertical writing turns the punctuation that sits differently in a column
// into its vertical form, when the face has one.
uint32_t VerticalForm(uint32_t cp) {
  switch (cp) {
    case 0x3001: return 0xFE11;  // 、
    case 0x3002: return 0xFE12;  // 。
    case 0xFF08: return 0xFE35;  // （
    case 0xFF09: return 0xFE36;  // ）
    case 0x300C: return 0xFE41;  // 「
    case 0x300D: return 0xFE42;  // 」
    case 0x300E: return 0xFE43;  // 『
    case 0x300F: return 0xFE44;  // 』
    case 0x2026: return 0xFE19;  // …
    default: return cp;
  }
}

}  // namespace

uint32_t DecodeSjisChar(uint16_t code) {
  char bytes[2];
  size_t n = 0;
  if (code > 0xFF) bytes[n++] = static_cast<char>(code >> 8);
  bytes[n++] = static_cast<char>(code & 0xFF);
  uint32_t cp = FirstCodepoint(platform::SjisToUtf8(std::string_view(bytes, n)));
  return cp == 0xFFFD ? 0 : cp;
}

GlyphRenderer::GlyphRenderer() {
  FT_Library lib = nullptr;
  if (FT_Init_FreeType(&lib) == 0) library_ = lib;
  FcInit();
}

GlyphRenderer::~GlyphRenderer() {
  for (auto& f : faces_) {
    if (f->ft) FT_Done_Face(f->ft);
  }
  if (library_) FT_Done_FreeType(static_cast<FT_Library>(library_));
}

void GlyphRenderer::ClearCache() {
  cache_.clear();
  cacheBytes_ = 0;
}

GlyphRenderer::Face* GlyphRenderer::FaceFor(const std::string& name) {
  auto it = faceByName_.find(name);
  if (it != faceByName_.end()) return faces_[it->second].get();
  auto face = std::make_unique<Face>();
  std::string bare = (!name.empty() && name[0] == '@') ? name.substr(1) : name;
  std::string utf8 = platform::SjisToUtf8(bare);
  if (ResolveFace(utf8, face->file, face->index) && library_) {
    // Two names resolving to one file share the opened face.
    for (size_t i = 0; i < faces_.size(); ++i) {
      if (faces_[i]->file == face->file && faces_[i]->index == face->index) {
        faceByName_[name] = static_cast<uint32_t>(i);
        return faces_[i].get();
      }
    }
    if (FT_New_Face(static_cast<FT_Library>(library_), face->file.c_str(), face->index, &face->ft) != 0) {
      face->ft = nullptr;
    }
  }
  faces_.push_back(std::move(face));
  faceByName_[name] = static_cast<uint32_t>(faces_.size() - 1);
  return faces_.back().get();
}

uint32_t GlyphRenderer::FaceId(std::string_view name) {
  if (lastFaceId_ != UINT32_MAX && name == lastFaceName_) return lastFaceId_;
  lastFaceName_.assign(name);
  FaceFor(lastFaceName_);
  lastFaceId_ = faceByName_[lastFaceName_];
  return lastFaceId_;
}

std::string GlyphRenderer::ResolvedFile(const std::string& face) {
  Face* f = FaceFor(face);
  return f->ft ? f->file : std::string();
}

uint64_t GlyphRenderer::PackKey(const GlyphKey& k, uint32_t faceId) const {
  uint64_t v = faceId & 0xFFF;
  v = (v << 11) | static_cast<uint64_t>(k.cellW & 0x7FF);
  v = (v << 11) | static_cast<uint64_t>(k.cellH & 0x7FF);
  v = (v << 3) | (k.bold ? 4u : 0u) | (k.vertical ? 2u : 0u) | (k.plain ? 1u : 0u);
  return (v << 16) | k.code;
}

const GlyphCoverage& GlyphRenderer::Coverage(const GlyphKey& key) {
  if (key.cellW <= 0 || key.cellH <= 0 || key.cellW > kMaxGlyphCell || key.cellH > kMaxGlyphCell) return empty_;
  uint32_t faceId = FaceId(key.face);
  uint64_t packed = PackKey(key, faceId);
  auto it = cache_.find(packed);
  if (it != cache_.end()) return it->second;
  if (cacheBytes_ > kMaxCacheBytes) ClearCache();
  GlyphCoverage& out = cache_[packed];
  Rasterise(key, faces_[faceId].get(), out);
  cacheBytes_ += out.values.size() + 64;
  ++rasterised_;
  return out;
}

// Draws the outline of one character into the scratch with its pen at
// `shiftX`; coverage adds up as the brighter of what is there and the new
// pass, so the second bold pass thickens the first rather than erasing it.
bool GlyphRenderer::DrawOutline(Face* face, uint32_t cp, const GlyphKey& key, int32_t scale, int32_t shiftX) {
  FT_Face ft = face->ft;
  bool half = key.code <= 0xFF;
  int32_t emW = scale * key.cellW * (half ? 2 : 1), emH = scale * key.cellH;
  if (FT_Set_Pixel_Sizes(ft, static_cast<FT_UInt>(emW), static_cast<FT_UInt>(emH)) != 0) return false;
  FT_UInt index = 0;
  if (key.vertical) index = FT_Get_Char_Index(ft, VerticalForm(cp));
  if (index == 0) index = FT_Get_Char_Index(ft, cp);
  if (index == 0) return false;
  if (FT_Load_Glyph(ft, index, FT_LOAD_NO_BITMAP | FT_LOAD_NO_HINTING) != 0) return false;
  FT_GlyphSlot slot = ft->glyph;
  if (key.bold && slot->format == FT_GLYPH_FORMAT_OUTLINE) {
    // A face without a bold member is thickened sideways, as a weight-700
    // request on a regular face looks.
    FT_Outline_EmboldenXY(&slot->outline, std::max<FT_Pos>(64, emH * 2), 0);
  }
  if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) return false;
  const FT_Bitmap& bm = slot->bitmap;
  int32_t ascender = static_cast<int32_t>((ft->size->metrics.ascender + 32) >> 6);
  int32_t ox = shiftX + slot->bitmap_left, oy = ascender - slot->bitmap_top;
  for (uint32_t r = 0; r < bm.rows; ++r) {
    int32_t sy = oy + static_cast<int32_t>(r);
    if (sy < 0 || sy >= scratchH_) continue;
    const uint8_t* src = bm.pitch >= 0 ? bm.buffer + r * static_cast<uint32_t>(bm.pitch)
                                       : bm.buffer + (bm.rows - 1 - r) * static_cast<uint32_t>(-bm.pitch);
    uint8_t* dst = scratch_.data() + static_cast<size_t>(sy) * static_cast<size_t>(scratchW_);
    for (uint32_t c = 0; c < bm.width; ++c) {
      int32_t sx = ox + static_cast<int32_t>(c);
      if (sx < 0 || sx >= scratchW_) continue;
      dst[sx] = std::max(dst[sx], src[c]);
    }
  }
  return true;
}

void GlyphRenderer::Rasterise(const GlyphKey& key, Face* face, GlyphCoverage& out) {
  out.w = key.cellW;
  out.h = key.cellH;
  out.values.assign(static_cast<size_t>(out.w) * static_cast<size_t>(out.h), 0);
  if (!face->ft) return;
  uint32_t cp = DecodeSjisChar(key.code);
  if (cp == 0 || cp == ' ' || cp == 0x3000) return;
  int32_t scale = key.plain ? 1 : 3;
  scratchW_ = scale * key.cellW;
  scratchH_ = scale * key.cellH;
  scratch_.assign(static_cast<size_t>(scratchW_) * static_cast<size_t>(scratchH_), 0);
  if (!DrawOutline(face, cp, key, scale, 0)) return;
  if (key.bold) DrawOutline(face, cp, key, scale, 1);
  if (key.plain) {
    out.values = scratch_;
    return;
  }
  FilterScratch(scratch_.data(), scratchW_, out.w, out.h, out.values.data());
}

GlyphRenderer& Glyphs(Engine& e) {
  if (!e.textWindow.glyphs) e.textWindow.glyphs = std::make_shared<GlyphRenderer>();
  return *e.textWindow.glyphs;
}

}  // namespace sorv
