// The headless backend's input script: one event per line,
// "TIME_MS KIND ARGS", in virtual time. Kinds:
//   click X Y / rclick X Y        left / right button down and up at (X, Y)
//   mdown X Y [left|right|middle] / mup X Y [...]
//   move X Y                      pointer moved
//   wheel N                       N notches, positive away from the player (up)
//   key NAME                      key down and up; keydown NAME / keyup NAME
//   text STRING                   the rest of the line, one Text event per code point
//   answer yes|no|ok|cancel       the answer to the next message box (its time is ignored)
//   close                         the player closes the window
//   menu N                        menu command N chosen (40016 fast text, 40002 full screen ...)
// Blank lines and lines starting with '#' are ignored.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace sorv::platform {

struct TimedEvent {
  uint64_t timeMs = 0;
  Event event;
};

struct EventsScript {
  std::vector<TimedEvent> events;         // input, in file order (times never decrease)
  std::vector<MessageBoxAnswer> answers;  // message-box answers, in file order
};

// Throws std::runtime_error("events file line N: ...") on the first malformed line.
EventsScript ParseEventsScript(std::string_view text);
// Reads and parses a file; an unreadable file is reported as std::runtime_error too.
EventsScript LoadEventsScript(const std::string& path);

// Key names of the events file ("enter", "f5", "a", "ctrl" ...; any case) to
// Windows virtual-key codes; 0 for an unknown name.
int VirtualKeyFromName(std::string_view name);

}  // namespace sorv::platform
