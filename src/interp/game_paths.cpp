#include "interp/game_paths.h"

#include <strings.h>

#include <vector>

#include "interp/error.h"
#include "platform/fs.h"
#include "script/reader.h"
#include "shell/engine.h"

namespace sorv {

bool NormaliseGameName(const std::string& scriptName, std::string& relative) {
  const std::string& s = scriptName;
  if (!s.empty() && (s[0] == '/' || s[0] == '\\')) return false;
  if (s.size() >= 2 && s[1] == ':') return false;  // "C:..." names another drive
  std::vector<std::string> parts;
  std::string part;
  // Shift-JIS trail bytes may be '\\' (0x5C): a lead byte takes the next byte
  // with it so that such a character is not split.
  auto flush = [&]() -> bool {
    if (part == "..") {
      if (parts.empty()) return false;
      parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    part.clear();
    return true;
  };
  for (size_t i = 0; i < s.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) && i + 1 < s.size()) {
      part += s[i];
      part += s[++i];
    } else if (c == '/' || c == '\\') {
      if (!flush()) return false;
    } else {
      part += s[i];
    }
  }
  if (!flush()) return false;
  relative.clear();
  for (const std::string& p : parts) {
    if (!relative.empty()) relative += '/';
    relative += p;
  }
  return true;
}

bool ResolveGameFile(Engine& e, const std::string& scriptName, std::string& path) {
  std::string relative;
  if (!NormaliseGameName(scriptName, relative)) return false;
  path = e.Path(relative);
  return platform::ResolvesInside(e.gameDir, path);
}

std::string GameFileOrError(Engine& e, const std::string& scriptName, const char* command) {
  std::string path;
  if (!ResolveGameFile(e, scriptName, path)) {
    ReportError(e, "エラー",
                Format("%sに指定したファイル名%sはゲームフォルダの外を指しています。", command,
                       Sjis(scriptName).c_str()));
  }
  return path;
}

std::string AssetPathOrError(Engine& e, const std::string& scriptName) {
  std::string path;
  if (ResolveGameFile(e, scriptName, path)) return path;
  // Named after the command that asked, as the file commands name themselves.
  std::string word;
  const ScriptState& s = e.script;
  for (int32_t p = e.interp.statementStart; p >= 0 && p < s.length && IsWordByte(s.at(p)); ++p) {
    word += static_cast<char>(LowerAscii(s.at(p)));
  }
  if (!word.empty()) GameFileOrError(e, scriptName, word.c_str());
  ReportError(e, "エラー", Format("ファイル名%sはゲームフォルダの外を指しています。", Sjis(scriptName).c_str()));
}

void CheckLibraryName(Engine& e, const std::string& libraryName) {
  std::string path;
  bool inside = ResolveGameFile(e, libraryName, path);
  if (inside && libraryName.size() >= 4 && strcasecmp(libraryName.c_str() + libraryName.size() - 4, ".dll") == 0) {
    inside = ResolveGameFile(e, libraryName.substr(0, libraryName.size() - 4) + ".so", path);
  }
  if (!inside) {
    ReportError(e, "エラー",
                Format("ライブラリ%sはゲームフォルダの外を指しています。", Sjis(libraryName).c_str()));
  }
}

}  // namespace sorv
