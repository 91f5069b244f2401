#include "persist/logs.h"

#include "shell/engine.h"

namespace sorv {

// File names are compared as the original file system did: ignoring case,
// with either slash.
std::string FileLogKey(std::string_view name) {
  std::string key(name);
  for (char& c : key) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    if (c == '/') c = '\\';
  }
  return key;
}

void AddFileLog(Engine& e, std::string_view name) { e.logs.files.insert(FileLogKey(name)); }

bool InFileLog(const Engine& e, std::string_view name) { return e.logs.files.count(FileLogKey(name)) != 0; }

// insert() looks before it allocates; emplace() would build a node for every
// jump only to throw it away when the label was passed before.
void AddLabelLog(Engine& e, std::string_view lowerName) { e.logs.labels.insert(std::string(lowerName)); }

void AddLabelLogAt(Engine& e, int32_t label) {
  LogState& l = e.logs;
  const ScriptState& s = e.script;
  const size_t i = static_cast<size_t>(label);
  if (l.labelLoggedText != s.textGeneration || l.labelLogged.size() != s.labels.size()) {
    l.labelLogged.assign(s.labels.size(), 0);
    l.labelLoggedText = s.textGeneration;
  }
  if (i >= l.labelLogged.size() || l.labelLogged[i]) return;
  l.labels.insert(LabelName(s, s.labels[i]));
  l.labelLogged[i] = 1;
}

bool InLabelLog(const Engine& e, std::string_view name) {
  std::string lower(name);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return e.logs.labels.count(lower) != 0;
}

}  // namespace sorv
