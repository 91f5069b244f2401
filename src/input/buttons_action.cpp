// Action strings of extended buttons, text buttons and bexec entries: a
// little language of sprite and sound items ("C3", "P10,1", "M2,100,40",
// "S1,(click.wav)") run when the pointer enters or leaves a button.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "graphics/scene.h"
#include "input/buttons.h"
#include "interp/error.h"
#include "shell/engine.h"
#include "sound/sound.h"

namespace sorv {
namespace {

class ActionRunner {
 public:
  ActionRunner(Engine& e, std::string_view text) : e_(e), s_(text) {}

  void Run() {
    while (true) {
      Blanks();
      if (i_ >= s_.size()) return;
      char item = s_[i_++];
      switch (item) {
        case 'C': Hide(); break;
        case 'P': Show(); break;
        case 'M': Move(); break;
        case 'S': Sound(); break;
        default: Malformed();
      }
    }
  }

 private:
  [[noreturn]] void Malformed() {
    ReportError(e_, "エラー", Format("拡張ボタン指定が間違っています：%s", Sjis(s_).c_str()));
  }

  void Blanks() {
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t')) ++i_;
  }

  bool Take(char c) {
    Blanks();
    if (i_ < s_.size() && s_[i_] == c) {
      ++i_;
      return true;
    }
    return false;
  }

  // A decimal number; positions may be negative, and values beyond the
  // integer range saturate rather than wrap.
  int32_t Number(bool signedValue) {
    Blanks();
    bool negative = signedValue && Take('-');
    size_t start = i_;
    int64_t v = 0;
    while (i_ < s_.size() && s_[i_] >= '0' && s_[i_] <= '9') {
      v = std::min<int64_t>(v * 10 + (s_[i_] - '0'), INT32_MAX);
      ++i_;
    }
    if (i_ == start) Malformed();
    return static_cast<int32_t>(negative ? -v : v);
  }

  // Items that name a sprite without a picture do nothing.
  Sprite* SpriteAt(int32_t s) {
    if (s < 0 || s >= kSpriteSlots) return nullptr;
    Sprite& sp = e_.scene.sprites[static_cast<size_t>(s)];
    return sp.image.HasSurface() ? &sp : nullptr;
  }

  void Hide() {
    int32_t first = Number(false), last = first;
    if (Take('-')) last = Number(false);
    first = std::max(first, 0);
    last = std::min(last, kSpriteSlots - 1);
    for (int32_t s = first; s <= last; ++s) {
      if (Sprite* sp = SpriteAt(s); sp && sp->visible) {
        sp->visible = false;
        MarkDirty(e_, SpriteRect(*sp));
      }
    }
  }

  void Show() {
    int32_t s = Number(false), cell = 0;
    if (Take(',')) cell = Number(false);
    Sprite* sp = SpriteAt(s);
    if (!sp) return;
    sp->image.currentCell = std::clamp(cell, 0, std::max(sp->image.cellCount - 1, 0));
    sp->visible = true;
    MarkDirty(e_, SpriteRect(*sp));
  }

  void Move() {
    int32_t s = Number(false);
    if (!Take(',')) Malformed();
    int32_t x = Number(true);
    if (!Take(',')) Malformed();
    int32_t y = Number(true);
    Sprite* sp = SpriteAt(s);
    if (!sp) return;
    if (sp->visible) MarkDirty(e_, SpriteRect(*sp));
    sp->x = x;
    sp->y = y;
    sp->visible = true;
    MarkDirty(e_, SpriteRect(*sp));
  }

  void Sound() {
    int32_t ch = Number(false);
    if (!Take(',') || !Take('(')) Malformed();
    size_t close = s_.find(')', i_);
    if (close == std::string_view::npos) Malformed();
    std::string file(s_.substr(i_, close - i_));
    i_ = close + 1;
    if (ch < 0 || ch >= kSoundChannels) return;
    if (file.empty()) {
      StopChannel(e_, ch);
    } else {
      PlayChannelFile(e_, ch, file, false);
    }
  }

  Engine& e_;
  std::string_view s_;
  size_t i_ = 0;
};

}  // namespace

void RunActionString(Engine& e, std::string_view action) { ActionRunner(e, action).Run(); }

}  // namespace sorv
