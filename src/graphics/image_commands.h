// Define-block commands of image loading.
#pragma once

namespace sorv {

struct Engine;

void Cmd_jpegmode(Engine& e);
void Cmd_noloaderror(Engine& e);
void Cmd_transmode(Engine& e);
void Cmd_spi(Engine& e);

// The authoring converters (converters.cpp).
void Cmd_chainbmp(Engine& e);
void Cmd_bmpcut(Engine& e);
void Cmd_bw2a(Engine& e);
void Cmd_bw2a2(Engine& e);
void Cmd_bw2a3(Engine& e);
void Cmd_convgif(Engine& e);
void Cmd_font2bmp(Engine& e);

// Back to the settings a *define block starts from.
void RestoreImageDefaults(Engine& e);

}  // namespace sorv
