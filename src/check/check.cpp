// The script checker. It walks the script text the way the statement loop
// would, one statement after another, but evaluates nothing: it reads the
// shape of every command line and display line and compares the names it
// meets with what the whole script defines (labels, aliases, user commands).
#include "check/check.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <memory>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

#include "archive/archive.h"
#include "archive/lookup.h"
#include "check/script_lines.h"
#include "check/signatures.h"
#include "graphics/image_tag.h"
#include "interp/catalogue.h"
#include "interp/error.h"
#include "script/reader.h"
#include "script/script.h"
#include "shell/engine.h"

namespace sorv {
namespace {

struct RawFinding {
  int32_t pos;
  bool error;
  std::string message;
};

enum class AssetKind { Image, Sound, Movie };

class Checker {
 public:
  Checker(Engine& e, const CheckOptions& options)
      : e_(e), options_(options), d_(e.script.data()), len_(e.script.length), vars_(e.script.numVarCount) {}

  std::vector<RawFinding> Run() {
    IndexLabels();
    // The first pass only learns the names the script defines (aliases,
    // user commands), which may be used above their definition.
    collecting_ = true;
    Walk();
    collecting_ = false;
    Walk();
    for (const auto& [name, pos] : defsubs_) {
      if (!labels_.count(name)) Error(pos, "defsub " + name + " has no label *" + name);
    }
    found_.insert(found_.end(), duplicates_.begin(), duplicates_.end());
    return std::move(found_);
  }

 private:
  // --- Reporting -------------------------------------------------------------

  void Error(int32_t pos, std::string message) { Report(pos, true, std::move(message)); }
  void Warning(int32_t pos, std::string message) { Report(pos, false, std::move(message)); }
  void Report(int32_t pos, bool error, std::string message) {
    if (collecting_) return;
    found_.push_back(RawFinding{pos, error, std::move(message)});
  }

  unsigned char At(int32_t p) const { return p < len_ ? static_cast<unsigned char>(d_[p]) : 0; }
  unsigned char Cur() const { return At(p_); }
  void SkipBlanks() {
    while (IsBlank(Cur())) ++p_;
  }
  bool AtStatementEnd() const {
    unsigned char c = Cur();
    return c == 0 || c == '\n' || c == ':' || c == ';';
  }
  void SkipToLineEnd() {
    if (p_ >= len_) {
      p_ = len_;
      return;
    }
    const void* nl = std::memchr(d_ + p_, '\n', static_cast<size_t>(len_ - p_));
    p_ = nl ? static_cast<int32_t>(static_cast<const char*>(nl) - d_) : len_;
  }
  std::string ReadName() {
    std::string w;
    while (IsWordByte(Cur()) && w.size() <= kMaxWordBytes) w.push_back(static_cast<char>(LowerAscii(Cur()))), ++p_;
    while (IsWordByte(Cur())) ++p_;
    return w;
  }
  std::string Quoted(std::string_view s) { return "\"" + Sjis(s) + "\""; }

  // --- Labels ----------------------------------------------------------------

  // The label index as the loader builds it: a '*' first on a line (after
  // blanks) names a label; a second definition never becomes a jump target.
  void IndexLabels() {
    int32_t p = 0;
    while (p < len_) {
      unsigned char c = At(p);
      if (c == ' ' || c == '\t' || c == '\n') {
        ++p;
        continue;
      }
      if (c == '*') {
        p_ = p + 1;
        SkipBlanks();
        std::string name = ReadName();
        auto [it, fresh] = labels_.emplace(name, p);
        if (!fresh) Report(p, false, "label *" + Sjis(name) + " is defined again (the first one is used)");
        p = p_;
        while (IsBlank(At(p))) ++p;
        if (At(p) == '\n') ++p;
        continue;
      }
      const void* nl = std::memchr(d_ + p, '\n', static_cast<size_t>(len_ - p));
      p = nl ? static_cast<int32_t>(static_cast<const char*>(nl) - d_) : len_;
    }
    // Duplicates are found before the walk, which runs twice; they are
    // added to its findings at the end.
    duplicates_ = std::move(found_);
    found_.clear();
  }

