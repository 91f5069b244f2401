// Whether a file the script names exists: loose, or inside an archive.
#pragma once

#include <string>

namespace sorv {

struct Engine;

bool ArchiveFileExists(Engine& e, const std::string& name);

}  // namespace sorv
