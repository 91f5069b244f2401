#include "platform/headless/events_file.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <stdexcept>

#include "platform/fs.h"

namespace sorv::platform {

namespace {

// An events file describes what a player does: a few thousand events at
// most. These bounds keep a hostile file from expanding into hundreds of
// millions of events (a `wheel 1000` line repeated) or from being read
// without end.
constexpr size_t kMaxEventsPerLine = 4096;
constexpr size_t kMaxEvents = 1'000'000;
constexpr uint64_t kMaxEventsFileBytes = 64ull << 20;

struct KeyName {
  const char* name;
  int vk;
};

constexpr KeyName kKeyNames[] = {
    {"backspace", 0x08}, {"tab", 0x09},     {"enter", 0x0D},    {"return", 0x0D}, {"shift", 0x10},
    {"ctrl", 0x11},      {"control", 0x11}, {"alt", 0x12},      {"escape", 0x1B}, {"esc", 0x1B},
    {"space", 0x20},     {"pageup", 0x21},  {"pagedown", 0x22}, {"end", 0x23},    {"home", 0x24},
    {"left", 0x25},      {"up", 0x26},      {"right", 0x27},    {"down", 0x28},   {"insert", 0x2D},
    {"delete", 0x2E},
};

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Splits off the next blank-separated word of `rest`.
std::string_view NextWord(std::string_view& rest) {
  size_t i = 0;
  while (i < rest.size() && IsBlank(rest[i])) ++i;
  size_t j = i;
  while (j < rest.size() && !IsBlank(rest[j])) ++j;
  std::string_view word = rest.substr(i, j - i);
  rest.remove_prefix(j);
  return word;
}

template <typename T>
bool ParseNumber(std::string_view word, T& out) {
  if (word.empty()) return false;
  auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), out);
  return ec == std::errc() && end == word.data() + word.size();
}

