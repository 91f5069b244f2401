// svdx: the texture drawing library SVDDirectX switches to, over SDL's
// renderer. It draws into a frame of its own with SDL's software renderer
// (no display needed) and hands every presented frame to the engine, which
// shows it in its window. The engine calls the entries only from its main
// thread, so the library's state is plain statics.
#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "texture/svdx_abi.h"

#define SVDX_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr int kSlots = 64;

struct Slot {
  SDL_Texture* texture = nullptr;
  int32_t width = 0, height = 0;
  std::vector<uint8_t> pixels;      // the engine's copy, for the blended form
  SDL_Texture* blended = nullptr;   // the form alpha drawing uses, for one opacity
  int32_t blendedAlpha = -1;
  SDL_Texture* padded = nullptr;    // the form mapped drawing uses (see Mapped)
  int32_t paddedKey = -1;
};

SvdxHost gHost{};
SDL_Surface* gFrame = nullptr;
SDL_Renderer* gRenderer = nullptr;
Slot gSlots[kSlots];
SDL_BlendMode gAddMode = SDL_BLENDMODE_ADD;

Uint8 Level(int32_t v) { return static_cast<Uint8>(std::clamp(v, 0, 255)); }

Slot* SlotOf(int32_t num) {
  if (num < 0 || num >= kSlots || !gRenderer || !gSlots[num].texture) return nullptr;
  return &gSlots[num];
}

void Release(Slot& s) {
  if (s.texture) SDL_DestroyTexture(s.texture);
  if (s.blended) SDL_DestroyTexture(s.blended);
  if (s.padded) SDL_DestroyTexture(s.padded);
  s = Slot{};
}

// The texture alpha drawing at `alpha` uses. The renderer blends as
// floor(s a / 255) + floor((255 - a) d / 255), one level below the engine's
// t + (s - t) a / 255 at worst and two in some cases. With the opacity taken
// into each pixel's alpha, and each colour raised to the least value whose
// product with that alpha gives ceil(s a / 255), both results lie within one
// level of the exact blend: the picture is the engine's within one level.
// The pixels of a form: with `alpha` >= 0 adjusted for alpha drawing at
// that opacity; `pad` adds a transparent column and row.
std::vector<uint8_t> FormPixels(const Slot& s, int32_t alpha, int pad) {
  int32_t w = s.width + pad, h = s.height + pad;
  std::vector<uint8_t> out(static_cast<size_t>(w) * static_cast<size_t>(h) * 4, 0);
  for (int32_t y = 0; y < s.height; ++y) {
    const uint8_t* in = s.pixels.data() + static_cast<size_t>(y) * s.width * 4;
    uint8_t* o = out.data() + static_cast<size_t>(y) * w * 4;
    if (alpha < 0) {
      std::memcpy(o, in, static_cast<size_t>(s.width) * 4);
      continue;
    }
    for (int32_t x = 0; x < s.width; ++x, in += 4, o += 4) {
      int32_t a = alpha * in[3] / 255;
      for (int c = 0; c < 3; ++c) {
        int32_t v = in[c];
        if (a > 0 && a < 255) {
          int32_t want = (v * a + 254) / 255;  // ceil(v a / 255)
          v = (255 * want + a - 1) / a;
        }
        o[c] = static_cast<uint8_t>(v);
      }
      o[3] = static_cast<uint8_t>(a);
    }
  }
  return out;
}

SDL_Texture* MakeForm(SDL_Texture*& cache, const Slot& s, int32_t alpha, int pad) {
  if (!cache) {
    cache = SDL_CreateTexture(gRenderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC, s.width + pad,
                              s.height + pad);
    if (!cache) return nullptr;
  }
  std::vector<uint8_t> px = FormPixels(s, alpha, pad);
  SDL_UpdateTexture(cache, nullptr, px.data(), (s.width + pad) * 4);
  return cache;
}

