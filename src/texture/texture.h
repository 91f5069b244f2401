// Texture drawing for Lua: 64 numbered textures drawn straight onto the
// screen, either by the engine's own routines (software mode, the default)
// or through the svdx drawing library (hardware mode, SVDDirectX).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "graphics/surface.h"
#include "texture/svdx_abi.h"

namespace sorv {

struct Engine;
struct LuaCall;

constexpr int kTextureSlots = 64;
constexpr int kTextureProcedures = 64;

// A texture: 32-bit pixels (blue, green, red, alpha), rows top-down.
struct Texture {
  std::vector<uint8_t> pixels;
  int32_t width = 0, height = 0;
  bool loaded = false;
  const uint8_t* Row(int32_t y) const { return pixels.data() + static_cast<size_t>(y) * width * 4; }
  uint8_t* Row(int32_t y) { return pixels.data() + static_cast<size_t>(y) * width * 4; }
};

// A native function registered by SVDDLL: fills or changes a texture's pixels.
using TextureProcedure = void (*)(void* pixels, int32_t width, int32_t height, const char* parameter);

// The entry points of the drawing library.
struct SvdxApi {
  SvdxInitializeFn Initialize = nullptr;
  SvdxFinalizeFn Finalize = nullptr;
  SvdxClearFn Clear = nullptr;
  SvdxFillFn Fill = nullptr;
  SvdxSceneFn BeginScene = nullptr;
  SvdxSceneFn EndScene = nullptr;
  SvdxSceneFn Present = nullptr;
  SvdxCreateTextureFn CreateTexture = nullptr;
  SvdxDeleteTextureFn DeleteTexture = nullptr;
  SvdxBltFn Blt = nullptr;
  SvdxSpFn Sp = nullptr;
  SvdxSpFn SpAdd = nullptr;
  SvdxSp2Fn Sp2 = nullptr;
  SvdxSp2Fn Sp2Add = nullptr;
  SvdxSp3Fn Sp3 = nullptr;
  SvdxSp3Fn Sp3Add = nullptr;
  SvdxReadScreenFn ReadScreen = nullptr;
};

struct TextureState {
  std::array<Texture, kTextureSlots> slots;
  bool hardware = false;  // SVDDirectX initialised the drawing library
  bool inScene = false;   // between the library's BeginScene and EndScene
  bool offscreen = false; // SVDOffMode: draw into the scene buffer
  SvdxApi api;
  SvdxHost host{};        // what the library presents through
  std::vector<TextureProcedure> procedures;
};

// --- software drawing (texture_draw.cpp) ---

// A 24-bit bottom-up surface as the drawing routines see it.
struct DrawTarget {
  uint8_t* bits = nullptr;
  int32_t width = 0, height = 0, stride = 0;
  uint8_t* TopRow(int32_t y) const { return bits + static_cast<ptrdiff_t>(height - 1 - y) * stride; }
};
DrawTarget TargetOf(Surface& s);

enum class TextureBlend { Copy, Alpha, Add };

// The rectangle of a straight draw after clipping to target and texture;
// false when nothing is left.
struct BltRect {
  int32_t dx, dy, w, h, sx, sy;
};
bool ClipBlt(const DrawTarget& t, const Texture& tex, BltRect& r);

void DrawTexture(const DrawTarget& t, const Texture& tex, BltRect r, TextureBlend blend, int32_t alpha);
// The w x h area at (sx, sy), scaled by xs and ys percent and turned rot
// degrees (counter-clockwise on screen) about the destination centre.
void DrawTextureRotated(const DrawTarget& t, const Texture& tex, int32_t dcx, int32_t dcy, int32_t sx, int32_t sy,
                        int32_t w, int32_t h, int32_t xs, int32_t ys, double rot, int32_t alpha, bool add);
// The w x h area at (sx, sy) onto the quadrilateral whose corners take the
// area's top-left, top-right, bottom-left and bottom-right, in that order.
void DrawTextureQuad(const DrawTarget& t, const Texture& tex, const int32_t corners[8], int32_t sx, int32_t sy,
                     int32_t w, int32_t h, int32_t alpha, bool add);
void FillTarget(const DrawTarget& t, int32_t lx, int32_t ly, int32_t rx, int32_t ry, int32_t r, int32_t g,
                int32_t b);

// --- textures (texture.cpp) ---

// Makes slot n a blank w x h texture; false when the size is not allowed.
bool CreateTexture(Texture& tex, int32_t width, int32_t height);
// A PNG into a texture; false when the data is not a usable PNG.
bool DecodeTexturePng(const uint8_t* data, size_t size, Texture& tex);
// "*w,h[,r,g,b,a]": a colour block. False when the text is not one.
bool ParseColourBlock(const std::string& text, int32_t& w, int32_t& h, uint8_t bgra[4]);

// Releases the drawing library and the textures (the game closes).
void FinalizeTextures(Engine& e);

// The Lua functions.
int SVDDirectX(LuaCall& c);
int SVDLoad(LuaCall& c);
int SVDGetScreen(LuaCall& c);
int SVDGetSize(LuaCall& c);
int SVDDelete(LuaCall& c);
int SVDClear(LuaCall& c);
int SVDFill(LuaCall& c);
int SVDBlt(LuaCall& c);
int SVDSp(LuaCall& c);
int SVDSpAdd(LuaCall& c);
int SVDSp2(LuaCall& c);
int SVDSp2Add(LuaCall& c);
int SVDSp3(LuaCall& c);
int SVDSp3Add(LuaCall& c);
int SVDPresent(LuaCall& c);
int SVDPresentRect(LuaCall& c);
int SVDCopyToBg(LuaCall& c);
int SVDOffMode(LuaCall& c);
int SVDTransition(LuaCall& c);
int SVDTransitionF(LuaCall& c);
int SVDDLL(LuaCall& c);
int SVDCall(LuaCall& c);
int SVDSetSprite(LuaCall& c);

}  // namespace sorv
