// Files and the host system: loose files, the CSV file, INI and registry
// lookups, and outside programs.
#include <unistd.h>

#include <cstdio>

#include "interp/error.h"
#include "interp/files.h"
#include "interp/game_paths.h"
#include "platform/fs.h"
#include "script/reader.h"
#include "shell/engine.h"
#include "values/values.h"

#if __has_include("archive/lookup.h")
#include "archive/lookup.h"
#define SORV_HAVE_ARCHIVE_LOOKUP 1
#endif

namespace sorv {
namespace {

std::string& StrVar(Engine& e, int32_t n) { return e.values.strVars[static_cast<size_t>(n)]; }

// Windows text mode turned "\r\n" into "\n" on reading; games wrote their
// files that way, so reading does the same.
std::string TextModeBytes(const std::vector<char>& raw) {
  std::string out;
  out.reserve(raw.size());
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') continue;
    out.push_back(raw[i]);
  }
  return out;
}

// A whole small file as text, or nullopt when it is absent or unreadable.
std::optional<std::string> ReadTextFile(const std::string& path, uint64_t limit) {
  auto raw = platform::ReadWholeFile(path, limit);
  if (!raw) return std::nullopt;
  return TextModeBytes(*raw);
}

// A name that is there but is no regular file (a directory, a FIFO, a
// device, a socket) is refused rather than read: reading a FIFO would wait
// for ever and a device may never end.
void RefuseSpecialFile(Engine& e, const std::string& path, const std::string& name) {
  if (platform::IsSpecialFile(path) || platform::IsDirectory(path)) {
    ReportError(e, "エラー", Format("ファイル%sは通常のファイルではありません。", Sjis(name).c_str()));
  }
}

bool LooseFileExists(Engine& e, const std::string& name) {
  return platform::IsRegularFile(GameFileOrError(e, name, "fileexist"));
}

// Integer text as the CSV and INI readers give it: leading blanks, a sign and
// digits; anything else ends the number. Wraps like the engine's integers.
int32_t LeadingInt(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  uint32_t v = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) v = v * 10u + static_cast<uint32_t>(text[i] - '0');
  return static_cast<int32_t>(negative ? 0u - v : v);
}

CsvState& OpenCsv(Engine& e, bool forWriting, const char* command) {
  CsvState& csv = e.csv;
  if (!csv.open) ReportError(e, "エラー", Format("%s: csvファイルが開かれていません。", command));
  if (csv.writing != forWriting) {
    ReportError(e, "エラー",
                Format("%s: csvファイルは%sのために開かれています。", command, csv.writing ? "書き込み" : "読み込み"));
  }
  return csv;
}

// Whether the next argument is a string: a string variable, a quoted text, a
// label-log condition or a string alias.
bool NextArgumentIsString(Engine& e) {
  unsigned char c = SkipBlanks(e);
  if (c == '$' || c == '"' || c == '[') return true;
  if (!IsWordStart(c)) return false;
  int32_t save = e.script.pos;
  std::string word;
  ReadWord(e, word);
  e.script.pos = save;
  return LookupStrAlias(e, word) != nullptr;
}

void StoreCsvField(Engine& e, const std::string& field) {
  const char* kind = "csvreadの引数は数字変数か文字変数か配列です。";
  switch (SkipBlanks(e)) {
    case '$':
      StrVar(e, ReadStrVarTarget(e, kind)) = field;
      return;
    case '%':
      StoreIntLimited(e, ReadIntVarTarget(e, kind), LeadingInt(field));
      return;
    case '?': {
      ++e.script.pos;
      ArrayRef ref = ReadArrayRef(e, ArrayRefMode::Element);
      ArrayElement(e, ref) = LeadingInt(field);
      return;
    }
    default:
      ReportError(e, "構文エラー", kind);
  }
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(static_cast<unsigned char>(a[i])) != LowerAscii(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// Registry key names are compared with '/' and '\' taken as the same.
std::string RegistryKeyName(std::string_view key) {
  std::string k(Trim(key));
  for (char& c : k) {
    if (c == '/') c = '\\';
  }
  while (!k.empty() && k.back() == '\\') k.pop_back();
  return k;
}

}  // namespace

std::vector<std::string> ParseCsvRecord(std::string_view data, size_t& pos) {
  std::vector<std::string> fields;
  std::string field;
  bool quoted = false, wasQuoted = false;
  for (; pos < data.size(); ++pos) {
    char c = data[pos];
    if (quoted) {
      if (c != '"') {
        field.push_back(c);
      } else if (pos + 1 < data.size() && data[pos + 1] == '"') {
        field.push_back('"');
        ++pos;
      } else {
        quoted = false;
      }
    } else if (c == '"' && field.empty() && !wasQuoted) {
      quoted = wasQuoted = true;
    } else if (c == ',') {
      fields.push_back(std::move(field));
      field.clear();
      wasQuoted = false;
    } else if (c == '\n') {
      ++pos;
      break;
    } else if (c != '\r') {
      field.push_back(c);
    }
  }
  fields.push_back(std::move(field));
  return fields;
}

std::string FormatCsvRecord(const std::vector<std::string>& fields) {
  std::string out;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i) out.push_back(',');
    const std::string& f = fields[i];
    if (f.find_first_of(",\"\r\n") == std::string::npos) {
      out += f;
      continue;
    }
    out.push_back('"');
    for (char c : f) {
      if (c == '"') out.push_back('"');
      out.push_back(c);
    }
    out.push_back('"');
  }
  return out;
}

