// The application shell's state: request flags, the library table, the
// configuration switches and the work buffers.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "input/choose.h"
#include "platform/instance_lock.h"
#include "platform/platform.h"

namespace sorv {

struct Engine;
class CoverageRecorder;

constexpr size_t kWorkBufferSize = 204800;
constexpr int kLibrarySlots = 256;

struct LibraryEntry {
  std::string name;
  void* handle = nullptr;
};

struct AppState {
  bool restartRequested = false;  // RestartRequested
  bool closeRequested = false;    // CloseRequested
  bool resetRequested = false;    // ResetRequested
  bool endByScript = false;       // `end` ran: the close is not a failure
  bool debugFlag = false;         // "debug.314" present
  bool allowShell = false;        // --allow-shell: winexec and shell may leave the game directory
  bool cdFadeOff = false;         // "config.txt": cdfadeoff
  bool fullscreen = false;
  std::string cdDrive;  // the CD drive dialog's choice ("" = the default drive)
  bool altDown = false;
  bool ctrlDown = false;
  bool firstPass = true;
  bool windowShown = false;
  int passes = 0;

  std::string tempDir;
  std::vector<char> formatBuffer;                 // general formatting buffer
  std::array<std::vector<char>, 2> saveImages;    // in-memory save images
  int32_t saveImageRead = 0, saveImageWrite = 0;
  bool saveImageInMemory = true;

  std::array<LibraryEntry, kLibrarySlots> libraries;
  bool luaPresent = false;  // "Initialize" of the Lua bridge is bound

  // The script error that ended the run, if any (UTF-8), for the tests and
  // the headless runner.
  std::string errorTitle, errorMessage, errorText;

  // The single-instance lock of a windowed run (null when headless); it is
  // released before any fatal message box.
  platform::InstanceLock* instanceLock = nullptr;

  // Unattended headless runs: how button waits and choice menus are
  // answered (--choose), and where executed statements are marked (--coverage).
  ChoosePolicy choose;
  CoverageRecorder* coverage = nullptr;

  // Window messages taken from the platform but not yet dispatched.
  std::deque<platform::Event> queue;
};

// Looks the library up in the table (case-insensitive), loading it into the
// first free slot when absent; returns the entry point or nullptr. Scripts
// name libraries, so a name that leads out of the game directory is a script
// error and nothing is loaded.
void* BindEntry(Engine& e, const std::string& libraryFile, const std::string& entryName);
// As BindEntry without that check: only for the engine's own libraries
// (those installed beside the executable), never for a name a script gave.
void* BindEntryAnywhere(Engine& e, const std::string& libraryFile, const std::string& entryName);
void FreeLibraries(Engine& e);

// One pass of the message pump: dispatches one message; when there is none,
// sleeps 5 ms (PumpMessage) or returns at once (PumpMessageNoSleep). Returns
// whether a message was dispatched.
int PumpMessage(Engine& e);
int PumpMessageNoSleep(Engine& e);
// Moves every pending platform event into the shell's queue.
void FillMessageQueue(Engine& e);
// Removes the first pending left-button-up from the queue; true if there was one.
bool TakeLeftButtonUp(Engine& e);

void ResetGame(Engine& e);

}  // namespace sorv
