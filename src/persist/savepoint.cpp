#include "persist/savepoint.h"

#include <algorithm>
#include <cstring>

#include "interp/catalogue.h"
#include "interp/error.h"
#include "lua/callbacks.h"
#include "persist/journal.h"
#include "persist/slots.h"
#include "shell/engine.h"

namespace sorv {
namespace {

// Commands whose only effects on the save image are stores to variables,
// array elements and call-stack entries, all of which go through the
// journal, and the script position, which the save point keeps itself.
constexpr const char* kJournaledWords[] = {
    "mov",  "mov3", "mov4", "mov5",  "mov6",  "mov7",   "mov8",   "mov9",  "mov10", "add",
    "sub",  "mul",  "div",  "mod",   "inc",   "dec",    "rnd",    "if",    "notif", "goto",
    "gosub", "return", "for", "next", "break", "skip", "jumpf", "jumpb",
};

std::vector<uint8_t> BuildJournaledTable() {
  const CommandEntry* begin = CatalogueBegin();
  std::vector<uint8_t> table(static_cast<size_t>(CatalogueEnd() - begin), 0);
  for (const CommandEntry* c = begin; c != CatalogueEnd(); ++c) {
    for (const char* w : kJournaledWords) {
      if (std::strcmp(c->word, w) == 0) table[static_cast<size_t>(c - begin)] = 1;
    }
  }
  return table;
}

// Swapping each entry with its location undoes the journal when walked from
// the newest entry and redoes it when walked from the oldest.
template <typename It, typename F>
void SwapAll(It first, It last, F location) {
  for (; first != last; ++first) std::swap(location(*first), first->second);
}

void Undo(Engine& e) {
  SavePointState& sp = e.savePoints;
  auto& iv = e.values.intVars;
  auto& sv = e.values.strVars;
  int32_t* stack = e.interp.stack;
  SwapAll(sp.intJournal.rbegin(), sp.intJournal.rend(), [&](auto& j) -> int32_t& { return iv[static_cast<size_t>(j.first)]; });
  SwapAll(sp.strJournal.rbegin(), sp.strJournal.rend(), [&](auto& j) -> std::string& { return sv[static_cast<size_t>(j.first)]; });
  SwapAll(sp.cellJournal.rbegin(), sp.cellJournal.rend(), [](auto& j) -> int32_t& { return *j.first; });
  SwapAll(sp.stackJournal.rbegin(), sp.stackJournal.rend(), [&](auto& j) -> int32_t& { return stack[j.first]; });
}

void Redo(Engine& e) {
  SavePointState& sp = e.savePoints;
  auto& iv = e.values.intVars;
  auto& sv = e.values.strVars;
  int32_t* stack = e.interp.stack;
  SwapAll(sp.intJournal.begin(), sp.intJournal.end(), [&](auto& j) -> int32_t& { return iv[static_cast<size_t>(j.first)]; });
  SwapAll(sp.strJournal.begin(), sp.strJournal.end(), [&](auto& j) -> std::string& { return sv[static_cast<size_t>(j.first)]; });
  SwapAll(sp.cellJournal.begin(), sp.cellJournal.end(), [](auto& j) -> int32_t& { return *j.first; });
  SwapAll(sp.stackJournal.begin(), sp.stackJournal.end(), [&](auto& j) -> int32_t& { return stack[j.first]; });
}

template <typename J>
void Note(Engine& e, J& journal, typename J::value_type entry) {
  SavePointState& sp = e.savePoints;
  if (journal.size() >= kSaveJournalLimit) {
    MaterialiseSavePoint(e);  // the store then needs no journal
    return;
  }
  sp.journalUsed = true;
  journal.push_back(std::move(entry));
}

}  // namespace

void ClearSavePointJournal(SavePointState& sp) {
  sp.intJournal.clear();
  sp.strJournal.clear();
  sp.cellJournal.clear();
  sp.stackJournal.clear();
  sp.journalUsed = false;
}

void SavePointCallback(Engine& e) {
  if (LuaHasCallback(e, LuaEvent::SavePoint) && !LuaCallback(e, LuaEvent::SavePoint)) {
    ReportError(e, "エラー", "セーブポイントのコールバック関数でエラーが発生しました。");
  }
}

void TakeSavePoint(Engine& e) { TakeSavePointInline(e); }

void MaterialiseSavePoint(Engine& e) {
  SavePointState& sp = e.savePoints;
  if (!sp.pending) return;
  sp.pending = false;
  const int32_t depth = e.interp.depth;
  Undo(e);
  e.interp.depth = sp.depth;
  SaveImageState& img = e.saveImage;
  if (img.bytes.capacity() < kSaveImageSize) img.bytes.reserve(kSaveImageSize);
  img.bytes.clear();
  CaptureRecord(e, img.capture);
  bool fits = !img.capture.arraysTooLarge && WriteRecordBody(img.capture, img.bytes, kSaveImageSize);
  e.interp.depth = depth;
  Redo(e);
  ClearSavePointJournal(sp);
  // A state too large for the image is reported when a save asks for it,
  // not here: a game that never saves at this point goes on.
  img.tooLarge = !fits;
  if (!fits) img.bytes.clear();
}

bool SavePointJournaled(const CommandEntry* cmd) {
  static const std::vector<uint8_t> table = BuildJournaledTable();
  size_t i = static_cast<size_t>(cmd - CatalogueBegin());
  return i < table.size() && table[i];
}

void JournalIntSlow(Engine& e, int32_t var) {
  Note(e, e.savePoints.intJournal, {var, e.values.intVars[static_cast<size_t>(var)]});
}
void JournalStrSlow(Engine& e, int32_t var) {
  Note(e, e.savePoints.strJournal, {var, e.values.strVars[static_cast<size_t>(var)]});
}
void JournalCellSlow(Engine& e, int32_t* cell) { Note(e, e.savePoints.cellJournal, {cell, *cell}); }
void JournalStackSlow(Engine& e, int32_t entry) { Note(e, e.savePoints.stackJournal, {entry, e.interp.stack[entry]}); }

}  // namespace sorv