bool LookupIni(std::string_view text, std::string_view section, std::string_view key, std::string& value) {
  bool inSection = false;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = Trim(text.substr(pos, end - pos));
    pos = end + 1;
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line[0] == '[') {
      size_t close = line.find(']');
      std::string_view name = line.substr(1, close == std::string_view::npos ? line.size() - 1 : close - 1);
      inSection = EqualsNoCase(Trim(name), Trim(section));
      continue;
    }
    size_t eq = line.find('=');
    if (!inSection || eq == std::string_view::npos) continue;
    if (!EqualsNoCase(Trim(line.substr(0, eq)), Trim(key))) continue;
    std::string_view v = Trim(line.substr(eq + 1));
    if (v.size() >= 2 && ((v.front() == '"' && v.back() == '"') || (v.front() == '\'' && v.back() == '\''))) {
      v = v.substr(1, v.size() - 2);
    }
    value.assign(v);
    return true;
  }
  return false;
}

void CloseCsvFile(Engine& e) {
  CsvState& csv = e.csv;
  if (csv.open && csv.writing) {
    std::string error;
    if (!platform::WriteFileAtomic(csv.path, csv.data.data(), csv.data.size(), &error)) {
      std::fprintf(stderr, "sorv: csv file %s was not written: %s\n", csv.path.c_str(), error.c_str());
    }
  }
  csv = CsvState{};
}

void Cmd_fileexist(Engine& e) {
  int32_t var = ReadIntVarTarget(e, "fileexistの第一引数は数字変数です。", "エラー");
  ExpectComma(e);
  std::string name = ReadString(e);
  bool found = LooseFileExists(e, name);
#ifdef SORV_HAVE_ARCHIVE_LOOKUP
  if (!found) found = ArchiveFileExists(e, name);
#endif
  StoreIntLimited(e, var, found ? 1 : 0);
}

void Cmd_filecreate(Engine& e) {
  std::string path = GameFileOrError(e, ReadString(e), "filecreate");
  std::string error;
  if (!platform::WriteFileAtomic(path, "", 0, &error)) {
    ReportError(e, "エラー", Format("ファイル%sを作成できません。", path.c_str()));
  }
}

// A file that is not there is already removed; nothing to report.
void Cmd_fileremove(Engine& e) {
  std::string path = GameFileOrError(e, ReadString(e), "fileremove");
  if (platform::IsRegularFile(path)) unlink(path.c_str());
}

void Cmd_readfile(Engine& e) {
  int32_t var = ReadStrVarTarget(e, "readfileの第一引数は文字変数です。");
  ExpectComma(e);
  std::string name = ReadString(e);
  std::string path = GameFileOrError(e, name, "readfile");
  RefuseSpecialFile(e, path, name);
  auto size = platform::RegularFileSize(path);
  if (size && *size > kReadFileLimit) ReportError(e, "エラー", "読み込もうとしているファイルが大きすぎます。");
  std::string text = ReadTextFile(path, kReadFileLimit).value_or(std::string());
  // String variables end at a NUL byte, as the script's own strings do.
  text.resize(std::min(text.size(), text.find('\0')));
  StrVar(e, var) = std::move(text);
}

// csvopen name, mode: rc / rb read, wc / wb write. Only one CSV file is
// open at a time; opening another closes the first.
void Cmd_csvopen(Engine& e) {
  std::string name = ReadString(e);
  ExpectComma(e);
  std::string mode = ReadString(e);
  for (char& c : mode) c = static_cast<char>(LowerAscii(static_cast<unsigned char>(c)));
  if (mode != "rc" && mode != "rb" && mode != "wc" && mode != "wb") {
    ReportError(e, "エラー", "csvopenのモードはrc、wc、rb、wbのどれかです。");
  }
  std::string path = GameFileOrError(e, name, "csvopen");
  CloseCsvFile(e);
  CsvState& csv = e.csv;
  csv.writing = mode[0] == 'w';
  csv.crlf = mode[1] == 'c';
  csv.path = path;
  if (!csv.writing) {
    RefuseSpecialFile(e, path, name);
    auto size = platform::RegularFileSize(path);
    if (size && *size > kCsvSizeLimit) ReportError(e, "エラー", "csvファイルが大きすぎます。");
    // A file that is not there reads as an empty one: csveof answers 1 at
    // once, which is how games test for a file they have not written yet.
    if (auto raw = platform::ReadWholeFile(path, kCsvSizeLimit)) csv.data.assign(raw->begin(), raw->end());
  }
  csv.open = true;
}

