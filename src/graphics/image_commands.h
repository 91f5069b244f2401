// Define-block commands of image loading.
#pragma once

namespace sorv {

struct Engine;

void Cmd_jpegmode(Engine& e);
void Cmd_noloaderror(Engine& e);
void Cmd_transmode(Engine& e);
void Cmd_spi(Engine& e);

// Back to the settings a *define block starts from.
void RestoreImageDefaults(Engine& e);

}  // namespace sorv