// The texture alpha drawing at `alpha` uses. The renderer blends as
// floor(s a / 255) + floor((255 - a) d / 255), one level below the engine's
// t + (s - t) a / 255 at worst and two in some cases. With the opacity taken
// into each pixel's alpha, and each colour raised to the least value whose
// product with that alpha gives ceil(s a / 255), both results lie within one
// level of the exact blend: the picture is the engine's within one level.
SDL_Texture* BlendedForm(Slot& s, int32_t alpha) {
  if (s.blended && s.blendedAlpha == alpha) return s.blended;
  if (!MakeForm(s.blended, s, alpha, 0)) return nullptr;
  s.blendedAlpha = alpha;
  return s.blended;
}

// The texture and modulation a draw of `mode` at `alpha` uses; `padded`
// for mapped drawing.
SDL_Texture* Prepared(Slot& s, SDL_BlendMode mode, int32_t alpha, bool padded = false) {
  bool blend = mode == SDL_BLENDMODE_BLEND;
  SDL_Texture* t = nullptr;
  if (padded) {
    int32_t key = blend ? Level(alpha) : 256;
    t = s.padded && s.paddedKey == key ? s.padded : MakeForm(s.padded, s, blend ? Level(alpha) : -1, 1);
    s.paddedKey = t ? key : -1;
  } else {
    t = blend ? BlendedForm(s, Level(alpha)) : s.texture;
  }
  if (!t) return nullptr;
  SDL_SetTextureBlendMode(t, mode);
  SDL_SetTextureAlphaMod(t, blend ? 255 : Level(alpha));
  return t;
}

// The engine's clipping of a straight draw: a negative destination corner
// moves the source corner on, the rest is cut to frame and texture.
bool Clip(const Slot& s, int32_t& dx, int32_t& dy, int32_t& w, int32_t& h, int32_t& sx, int32_t& sy) {
  int64_t x = dx, y = dy, ww = w, hh = h, u = sx, v = sy;
  if (x >= gFrame->w || y >= gFrame->h || u >= s.width || v >= s.height) return false;
  if (x < 0) ww += x, u -= x, x = 0;
  if (y < 0) hh += y, v -= y, y = 0;
  if (u < 0) ww += u, x -= u, u = 0;
  if (v < 0) hh += v, y -= v, v = 0;
  ww = std::min({ww, int64_t{gFrame->w} - x, int64_t{s.width} - u});
  hh = std::min({hh, int64_t{gFrame->h} - y, int64_t{s.height} - v});
  if (ww <= 0 || hh <= 0) return false;
  dx = static_cast<int32_t>(x), dy = static_cast<int32_t>(y), w = static_cast<int32_t>(ww);
  h = static_cast<int32_t>(hh), sx = static_cast<int32_t>(u), sy = static_cast<int32_t>(v);
  return true;
}

void Straight(int32_t num, int32_t dx, int32_t dy, int32_t w, int32_t h, int32_t sx, int32_t sy, SDL_BlendMode mode,
              int32_t alpha) {
  Slot* s = SlotOf(num);
  if (!s || !Clip(*s, dx, dy, w, h, sx, sy)) return;
  SDL_Texture* t = Prepared(*s, mode, alpha);
  if (!t) return;
  SDL_Rect src{sx, sy, w, h}, dst{dx, dy, w, h};
  SDL_RenderCopy(gRenderer, t, &src, &dst);
}

// The part of an area that lies in the texture; false when none does.
bool ClipArea(const Slot& s, int32_t sx, int32_t sy, int32_t w, int32_t h, SDL_Rect& area) {
  int32_t u0 = std::max(sx, 0), v0 = std::max(sy, 0);
  int32_t u1 = static_cast<int32_t>(std::min<int64_t>(int64_t{sx} + w, s.width));
  int32_t v1 = static_cast<int32_t>(std::min<int64_t>(int64_t{sy} + h, s.height));
  if (u1 <= u0 || v1 <= v0) return false;
  area = SDL_Rect{u0, v0, u1 - u0, v1 - v0};
  return true;
}

