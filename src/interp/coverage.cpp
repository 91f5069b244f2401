#include "interp/coverage.h"

#include "check/script_lines.h"
#include "interp/error.h"
#include "platform/fs.h"
#include "script/reader.h"
#include "shell/engine.h"

namespace sorv {
namespace {

enum class LineKind { Other, Display, Command };

// A line is a command line or a display line by its first statement, as the
// statement loop classifies it; labels, comments and blank lines are neither.
LineKind Classify(const ScriptState& s, int32_t begin, int32_t end) {
  int32_t p = begin;
  while (p < end && (IsBlank(s.at(p)) || s.at(p) == ':' || s.at(p) == '~')) ++p;
  if (p >= end) return LineKind::Other;
  unsigned char c = s.at(p);
  if (c == '\n' || c == '\r' || c == '*' || c == ';' || c == 0) return LineKind::Other;
  return IsWordStart(c) ? LineKind::Command : LineKind::Display;
}

std::string Percent(int part, int whole) {
  return whole ? Format("%.1f%%", 100.0 * part / whole) : std::string("-");
}

// "1-3,7,9-12"
std::string Ranges(const std::vector<int>& lines) {
  std::string out;
  for (size_t i = 0; i < lines.size();) {
    size_t j = i;
    while (j + 1 < lines.size() && lines[j + 1] == lines[j] + 1) ++j;
    if (!out.empty()) out += ',';
    out += j == i ? Format("%d", lines[i]) : Format("%d-%d", lines[i], lines[j]);
    i = j + 1;
  }
  return out;
}

}  // namespace

std::vector<CoverageRecorder::FileShare> CoverageRecorder::Summarise(const Engine& e) const {
  const ScriptState& s = e.script;
  ScriptLines lines(e);
  std::vector<FileShare> files(static_cast<size_t>(lines.FileCount()));
  for (int f = 0; f < lines.FileCount(); ++f) files[static_cast<size_t>(f)].file = lines.FileName(f);
  for (int32_t i = 0; i < lines.LineCount(); ++i) {
    int32_t begin = lines.LineStart(i);
    int32_t end = i + 1 < lines.LineCount() ? lines.LineStart(i + 1) : s.length;
    ScriptLines::Place place = lines.PlaceOfLine(i);
    FileShare& share = files[static_cast<size_t>(place.file)];
    bool ran = false;
    for (int32_t p = begin; p < end && !ran; ++p) ran = Ran(p);
    LineKind kind = Classify(s, begin, end);
    if (ran) share.linesRan.push_back(place.line);
    if (kind == LineKind::Display) {
      ++share.displayTotal;
      share.displayRan += ran;
    } else if (kind == LineKind::Command) {
      ++share.commandTotal;
      share.commandRan += ran;
    }
  }
  std::vector<FileShare> out;
  for (int f = 0; f < lines.FileCount(); ++f) {
    FileShare& share = files[static_cast<size_t>(f)];
    if (lines.FilePresent(f) && (share.displayTotal || share.commandTotal || !share.linesRan.empty())) {
      out.push_back(std::move(share));
    }
  }
  return out;
}

std::string WriteCoverageReport(const Engine& e, const CoverageRecorder& coverage, const std::string& path,
                                std::string& error) {
  std::vector<CoverageRecorder::FileShare> files = coverage.Summarise(e);
  std::string text = "# sorv coverage: per script file, the display lines and command lines that ran\n";
  int displayRan = 0, displayTotal = 0, commandRan = 0, commandTotal = 0, linesRan = 0;
  for (const auto& f : files) {
    text += Format("file %s display %d/%d %s commands %d/%d %s\n", f.file.c_str(), f.displayRan, f.displayTotal,
                   Percent(f.displayRan, f.displayTotal).c_str(), f.commandRan, f.commandTotal,
                   Percent(f.commandRan, f.commandTotal).c_str());
    text += Format("ran %s %s\n", f.file.c_str(), Ranges(f.linesRan).c_str());
    displayRan += f.displayRan;
    displayTotal += f.displayTotal;
    commandRan += f.commandRan;
    commandTotal += f.commandTotal;
    linesRan += static_cast<int>(f.linesRan.size());
  }
  std::string summary =
      Format("coverage: %d lines ran; display lines %d/%d (%s), command lines %d/%d (%s)", linesRan, displayRan,
             displayTotal, Percent(displayRan, displayTotal).c_str(), commandRan, commandTotal,
             Percent(commandRan, commandTotal).c_str());
  text += "# " + summary + "\n";
  std::string why;
  if (!platform::WriteFileAtomic(path, text.data(), text.size(), &why)) {
    error = why.empty() ? "cannot write " + path : why;
    return {};
  }
  return summary;
}

}  // namespace sorv