  void CheckLabel(int32_t pos, const std::string& name) {
    if (!collecting_ && !labels_.count(name)) Error(pos, "label *" + Sjis(name) + " does not exist");
  }

  // A label argument: *name, or a string whose text begins with '*'.
  void LabelArgument() {
    SkipBlanks();
    int32_t at = p_;
    unsigned char c = Cur();
    if (c == '*') {
      ++p_;
      SkipBlanks();
      CheckLabel(at, ReadName());
      SkipBlanks();
      return;
    }
    if (c == '"' || c == '$') {
      std::string literal;
      bool plain = StringArgument(&literal);
      if (plain) {
        if (literal.empty() || literal[0] != '*') {
          Error(at, "a label name must begin with '*'");
        } else {
          std::string name;
          for (size_t i = 1; i < literal.size(); ++i) name.push_back(static_cast<char>(LowerAscii(literal[i])));
          CheckLabel(at, name);
        }
      }
      return;
    }
    Error(at, "a label (*name) is expected here");
    SkipArgument();
  }

  // --- Numbers ---------------------------------------------------------------

  void CheckVariable(int32_t at, int64_t n, bool string) {
    if (n >= 0 && n < vars_) return;
    Error(at, Format("%s variable %lld is outside the bank (0 to %d)", string ? "string" : "integer",
                     static_cast<long long>(n), vars_ - 1));
  }

  // Reads decimal digits; returns -1 when there are none.
  int64_t Digits() {
    int64_t v = 0;
    int n = 0;
    while (IsDigit(Cur())) {
      if (n < 18) v = v * 10 + (Cur() - '0');
      ++n;
      ++p_;
    }
    if (n > 18) Error(p_, "number has more than 18 digits");
    return n ? v : -1;
  }

  // A variable number after '%' or '$': digits are checked against the bank,
  // anything else is read as a number primary.
  void VariableNumber(int32_t at, bool string) {
    SkipBlanks();
    if (IsDigit(Cur())) {
      CheckVariable(at, Digits(), string);
    } else {
      NumberPrimary();
    }
    SkipBlanks();
  }

  void NumberPrimary() {
    SkipBlanks();
    int32_t at = p_;
    if (++nesting_ > kMaxReadNesting) {
      --nesting_;
      Error(at, "expression nested too deeply");
      SkipArgument();
      return;
    }
    unsigned char c = Cur();
    if (c == '?') {
      ++p_;
      NumberPrimary();
      if (Cur() != '[') Error(p_, "an array reference needs [index]");
      while (Cur() == '[') {
        ++p_;
        Expression();
        if (Cur() != ']') {
          Error(p_, "']' is missing");
          break;
        }
        ++p_;
      }
      SkipBlanks();
    } else if (c == '%') {
      ++p_;
      VariableNumber(at, false);
    } else if (c == '[') {
      ++p_;
      Expression();
      if (Cur() == ']') {
        ++p_;
      } else {
        Error(p_, "']' is missing");
      }
    } else if (c == '-' || IsDigit(c)) {
      if (c == '-') ++p_;
      Digits();
      SkipBlanks();
    } else if (c == '"' || c == '$') {
      Error(at, "a string is given where a number is expected");
      SkipArgument();
    } else if (IsWordStart(c)) {
      std::string name = ReadName();
      if (!collecting_ && !numAliases_.count(name)) Error(at, "'" + Sjis(name) + "' is no numeric alias");
      SkipBlanks();
    } else {
      Error(at, "a number is expected here");
    }
    --nesting_;
  }

  bool IsModAt() const {
    return LowerAscii(At(p_)) == 'm' && LowerAscii(At(p_ + 1)) == 'o' && LowerAscii(At(p_ + 2)) == 'd' &&
           (At(p_ + 3) == ' ' || At(p_ + 3) == '\t' || At(p_ + 3) == '\n');
  }

