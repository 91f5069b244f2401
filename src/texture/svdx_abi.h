// The entry points of svdx, the hardware drawing library SVDDirectX binds.
// Ours is built beside the executable over SDL's renderer; the engine calls
// it only through these.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// What stands for the window on Linux: the library draws off screen and
// hands each presented frame (32-bit blue, green, red, unused; rows
// top-down) to `present`, which shows it in the engine's window.
typedef struct SvdxHost {
  uint32_t size;  // sizeof(SvdxHost)
  void* context;
  void (*present)(void* context, const uint8_t* pixels, int32_t pitch, int32_t width, int32_t height);
} SvdxHost;

// 1 when a renderer could be made; 0 leaves the engine drawing in software.
typedef int32_t (*SvdxInitializeFn)(void* window, int32_t width, int32_t height);
typedef void (*SvdxFinalizeFn)(void);
typedef void (*SvdxClearFn)(void);
typedef void (*SvdxFillFn)(int32_t lx, int32_t ly, int32_t rx, int32_t ry, int32_t red, int32_t green, int32_t blue);
typedef void (*SvdxSceneFn)(void);
// Pixels as the engine keeps them: blue, green, red, alpha; rows top-down.
typedef void (*SvdxCreateTextureFn)(int32_t num, int32_t width, int32_t height, const void* pixels);
typedef void (*SvdxDeleteTextureFn)(int32_t num);
typedef void (*SvdxBltFn)(int32_t num, int32_t dx, int32_t dy, int32_t w, int32_t h, int32_t sx, int32_t sy);
// Our additions for the blended draws: Sp and SpAdd, Sp2 and Sp2Add, Sp3
// and Sp3Add take the Lua function's arguments.
typedef void (*SvdxSpFn)(int32_t num, int32_t dx, int32_t dy, int32_t w, int32_t h, int32_t sx, int32_t sy,
                         int32_t alpha);
typedef void (*SvdxSp2Fn)(int32_t num, int32_t dcx, int32_t dcy, int32_t sx, int32_t sy, int32_t w, int32_t h,
                          int32_t xs, int32_t ys, double rot, int32_t alpha);
typedef void (*SvdxSp3Fn)(int32_t num, const int32_t* corners, int32_t sx, int32_t sy, int32_t w, int32_t h,
                          int32_t alpha);
// Also ours: copies the frame as drawn so far (32-bit blue, green, red,
// unused; rows top-down, `pitch` bytes apart) for SVDGetScreen; 1 on success.
typedef int32_t (*SvdxReadScreenFn)(void* pixels, int32_t pitch);

#ifdef __cplusplus
}
#endif
