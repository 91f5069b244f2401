// Script errors. ReportError never returns: it raises a ScriptError carrying
// the title, the message and the composed text (message, location line and
// excerpt) that the shell shows before it closes the engine.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace sorv {

struct Engine;

struct ScriptError : std::runtime_error {
  ScriptError(std::string title_, std::string message_, std::string text_)
      : std::runtime_error(text_), title(std::move(title_)), message(std::move(message_)),
        text(std::move(text_)) {}
  std::string title;    // UTF-8
  std::string message;  // UTF-8, as given by the reporting command
  std::string text;     // UTF-8, what the message box shows
};

// An end of the program that is not a script error: start-up refusals,
// first-line setting errors, a failing Lua main function. `title` empty means
// no message box. `status` is the process exit status.
struct FatalExit {
  int status = 2;
  std::string title;
  std::string message;
};

// Message and title are UTF-8 text; script bytes inserted into a message must
// be decoded first (see Sjis()).
[[noreturn]] void ReportError(Engine& e, std::string_view title, std::string_view message);

// Decodes script bytes for use inside an error message.
std::string Sjis(std::string_view scriptBytes);

// printf-style formatting into a std::string (messages are composed with it).
std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// The script error for an allocation the memory budget refused or the
// system could not make (the budget is named, so a player can raise it).
[[noreturn]] void ReportOutOfMemory(Engine& e);

// The one message for a command whose family this build does not have yet.
[[noreturn]] void ReportNotImplemented(Engine& e, std::string_view word, std::string_view family);

}  // namespace sorv
