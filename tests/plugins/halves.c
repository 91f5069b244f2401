/* Effect plug-in for the tests: shows the new picture's left half first,
 * then all of it. */
#include <sorv/plugin.h>
#include <string.h>

void Effect(const SorvEffectHost* host, uint8_t* display, const uint8_t* scene, const int32_t rect[4],
            const char* parameters, int32_t duration) {
  (void)parameters;
  int32_t mid = (rect[0] + rect[2]) / 2;
  for (int32_t y = rect[1]; y < rect[3]; ++y) {
    size_t row = (size_t)(host->height - 1 - y) * host->stride;
    memcpy(display + row + rect[0] * 3, scene + row + rect[0] * 3, (size_t)(mid - rect[0]) * 3);
  }
  host->present(host->context);
  host->sleep(host->context, (uint32_t)duration);
}
