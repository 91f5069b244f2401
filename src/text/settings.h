// Text settings chosen by the *define block: text speeds, automatic waits,
// forbidden-character lists, font choices, window chips, click sounds and the
// backlog. Every restart pass starts again from these values.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace sorv {

// Both forbidden-character lists are bounded: `addkinsoku` appends without
// limit otherwise, and a game that calls it in a loop must not grow them
// without end.
constexpr size_t kMaxKinsokuBytes = 511;

struct TextSettings {
  int32_t userSpeeds[3] = {40, 10, 0};  // defaultspeed: slow, normal, fast (ms a character)
  int32_t speedDialogMin = 0;           // settextspeed: range of the text-speed dialog
  int32_t speedDialogMax = 100;

  std::string clickChars;  // clickstr: full-width characters followed by a click wait
  int32_t pageLines = 0;   // clickstr / linepage2: lines kept free at the page end
  bool clickSkipPage = false;

  // Shift-JIS bytes: "、。，．・？！゛゜ヽヾゝゞ々ー）］｝」』" and "（［｛「『".
  std::string lineStartForbidden =
      "\x81\x41\x81\x42\x81\x43\x81\x44\x81\x45\x81\x48\x81\x49\x81\x4A\x81\x4B\x81\x52"
      "\x81\x53\x81\x54\x81\x55\x81\x58\x81\x5B\x81\x6A\x81\x6E\x81\x70\x81\x76\x81\x78";
  std::string lineEndForbidden = "\x81\x69\x81\x6D\x81\x6F\x81\x75\x81\x77";

  std::string fontFile;       // dllfont
  bool fontFileMode = false;
  // The default face as games have always named it: GB2312 bytes of "黑体".
  // Face names are matched by the glyph code, which maps this one to a
  // Japanese face.
  std::string defaultFace = "\xBA\xDA\xCC\xE5";
  std::string currentFace;  // copied from defaultFace by `game`

  std::vector<int32_t> windowChips;  // sprites shown and hidden with the window
  std::string clickSound, pageSound;  // clickvoice

  // Backlog.
  int32_t maxPages = 16;       // maxkaisoupage
  int32_t backlogColour = -1;  // lookbackcolor; -1: the text colour
  std::array<std::string, 4> lookbackButtons = {"uoncur.bmp", "uoffcur.bmp", "doncur.bmp", "doffcur.bmp"};
  bool lookbackButtonsSet = false;
  int32_t lookbackUpSprite = -1;  // lookbacksp; -1: the button images are used
  int32_t lookbackDownSprite = -1;
  std::string lookbackVoice;
};

}  // namespace sorv
