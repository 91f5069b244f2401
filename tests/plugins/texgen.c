/* Texture procedure for the tests: reports on the pixels it was handed.
 * Pixel (0, 0) becomes green when every pixel arrived opaque red, else
 * blue; pixel (1, 0) gets the length of the parameter as its red level
 * (255 without one). */
#include <stdint.h>
#include <string.h>

__attribute__((visibility("default"))) void Inspect(void* pixels, int32_t width, int32_t height,
                                                    const char* parameter) {
  uint8_t* p = (uint8_t*)pixels;
  int red = 1;
  for (int32_t i = 0; i < width * height; ++i) {
    const uint8_t* q = p + i * 4;
    if (q[0] != 0 || q[1] != 0 || q[2] != 255 || q[3] != 255) red = 0;
  }
  p[0] = red ? 0 : 255, p[1] = red ? 255 : 0, p[2] = 0, p[3] = 255;
  if (width > 1) {
    p[4] = 0, p[5] = 0, p[6] = (uint8_t)(parameter ? strlen(parameter) : 255), p[7] = 255;
  }
}
