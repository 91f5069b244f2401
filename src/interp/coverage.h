// Which statements of the script ran: the statement loop marks the position
// of every command and display statement it starts; at the end the marks
// are turned into lines per script file (`sorv --coverage FILE`).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sorv {

struct Engine;

class CoverageRecorder {
 public:
  void Mark(int32_t position) {
    if (position < 0) return;
    size_t p = static_cast<size_t>(position);
    if (p >= ran_.size()) ran_.resize(p + 4096, 0);
    ran_[p] = 1;
  }
  bool Ran(int32_t position) const {
    return position >= 0 && static_cast<size_t>(position) < ran_.size() && ran_[static_cast<size_t>(position)];
  }

  struct FileShare {
    std::string file;
    int displayRan = 0, displayTotal = 0;
    int commandRan = 0, commandTotal = 0;
    std::vector<int> linesRan;  // counted from 1
  };
  // Per script file that holds text, for the script loaded in `e`.
  std::vector<FileShare> Summarise(const Engine& e) const;

 private:
  std::vector<uint8_t> ran_;
};

// The statement loop's hook.
inline void RecordStatement(CoverageRecorder* coverage, int32_t position) {
  if (coverage) coverage->Mark(position);
}

// Writes the report to `path` (aside and renamed) and returns the one-line
// summary for stderr; on failure `error` says why and the result is empty.
std::string WriteCoverageReport(const Engine& e, const CoverageRecorder& coverage, const std::string& path,
                                std::string& error);

}  // namespace sorv