  // An expression as the evaluator reads it: operands and operators until
  // the first byte after an operand that is neither.
  void Expression() {
    bool operand = false;
    int depth = 0;
    for (;;) {
      SkipBlanks();
      unsigned char c = Cur();
      if (c == 0) break;
      if (c == '(' || c == ')') {
        depth += c == '(' ? 1 : -1;
        ++p_;
      } else if (c == '*' || c == '+' || c == '/') {
        if (!operand) Error(p_, "operator without a value before it");
        operand = false;
        ++p_;
      } else if (c == '-') {
        ++p_;
        operand = false;
      } else if (IsModAt()) {
        if (!operand) Error(p_, "operator without a value before it");
        operand = false;
        p_ += 4;
      } else if (operand) {
        break;
      } else {
        int32_t before = p_;
        NumberPrimary();
        operand = true;
        if (p_ == before) break;  // nothing readable: reported, stop here
      }
    }
    if (depth != 0) Error(p_, "unbalanced parentheses in the expression");
  }

  // --- Strings ---------------------------------------------------------------

  // Returns true when the primary was one string literal (copied to *literal).
  bool StringPrimary(std::string* literal) {
    SkipBlanks();
    int32_t at = p_;
    unsigned char c = Cur();
    if ((c == '(' || c == '[') && nesting_ >= kMaxReadNesting) {
      Error(at, "string nested too deeply");
      SkipToLineEnd();
      return false;
    }
    struct Depth {
      int& n;
      explicit Depth(int& depth) : n(++depth) {}
      ~Depth() { --n; }
    } depth(nesting_);
    if (c == '"') {
      int32_t start = ++p_;
      while (Cur() != '"' && Cur() != '\n' && Cur() != 0) ++p_;
      if (Cur() != '"') {
        Error(at, "string without its closing quote");
        return false;
      }
      if (literal) literal->assign(d_ + start, static_cast<size_t>(p_ - start));
      ++p_;
      SkipBlanks();
      return true;
    }
    if (c == '$') {
      ++p_;
      VariableNumber(at, true);
      return false;
    }
    if (c == '(' || c == '[') {
      ++p_;
      if (c == '(') {
        StringPrimary(nullptr);
      } else {
        LabelArgument();
      }
      SkipBlanks();
      if (Cur() != (c == '(' ? ')' : ']')) {
        Error(p_, c == '(' ? "')' is missing after the file name" : "']' is missing after the label");
        return false;
      }
      ++p_;
      StringPrimary(nullptr);
      StringPrimary(nullptr);
      return false;
    }
    if (c == '%' || c == '?' || c == '-' || IsDigit(c)) {
      Error(at, "a number is given where a string is expected");
      SkipArgument();
      return false;
    }
    if (IsWordStart(c)) {
      std::string name = ReadName();
      auto value = strAliasValues_.find(name);
      if (value != strAliasValues_.end()) {
        // An alias of one literal stands for that literal (its picture or
        // sound is looked up like a written name).
        if (literal) *literal = value->second;
        SkipBlanks();
        return true;
      }
      if (!collecting_ && !strAliases_.count(name)) {
        Error(at, numAliases_.count(name) ? "numeric alias '" + Sjis(name) + "' is given where a string is expected"
                                          : "'" + Sjis(name) + "' is no string alias");
      }
      SkipBlanks();
      return false;
    }
    Error(at, "a string is expected here");
    SkipArgument();
    return false;
  }

  bool StringArgument(std::string* literal) {
    bool plain = StringPrimary(literal);
    SkipBlanks();
    while (Cur() == '+') {
      ++p_;
      plain = false;
      StringPrimary(nullptr);
      SkipBlanks();
    }
    return plain;
  }

  void Colour() {
    SkipBlanks();
    if (Cur() != '#') {
      StringArgument(nullptr);
      return;
    }
    int32_t at = p_++;
    for (int i = 0; i < 6; ++i, ++p_) {
      if (!std::isxdigit(Cur())) {
        Error(at, "a colour is written #rrggbb");
        break;
      }
    }
    SkipBlanks();
  }

