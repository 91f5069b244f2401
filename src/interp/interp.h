// The interpreter's state: modes, the call stack, traps, display-line
// switches and the already-read map; the statement loop and the dispatcher.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace sorv {

struct Engine;
struct CommandEntry;

constexpr int kCallStackSize = 1000;

struct ClickTrap {
  std::string label;  // empty = no trap
  int mode = 0;       // 0 armed, 1 stopped, 2 fired while stopped
  bool leftAndRight = false;  // lr_trap
  bool rightOnly = false;     // r_trap
  bool leftOrSkip = false;    // trap2
};

struct TimerTrap {
  bool active = false;
  std::string label;
  uint32_t start = 0;
  uint32_t interval = 0;
  int mode = 0;
};

struct HookLabel {
  bool on = false;
  std::string label;
};

struct InterpState {
  bool defineMode = false;
  bool gameStarted = false;   // GameStarted
  bool resetPending = false;  // ResetPending
  int32_t statementStart = 0;

  // Call stack: gosub frames are one entry (the return position, >= 0); for
  // frames are four: variable, end, step, -(position behind the for).
  int32_t stack[kCallStackSize] = {};
  int depth = 0;
  int textGosubMark = -1;
  bool inTextGosub = false;
  bool rclickResume = false;
  char interruptedWait = '@';

  std::vector<std::string> userCommands;  // defsub names, in definition order
  std::unordered_set<std::string> userCommandNames;  // the same, for lookups

  // The built-in command found at a statement position, so that a statement
  // run again skips reading and looking up its word (dispatch.cpp).
  struct CachedCommand {
    int32_t pos = -1;   // where the word starts; -1 = empty slot
    int32_t next = 0;   // ScriptPos after the word and its blanks
    uint32_t text = 0;  // ScriptState::textGeneration it was read from
    bool defineMode = false;
    bool journaled = false;  // SavePointJournaled(cmd)
    // The statement's arguments when they are plain numbers, so that it runs
    // without reading them (statement_forms.h).
    uint8_t form = 0;      // StatementForm
    uint8_t relation = 0;  // Relation, for a comparison
    bool leftVar = false;  // `left` names an integer variable, not a number
    bool rightVar = false;
    int32_t left = 0, right = 0;
    int32_t end = 0;  // ScriptPos behind the arguments
    const CommandEntry* cmd = nullptr;
  };
  std::vector<CachedCommand> commandCache;
  bool formsOff = false;  // tests: statements always read the ordinary way
  // Label lines the loop has passed: where the line's name ends and which
  // label it is, so passing it again needs no reading or hashing.
  struct CachedLabelLine {
    int32_t pos = -1;   // the '*'; -1 = empty slot
    int32_t next = 0;   // ScriptPos after the name and its blanks
    uint32_t text = 0;  // ScriptState::textGeneration it was read from
    int32_t label = 0;  // into ScriptState::labels
  };
  std::vector<CachedLabelLine> labelLineCache;
  HookLabel textGosub, preTextGosub, loadGosub, rGosub;

  ClickTrap clickTrap;
  TimerTrap timerTrap;
  bool leftClickFlag = false;   // set by the wait loop
  bool rightClickFlag = false;

  // Already-read map: bit p of the map stands for script position p.
  std::vector<uint8_t> readMap;
  bool kidokuMode = false;
  bool skipMode = false;

  // Save-point switches.
  bool saveEnable = true;
  bool autoSaveOff = false;
  bool luaTextHook = false;

  // Display-line switches.
  bool english = false;
  bool bracketNames = false;  // zenkakko
  bool tagMode = false;
  bool pageTag = false;
  bool linePage = false;
  bool linePage2 = false;
  int linePage2Free = 0;
  bool tagDone = false;
  bool braceOn = false;
  bool newPagePending = false;
  std::string currentTag;
  bool savePointThisPass = false;

  // The command line handed in from outside that is running now (for the
  // error report); empty when the script itself runs.
  std::string scratchCommand;
};

void RunStatements(Engine& e, bool defineMode);
void DispatchCommand(Engine& e, const std::string& word, bool defineMode);
// The same for the word read at statement position `start`: a built-in
// command found this way is remembered for that position.
void DispatchCommandAt(Engine& e, const std::string& word, bool defineMode, int32_t start);
// Runs `line` as one command line, as if the script held it: the script
// position is given back afterwards unless the command jumped. False, with
// nothing run, for a line longer than 1500 bytes or than the scratch area.
bool RunCommandLine(Engine& e, const std::string& line);
// Registers a defsub name; every remembered command is forgotten, since the
// name may shadow a built-in one.
void AddUserCommand(Engine& e, std::string name);

// Stack helpers with the engine's overflow messages.
void PushStack(Engine& e, int32_t value);
int32_t PopStack(Engine& e);

// Moves ScriptPos behind the next line feed (or to the terminating NUL).
void SkipRestOfLine(Engine& e);

// Number formatting for display lines: full-width minus and digits.
std::string FullWidthNumber(int32_t value);

}  // namespace sorv
