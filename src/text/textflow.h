// The text flow: how an assembled display chunk becomes text on screen.
// The renderer walks the chunk byte by byte, draws each full-width
// character through the text window, paces them by the text speed, obeys
// the inline controls, breaks lines by the forbidden-character rules and
// runs the click and page waits.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "graphics/tagged_image.h"

namespace sorv {

struct Engine;

// Where the text buttons of a page are; the button wait turns them into
// buttons.
struct TextButtonSlot {
  int32_t number = 0;
  int32_t x = 0, y = 0;  // top-left of the first cell
  int32_t right = 0;     // last pixel column
  std::string text;      // Shift-JIS, at most 255 bytes
  std::string action;    // textexbtn: run when the pointer comes over it
};

inline constexpr const char* kDefaultCursorTags[2] = {":l/3,160,2;cursor0.bmp", ":l/3,160,2;cursor1.bmp"};

// The cursor of a click wait (0) or a page wait (1).
struct WaitCursor {
  std::string tag;
  int32_t x = 0, y = 0;
  bool absolute = false;  // abssetcursor: x, y are screen positions
  TaggedImage image;      // loaded by ResetGame and setcursor
};

// Where the cursor of a wait is and which cell shows; what the compositor
// needs to draw it.
struct WaitCursorShown {
  int kind = 0;  // 0 click wait, 1 page wait
  int32_t x = 0, y = 0;
  int32_t cell = 0;
};

// The cell animation of a wait cursor.
struct CursorAnimation {
  int32_t cells = 1;
  int32_t cell = 0;
  int32_t step = 1;
  int32_t delayMs = 0;  // <= 0: never advances
  int32_t mode = 0;     // 0 loop, 1 stop at the last cell, 2 ping-pong
  uint32_t lastMs = 0;
  // Moves to the next cell when the delay has passed (or the clock went
  // back); true when the cell changed.
  bool Advance(uint32_t nowMs);
};
// The cell count, delay and loop mode an image tag gives a cursor.
CursorAnimation CursorAnimationFor(std::string_view tag);

// Hooks later subsystems fill in.
struct TextFlowHooks {
  // The wait cursor appears, changes cell, or goes (shown = false, the
  // saved background put back).
  std::function<void(Engine&, const WaitCursorShown&, bool shown)> cursor;
  // The page goes to the message log.
  std::function<void(Engine&)> commitPage;
};

struct TextFlowState {
  // Chunks handed to the renderer, in order: what the game said, for tests
  // and the headless runner.
  std::vector<std::string> shownChunks;

  // Settings that scripts and the menu change.
  int32_t userSpeedIndex = 1;  // slow, normal, fast: the menu's choice
  bool pageAtATime = false;    // the menu's page-at-a-time format
  bool kinsokuOff = false;
  int32_t indent = 0;
  int32_t rubyMode = 0;  // 0 none, 1 rubyon, 2 rubyon2
  int32_t rubyW = -1, rubyH = -1;
  std::string rubyFace;
  WaitCursor cursors[2] = {{kDefaultCursorTags[0], 0, 0, false, {}}, {kDefaultCursorTags[1], 0, 0, false, {}}};
  int32_t textButtonStart = 1;

  // Page state.
  bool skipToPageEnd = false;
  std::vector<TextButtonSlot> buttons;
  int32_t nextButtonNumber = 1;
  // The page's text as the log receives it: characters, "\n", ruby markers.
  std::string pageText;

  // A click or page wait that the text subroutine took over; texec ends it.
  char gosubWait = 0;  // 0, '@' or '\\'
  bool gosubLineBreakFollows = false;

  // Every glyph cell the renderer placed on the current page, with what it
  // drew; the tests and the button layout read it.
  struct Cell {
    char bytes[2];
    int32_t x, y;
    int32_t colour;
  };
  std::vector<Cell> pageCells;
  struct Ruby {
    std::string text;
    int32_t x, y, baseWidth;
  };
  std::vector<Ruby> pageRubies;
  std::vector<WaitCursorShown> cursorsShown;  // the last few waits' cursors
  // The window's pixels under the wait cursor while it is drawn.
  struct CursorBackground {
    int32_t x = 0, y = 0, w = 0, h = 0;
    std::vector<uint8_t> pixels;
  } cursorUnder;

  TextFlowHooks hooks;
};

// Loads cursor k's picture from its tag; a missing file gives a blank cursor.
void LoadWaitCursor(Engine& e, int k);
// The default click and page cursors, as a game reset sets them.
void LoadDefaultWaitCursors(Engine& e);
// Draws cell `shown.cell` of the wait cursor on the window, keeping what it
// covers; `shown = false` puts that back.
void PaintWaitCursor(Engine& e, const WaitCursorShown& shown, bool show);

// Start values of the flow's settings (a restart pass).
void ResetTextFlow(Engine& e);

// Draws an assembled chunk. Returns when the chunk is done, a wait ended
// the page, or something outside (a load, a jump from the menu, a text
// subroutine) took the text over.
void ShowTextChunk(Engine& e, std::string_view chunk);
// A new page: the window cleared, the cursor home, the page's buttons and
// skip flags gone.
void ClearTextWindow(Engine& e);

// True when the chunk would be drawn without pacing.
bool InstantSpeed(const Engine& e);
// Milliseconds a character now (the user's choice resolved).
int32_t EffectiveSpeed(const Engine& e);

// Membership of one two-byte character in a list of them.
bool CharInList(std::string_view list, const char* sjis);
// The text with ruby reduced to its base and "\" dropped; false when a ruby
// group is malformed.
bool PlainText(std::string_view text, std::string& out);

// Commands of the text flow.
void Cmd_textspeed(Engine& e);
void Cmd_br(Engine& e);
void Cmd_textcommit(Engine& e);
void Cmd_textspeeddefault(Engine& e);
void Cmd_indent(Engine& e);
void Cmd_rubyon(Engine& e);
void Cmd_rubyon2(Engine& e);
void Cmd_rubyoff(Engine& e);
void Cmd_kinsoku(Engine& e);
void Cmd_texec(Engine& e);
void Cmd_texec2(Engine& e);
void Cmd_setcursor(Engine& e);
void Cmd_abssetcursor(Engine& e);
void Cmd_textbtnstart(Engine& e);
void Cmd_toplain(Engine& e);

}  // namespace sorv
