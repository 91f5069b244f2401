// Save points: the moments whose state a save writes.
//
// A save point is taken before nearly every statement, so it must not copy
// the state. Taking one records the position and the call-stack depth and
// marks the save image stale ("pending"); the image itself is written from
// the engine's records only when something is about to move the state away
// from that moment in a way that cannot be undone cheaply:
//
// - a command outside the small set of variable and control-flow commands
//   (see SavePointJournaled) writes the image before it runs; so does a
//   display chunk, and so does every save;
// - the variable and control-flow commands run without writing it, but each
//   store they make to a variable, an array element or a call-stack entry
//   that the image holds first records the old value in an undo journal.
//   Writing the image undoes the journal, serialises, and redoes it.
//
// The image written is therefore exactly the state of the last save point,
// and a save point costs a handful of stores.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace sorv {

struct Engine;
struct CommandEntry;

// More journal entries than this between two save points (a long loop under
// saveoff) and the image is written at once instead.
constexpr size_t kSaveJournalLimit = 4096;

struct SavePointState {
  // Where and at which stack depth the last save point was taken.
  int32_t position = 0;
  int32_t depth = 0;
  bool taken = false;    // any save point since the game began
  bool pending = false;  // the image does not hold that save point yet
  bool finished = false; // the trailer is in the image (finished flag)
  uint64_t count = 0;

  // Undo journal of the stores made while pending.
  bool journalUsed = false;
  std::vector<std::pair<int32_t, int32_t>> intJournal;      // variable, old value
  std::vector<std::pair<int32_t, std::string>> strJournal;  // variable, old text
  std::vector<std::pair<int32_t*, int32_t>> cellJournal;    // array element, old value
  std::vector<std::pair<int32_t, int32_t>> stackJournal;    // entry, old value

  // Places where save points were taken, for the tests of their placement.
  std::vector<int32_t> positions;
  bool recordPositions = false;
};

void TakeSavePoint(Engine& e);
// The parts of taking one that the inline form (persist/journal.h) leaves out
// of line: the Lua callback, and emptying a used journal.
void SavePointCallback(Engine& e);
void ClearSavePointJournal(SavePointState& sp);
// Brings the save image up to the last save point (nothing when it is).
void MaterialiseSavePoint(Engine& e);
// The dispatcher's call before a command runs.
bool SavePointJournaled(const CommandEntry* cmd);

// Journal hooks of the stores the journaled commands make.
void JournalIntSlow(Engine& e, int32_t var);
void JournalStrSlow(Engine& e, int32_t var);
void JournalCellSlow(Engine& e, int32_t* cell);
void JournalStackSlow(Engine& e, int32_t entry);

}  // namespace sorv
