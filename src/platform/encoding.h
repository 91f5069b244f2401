// Script text stays in its own code page (932, Shift-JIS) everywhere in the
// engine. It is decoded only to rasterise glyphs and to show text to a person.
#pragma once

#include <string>
#include <string_view>

namespace sorv::platform {

// Shift-JIS (code page 932) bytes to UTF-8. Bytes that do not decode are
// shown as U+FFFD; never fails.
std::string SjisToUtf8(std::string_view sjis);
// UTF-8 to code page 932; characters with no mapping become '?'.
std::string Utf8ToSjis(std::string_view utf8);

}  // namespace sorv::platform