  // --- Assets ----------------------------------------------------------------

  void CheckAsset(int32_t at, const std::string& literal, AssetKind kind) {
    if (collecting_ || !options_.checkAssets || literal.empty()) return;
    std::string name = literal;
    if (kind == AssetKind::Image) {
      if (literal[0] == '*' || literal[0] == '>') return;
      try {
        ImageTag tag = ParseImageTag(e_, literal, 0);
        if (tag.textSprite || tag.placeholder || tag.body.empty() || tag.body[0] == '>') return;
        name = tag.body;
        if (!tag.maskFile.empty() && !Exists(tag.maskFile)) {
          Warning(at, "mask picture " + Quoted(tag.maskFile) + " is neither in the game directory nor in its archives");
        }
      } catch (const ScriptError& err) {
        Error(at, "image tag " + Quoted(literal) + ": " + err.message);
        return;
      }
    } else if (kind == AssetKind::Sound && literal[0] == '*') {
      return;  // a CD track
    } else if (kind == AssetKind::Sound && literal[0] == '(') {
      // Music may start with its start time: "(12)file.ogg".
      size_t close = literal.find(')');
      if (close == std::string::npos) return;
      name = literal.substr(close + 1);
    }
    if (name.empty() || Exists(name)) return;
    const char* what = kind == AssetKind::Image ? "picture" : kind == AssetKind::Sound ? "sound" : "movie";
    Warning(at, std::string(what) + " " + Quoted(name) + " is neither in the game directory nor in its archives");
  }

  bool Exists(const std::string& name) {
    auto it = exists_.find(name);
    if (it != exists_.end()) return it->second;
    bool found = false;
    try {
      found = ArchiveFileExists(e_, name);
    } catch (const ScriptError&) {
      found = true;  // an unreadable archive is not the script's fault
    }
    exists_.emplace(name, found);
    return found;
  }

  // --- Arguments -------------------------------------------------------------

  // Skips one argument of unknown shape: up to a comma or the statement's
  // end, passing over strings and brackets.
  void SkipArgument() {
    int depth = 0;
    for (;;) {
      unsigned char c = Cur();
      if (c == 0 || c == '\n') return;
      if (depth == 0 && (c == ',' || c == ':' || c == ';')) return;
      if (c == '"') {
        StringPrimary(nullptr);
        continue;
      }
      if (c == '(' || c == '[') ++depth;
      if ((c == ')' || c == ']') && depth > 0) --depth;
      if (c == '%' || c == '$') {
        int32_t at = p_++;
        SkipBlanks();
        if (IsDigit(Cur())) CheckVariable(at, Digits(), c == '$');
        continue;
      }
      if (IsLeadByte(c) && At(p_ + 1) != 0) ++p_;
      ++p_;
    }
  }

  // Arguments of a word without a shape: labels, strings and variable
  // numbers are still checked. A comma at a line end continues on the next
  // line (choice lists are written that way).
  void LooseArguments() {
    for (;;) {
      SkipBlanks();
      if (Cur() == '*') {
        LabelArgument();
      } else {
        SkipArgument();
      }
      SkipBlanks();
      if (Cur() != ',') return;
      ++p_;
      while (IsBlank(Cur()) || Cur() == '\n') ++p_;
    }
  }

