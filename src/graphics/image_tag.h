// The image tag: how a script names a picture and says how it is shown.
//
//   [<filters>] [:mode[/cells;]] body
//
// filters: "b" n (brightness), "rgb" r,g,b; mode: a l r c, #rrggbb or !n
// (colour key), m<mask file>, s (text sprite); cells: n[,time|<t1,..,tn>,mode];
// body: a file name, or ">w,h,#rrggbb..." for vertical colour bands.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "graphics/tagged_image.h"

namespace sorv {

struct Engine;

struct ImageTag {
  bool placeholder = false;  // "*..." : a 1 x 1 blank picture filled later
  bool brightness = false;
  int32_t brightnessValue = 0;
  bool rgb = false;
  int32_t red = 0, green = 0, blue = 0;

  int32_t mode = kTransLeftUp;
  int32_t keyRed = 0, keyGreen = 0, keyBlue = 0, keyIndex = 0;
  std::string maskFile;  // colon, m
  bool textSprite = false;
  TextSpriteSpec text;
  int32_t textVariable = -1;  // "$n" in place of the text

  int32_t cells = 1;
  int32_t cellTime = kCellNeverAdvance;
  std::vector<int32_t> cellTimes;
  int32_t animationMode = 0;

  std::string body;
};

// Parses a tag; errors are reported (they end the script).
ImageTag ParseImageTag(Engine& e, std::string_view tag, int32_t defaultMode);

struct ColourBands {
  int32_t width = 0, height = 0;
  std::vector<int32_t> colours;  // 0xRRGGBB
};
// Parses a colour-band body (starting at '>'); errors are reported.
ColourBands ParseColourBands(Engine& e, std::string_view body);

}  // namespace sorv
