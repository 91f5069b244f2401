#include "graphics/image_commands.h"

#include "graphics/image_state.h"
#include "interp/error.h"
#include "script/reader.h"
#include "shell/engine.h"

namespace sorv {

void RestoreImageDefaults(Engine& e) {
  // Once the in-memory JPEG route has failed it stays off for the process;
  // the text sprite renderer is installed once by the text window's code.
  ImageState kept = e.images;
  e.images = ImageState{};
  e.images.jpegInMemory = kept.jpegInMemory;
  e.images.renderTextSprite = kept.renderTextSprite;
}

void Cmd_jpegmode(Engine& e) { e.images.jpegMode = true; }
void Cmd_noloaderror(Engine& e) { e.images.noLoadError = true; }

// transmode leftup|copy|alpha, written as a word or a string; any other word
// leaves the setting as it was.
void Cmd_transmode(Engine& e) {
  std::string word;
  unsigned char c = SkipBlanks(e);
  if (c == '"' || c == '$') {
    ReadStringArgument(e, word);
    for (char& ch : word) ch = static_cast<char>(LowerAscii(static_cast<unsigned char>(ch)));
  } else {
    ReadWord(e, word);
  }
  if (word == "leftup") e.images.defaultTransMode = kTransLeftUp;
  else if (word == "copy") e.images.defaultTransMode = kTransCopy;
  else if (word == "alpha") e.images.defaultTransMode = kTransAlpha;
}

void Cmd_spi(Engine& e) {
  std::string entry;
  ReadStringArgument(e, entry);
  if (e.images.plugins.size() >= kMaxImagePlugins) ReportError(e, "エラー", "SPI設定が多すぎます。");
  e.images.plugins.push_back(std::move(entry));
}

}  // namespace sorv
