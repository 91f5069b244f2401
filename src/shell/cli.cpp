#include "shell/cli.h"

#include <cerrno>
#include <cstdlib>

#include "input/choose.h"
#include "platform/fs.h"

namespace sorv {

const char* UsageText() {
  return "usage: sorv [options] [GAME_DIR]\n"
         "Runs the game in GAME_DIR (default: the current directory when it holds a\n"
         "script, else the directory of the executable).\n"
         "\n"
         "  --headless         run without a window or sound device\n"
         "  --events FILE      headless: read input events from FILE\n"
         "  --screenshot FILE  headless: write the last frame to FILE (PNG) at the end\n"
         "  --dump-frames DIR  headless: write every presented frame to DIR\n"
         "  --max-time MS      headless: stop after MS milliseconds of virtual time\n"
         "  --fullscreen       start in full screen\n"
         "  --menubar          headless: the window has the menu strip (screenshots show it)\n"
         "  --scale N          start with the window N times the game's size\n"
         "  --memory-limit MIB the memory the game may use, in MiB (default: half of\n"
         "                     the machine's memory, at most 4096); past it a\n"
         "                     command that allocates is a script error\n"
         "  --allow-shell      let the game start programs and open files outside its\n"
         "                     directory (winexec, shell)\n"
         "  --choose POLICY    headless without --events: answer every button wait and\n"
         "                     choice menu by POLICY: first, last, random or random:SEED\n"
         "  --coverage FILE    write the script lines that ran to FILE at the end\n"
         "  --trace            write the trace of every command (file, line, word and\n"
         "                     the script line) and of every value read to stderr\n"
         "  --step             start the debug window with step execution ticked; each\n"
         "                     step's message box takes an events-file answer when headless\n"
         "  --check            check the script without running it; prints\n"
         "                     FILE:LINE: error|warning: message, exits 1 on an error\n"
         "  --commands         list every command word, its family and whether it is built\n"
         "  --version          print the version\n"
         "  --help             print this text\n"
         "\n"
         "Exit status: 0 after `end` or a confirmed close, 1 after a script error,\n"
         "2 for a start-up or usage error, 3 when --max-time ran out.\n";
}

static bool ParseInt(const std::string& text, long long lo, long long hi, long long& out) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  long long v = std::strtoll(text.c_str(), &end, 10);
  if (errno || *end || v < lo || v > hi) return false;
  out = v;
  return true;
}

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
  CommandLine cl;
  auto value = [&](size_t& i, const std::string& flag) -> const std::string* {
    if (i + 1 >= args.size()) {
      cl.error = flag + " needs a value";
      return nullptr;
    }
    return &args[++i];
  };
  for (size_t i = 0; i < args.size() && cl.error.empty(); ++i) {
    const std::string& a = args[i];
    long long n = 0;
    if (a == "--help" || a == "-h") {
      cl.help = true;
    } else if (a == "--version") {
      cl.version = true;
    } else if (a == "--commands") {
      cl.listCommands = true;
    } else if (a == "--check") {
      cl.check = true;
    } else if (a == "--trace") {
      cl.trace = true;
    } else if (a == "--step") {
      cl.step = true;
    } else if (a == "--choose") {
      if (auto v = value(i, a)) {
        ChoosePolicy policy;
        if (ParseChoosePolicy(*v, 0, policy)) cl.choose = *v;
        else cl.error = "--choose needs first, last, random or random:SEED";
      }
    } else if (a == "--coverage") {
      if (auto v = value(i, a)) cl.coverageFile = *v;
    } else if (a == "--headless") {
      cl.options.headless = true;
    } else if (a == "--allow-shell") {
      cl.allowShell = true;
    } else if (a == "--fullscreen") {
      cl.options.fullscreen = true;
    } else if (a == "--menubar") {
      cl.options.menuBar = true;
    } else if (a == "--events") {
      if (auto v = value(i, a)) cl.options.eventsFile = *v;
    } else if (a == "--screenshot") {
      if (auto v = value(i, a)) cl.options.screenshotFile = *v;
    } else if (a == "--dump-frames") {
      if (auto v = value(i, a)) cl.options.dumpFramesDir = *v;
    } else if (a == "--max-time") {
      if (auto v = value(i, a)) {
        if (ParseInt(*v, 0, 1LL << 40, n)) cl.options.maxTimeMs = n;
        else cl.error = "--max-time needs a number of milliseconds";
      }
    } else if (a == "--memory-limit") {
      if (auto v = value(i, a)) {
        if (ParseInt(*v, 16, 1LL << 20, n)) cl.memoryLimitMiB = static_cast<uint64_t>(n);
        else cl.error = "--memory-limit needs a number of MiB from 16 to 1048576";
      }
    } else if (a == "--scale") {
      if (auto v = value(i, a)) {
        if (ParseInt(*v, 1, 16, n)) cl.options.scale = static_cast<int>(n);
        else cl.error = "--scale needs a number from 1 to 16";
      }
    } else if (!a.empty() && a[0] == '-') {
      cl.error = "unknown option " + a;
    } else if (cl.gameDir.empty()) {
      cl.gameDir = a;
    } else {
      cl.error = "more than one game directory given";
    }
  }
  bool headlessOnly = !cl.options.eventsFile.empty() || !cl.options.screenshotFile.empty() ||
                      !cl.options.dumpFramesDir.empty() || cl.options.maxTimeMs >= 0;
  if (cl.error.empty() && headlessOnly && !cl.options.headless) {
    cl.error = "--events, --screenshot, --dump-frames and --max-time need --headless";
  }
  if (cl.error.empty() && !cl.choose.empty()) {
    if (!cl.options.headless) {
      cl.error = "--choose needs --headless";
    } else if (!cl.options.eventsFile.empty()) {
      cl.error = "--choose answers the waits an --events file would: give one of them";
    }
  }
  return cl;
}

bool HoldsScript(const std::string& dir) {
  for (const char* name : {"0.txt", "00.txt", "svscript.zat", "svscript.dat"}) {
    if (platform::IsRegularFile(platform::ResolvePath(dir, name))) return true;
  }
  for (int i = 1; i < 100; ++i) {
    if (platform::IsRegularFile(platform::ResolvePath(dir, std::to_string(i) + ".txt"))) return true;
  }
  return false;
}

std::string ChooseGameDirectory(const std::string& given) {
  if (!given.empty()) return given;
  if (HoldsScript(".")) return ".";
  return platform::ExecutableDirectory();
}

}  // namespace sorv