void Cmd_csvclose(Engine& e) { CloseCsvFile(e); }

// csvread target, target, …: the next record's fields in order; missing
// fields give 0 or an empty string.
void Cmd_csvread(Engine& e) {
  CsvState& csv = OpenCsv(e, false, "csvread");
  std::vector<std::string> fields;
  if (csv.readPos < csv.data.size()) fields = ParseCsvRecord(csv.data, csv.readPos);
  for (size_t i = 0;; ++i) {
    StoreCsvField(e, i < fields.size() ? fields[i] : std::string());
    if (SkipBlanks(e) != ',') return;
    ExpectComma(e);
  }
}

void Cmd_csveof(Engine& e) {
  int32_t var = ReadIntVarTarget(e, "csveofの第一引数は数字変数です。");
  const CsvState& csv = e.csv;
  bool atEnd = !csv.open || csv.writing || csv.readPos >= csv.data.size();
  StoreIntLimited(e, var, atEnd ? 1 : 0);
}

// csvwrite value, value, …: one record of numbers and strings.
void Cmd_csvwrite(Engine& e) {
  CsvState& csv = OpenCsv(e, true, "csvwrite");
  std::vector<std::string> fields;
  for (;;) {
    if (NextArgumentIsString(e)) {
      fields.push_back(ReadString(e));
    } else {
      fields.push_back(std::to_string(ReadNumberArgument(e)));
    }
    if (SkipBlanks(e) != ',') break;
    ExpectComma(e);
  }
  std::string record = FormatCsvRecord(fields) + (csv.crlf ? "\r\n" : "\n");
  if (csv.data.size() + record.size() > kCsvSizeLimit) ReportError(e, "エラー", "csvファイルが大きすぎます。");
  csv.data += record;
}

void Cmd_getini(Engine& e) {
  int32_t var = ReadStrVarTarget(e, "getiniの第一引数は文字変数です。");
  std::string section, key, file;
  ExpectComma(e);
  ReadStringArgument(e, section);
  ExpectComma(e);
  ReadStringArgument(e, key);
  ExpectComma(e);
  ReadStringArgument(e, file);
  std::string path = GameFileOrError(e, file, "getini");
  RefuseSpecialFile(e, path, file);
  std::string value;
  if (auto text = ReadTextFile(path, kCsvSizeLimit)) LookupIni(*text, section, key, value);
  StrVar(e, var) = std::move(value);
}

// getreg $v, key, value: Linux has no registry; the values a game expects
// there are read from "registry.ini" in the game directory, one section per
// key. The default value of a key is the entry "@".
void Cmd_getreg(Engine& e) {
  int32_t var = ReadStrVarTarget(e, "getregの第一引数は文字変数です。");
  std::string key, name;
  ExpectComma(e);
  ReadStringArgument(e, key);
  ExpectComma(e);
  ReadStringArgument(e, name);
  std::string value;
  RefuseSpecialFile(e, e.Path(kRegistryFile), kRegistryFile);
  if (auto text = ReadTextFile(e.Path(kRegistryFile), kCsvSizeLimit)) {
    LookupIni(*text, RegistryKeyName(key), name.empty() ? "@" : name, value);
  }
  StrVar(e, var) = std::move(value);
}

// testfunc: a developer's check that the engine is alive; shows the file and
// line of the statement that called it.
void Cmd_testfunc(Engine& e) {
  FileLine fl = PositionToFileLine(e.script, e.interp.statementStart);
  e.platform->ShowMessageBox("testfunc", Format("%d %d", fl.file, fl.line), platform::MessageBoxButtons::Ok,
                             platform::MessageBoxIcon::Information);
}

void Cmd_createdummy(Engine& e) {
  std::string path = GameFileOrError(e, ReadString(e), "createdummy");
  if (!platform::WriteFileAtomic(path, "", 0)) {
    ReportError(e, "エラー", Format("ファイル%sを作成できません。", path.c_str()));
  }
}

// chkdbg %v: 1 when the developer's marker file "58013746" is present.
void Cmd_chkdbg(Engine& e) {
  int32_t var = ReadIntVarTarget(e, "chkdbgの第一引数は数字変数です。");
  StoreIntLimited(e, var, platform::IsRegularFile(e.Path("58013746")) ? 1 : 0);
}

}  // namespace sorv