  // Reads the arguments of a word by its shape (see signatures.h); what
  // follows the shaped ones is read loosely.
  void ShapedArguments(const std::string& word, const char* shape) {
    bool optional = false;
    bool first = true;
    char targetKind = 'n';
    char last = 0;
    for (const char* k = shape; *k;) {
      char kind = *k;
      if (kind == '[') {
        optional = true;
        ++k;
        continue;
      }
      if (kind == '*') {
        if (Cur() == ',') {
          ++p_;
          LooseArguments();
        }
        return;
      }
      if (kind == '+') kind = last;
      SkipBlanks();
      if (!first) {
        if (Cur() != ',') {
          if (optional || *k == '+') return;
          Error(p_, word + " needs more arguments");
          return;
        }
        ++p_;
        SkipBlanks();
        if (*k == '+' && Cur() == '\n') ++p_, SkipBlanks();
      } else if (AtStatementEnd()) {
        if (optional) return;
        Error(p_, word + " needs arguments");
        return;
      }
      first = false;
      int32_t at = p_;
      unsigned char c = Cur();
      std::string literal;
      switch (kind) {
        case 'n': NumberArgument(); break;
        case 's': StringArgument(nullptr); break;
        case 'l': LabelArgument(); break;
        case 'c': Colour(); break;
        case 'w':
        case 'x': SkipArgument(); break;
        case 'N':
          // A name being defined is written as it is, never computed.
          if (!IsWordStart(c)) Error(at, word + " needs a name here, not a value");
          SkipArgument();
          break;
        case 'b':
          // A background: a colour, a word (black, white) or a picture.
          if (c == '#') {
            Colour();
          } else if ((c == '"' || IsStringAliasAt()) && StringArgument(&literal)) {
            CheckAsset(at, literal, AssetKind::Image);
          } else {
            SkipArgument();
          }
          break;
        case 'v':
          if (c != '%' && c != '?') Error(at, word + " needs an integer variable here");
          NumberArgument();
          break;
        case 'V':
          if (c != '$') Error(at, word + " needs a string variable here");
          StringArgument(nullptr);
          break;
        case 'T':
          if (c == '$') {
            targetKind = 's';
            StringArgument(nullptr);
          } else {
            if (c != '%' && c != '?') Error(at, word + " needs a variable here");
            targetKind = 'n';
            NumberArgument();
          }
          break;
        case 'e':
          if (targetKind == 's') {
            StringArgument(nullptr);
          } else {
            NumberArgument();
          }
          break;
        case 'i':
        case 'a':
        case 'm':
          if (StringArgument(&literal)) {
            CheckAsset(at, literal, kind == 'i' ? AssetKind::Image : kind == 'a' ? AssetKind::Sound : AssetKind::Movie);
          }
          break;
        default: SkipArgument(); break;
      }
      last = kind;
      if (*k != '+') ++k;
    }
    SkipBlanks();
    if (Cur() == ',') {
      ++p_;
      LooseArguments();
    }
  }

  bool IsStringAliasAt() {
    if (!IsWordStart(Cur())) return false;
    int32_t save = p_;
    std::string name = ReadName();
    p_ = save;
    return strAliases_.count(name) > 0;
  }

  void NumberArgument() {
    SkipBlanks();
    unsigned char c = Cur();
    if (c == '"' || c == '$') {
      Error(p_, "a string is given where a number is expected");
      SkipArgument();
      return;
    }
    Expression();
  }

  // --- Conditions and loops --------------------------------------------------

  void Condition() {
    for (;;) {
      SkipBlanks();
      int32_t at = p_;
      unsigned char c = Cur();
      if (c == 'f' || c == 'l') {
        std::string word = ReadName();
        SkipBlanks();
        if (word == "fchk") {
          StringArgument(nullptr);
        } else if (word == "lchk") {
          // Asks whether a label was passed; it need not exist.
          if (Cur() == '*') {
            ++p_;
            SkipBlanks();
            ReadName();
            SkipBlanks();
          } else {
            StringArgument(nullptr);
          }
        } else {
          Error(at, "a condition compares values or tests fchk / lchk");
          SkipToLineEnd();
          return;
        }
      } else {
        bool strings = c == '"' || c == '$';
        if (strings) {
          StringArgument(nullptr);
        } else {
          Expression();
        }
        SkipBlanks();
        c = Cur();
        unsigned char next = At(p_ + 1);
        if (c == '=' || c == '<' || c == '>') {
          p_ += (next == '=' || (c == '<' && next == '>')) ? 2 : 1;
        } else if (c == '!' && next == '=') {
          p_ += 2;
        } else {
          Error(p_, "a comparison (==, !=, <, >, <=, >=) is expected");
          SkipToLineEnd();
          return;
        }
        if (strings) {
          StringArgument(nullptr);
        } else {
          NumberArgument();
        }
      }
      c = Cur();
      if (c != '&' && c != '|') return;
      ++p_;
      if (Cur() == c) ++p_;
    }
  }

