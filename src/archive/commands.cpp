#include "archive/commands.h"

#include "archive/archive.h"
#include "interp/error.h"
#include "interp/game_paths.h"
#include "script/reader.h"
#include "shell/engine.h"

namespace sorv {
namespace {

constexpr size_t kMaxDirBytes = 255;

// The archive directory must lie inside the game directory, as every file a
// script names must.
std::string ReadDirectory(Engine& e, const char* command) {
  std::string dir;
  ReadStringArgument(e, dir);
  if (dir.size() > kMaxDirBytes) ReportError(e, "エラー", "ディレクトリが長すぎます。");
  GameFileOrError(e, dir, command);
  return dir;
}

void SwitchOn(Engine& e) {
  e.archives.svaOn = true;
  InvalidateSvaIndex(e);
}

}  // namespace

void RestoreArchiveDefaults(Engine& e) {
  int counter = e.archives.tempCounter;
  e.archives = ArchiveState{};
  e.archives.tempCounter = counter;
}

void Cmd_sva(Engine& e) { SwitchOn(e); }

// sv2 and sv3: the archives carry one and two more bytes before the index.
void Cmd_sv2(Engine& e) {
  e.archives.sv2Prefix = true;
  SwitchOn(e);
}

void Cmd_sv3(Engine& e) {
  e.archives.sv3Prefix = true;
  SwitchOn(e);
}

void Cmd_svadir(Engine& e) {
  e.archives.svaDir = ReadDirectory(e, "svadir");
  InvalidateSvaIndex(e);
}

void Cmd_arc(Engine& e) {
  std::string entry;
  ReadStringArgument(e, entry);
  if (e.archives.plugins.size() >= kMaxArchivePlugins) ReportError(e, "エラー", "SPI設定が多すぎます。");
  // "archive|plug-in": both halves are files of the game.
  size_t bar = entry.find('|');
  GameFileOrError(e, entry.substr(0, bar), "arc");
  if (bar != std::string::npos) CheckLibraryName(e, entry.substr(bar + 1));
  e.archives.plugins.push_back(std::move(entry));
}

// The directory's arc.sva joins the index at the next lookup.
void Cmd_addsvadir(Engine& e) {
  e.archives.addSvaDir = ReadDirectory(e, "addsvadir");
  InvalidateSvaIndex(e);
}

}  // namespace sorv
