// The script reader: small scanning operations that read the script text at
// ScriptPos directly, consume what they recognise and leave ScriptPos at the
// next unread byte.
#pragma once

#include <cstdint>
#include <string>

#include "script/script.h"

namespace sorv {

struct Engine;

constexpr size_t kMaxWordBytes = 254;
constexpr size_t kMaxStringBytes = 8190;

inline bool IsBlank(unsigned char c) { return c == ' ' || c == '\t'; }
inline bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
inline bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
// SkipBlanks on the text itself, inlined into the readers of the commonest commands.
inline unsigned char SkipBlanks(ScriptState& s) {
  while (IsBlank(s.cur())) ++s.pos;
  return s.cur();
}
inline unsigned char LowerAscii(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; }
// Word bytes lower-cased; 0 for bytes that are no word bytes. Digits map to
// themselves (they may not start a word).
struct WordByteTable {
  unsigned char lower[256] = {};
  constexpr WordByteTable() {
    for (int c = 'a'; c <= 'z'; ++c) lower[c] = static_cast<unsigned char>(c);
    for (int c = 'A'; c <= 'Z'; ++c) lower[c] = static_cast<unsigned char>(c + 32);
    for (int c = '0'; c <= '9'; ++c) lower[c] = static_cast<unsigned char>(c);
    lower[static_cast<unsigned char>('_')] = '_';
  }
};
inline constexpr WordByteTable kWordBytes{};

inline bool IsWordByte(unsigned char c) { return kWordBytes.lower[c] != 0; }
inline bool IsWordStart(unsigned char c) { return IsWordByte(c) && !IsDigit(c); }

constexpr int kMaxReadNesting = 200;

// Counts one level of nested reading for as long as it lives; reports an
// error past kMaxReadNesting.
class ReadNestingGuard {
 public:
  explicit ReadNestingGuard(Engine& e);
  ~ReadNestingGuard();
  ReadNestingGuard(const ReadNestingGuard&) = delete;
  ReadNestingGuard& operator=(const ReadNestingGuard&) = delete;

 private:
  Engine& e_;
};

unsigned char SkipBlanks(Engine& e);
unsigned char SkipBlanksAndNewlines(Engine& e);
void ExpectComma(Engine& e);
// Reads a lower-cased word into `out`; returns the byte after the blanks behind it.
unsigned char ReadWord(Engine& e, std::string& out);
void ReadLabelName(Engine& e, std::string& out);
// `text` points at the 6 bytes after '#'.
int32_t ReadColour(Engine& e, const char* text);
// A colour argument: '#rrggbb' written directly or a string whose text begins with '#'.
int32_t ReadColourArgument(Engine& e);
int32_t ReadNumberPrimary(Engine& e);
void ReadStringPrimary(Engine& e, std::string& dst);
void ReadStringArgument(Engine& e, std::string& dst);
int64_t ReadDigits(Engine& e, const char* text, size_t& index);

// The expression evaluator (values/expr.cpp).
int32_t ReadNumberArgument(Engine& e);

// The shapes command handlers read most: a string argument, and a comma
// followed by a string or a number argument.
std::string ReadString(Engine& e);
std::string NextString(Engine& e);
int32_t NextNumber(Engine& e);

}  // namespace sorv
