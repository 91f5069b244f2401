// Save slots: the in-memory save image, the slot files "save%d.dat" with
// their background copies "save%d.ss", and where the engine's files go.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "graphics/surface.h"
#include "persist/save_record.h"

namespace sorv {

struct Engine;

struct SaveImageState {
  std::vector<uint8_t> bytes;  // SaveImage: body, then the trailer once finished
  SaveRecord capture;          // reused by every capture so a save point allocates nothing new
  SaveExtras extras;
  bool saveFailed = false;     // the last slot write did not reach the disk
  bool tooLarge = false;       // the last save point's state does not fit the image
  bool loaded = false;         // loadgame ran
  std::string lastError;       // UTF-8, why the last save or load failed
  Surface screenshot;          // getscreenshot's copy
  bool inErrorSave = false;

  // Where written files go, decided on first use.
  std::string writeDir;
  bool writeDirChecked = false;
  // Tests make writing fail half-way through this seam: called with the
  // path and the size about to be written, it answers how many bytes may
  // reach the disk before the write fails.
  std::function<size_t(const std::string& path, size_t size)> writeSeam;
};

// The directory files are read from and written to: the save directory
// (savedir, else the game directory) when it can be written, else
// $XDG_DATA_HOME/sorv/<game>/ (said once on stderr).
std::string SaveDirectory(Engine& e);
// A file of the save directory; when it is not there yet but the game's
// own directory has it (a game shipped with saves), that one is read.
std::string ReadPath(Engine& e, const std::string& name);
std::string WritePath(Engine& e, const std::string& name);
// Writes aside, flushes and renames; false (and a message in lastError) on failure.
bool WriteEngineFile(Engine& e, const std::string& name, const void* data, size_t size);

std::string SlotFileName(int32_t n);

// Writes slot n from the image of the last save point.
bool SaveSlot(Engine& e, int32_t n);
bool SaveSlotWithName(Engine& e, int32_t n, const std::string& name);
// Loads slot n (n = -1: the image in memory). A slot that does not exist
// changes nothing; a damaged one is reported and changes nothing.
enum class LoadResult { Loaded, Missing, Damaged };
LoadResult LoadSlot(Engine& e, int32_t n);
// The error path: slot 999 when errorsave is on.
void WriteErrorSave(Engine& e);

// The body of the image as the last save point left it, and the trailer
// appended once (what a slot file holds).
const std::vector<uint8_t>& FinishedSaveImage(Engine& e);

}  // namespace sorv