void Turned(int32_t num, int32_t dcx, int32_t dcy, int32_t sx, int32_t sy, int32_t w, int32_t h, int32_t xs,
            int32_t ys, double rot, int32_t alpha, SDL_BlendMode mode) {
  Slot* s = SlotOf(num);
  SDL_Rect area;
  if (!s || xs == 0 || ys == 0 || w <= 0 || h <= 0 || !ClipArea(*s, sx, sy, w, h, area)) return;
  double fx = xs / 100.0, fy = ys / 100.0;
  // Where the centre of the part in the texture lands: its offset from the
  // area's centre, scaled and turned (counter-clockwise on screen).
  double ou = (area.x + area.w / 2.0 - sx - w / 2.0) * fx, ov = (area.y + area.h / 2.0 - sy - h / 2.0) * fy;
  double theta = rot * (3.1415926536 / 180.0), cs = std::cos(theta), sn = std::sin(theta);
  double cx = dcx + ou * cs + ov * sn, cy = dcy - ou * sn + ov * cs;
  double dw = area.w * std::fabs(fx), dh = area.h * std::fabs(fy);
  SDL_FRect dst{static_cast<float>(cx - dw / 2), static_cast<float>(cy - dh / 2), static_cast<float>(dw),
                static_cast<float>(dh)};
  int flip = (xs < 0 ? SDL_FLIP_HORIZONTAL : 0) | (ys < 0 ? SDL_FLIP_VERTICAL : 0);
  SDL_Texture* t = Prepared(*s, mode, alpha);
  if (!t) return;
  // SDL turns clockwise.
  SDL_RenderCopyExF(gRenderer, t, &area, &dst, -rot, nullptr, static_cast<SDL_RendererFlip>(flip));
}

// One triangle of a mapped draw: destination corners and the area points
// they take, as texture coordinates for the renderer.
// One triangle of a mapped draw: destination corners and the texture
// points they take. The renderer takes texel floor(uv (size - 1)) of a
// texture at a pixel's centre, the engine texel floor(point): drawn from the
// form with one more column and row, uv = point / size gives the same texel.
void Triangle(const Slot& s, const double d[3][2], const double a[3][2], SDL_Vertex out[3]) {
  for (int i = 0; i < 3; ++i) {
    out[i].position.x = static_cast<float>(d[i][0]);
    out[i].position.y = static_cast<float>(d[i][1]);
    out[i].color = SDL_Color{255, 255, 255, 255};
    out[i].tex_coord.x = static_cast<float>(a[i][0] / s.width);
    out[i].tex_coord.y = static_cast<float>(a[i][1] / s.height);
  }
}

void Mapped(int32_t num, const int32_t* c, int32_t sx, int32_t sy, int32_t w, int32_t h, int32_t alpha,
            SDL_BlendMode mode) {
  Slot* s = SlotOf(num);
  SDL_Rect area;
  if (!s || !c || w <= 0 || h <= 0 || !ClipArea(*s, sx, sy, w, h, area)) return;
  // Corners of the part inside the texture, placed bilinearly between the
  // quadrilateral's corners.
  auto at = [&](double u, double v, double* p) {
    double a = (u - sx) / w, b = (v - sy) / h;
    p[0] = (1 - a) * (1 - b) * c[0] + a * (1 - b) * c[2] + (1 - a) * b * c[4] + a * b * c[6];
    p[1] = (1 - a) * (1 - b) * c[1] + a * (1 - b) * c[3] + (1 - a) * b * c[5] + a * b * c[7];
  };
  double u0 = area.x, u1 = area.x + area.w, v0 = area.y, v1 = area.y + area.h;
  double tl[2], tr[2], bl[2], br[2];
  at(u0, v0, tl), at(u1, v0, tr), at(u0, v1, bl), at(u1, v1, br);
  // The halves the engine splits the area into: the top-left corner's and
  // the bottom-right corner's, along the diagonal between the other two.
  const double d1[3][2] = {{tl[0], tl[1]}, {tr[0], tr[1]}, {bl[0], bl[1]}};
  const double a1[3][2] = {{u0, v0}, {u1, v0}, {u0, v1}};
  const double d2[3][2] = {{br[0], br[1]}, {bl[0], bl[1]}, {tr[0], tr[1]}};
  const double a2[3][2] = {{u1, v1}, {u0, v1}, {u1, v0}};
  SDL_Vertex v[6];
  Triangle(*s, d1, a1, v);
  Triangle(*s, d2, a2, v + 3);
  SDL_Texture* t = Prepared(*s, mode, alpha, true);
  if (!t) return;
  SDL_RenderGeometry(gRenderer, t, v, 6, nullptr, 0);
}

}  // namespace