  void ForLoop() {
    SkipBlanks();
    if (Cur() != '%' && Cur() != '?') Error(p_, "for needs an integer variable");
    NumberPrimary();
    SkipBlanks();
    if (Cur() != '=') {
      Error(p_, "for needs '=' after its variable");
      return;
    }
    ++p_;
    NumberArgument();
    SkipBlanks();
    int32_t at = p_;
    if (ReadName() != "to") {
      Error(at, "for needs 'to'");
      return;
    }
    NumberArgument();
    SkipBlanks();
    at = p_;
    if (IsWordStart(Cur())) {
      if (ReadName() != "step") {
        Error(at, "only 'step' may follow the end value of for");
        return;
      }
      NumberArgument();
    }
  }

  // --- Statements ------------------------------------------------------------

  void Command() {
    int32_t at = p_;
    std::string word = ReadName();
    bool builtinOnly = word[0] == '_';
    std::string builtin = builtinOnly ? word.substr(1) : word;
    SkipBlanks();
    if (!builtinOnly && (userCommands_.count(word) || luaCommands_.count(word))) {
      LooseArguments();
      return;
    }
    const CommandEntry* entry = FindCommand(builtin, true);
    if (!entry) {
      bool voice = builtin.size() > 1 && (builtin[0] == 'v' || ((builtin[0] == 'd' || builtin[0] == 'm') &&
                                                                builtin.size() > 2 && builtin[1] == 'v'));
      if (!voice) Error(at, "unknown command '" + Sjis(word) + "'");
      LooseArguments();
      return;
    }
    if (collecting_) Learn(builtin);
    if (builtin == "if" || builtin == "notif") {
      Condition();
      return;
    }
    if (builtin == "for") {
      ForLoop();
      return;
    }
    if (const char* shape = ArgumentShape(builtin)) {
      ShapedArguments(builtin, shape);
    } else {
      LooseArguments();
    }
  }

  // Definitions the first pass collects: user commands, Lua commands and
  // aliases. Reads the name without moving past the arguments' start.
  void Learn(const std::string& word) {
    if (word == "english") english_ = true;
    if (word == "pretextgosub") tagMode_ = true;
    if (word != "defsub" && word != "luasub" && word != "numalias" && word != "stralias") return;
    int32_t save = p_;
    SkipBlanks();
    int32_t at = p_;
    std::string name = ReadName();
    int32_t nameEnd = p_;
    p_ = save;
    if (name.empty()) return;
    if (word == "defsub") {
      userCommands_.insert(name);
      defsubs_.emplace(name, at);
    } else if (word == "luasub") {
      luaCommands_.insert(name);
    } else if (word == "numalias") {
      numAliases_.insert(name);
    } else {
      strAliases_.insert(name);
      p_ = nameEnd;
      SkipBlanks();
      if (Cur() == ',') {
        ++p_;
        std::string literal;
        if (StringArgument(&literal) && AtStatementEnd()) strAliasValues_.emplace(name, literal);
      }
      p_ = save;
    }
  }

  // A display line: variable references outside braces are read as the
  // statement loop reads them (a '%' right after "!x" is an inline
  // control's argument and stays text).
  void DisplayLine() {
    bool braces = false;
    for (;;) {
      unsigned char c = Cur();
      if (c == 0 || c == '\n') return;
      if (IsLeadByte(c) && At(p_ + 1) != 0) {
        p_ += 2;
        continue;
      }
      if (c == '{' || c == '}') braces = c == '{';
      if (!braces && c == '$') {
        int32_t at = p_++;
        VariableNumber(at, true);
        continue;
      }
      if (!braces && (c == '%' || c == '?') && !(p_ >= 2 && At(p_ - 2) == '!')) {
        NumberPrimary();
        continue;
      }
      ++p_;
    }
  }

