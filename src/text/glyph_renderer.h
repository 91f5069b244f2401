// Rasterising characters: face names resolved through fontconfig, outlines
// drawn by FreeType at three times the cell size into a scratch bitmap and
// filtered down to coverage. The coverage is cached, so each (face, size,
// weight, direction, character) is rasterised once.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "text/text_window.h"

namespace sorv {

// What one cached coverage is made from.
struct GlyphKey {
  std::string_view face;  // as the script wrote it (a leading '@' is ignored)
  int32_t cellW = 0;   // output cell in screen pixels
  int32_t cellH = 0;
  bool bold = false;
  bool vertical = false;
  bool plain = false;  // rasterised at cell size with no 3x filter
  uint16_t code = 0;   // one Shift-JIS byte, or lead << 8 | trail
};

// Glyph cells larger than this are drawn as nothing: the scratch is nine
// times the cell, and a game's huge size must not take gigabytes.
constexpr int32_t kMaxGlyphCell = 1024;

class GlyphRenderer {
 public:
  GlyphRenderer();
  ~GlyphRenderer();
  GlyphRenderer(const GlyphRenderer&) = delete;
  GlyphRenderer& operator=(const GlyphRenderer&) = delete;

  // The coverage of a character, from the cache or rasterised now.
  const GlyphCoverage& Coverage(const GlyphKey& key);
  // Rasterisations done so far (the cache's misses).
  uint64_t Rasterised() const { return rasterised_; }
  void ClearCache();
  // The font file a face name resolves to (for tests and the log).
  std::string ResolvedFile(const std::string& face);

 private:
  struct Face;
  Face* FaceFor(const std::string& name);
  uint32_t FaceId(std::string_view name);
  uint64_t PackKey(const GlyphKey& key, uint32_t faceId) const;
  void Rasterise(const GlyphKey& key, Face* face, GlyphCoverage& out);
  bool DrawOutline(Face* face, uint32_t codepoint, const GlyphKey& key, int32_t scale, int32_t shiftX);

  void* library_ = nullptr;  // FT_Library
  std::vector<std::unique_ptr<Face>> faces_;
  std::unordered_map<std::string, uint32_t> faceByName_;
  std::string lastFaceName_;  // most glyphs in a row share one face
  uint32_t lastFaceId_ = UINT32_MAX;
  std::unordered_map<uint64_t, GlyphCoverage> cache_;
  size_t cacheBytes_ = 0;
  std::vector<uint8_t> scratch_;  // 3w x 3h, one byte a pixel, reused
  int32_t scratchW_ = 0, scratchH_ = 0;
  uint64_t rasterised_ = 0;
  GlyphCoverage empty_;
};

// The renderer of an engine, created on first use.
GlyphRenderer& Glyphs(Engine& e);

// One code page 932 character (one or two bytes) as a Unicode code point;
// 0 when it does not decode.
uint32_t DecodeSjisChar(uint16_t code);

}  // namespace sorv
