/* Command plug-in for the tests: "x,y,w,h,rrggbb" paints a rectangle into
 * the window's picture and answers its area and a line of text; "exec:LINE"
 * runs a script line through the engine. */
#include <sorv/plugin.h>
#include <stdio.h>
#include <string.h>

int32_t SorvPlugInMain(void* instance, SorvWindow window, const char* parameters, int32_t* retInt,
                       char* retString) {
  (void)instance;
  (void)window;
  if (strncmp(parameters, "exec:", 5) == 0) {
    *retInt = SorvExecWord(parameters + 5);
    snprintf(retString, SORV_RETURN_STRING_SIZE, "after exec");
    return 0;
  }
  int x = 0, y = 0, w = 0, h = 0;
  unsigned colour = 0;
  if (sscanf(parameters, "%d,%d,%d,%d,%x", &x, &y, &w, &h, &colour) != 5) {
    *retInt = -1;
    snprintf(retString, SORV_RETURN_STRING_SIZE, "bad parameters: %s", parameters);
    return 0;
  }
  SorvDIB dib;
  if (!SorvGetDCBits(SorvGetDestDC(), &dib)) return 0;
  int32_t sw = 0, sh = 0;
  SorvGetWindowSize(&sw, &sh);
  if (sw != dib.width || sh != dib.height) return 0;
  int stride = (dib.width * 3 + 3) & ~3;
  for (int row = y; row < y + h && row < dib.height; ++row) {
    if (row < 0) continue;
    uint8_t* line = dib.bits + (size_t)(dib.height - 1 - row) * stride;
    for (int col = x; col < x + w && col < dib.width; ++col) {
      if (col < 0) continue;
      line[col * 3] = colour & 0xFF;
      line[col * 3 + 1] = (colour >> 8) & 0xFF;
      line[col * 3 + 2] = (colour >> 16) & 0xFF;
    }
  }
  SorvRefreshWindow();
  *retInt = w * h;
  snprintf(retString, SORV_RETURN_STRING_SIZE, "painted %dx%d", w, h);
  return 0;
}