  void Walk() {
    p_ = 0;
    while (p_ < len_) {
      unsigned char c = Cur();
      switch (c) {
        case 0: return;
        case ' ':
        case '\t':
        case '\n':
        case ':':
        case '~': ++p_; continue;
        case '*':
          ++p_;
          SkipBlanks();
          ReadName();
          continue;
        case ';': SkipToLineEnd(); continue;
        default: break;
      }
      int32_t before = p_;
      if ((c == '>' && english_) || (c == '[' && tagMode_)) {
        // An English line is shown as written; a tag is read by the
        // script's own routine. Neither expands variables.
        SkipToLineEnd();
      } else if (IsWordStart(c)) {
        Command();
        // What a command leaves behind on its line is read as statements
        // again, as the statement loop would.
        SkipBlanks();
        unsigned char after = Cur();
        if (after != 0 && after != '\n' && after != ':' && after != ';' && !IsWordStart(after)) SkipToLineEnd();
      } else {
        DisplayLine();
      }
      if (p_ == before) ++p_;  // never stand still
    }
  }

  Engine& e_;
  CheckOptions options_;
  const char* d_;
  int32_t len_;
  int32_t vars_;
  int32_t p_ = 0;
  int nesting_ = 0;
  bool collecting_ = false;
  bool english_ = false;
  bool tagMode_ = false;
  std::vector<RawFinding> found_;
  std::vector<RawFinding> duplicates_;
  std::unordered_map<std::string, int32_t> labels_;
  std::unordered_set<std::string> userCommands_, luaCommands_, numAliases_, strAliases_;
  std::unordered_map<std::string, int32_t> defsubs_;
  std::unordered_map<std::string, std::string> strAliasValues_;
  std::unordered_map<std::string, bool> exists_;
};

}  // namespace

std::vector<Finding> CheckScript(Engine& e, const CheckOptions& options) {
  if (options.checkAssets) {
    // Archives count whether or not the define block switches them on.
    e.archives.svaOn = true;
    try {
      OpenSv2Archives(e);
    } catch (const ScriptError&) {
    }
  }
  Checker checker(e, options);
  std::vector<RawFinding> raw = checker.Run();
  std::stable_sort(raw.begin(), raw.end(), [](const RawFinding& a, const RawFinding& b) { return a.pos < b.pos; });
  ScriptLines lines(e);
  std::vector<Finding> out;
  out.reserve(raw.size());
  for (RawFinding& r : raw) {
    ScriptLines::Place place = lines.At(r.pos);
    out.push_back(Finding{lines.FileName(place.file), place.line, r.error, std::move(r.message)});
  }
  return out;
}

std::vector<Finding> CheckGame(const std::string& gameDir, const CheckOptions& options) {
  auto e = std::make_unique<Engine>();
  e->gameDir = gameDir;
  try {
    LoadScript(*e);
  } catch (const ScriptError& err) {
    return {Finding{gameDir, 0, true, err.message}};
  } catch (const FatalExit& fx) {
    return {Finding{"0.txt", 1, true, fx.message}};
  }
  return CheckScript(*e, options);
}

std::string FormatFinding(const Finding& f) {
  return Format("%s:%d: %s: %s", f.file.c_str(), f.line, f.error ? "error" : "warning", f.message.c_str());
}

int RunCheck(const std::string& gameDir) {
  std::vector<Finding> found = CheckGame(gameDir);
  int errors = 0, warnings = 0;
  for (const Finding& f : found) {
    std::printf("%s\n", FormatFinding(f).c_str());
    (f.error ? errors : warnings)++;
  }
  std::fflush(stdout);
  std::fprintf(stderr, "sorv --check: %d error%s, %d warning%s\n", errors, errors == 1 ? "" : "s", warnings,
               warnings == 1 ? "" : "s");
  return errors ? 1 : 0;
}

}  // namespace sorv
