// The backlog: committing finished pages to the message log, reading pages
// back for scripts, and the viewer that shows past pages again in the text
// window. The log itself (MessageLog) is what the save slots carry; the
// page being written is the text flow's page record (TextFlowState::pageText).
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "graphics/tagged_image.h"

namespace sorv {

struct Engine;

// The viewer's own state: its arrow pictures and, while it is open, the
// page shown. Nothing here is saved.
struct BacklogView {
  std::array<TaggedImage, 4> arrows;  // up hovered, up normal, down hovered, down normal
  std::array<std::string, 4> arrowTags;  // the tags the pictures were loaded from
  bool open = false;
  int32_t page = 0;       // 1 = the newest committed page
  int32_t pagesShown = 0;  // pages drawn since the viewer opened
  std::string shownText;   // the page drawn last
};

// Installs the text flow's and the text window's log hooks and the waits'
// wheel hook.
void InstallBacklogHooks(Engine& e);

// The page record goes to the log when recording is on and it holds text;
// the record and the page tag are emptied either way. Drops the oldest page
// beyond the maximum.
void CommitPage(Engine& e);
// Empties the log and the page record (setwindow, lookbackflush).
void ClearMessageLog(Engine& e);

// Page n of the log as recorded: 0 the page being written, 1 the newest
// committed page and so on. False when there is no such page.
bool LogPage(const Engine& e, int32_t n, std::string& out);
bool LogTag(const Engine& e, int32_t n, std::string& out);
// The text without line breaks (and, with `dropWaits`, without "\").
std::string WithoutBreaks(const std::string& text, bool dropWaits);

// Shows the log in the text window until the player leaves it; false (and
// nothing drawn) when the log is empty.
bool OpenBacklog(Engine& e);

// ---- Commands ----
void Cmd_lookbackon(Engine& e);
void Cmd_lookbackoff(Engine& e);
void Cmd_lookbackflush(Engine& e);
void Cmd_getlog(Engine& e);
void Cmd_getlogtext(Engine& e);
void Cmd_gettext(Engine& e);
void Cmd_gettaglog(Engine& e);
void Cmd_checkpage(Engine& e);
void Cmd_getnextline(Engine& e);
void Cmd_kidokumode(Engine& e);
void Cmd_logsp(Engine& e);
void Cmd_logsp2(Engine& e);
void Cmd_logsph(Engine& e);
void Cmd_logsph2(Engine& e);

}  // namespace sorv
