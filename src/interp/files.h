// File and host-system commands: loose files, the one CSV file, INI and
// registry lookups, and starting outside programs.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace sorv {

struct Engine;

constexpr size_t kReadFileLimit = 8191;
constexpr size_t kCsvSizeLimit = 64u << 20;
// The file that stands in for the Windows registry (see README.md).
constexpr const char* kRegistryFile = "registry.ini";

// The file opened by `csvopen`. Reading loads the whole file; writing
// collects the records and writes the file whole when it is closed.
struct CsvState {
  bool open = false;
  bool writing = false;
  bool crlf = true;  // line ends written: "\r\n" for wc, "\n" for wb
  std::string path;
  std::string data;
  size_t readPos = 0;
};

// Closes the CSV file, writing what was written to it. Called by csvclose,
// by ResetGame and when the engine ends.
void CloseCsvFile(Engine& e);

// Splits one CSV record from `data` at `pos` into fields; advances `pos`
// behind the record's line end. Fields may be quoted ("a,b", "" for a quote).
std::vector<std::string> ParseCsvRecord(std::string_view data, size_t& pos);
// One record as csvwrite writes it (without the line end).
std::string FormatCsvRecord(const std::vector<std::string>& fields);

// The value of `key` in `section` of INI text (case-insensitive names,
// blanks trimmed, surrounding quotes removed); false when absent.
bool LookupIni(std::string_view text, std::string_view section, std::string_view key, std::string& value);

// Starts a program without a shell and without waiting for it; false when it
// could not be started.
bool SpawnDetached(const std::vector<std::string>& argv, const std::string& workDir);

void Cmd_fileexist(Engine& e);
void Cmd_filecreate(Engine& e);
void Cmd_fileremove(Engine& e);
void Cmd_readfile(Engine& e);
void Cmd_csvopen(Engine& e);
void Cmd_csvclose(Engine& e);
void Cmd_csvread(Engine& e);
void Cmd_csveof(Engine& e);
void Cmd_csvwrite(Engine& e);
void Cmd_getreg(Engine& e);
void Cmd_getini(Engine& e);
void Cmd_winexec(Engine& e);
void Cmd_shell(Engine& e);
void Cmd_testfunc(Engine& e);
void Cmd_createdummy(Engine& e);
void Cmd_chkdbg(Engine& e);

}  // namespace sorv
