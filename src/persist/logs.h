// The file log (image and sound names the game has used) and the label log
// (labels the game has passed), as conditions and conditional strings read them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace sorv {

struct Engine;

struct LogState {
  std::unordered_set<std::string> files;   // upper case, '/' as '\'
  std::unordered_set<std::string> labels;  // lower case
  // Which of the script's labels are known to be in `labels` already, so
  // that a loop passing the same label again costs no hashing. The log only
  // grows, so a set mark never goes stale; the marks belong to one loaded
  // text (ScriptState::textGeneration).
  std::vector<uint8_t> labelLogged;
  uint32_t labelLoggedText = 0;
};

std::string FileLogKey(std::string_view name);
void AddFileLog(Engine& e, std::string_view name);
bool InFileLog(const Engine& e, std::string_view name);
void AddLabelLog(Engine& e, std::string_view lowerName);
// The same for the script's label number `label` (into ScriptState::labels).
void AddLabelLogAt(Engine& e, int32_t label);
bool InLabelLog(const Engine& e, std::string_view name);

}  // namespace sorv
