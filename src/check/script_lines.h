// Script positions as authors see them: a file name and a line in it, named
// the way the error reporter names them ("3.txt", "03.txt" when only the
// padded file exists, "svscript.zat" for a scrambled script).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sorv {

struct Engine;

class ScriptLines {
 public:
  // Indexes the script loaded in `e` (one pass over the text).
  explicit ScriptLines(const Engine& e);

  struct Place {
    int file;  // index into FileNames()
    int line;  // counted from 1 within the file
  };
  Place At(int32_t position) const;
  const std::string& FileName(int file) const { return names_[static_cast<size_t>(file)]; }
  int FileCount() const { return static_cast<int>(names_.size()); }
  // The first and one-past-last line index (over the whole text) of a file.
  int32_t LineCount() const { return static_cast<int32_t>(starts_.size()); }
  int32_t LineStart(int32_t lineIndex) const { return starts_[static_cast<size_t>(lineIndex)]; }
  int32_t LineIndex(int32_t position) const;
  Place PlaceOfLine(int32_t lineIndex) const;
  // Whether the file of this index holds text (a missing number is empty).
  bool FilePresent(int file) const { return present_[static_cast<size_t>(file)]; }

 private:
  std::vector<int32_t> starts_;         // position of every line start
  std::vector<int32_t> fileFirstLine_;  // line index where each file starts
  std::vector<std::string> names_;
  std::vector<bool> present_;
};

}  // namespace sorv