SVDX_EXPORT int32_t Initialize(void* window, int32_t width, int32_t height) {
  const SvdxHost* host = static_cast<const SvdxHost*>(window);
  if (!host || host->size < sizeof(SvdxHost) || !host->present || width <= 0 || height <= 0) return 0;
  if (gRenderer) return 1;
  gHost = *host;
  // Nearest texels, as the engine's own drawing samples them.
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "0");
  gFrame = SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, SDL_PIXELFORMAT_ARGB8888);
  if (!gFrame) return 0;
  gRenderer = SDL_CreateSoftwareRenderer(gFrame);
  if (!gRenderer) {
    SDL_FreeSurface(gFrame);
    gFrame = nullptr;
    return 0;
  }
  // Additive drawing: colour times alpha added to the frame. Renderers that
  // cannot take the composed mode have it built in.
  SDL_BlendMode composed = SDL_ComposeCustomBlendMode(SDL_BLENDFACTOR_SRC_ALPHA, SDL_BLENDFACTOR_ONE,
                                                      SDL_BLENDOPERATION_ADD, SDL_BLENDFACTOR_ZERO,
                                                      SDL_BLENDFACTOR_ONE, SDL_BLENDOPERATION_ADD);
  SDL_Texture* probe = SDL_CreateTexture(gRenderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC, 1, 1);
  gAddMode = probe && SDL_SetTextureBlendMode(probe, composed) == 0 ? composed : SDL_BLENDMODE_ADD;
  if (probe) SDL_DestroyTexture(probe);
  SDL_SetRenderDrawColor(gRenderer, 0, 0, 0, 255);
  SDL_RenderClear(gRenderer);
  return 1;
}

SVDX_EXPORT void Finalize(void) {
  for (Slot& s : gSlots) Release(s);
  if (gRenderer) SDL_DestroyRenderer(gRenderer);
  if (gFrame) SDL_FreeSurface(gFrame);
  gRenderer = nullptr;
  gFrame = nullptr;
  gHost = SvdxHost{};
}

SVDX_EXPORT void Clear(void) {
  if (!gRenderer) return;
  SDL_SetRenderDrawBlendMode(gRenderer, SDL_BLENDMODE_NONE);
  SDL_SetRenderDrawColor(gRenderer, 0, 0, 0, 255);
  SDL_RenderClear(gRenderer);
}

SVDX_EXPORT void Fill(int32_t lx, int32_t ly, int32_t rx, int32_t ry, int32_t red, int32_t green, int32_t blue) {
  if (!gRenderer || rx <= lx || ry <= ly) return;
  SDL_SetRenderDrawBlendMode(gRenderer, SDL_BLENDMODE_NONE);
  SDL_SetRenderDrawColor(gRenderer, Level(red), Level(green), Level(blue), 255);
  SDL_Rect r{lx, ly, static_cast<int>(std::min<int64_t>(int64_t{rx} - lx, INT32_MAX)),
             static_cast<int>(std::min<int64_t>(int64_t{ry} - ly, INT32_MAX))};
  SDL_RenderFillRect(gRenderer, &r);
}

