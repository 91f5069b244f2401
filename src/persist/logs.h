// The file log (image and sound names the game has used) and the label log
// (labels the game has passed), as conditions and conditional strings read them.
#pragma once

#include <string>
#include <string_view>
#include <unordered_set>

namespace sorv {

struct Engine;

struct LogState {
  std::unordered_set<std::string> files;   // upper case, '/' as '\'
  std::unordered_set<std::string> labels;  // lower case
};

std::string FileLogKey(std::string_view name);
void AddFileLog(Engine& e, std::string_view name);
bool InFileLog(const Engine& e, std::string_view name);
void AddLabelLog(Engine& e, std::string_view lowerName);
bool InLabelLog(const Engine& e, std::string_view name);

}  // namespace sorv
