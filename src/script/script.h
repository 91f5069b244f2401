// The script source: the whole script as one byte buffer, the current
// position, the first-line settings, the file boundaries and the label index.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <utility>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "script/label_index.h"

namespace sorv {

struct Engine;

// An allocator that leaves new chars uninitialised: the script buffer is
// filled by reading files straight into it, so zeroing it first would only
// double the cost of loading.
template <typename T>
struct UninitAllocator : std::allocator<T> {
  template <typename U>
  struct rebind {
    using other = UninitAllocator<U>;
  };
  UninitAllocator() = default;
  template <typename U>
  UninitAllocator(const UninitAllocator<U>&) {}
  template <typename U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <typename U, typename... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};

// A label: where the script goes on behind its line, and its name, which is
// the word bytes at nameAt in the script text, read without regard to case.
// The loaded text never changes under a label line, so the name is never
// copied out of it.
struct Label {
  int32_t pos;
  int32_t nameAt;
  int32_t nameLength;
  int32_t nameEnd() const { return nameAt + nameLength; }
};

struct ScriptState {
  // ScriptBuffer: the script bytes, a NUL, and room behind the script for a
  // line handed in from outside (copied to ScratchLineOffset).
  std::vector<char, UninitAllocator<char>> buffer;
  int32_t length = 0;         // ScriptLength
  int32_t scratchOffset = 0;  // ScratchLineOffset
  int32_t pos = 0;            // ScriptPos
  std::array<int32_t, 100> fileEnd{};  // FileEndTable
  bool fromTextFiles = false;          // ScriptFromTextFiles
  bool fallbackMode = false;           // FallbackScriptMode
  // Changes whenever the text is (re)loaded; 0 for a text not loaded by
  // the loader, which nothing may remember anything about.
  uint32_t textGeneration = 0;

  int32_t numVarCount = 4096;  // NumVarCount
  int32_t labelMax = 10000;    // LabelMax
  int32_t globalBorder = 200;  // GlobalBorder

  std::vector<Label> labels;  // LabelTable, LabelCount = labels.size()
  LabelIndex labelIndex;
  // Where lines start with '*' or NUL (after spaces and tabs), in order, as
  // the loader met them; valid while labelLinesText is textGeneration.
  std::vector<int32_t> labelLines;
  uint32_t labelLinesText = 0;
  // The labels of the first labelDraft.size() listed lines, read by the
  // loader while each file's text was fresh in the cache, with their hashes;
  // the index takes them over. Drafting stops at the first line that is not
  // a plain label line.
  std::vector<Label> labelDraft;
  std::vector<uint32_t> labelDraftHashes;
  // The index of the first labelDraftIndexed labels of the draft, made by
  // the loader too.
  LabelIndex labelDraftIndex;
  size_t labelDraftIndexed = 0;

  // Depth of nested primaries being read ("%%%%…", "[[[…", "((…"); bounded so
  // that hostile script text cannot exhaust the native stack.
  int readNesting = 0;

  // Numeric arguments that are a plain number or "%" and a plain number,
  // remembered by the position they start at so that a statement run again
  // skips reading them (values/expr.cpp). Entries of an older text never match.
  struct CachedNumber {
    int32_t pos = -1;    // where the argument starts; -1 = empty slot
    int32_t next = 0;    // ScriptPos behind it and its blanks
    uint32_t text = 0;   // textGeneration it was read from
    int32_t value = 0;   // the number, or the variable's number
    bool intVar = false;
  };
  std::vector<CachedNumber> numberCache;

  // The label a `goto` written with "*name" went to, by the position of its
  // argument (labels.cpp).
  struct CachedJump {
    int32_t pos = -1;  // where the argument starts; -1 = empty slot
    uint32_t text = 0;
    int32_t label = 0;  // into labels
  };
  std::vector<CachedJump> jumpCache;

  const char* data() const { return buffer.data(); }
  char* data() { return buffer.data(); }
  unsigned char at(int32_t p) const { return static_cast<unsigned char>(buffer[static_cast<size_t>(p)]); }
  unsigned char cur() const { return at(pos); }
};

// Reads the script of the game directory, applies the first line, sizes the
// variable banks and the label table. Errors: ReportError (no script) or
// FatalExit (first-line settings).
void LoadScript(Engine& e);
// Loads from an in-memory text as if it were the only script file "0.txt"
// (used by tests and tools).
void LoadScriptFromText(Engine& e, std::string_view text);
void ApplyFirstLineSettings(Engine& e, const char* text, size_t size, bool luaComment);
void AllocateBanks(Engine& e);

void BuildLabelIndex(Engine& e);
// Drafts the labels of `count` listed lines of a text that ends at
// `textEnd` (nothing at or past it is read), appending them to `draft` and
// their hashes to `hashes`. Stops at the first line that is not a plain
// label line; returns whether there was none.
bool DraftLabels(const char* text, const int32_t* lines, size_t count, int32_t textEnd, std::vector<Label>& draft,
                 std::vector<uint32_t>& hashes);
// Scripts of at least this many bytes in more than one file are read and
// scanned by two threads.
inline size_t loadOnTwoThreadsFrom = 1u << 20;
// How the loader reads a script file (platform::ReadFileInSteps); tests
// put a reader here that fails.
using ScriptFileReader = bool (*)(const std::string& path, char* dst, size_t capacity, size_t step, size_t& got,
                                  const std::function<bool(size_t)>& took, std::string* error);
extern ScriptFileReader readScriptFile;
// Sets ScriptPos to the label (name without '*', any case) and logs it.
void JumpToLabel(Engine& e, std::string_view name);
// Reads a label argument and jumps to it, as `goto` does.
void JumpToLabelArgument(Engine& e);
// Position of a label, or -1 when there is none (does not log).
int32_t FindLabel(const Engine& e, std::string_view name);
// A label's name in lower case.
std::string LabelName(const ScriptState& s, const Label& label);

struct FileLine {
  int file;
  int line;
};
FileLine PositionToFileLine(const ScriptState& s, int32_t position);

// Copies a command line from outside the script behind the script text and
// positions the reader on it; false when it does not fit.
bool PlaceScratchLine(Engine& e, std::string_view line);

}  // namespace sorv
