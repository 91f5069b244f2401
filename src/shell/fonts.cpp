// The font menu's faces: the system's font families that can draw Japanese,
// asked of fontconfig. Only fixed-pitch outline faces are offered, and never
// a vertical-writing face (its name begins with '@'); every family counts
// towards the 180 slots whether it is offered or not, so a slot number names
// the same face for as long as the installed fonts stay the same.
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <string>
#include <vector>

#include "shell/menu.h"

namespace sorv {
namespace {

struct Family {
  std::string name;
  bool offered = false;
};

bool OutlineFormat(FcPattern* font) {
  FcChar8* format = nullptr;
  if (FcPatternGetString(font, FC_FONTFORMAT, 0, &format) != FcResultMatch || !format) return false;
  std::string f(reinterpret_cast<const char*>(format));
  return f == "TrueType" || f == "CFF";
}

bool FixedPitch(FcPattern* font) {
  int spacing = FC_PROPORTIONAL;
  if (FcPatternGetInteger(font, FC_SPACING, 0, &spacing) != FcResultMatch) return false;
  // A Japanese "fixed" face is dual-width: half-width Latin, full-width kana.
  return spacing == FC_MONO || spacing == FC_DUAL || spacing == FC_CHARCELL;
}

}  // namespace

std::vector<std::string> EnumerateMenuFonts() {
  std::vector<Family> families;
  FcConfig* config = FcInitLoadConfigAndFonts();
  if (!config) return {};
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(":lang=ja"));
  FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, FC_SPACING, FC_FONTFORMAT, nullptr);
  FcFontSet* set = pattern && objects ? FcFontList(config, pattern, objects) : nullptr;
  if (set) {
    for (int i = 0; i < set->nfont; ++i) {
      FcPattern* font = set->fonts[i];
      FcChar8* name = nullptr;
      if (FcPatternGetString(font, FC_FAMILY, 0, &name) != FcResultMatch || !name) continue;
      std::string family(reinterpret_cast<const char*>(name));
      bool offered = OutlineFormat(font) && FixedPitch(font) && !family.empty() && family[0] != '@';
      auto same = std::find_if(families.begin(), families.end(), [&](const Family& f) { return f.name == family; });
      if (same != families.end()) {
        same->offered = same->offered || offered;
      } else {
        families.push_back(Family{family, offered});
      }
    }
    FcFontSetDestroy(set);
  }
  if (objects) FcObjectSetDestroy(objects);
  if (pattern) FcPatternDestroy(pattern);
  FcConfigDestroy(config);
  // fontconfig lists in no fixed order; sorting keeps the slots stable.
  std::sort(families.begin(), families.end(), [](const Family& a, const Family& b) { return a.name < b.name; });
  std::vector<std::string> slots;
  for (const Family& f : families) {
    if (slots.size() >= static_cast<size_t>(kMaxFontSlots)) break;
    slots.push_back(f.offered ? f.name : std::string());
  }
  return slots;
}

}  // namespace sorv
