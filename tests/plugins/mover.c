/* Layer plug-in for the tests: a 20 x 20 square of the colour given at
 * set-up ("rrggbb") that its timer moves 10 pixels right on each call. */
#include <sorv/plugin.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static unsigned colour = 0xFFFFFF;
static int x = 0;

void Initialize(const char* parameters) {
  colour = (unsigned)strtoul(parameters, NULL, 16);
  x = 0;
}

void Finalize(void) { fprintf(stderr, "mover: finalized at %d\n", x); }

int32_t Timer(void) {
  x += 10;
  return 1;
}

void Draw(uint8_t* pixels, const SorvRect* area) {
  int32_t w = 0, h = 0;
  SorvGetWindowSize(&w, &h);
  int stride = (w * 3 + 3) & ~3;
  for (int row = 10; row < 30; ++row) {
    if (row < area->top || row >= area->bottom) continue;
    uint8_t* line = pixels + (size_t)(h - 1 - row) * stride;
    for (int col = x; col < x + 20; ++col) {
      if (col < area->left || col >= area->right) continue;
      line[col * 3] = colour & 0xFF;
      line[col * 3 + 1] = (colour >> 8) & 0xFF;
      line[col * 3 + 2] = (colour >> 16) & 0xFF;
    }
  }
}

/* "where": answers the square's left edge. "jump N": moves it. */
int32_t Message(const char* text, int32_t* retInt, char* retString) {
  if (strncmp(text, "jump ", 5) == 0) {
    x = atoi(text + 5);
    return 1;
  }
  *retInt = x;
  snprintf(retString, SORV_RETURN_STRING_SIZE, "x=%d", x);
  return 0;
}
