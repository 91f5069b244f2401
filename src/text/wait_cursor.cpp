// The wait cursor's picture: loaded from its tag, drawn straight onto the
// window over the displayed frame and taken away again when the wait ends.
#include <algorithm>
#include <cstring>

#include "graphics/image_load.h"
#include "graphics/scene.h"
#include "shell/engine.h"
#include "text/textflow.h"

namespace sorv {
namespace {

// Missing cursor files are not an error: the engine's own cursors are
// optional in a game directory.
struct CursorLoading {
  explicit CursorLoading(Engine& e) : e_(e), was_(e.images.loadingCursor) { e.images.loadingCursor = true; }
  ~CursorLoading() { e_.images.loadingCursor = was_; }
  Engine& e_;
  bool was_;
};

void RestoreUnder(Engine& e) {
  TextFlowState::CursorBackground& under = e.text.cursorUnder;
  Surface& display = e.scene.display;
  if (under.w > 0 && under.h > 0 && display.BitCount() == 24) {
    for (int32_t row = 0; row < under.h; ++row) {
      uint8_t* d = display.TopRow(under.y + row) + under.x * 3;
      std::memcpy(d, under.pixels.data() + static_cast<size_t>(row) * under.w * 3, static_cast<size_t>(under.w) * 3);
    }
  }
  under.w = under.h = 0;
}

void SaveUnder(Engine& e, const Rect& r) {
  TextFlowState::CursorBackground& under = e.text.cursorUnder;
  const Surface& display = e.scene.display;
  under.x = r.left;
  under.y = r.top;
  under.w = r.right - r.left;
  under.h = r.bottom - r.top;
  under.pixels.resize(static_cast<size_t>(under.w) * under.h * 3);
  for (int32_t row = 0; row < under.h; ++row) {
    const uint8_t* s = display.TopRow(under.y + row) + under.x * 3;
    std::memcpy(under.pixels.data() + static_cast<size_t>(row) * under.w * 3, s, static_cast<size_t>(under.w) * 3);
  }
}

}  // namespace

void LoadWaitCursor(Engine& e, int k) {
  WaitCursor& c = e.text.cursors[k];
  CursorLoading quiet(e);
  c.image.Clear();  // the same tag again still reloads the file
  LoadImage(e, c.image, c.tag);
}

void LoadDefaultWaitCursors(Engine& e) {
  for (int k = 0; k < 2; ++k) {
    e.text.cursors[k].tag = kDefaultCursorTags[k];
    LoadWaitCursor(e, k);
  }
}

void PaintWaitCursor(Engine& e, const WaitCursorShown& shown, bool show) {
  Surface& display = e.scene.display;
  if (display.Empty() || display.BitCount() != 24) return;
  RestoreUnder(e);
  if (show) {
    TaggedImage& image = e.text.cursors[shown.kind].image;
    if (!image.HasSurface()) return;
    Rect r = Rect{shown.x, shown.y, shown.x + image.CellWidth(), shown.y + image.surface.height}.Intersect(
        Rect{0, 0, display.width, display.height});
    if (r.Empty()) return;
    SaveUnder(e, r);
    image.currentCell = std::clamp(shown.cell, 0, std::max(image.cellCount - 1, 0));
    DrawImage(image, display, shown.x, shown.y, r);
  }
  PresentDisplay(e);
}

}  // namespace sorv
