// Outside programs: `winexec` and `shell`. A script may only start what lies
// in its own game directory, and nothing at all in a headless run; the player
// lifts the directory rule with --allow-shell.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "interp/error.h"
#include "interp/files.h"
#include "interp/game_paths.h"
#include "platform/fs.h"
#include "script/reader.h"
#include "shell/engine.h"

namespace sorv {
namespace {

bool IsWebAddress(const std::string& s) {
  auto starts = [&](const char* p) {
    size_t n = std::char_traits<char>::length(p);
    if (s.size() <= n) return false;
    for (size_t i = 0; i < n; ++i) {
      if (LowerAscii(static_cast<unsigned char>(s[i])) != static_cast<unsigned char>(p[i])) return false;
    }
    return true;
  };
  return starts("http://") || starts("https://");
}

void Refuse(const char* command, const std::string& what, const char* why) {
  std::fprintf(stderr, "sorv: %s %s was not run: %s\n", command, what.c_str(), why);
}

// The game-directory path of a script's program or document name, or empty
// when the name lies outside and the player has not allowed that.
std::string AllowedTarget(Engine& e, const std::string& name) {
  std::string path;
  if (ResolveGameFile(e, name, path)) return path;
  if (e.app.allowShell) return name;
  return std::string();
}

// Splits a command line at blanks; a double-quoted part keeps its blanks.
std::vector<std::string> SplitCommandLine(const std::string& line) {
  std::vector<std::string> out;
  std::string cur;
  bool quoted = false, any = false;
  for (char c : line) {
    if (c == '"') {
      quoted = !quoted;
      any = true;
    } else if ((c == ' ' || c == '\t') && !quoted) {
      if (any) out.push_back(cur);
      cur.clear();
      any = false;
    } else {
      cur.push_back(c);
      any = true;
    }
  }
  if (any) out.push_back(cur);
  return out;
}

}  // namespace

bool SpawnDetached(const std::vector<std::string>& argv, const std::string& workDir) {
  if (argv.empty()) return false;
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  // Fork twice so that the program is adopted by init and never left as a
  // zombie of the engine; only the intermediate child is waited for.
  pid_t child = fork();
  if (child < 0) return false;
  if (child == 0) {
    if (fork() == 0) {
      setsid();
      if (!workDir.empty() && chdir(workDir.c_str()) != 0) _exit(127);
      execvp(args[0], args.data());
      _exit(127);
    }
    _exit(0);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// winexec command, show: runs a program of the game. The show mode is a
// window-placement hint that has no meaning here.
void Cmd_winexec(Engine& e) {
  std::string line;
  ReadStringArgument(e, line);
  ExpectComma(e);
  ReadNumberArgument(e);
  std::vector<std::string> argv = SplitCommandLine(line);
  if (e.platform->IsHeadless()) return Refuse("winexec", line, "headless run");
  if (argv.empty()) return;
  std::string program = AllowedTarget(e, argv[0]);
  if (program.empty()) return Refuse("winexec", line, "outside the game directory (see --allow-shell)");
  if (program.find('/') == std::string::npos) program = "./" + program;
  argv[0] = program;
  if (!SpawnDetached(argv, e.gameDir)) Refuse("winexec", line, "it could not be started");
}

// shell target: opens a web address or a document of the game with the
// desktop's opener.
void Cmd_shell(Engine& e) {
  std::string target;
  ReadStringArgument(e, target);
  if (e.platform->IsHeadless()) return Refuse("shell", target, "headless run");
  std::string what = IsWebAddress(target) ? target : AllowedTarget(e, target);
  if (what.empty()) return Refuse("shell", target, "outside the game directory (see --allow-shell)");
  if (!SpawnDetached({"xdg-open", what}, e.gameDir)) Refuse("shell", target, "xdg-open could not be started");
}

}  // namespace sorv