// Decodes UTF-8 strictly (no overlongs, surrogates or values past U+10FFFF).
bool DecodeUtf8(std::string_view s, std::vector<uint32_t>& out) {
  size_t i = 0;
  while (i < s.size()) {
    auto b = static_cast<uint8_t>(s[i]);
    int len = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
    if (len == 0 || i + len > s.size()) return false;
    uint32_t cp = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
    for (int k = 1; k < len; ++k) {
      auto c = static_cast<uint8_t>(s[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (c & 0x3F);
    }
    static constexpr uint32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    out.push_back(cp);
    i += len;
  }
  return true;
}

class LineParser {
 public:
  LineParser(EventsScript& script, uint64_t& lastTime) : script_(script), lastTime_(lastTime) {}

  // Returns an error message, empty when the line was taken.
  std::string Parse(std::string_view line) {
    std::string_view rest = line;
    std::string_view timeWord = NextWord(rest);
    if (!ParseNumber(timeWord, time_)) return "bad time '" + std::string(timeWord) + "'";
    std::string kind = Lower(NextWord(rest));
    if (kind.empty()) return "missing event kind";
    rest_ = rest;

    if (kind == "answer") return ParseAnswer();
    if (time_ < lastTime_) {
      return "time " + std::to_string(time_) + " is before the previous event's time " +
             std::to_string(lastTime_);
    }
    lastTime_ = time_;

    if (kind == "click" || kind == "rclick") {
      MouseButton button = kind == "click" ? MouseButton::Left : MouseButton::Right;
      int x, y;
      if (auto err = Point(x, y); !err.empty()) return err;
      if (auto err = End(); !err.empty()) return err;
      AddMouse(Event::Type::MouseDown, x, y, button);
      AddMouse(Event::Type::MouseUp, x, y, button);
      return "";
    }
    if (kind == "mdown" || kind == "mup") {
      int x, y;
      if (auto err = Point(x, y); !err.empty()) return err;
      MouseButton button = MouseButton::Left;
      std::string name = Lower(NextWord(rest_));
      if (name == "right") {
        button = MouseButton::Right;
      } else if (name == "middle") {
        button = MouseButton::Middle;
      } else if (!name.empty() && name != "left") {
        return "unknown mouse button '" + name + "'";
      }
      if (auto err = End(); !err.empty()) return err;
      AddMouse(kind == "mdown" ? Event::Type::MouseDown : Event::Type::MouseUp, x, y, button);
      return "";
    }
    if (kind == "move") {
      int x, y;
      if (auto err = Point(x, y); !err.empty()) return err;
      if (auto err = End(); !err.empty()) return err;
      AddMouse(Event::Type::MouseMove, x, y, MouseButton::Left);
      return "";
    }
    if (kind == "wheel") {
      std::string_view word = NextWord(rest_);
      int notches;
      if (!ParseNumber(word, notches) || notches == 0 || notches < -1000 || notches > 1000) {
        return "wheel needs a non-zero number of notches (-1000..1000), not '" + std::string(word) + "'";
      }
      if (auto err = End(); !err.empty()) return err;
      for (int i = 0; i < (notches < 0 ? -notches : notches); ++i) {
        Event ev;
        ev.type = Event::Type::Wheel;
        ev.wheel = notches < 0 ? -1 : 1;
        Add(ev);
      }
      return "";
    }
    if (kind == "key" || kind == "keydown" || kind == "keyup") {
      std::string_view name = NextWord(rest_);
      if (name.empty()) return kind + " needs a key name";
      int vk = VirtualKeyFromName(name);
      if (vk == 0) return "unknown key name '" + std::string(name) + "'";
      if (auto err = End(); !err.empty()) return err;
      Event ev;
      ev.vk = vk;
      if (kind != "keyup") {
        ev.type = Event::Type::KeyDown;
        Add(ev);
      }
      if (kind != "keydown") {
        ev.type = Event::Type::KeyUp;
        Add(ev);
      }
      return "";
    }
    if (kind == "text") {
      // The rest of the line after one separator, inner and trailing blanks included.
      std::string_view text = rest_.empty() ? rest_ : rest_.substr(1);
      std::vector<uint32_t> points;
      if (text.empty()) return "text needs a string";
      if (!DecodeUtf8(text, points)) return "text is not valid UTF-8";
      if (points.size() > kMaxEventsPerLine) {
        return "text gives " + std::to_string(points.size()) + " events, more than the " +
               std::to_string(kMaxEventsPerLine) + " a line may give";
      }
      for (uint32_t cp : points) {
        Event ev;
        ev.type = Event::Type::Text;
        ev.ch = cp;
        Add(ev);
      }
      return "";
    }
    if (kind == "menu") {
      std::string_view word = NextWord(rest_);
      Event ev;
      ev.type = Event::Type::Command;
      if (!ParseNumber(word, ev.command) || ev.command < 0 || ev.command > 65535) {
        return "menu needs a command number (0..65535), not '" + std::string(word) + "'";
      }
      if (auto err = End(); !err.empty()) return err;
      Add(ev);
      return "";
    }
    if (kind == "close") {
      if (auto err = End(); !err.empty()) return err;
      Event ev;
      ev.type = Event::Type::Close;
      Add(ev);
      return "";
    }
    return "unknown event kind '" + kind + "'";
  }

 private:
  std::string ParseAnswer() {
    std::string word = Lower(NextWord(rest_));
    MessageBoxAnswer answer;
    if (word == "yes") {
      answer = MessageBoxAnswer::Yes;
    } else if (word == "no") {
      answer = MessageBoxAnswer::No;
    } else if (word == "ok") {
      answer = MessageBoxAnswer::Ok;
    } else if (word == "cancel") {
      answer = MessageBoxAnswer::Cancel;
    } else {
      return "answer must be yes, no, ok or cancel, not '" + word + "'";
    }
    if (auto err = End(); !err.empty()) return err;
    if (script_.answers.size() >= kMaxEvents) return "more than " + std::to_string(kMaxEvents) + " answers";
    script_.answers.push_back(answer);
    return "";
  }

  std::string Point(int& x, int& y) {
    std::string_view xs = NextWord(rest_);
    std::string_view ys = NextWord(rest_);
    if (!ParseNumber(xs, x) || !ParseNumber(ys, y)) return "expected X Y coordinates";
    return "";
  }

  std::string End() {
    std::string_view extra = NextWord(rest_);
    if (!extra.empty()) return "unexpected '" + std::string(extra) + "'";
    return "";
  }

  void AddMouse(Event::Type type, int x, int y, MouseButton button) {
    Event ev;
    ev.type = type;
    ev.x = x;
    ev.y = y;
    ev.button = button;
    Add(ev);
  }

  void Add(const Event& ev) {
    if (script_.events.size() >= kMaxEvents) {
      throw std::length_error("the file gives more than " + std::to_string(kMaxEvents) + " events");
    }
    script_.events.push_back(TimedEvent{time_, ev});
  }

  EventsScript& script_;
  uint64_t& lastTime_;
  uint64_t time_ = 0;
  std::string_view rest_;
};

}  // namespace

int VirtualKeyFromName(std::string_view name) {
  std::string lower = Lower(name);
  if (lower.size() == 1) {
    char c = lower[0];
    if (c >= 'a' && c <= 'z') return 'A' + (c - 'a');
    if (c >= '0' && c <= '9') return c;
  }
  if (lower.size() >= 2 && lower[0] == 'f') {
    int n;
    if (ParseNumber(std::string_view(lower).substr(1), n) && n >= 1 && n <= 12 && lower[1] != '0') {
      return 0x70 + n - 1;
    }
  }
  for (const KeyName& key : kKeyNames) {
    if (lower == key.name) return key.vk;
  }
  return 0;
}

EventsScript ParseEventsScript(std::string_view text) {
  EventsScript script;
  uint64_t lastTime = 0;
  LineParser parser(script, lastTime);
  size_t lineNumber = 0;
  while (!text.empty()) {
    ++lineNumber;
    size_t nl = text.find('\n');
    std::string_view line = text.substr(0, nl);
    text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    size_t first = 0;
    while (first < line.size() && IsBlank(line[first])) ++first;
    if (first == line.size() || line[first] == '#') continue;
    std::string error;
    try {
      error = parser.Parse(line.substr(first));
    } catch (const std::length_error& ex) {
      error = ex.what();
    }
    if (!error.empty()) {
      throw std::runtime_error("events file line " + std::to_string(lineNumber) + ": " + error);
    }
  }
  return script;
}

EventsScript LoadEventsScript(const std::string& path) {
  std::string why;
  auto bytes = ReadWholeFile(path, kMaxEventsFileBytes, &why);
  if (!bytes) {
    if (why == "file too large") {
      why = "it is larger than " + std::to_string(kMaxEventsFileBytes >> 20) + " MiB";
    } else if (IsDirectory(path)) {
      why = "it is a directory";
    }
    throw std::runtime_error("cannot read events file " + path + ": " + why);
  }
  return ParseEventsScript(std::string_view(bytes->data(), bytes->size()));
}

}  // namespace sorv::platform