SVDX_EXPORT void BeginScene(void) {}
SVDX_EXPORT void EndScene(void) {}

SVDX_EXPORT void Present(void) {
  if (!gRenderer) return;
  SDL_RenderPresent(gRenderer);
  if (SDL_MUSTLOCK(gFrame)) SDL_LockSurface(gFrame);
  gHost.present(gHost.context, static_cast<const uint8_t*>(gFrame->pixels), gFrame->pitch, gFrame->w, gFrame->h);
  if (SDL_MUSTLOCK(gFrame)) SDL_UnlockSurface(gFrame);
}

SVDX_EXPORT void CreateTexture(int32_t num, int32_t width, int32_t height, const void* pixels) {
  if (num < 0 || num >= kSlots || !gRenderer || width <= 0 || height <= 0 || !pixels) return;
  Release(gSlots[num]);
  SDL_Texture* t = SDL_CreateTexture(gRenderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC, width, height);
  if (!t) return;
  SDL_UpdateTexture(t, nullptr, pixels, width * 4);
  Slot& s = gSlots[num];
  s.texture = t, s.width = width, s.height = height;
  s.pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
  std::memcpy(s.pixels.data(), pixels, s.pixels.size());
}

SVDX_EXPORT void DeleteTexture(int32_t num) {
  if (num >= 0 && num < kSlots) Release(gSlots[num]);
}

SVDX_EXPORT void Blt(int32_t num, int32_t dx, int32_t dy, int32_t w, int32_t h, int32_t sx, int32_t sy) {
  Straight(num, dx, dy, w, h, sx, sy, SDL_BLENDMODE_NONE, 255);
}

SVDX_EXPORT void Sp(int32_t num, int32_t dx, int32_t dy, int32_t w, int32_t h, int32_t sx, int32_t sy, int32_t alpha) {
  Straight(num, dx, dy, w, h, sx, sy, SDL_BLENDMODE_BLEND, alpha);
}

SVDX_EXPORT void SpAdd(int32_t num, int32_t dx, int32_t dy, int32_t w, int32_t h, int32_t sx, int32_t sy,
                       int32_t alpha) {
  Straight(num, dx, dy, w, h, sx, sy, gAddMode, alpha);
}

SVDX_EXPORT void Sp2(int32_t num, int32_t dcx, int32_t dcy, int32_t sx, int32_t sy, int32_t w, int32_t h, int32_t xs,
                     int32_t ys, double rot, int32_t alpha) {
  Turned(num, dcx, dcy, sx, sy, w, h, xs, ys, rot, alpha, SDL_BLENDMODE_BLEND);
}

SVDX_EXPORT void Sp2Add(int32_t num, int32_t dcx, int32_t dcy, int32_t sx, int32_t sy, int32_t w, int32_t h,
                        int32_t xs, int32_t ys, double rot, int32_t alpha) {
  Turned(num, dcx, dcy, sx, sy, w, h, xs, ys, rot, alpha, gAddMode);
}

SVDX_EXPORT void Sp3(int32_t num, const int32_t* corners, int32_t sx, int32_t sy, int32_t w, int32_t h,
                     int32_t alpha) {
  Mapped(num, corners, sx, sy, w, h, alpha, SDL_BLENDMODE_BLEND);
}

SVDX_EXPORT void Sp3Add(int32_t num, const int32_t* corners, int32_t sx, int32_t sy, int32_t w, int32_t h,
                        int32_t alpha) {
  Mapped(num, corners, sx, sy, w, h, alpha, gAddMode);
}

SVDX_EXPORT int32_t ReadScreen(void* pixels, int32_t pitch) {
  if (!gRenderer || !pixels) return 0;
  return SDL_RenderReadPixels(gRenderer, nullptr, SDL_PIXELFORMAT_ARGB8888, pixels, pitch) == 0 ? 1 : 0;
}
