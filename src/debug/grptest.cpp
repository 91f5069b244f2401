// grptest: a developer's look at how an image would compress. The picture is
// shown at the window's top-left and the differences between neighbouring
// channel values are counted into "out.txt".
#include <algorithm>
#include <cstring>

#include "debug/debug_state.h"
#include "graphics/image_load.h"
#include "graphics/scene.h"
#include "interp/error.h"
#include "persist/slots.h"
#include "platform/encoding.h"
#include "script/reader.h"
#include "shell/engine.h"

namespace sorv {
namespace {

constexpr int32_t kWidth = 640, kHeight = 480;
constexpr int32_t kGroup = 5;

}  // namespace

void DifferenceHistogram(const uint8_t* bgr, int32_t stride, uint32_t histogram[512]) {
  std::fill(histogram, histogram + 512, 0u);
  // Each channel is one run through all rows, so a row's first pixel is
  // compared with the last pixel of the row before it.
  for (int channel = 0; channel < 3; ++channel) {
    int previous = 0;
    for (int32_t y = 0; y < kHeight; ++y) {
      const uint8_t* row = bgr + static_cast<size_t>(y) * static_cast<size_t>(stride);
      for (int32_t group = 0; group < kWidth / kGroup; ++group) {
        for (int32_t i = 0; i < kGroup; ++i) {
          int value = row[(group * kGroup + i) * 3 + channel];
          ++histogram[value - previous + 255];
          previous = value;
        }
      }
    }
  }
}

void Cmd_grptest(Engine& e) {
  std::string file = ReadString(e);
  TaggedImage image;
  LoadImage(e, image, file);
  // The analysis always covers 640 x 480: a smaller picture leaves black
  // around it, a larger one is cut.
  Surface canvas;
  if (!CreateSurface(canvas, kWidth, kHeight)) ReportOutOfMemory(e);
  std::memset(canvas.bits.data(), 0, canvas.bits.size());
  if (image.HasSurface()) DrawImage(image, canvas, 0, 0, Rect{0, 0, kWidth, kHeight});

  Surface& display = e.scene.display;
  if (!display.Empty()) {
    int32_t w = std::min(kWidth, display.width), h = std::min(kHeight, display.height);
    for (int32_t y = 0; y < h; ++y) std::memcpy(display.TopRow(y), canvas.TopRow(y), static_cast<size_t>(w) * 3);
    PresentDisplay(e);
  }

  uint32_t histogram[512];
  DifferenceHistogram(canvas.bits.data(), canvas.stride, histogram);
  std::string out = "\"" + file + "\" " + platform::Utf8ToSjis("解析結果") + "\r\n";
  for (int d = -255; d <= 255; ++d) {
    if (histogram[d + 255]) out += Format("%d = %u\r\n", d, histogram[d + 255]);
  }
  if (!WriteEngineFile(e, "out.txt", out.data(), out.size())) {
    ReportError(e, "エラー", "ファイルout.txtを作成できません。");
  }
}

}  // namespace sorv
