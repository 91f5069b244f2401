// GIF pictures for the authoring converters: the first frame of a GIF87a or
// GIF89a file, drawn onto its logical screen, as a 24-bit surface.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "graphics/surface.h"

namespace sorv {

// Decodes the first image of a GIF file. Pixels outside the frame take the
// background colour; a transparent index keeps its palette colour (a BMP has
// no transparency; games key it with the image tag). False with `error` set
// when the data is damaged or the picture is beyond the engine's limits.
bool DecodeGif(const uint8_t* data, size_t size, Surface& out, std::string& error);

}  // namespace sorv
