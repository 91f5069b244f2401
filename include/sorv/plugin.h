/* sorv plug-in interface.
 *
 * Games extend sorv with native shared libraries of three kinds:
 *
 *   - command plug-ins, run by the script command `exec_dll "lib.dll/params"`,
 *     export SorvPlugInMain;
 *   - layer plug-ins, set up by `setlayer n, interval, "lib.dll/params"`,
 *     export any of Initialize, Finalize, Timer, Draw and Message, and draw
 *     where a sprite loaded with the tag "*n" stands in the sprite order;
 *   - effect plug-ins, named by effect type 99 as "lib.dll/params", export
 *     Effect.
 *
 * A library is named as the game wrote it; "lib.dll" is looked for as
 * "lib.so" first, then as written, always inside the game directory (a name
 * that leaves it is refused). Build plug-ins as position-independent shared
 * libraries and leave the engine's functions below undefined: they resolve
 * against the running `sorv` executable, which exports them.
 *
 *   cc -shared -fPIC -I/usr/include myplugin.c -o myplugin.so
 *
 * Every function is called on the engine's one thread, from inside a plug-in
 * call; none may be called from other threads or after the call returned
 * from a thread the plug-in started.
 *
 * Pictures are 24-bit, blue-green-red, rows bottom-up (the first row in
 * memory is the bottom line), each row padded to a multiple of 4 bytes:
 * stride = (width * 3 + 3) & ~3.
 *
 * What differs from the engine's Windows-era interface:
 *   - Window handles and device contexts are opaque handles. SorvGetWindow
 *     gives a token for the game window that nothing but the engine can use.
 *     SorvGetSrcDC and SorvGetDestDC give handles to the engine's surfaces;
 *     SorvGetDCBits turns one into its pixels. Only handles from these two
 *     functions are accepted by BltBGTo and BltSpriteTo; any other handle is
 *     ignored.
 *   - The instance handle passed to SorvPlugInMain is the library's own
 *     handle as dlopen gave it.
 *   - The DIB record holds a pointer, so it is 24 bytes on 64-bit systems
 *     (16 on 32-bit ones); use the struct, never a byte count.
 *   - Return strings may hold SORV_RETURN_STRING_SIZE - 1 bytes; the engine
 *     cuts off anything longer. Face names from SorvGetFontType are at most
 *     SORV_FACE_NAME_SIZE - 1 bytes.
 *   - A script error raised by a function below (for example a command of
 *     SorvExecWord that fails) ends the function at once; the engine reports
 *     it as soon as the plug-in returns, and every later call into the engine
 *     during that plug-in call does nothing.
 *   - SorvGetFontType knows no installed-font list, so `index` is left as
 *     it was.
 */
#ifndef SORV_PLUGIN_H
#define SORV_PLUGIN_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define SORV_RETURN_STRING_SIZE 8192
#define SORV_FACE_NAME_SIZE 32

typedef struct SorvWindowTag* SorvWindow; /* opaque */
typedef struct SorvDCTag* SorvDC;         /* opaque: one of the engine's surfaces */

/* A picture: width, height, colour-table entries (0 for the engine's 24-bit
 * pictures) and the pixel rows in the layout above. */
typedef struct SorvDIB {
  int32_t width;
  int32_t height;
  int32_t colours;
  uint8_t* bits;
} SorvDIB;

/* Left, top, right, bottom, counted from the top-left; right and bottom are
 * exclusive. */
typedef struct SorvRect {
  int32_t left, top, right, bottom;
} SorvRect;

/* --- functions the engine exports --------------------------------------- */

SorvWindow SorvGetWindow(void);
void SorvGetWindowSize(int32_t* width, int32_t* height);
/* The source surface is the composed scene; the destination surface is what
 * the window shows, and what the Draw functions draw into. */
SorvDC SorvGetSrcDC(void);
SorvDC SorvGetDestDC(void);
/* Fills `out` with the surface's size and its pixels (no copy; valid until
 * the plug-in call returns). Returns 0 and zeroes `out` for a handle that
 * is not one of the engine's. */
int32_t SorvGetDCBits(SorvDC dc, SorvDIB* out);
/* Composes the whole scene into the source surface again. */
void SorvUpdateSrcDC(void);
/* Shows the destination surface in the window. */
void SorvRefreshWindow(void);
/* Handles pending window events; non-zero once the game is closing. */
int32_t SorvDoEvents(void);
/* Whether the key of that name ("SPACE", "A", "ESC", ...) is held. */
int32_t SorvGetKey(const char* keyName);
/* Pointer position in the window, or -1, -1 when outside or unfocused. */
void SorvGetMouse(int32_t* x, int32_t* y);
/* "close", "end", "reset", "full", "window", "automode", "skip", "skipoff". */
void SorvSystemCall(const char* name);
/* Runs one script command line; returns 0. */
int32_t SorvExecWord(const char* command);
/* `name` must hold SORV_FACE_NAME_SIZE bytes. */
void SorvGetFontType(char* name, int32_t* index);

