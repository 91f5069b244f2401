// Loading a TaggedImage from its image tag: the file lookup through loose
// files, SV2 and SVA archives and archive plug-ins, the decoders by file
// extension, colour bands, text sprites, the mask file and the filters.
#pragma once

#include <string>

#include "graphics/tagged_image.h"

namespace sorv {

struct Engine;

// Parses the tag and (re)loads the image in place. The same tag as the one
// loaded only rewinds the animation to its first cell.
void LoadImageTag(Engine& e, TaggedImage& image, const std::string& tag);
// What every command uses: LoadImageTag, and with `jpegmode` one retry with
// the extension turned from bmp into jpg.
void LoadImage(Engine& e, TaggedImage& image, const std::string& tag);

// The tag with the letters after its last dot turned b->j, m->p, p->g.
std::string JpegModeTag(const std::string& tag);

// Applies the load-time filters to a 24-bit surface (brightness first).
void ApplyBrightness(Surface& s, int32_t n);
void ApplyRgb(Surface& s, int32_t red, int32_t green, int32_t blue);

}  // namespace sorv
