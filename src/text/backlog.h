// The message log as the save slots carry it: the pages of text already
// shown (oldest first), the tag log, and the counters the backlog keeps
// beside them. The backlog viewer fills and reads these; a save writes them
// into the slot's trailer and a load puts them back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sorv {

struct MessageLog {
  std::vector<std::string> entries;  // text log, oldest first (Shift-JIS)
  std::vector<std::string> tags;     // tag log, oldest first
  int32_t lineLength = 0;  // bytes of the log line being collected
  int32_t counter = 0;     // entries the backlog counts as written
  int32_t stateWord = 0;
  bool enabled = true;     // lookbackon / lookbackoff
};

}  // namespace sorv