/* Loads an image tag ("bg.png", ":a;face.bmp", ...) into a new block; on
 * failure every field is zero. Free it with FreeDIB. */
void AllocDIB(SorvDIB* out, const char* imageTag);
void FreeDIB(SorvDIB* dib);
/* The sprite's own pixels (all cells side by side; no copy). An empty
 * sprite sets only width to 0. */
void GetSpriteDIB(int32_t sprite, SorvDIB* out);
int32_t GetSpriteCellNum(int32_t sprite);
int32_t GetSpriteData(int32_t sprite, int32_t* cellWidth, int32_t* height, int32_t* cells);

void DrawClear(void);
void DrawFill(int32_t red, int32_t green, int32_t blue);
void DrawBG(void);
/* Scale in percent, rotation in degrees, about the centre (cx, cy). */
void DrawBG2(int32_t cx, int32_t cy, int32_t xScale, int32_t yScale, int32_t rotation);
void DrawSP(int32_t sprite, int32_t cell, int32_t alpha, int32_t x, int32_t y);
void DrawSP2(int32_t sprite, int32_t cell, int32_t alpha, int32_t cx, int32_t cy, int32_t xScale, int32_t yScale,
             int32_t rotation);
/* Draws into the source surface. */
void RenderSprite(int32_t sprite, int32_t cell, int32_t x, int32_t y, int32_t alpha);
void BltBGTo(SorvDC dc);
void BltSpriteTo(SorvDC dc, int32_t sprite);

/* Where a file lies in the game's archives: `archivePath` must hold 256
 * bytes. Non-zero when found. */
int32_t SV2GetFile(const char* fileName, char* archivePath, int32_t* offset, int32_t* size);
int32_t SVAGetFile(const char* fileName, int32_t* offset, int32_t* size, char* archivePath);

/* --- entries plug-ins export -------------------------------------------- */

/* Command plug-in. `retInt` and `retString` (SORV_RETURN_STRING_SIZE bytes)
 * hold what `getret` reads afterwards; a result of 1 redraws the window. */
typedef int32_t (*SorvPlugInMainFn)(void* instance, SorvWindow window, const char* parameters, int32_t* retInt,
                                    char* retString);

/* Layer plug-in. Initialize runs when the *define block ends; Timer every
 * `interval` ms while a sprite shows the layer (non-zero: redraw the
 * screen); Draw paints the layer into the scene being composed, limited to
 * `area`; Message answers `layermessage` (non-zero: redraw the screen). */
typedef void (*SorvLayerInitializeFn)(const char* parameters);
typedef void (*SorvLayerFinalizeFn)(void);
typedef int32_t (*SorvLayerTimerFn)(void);
typedef void (*SorvLayerDrawFn)(uint8_t* pixels, const SorvRect* area);
typedef int32_t (*SorvLayerMessageFn)(const char* text, int32_t* retInt, char* retString);

/* Effect plug-in: what the engine lends it for one call. Both buffers are
 * the screen's size, in the layout above, `stride` bytes a row. */
typedef struct SorvEffectHost {
  uint32_t size; /* sizeof(SorvEffectHost), so that the record can grow */
  int32_t width, height, stride;
  void* context; /* the engine's; passed back to every function below */
  /* Shows the display buffer on the window. */
  void (*present)(void* context);
  /* Handles the window's pending events; non-zero when the transition must
   * end now (a click with click cut on, or the game is closing). */
  int32_t (*pump)(void* context);
  /* The engine's millisecond clock, and a sleep on it. */
  uint32_t (*now)(void* context);
  void (*sleep)(void* context, uint32_t ms);
} SorvEffectHost;

/* Animates the transition from what `display` shows to `scene` over `rect`
 * (left, top, right, bottom) in about `duration` ms, drawing into `display`
 * and presenting it. `parameters` is the text after the slash. Whatever it
 * leaves, the engine copies the scene over the rectangle afterwards. */
typedef void (*SorvEffect)(const SorvEffectHost* window, uint8_t* display, const uint8_t* scene,
                           const int32_t rect[4], const char* parameters, int32_t duration);

#ifdef __cplusplus
}
#endif

#endif
