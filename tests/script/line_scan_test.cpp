// The one-pass scan of a script file against its definition: the text-mode
// conversion and the lines a label may start, on texts long enough for the
// whole-step path, with the text written where it stands or further down.
#include "script/line_scan.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace sorv {
namespace {

struct Scanned {
  std::string text;
  std::vector<int32_t> starts;
  bool operator==(const Scanned&) const = default;
};

// By the definition: convert, then look at every line of the result.
Scanned Expected(const std::string& raw, bool textMode, int32_t base) {
  Scanned out;
  std::string s = raw;
  if (textMode) {
    if (size_t z = s.find('\x1a'); z != std::string::npos) s.resize(z);
    for (size_t i = 0; i < s.size(); ++i)
      if (!(s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n')) out.text.push_back(s[i]);
  } else {
    out.text = s;
  }
  const std::string& t = out.text;
  for (size_t i = 0; i < t.size(); ++i) {
    if (i != 0 && t[i - 1] != '\n') continue;
    size_t k = i;
    while (k < t.size() && (t[k] == ' ' || t[k] == '\t')) ++k;
    if (k < t.size() && (t[k] == '*' || t[k] == '\0')) out.starts.push_back(base + static_cast<int32_t>(k));
  }
  return out;
}

// The scan with the text read `shift` bytes behind where it is written.
Scanned Scan(const std::string& raw, bool textMode, int32_t base, size_t shift) {
  std::string buffer(shift, '#');
  buffer += raw;
  buffer += '\n';  // the script goes on with a line feed
  Scanned out;
  const size_t n = ScanScriptText(buffer.data(), buffer.data() + shift, raw.size(), textMode, base, out.starts);
  out.text = buffer.substr(0, n);
  return out;
}

// Lines of every length around the 64-byte step, and the bytes that
// matter at their ends and starts.
std::string RandomText(std::mt19937& rng, int crRate) {
  static const char kBytes[] = {'a', 'b', ' ', '\t', '*', '\0', ';', '\x82', '\xa0', 'x'};
  std::string s;
  const int lines = static_cast<int>(rng() % 80);
  for (int i = 0; i < lines; ++i) {
    const unsigned kind = rng() % 10;
    if (kind == 0) s += std::string(rng() % 4, ' ') + "*label" + std::to_string(i);
    if (kind == 1) s += '\0';
    const size_t length = rng() % 3 == 0 ? rng() % 200 : rng() % 12;
    for (size_t k = 0; k < length; ++k) s.push_back(kBytes[rng() % sizeof(kBytes)]);
    const unsigned end = rng() % 100;
    if (end < static_cast<unsigned>(crRate)) {
      s += "\r\n";
    } else if (end < static_cast<unsigned>(crRate) + 2) {
      s += "\r";  // a CR on its own stays
    } else if (end == 99 && rng() % 4 == 0) {
      s += "\x1a";
    } else if (end == 98) {
      s += "\r\r\n";
    } else {
      s += "\n";
    }
  }
  return s;
}

TEST(LineScan, ConvertsAndFindsLabelLinesLikeTheDefinition) {
  std::mt19937 rng(99);
  for (int round = 0; round < 3000; ++round) {
    const int crRate = round % 3 == 0 ? 0 : round % 3 == 1 ? 50 : 97;
    const std::string raw = RandomText(rng, crRate);
    const bool textMode = round % 5 != 0;
    const int32_t base = static_cast<int32_t>(rng() % 1000);
    const size_t shift = round % 4 == 0 ? 0 : rng() % 300;
    const std::string what = "round " + std::to_string(round);
    EXPECT_EQ(Scan(raw, textMode, base, shift), Expected(raw, textMode, base)) << what;
  }
}

// CR LF pairs that straddle a step, a step that is nothing but pairs, and
// a CR on the last byte of a step whose line feed opens the next.
TEST(LineScan, CrLfPairsAtStepEdges) {
  for (size_t at = 56; at < 72; ++at) {
    for (size_t shift : {0, 1, 63, 64}) {
      std::string raw(at, 'a');
      raw += "\r\n*x\r\n";
      raw += std::string(130, 'b');
      raw += "\r\n";
      for (int i = 0; i < 40; ++i) raw += "\r\n";
      raw += "\t*end\r\n";
      raw += std::string(70, 'c');
      EXPECT_EQ(Scan(raw, true, 5, shift), Expected(raw, true, 5)) << at << " " << shift;
      EXPECT_EQ(Scan(raw, false, 5, shift), Expected(raw, false, 5)) << at << " " << shift;
    }
  }
}

}  // namespace
}  // namespace sorv
