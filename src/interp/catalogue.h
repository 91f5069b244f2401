// The catalogue of built-in command words: one table of word, family,
// define-only flag and handler. A null handler means the family is not built
// in this version: the word is recognised and reported as such.
#pragma once

#include <string_view>

namespace sorv {

struct Engine;

using CommandHandler = void (*)(Engine&);

struct CommandEntry {
  const char* word;
  const char* family;
  bool defineOnly;
  CommandHandler handler;
};

// The entry for `word`, taking the define-only block into account, or nullptr.
const CommandEntry* FindCommand(std::string_view word, bool defineMode);
// All entries, in catalogue order.
const CommandEntry* CatalogueBegin();
const CommandEntry* CatalogueEnd();

}  // namespace sorv
