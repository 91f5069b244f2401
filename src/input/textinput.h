// Text input: the input dialog of inputstr, input and inputnum, and the edit
// field of textfield. Both are drawn by the engine on the game screen and
// take their text from the platform's text events, so a system input method
// works; what they hold is kept as Shift-JIS bytes, as every script string is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sorv {

struct Engine;

// The edit buffer of a field: characters (one or two Shift-JIS bytes each),
// the caret and the selection between the anchor and the caret.
class TextEdit {
 public:
  // A field holds at most this many bytes (its buffer is 256 with the NUL).
  static constexpr size_t kCapacity = 255;

  explicit TextEdit(std::string_view sjis = {});

  std::string Text() const;
  size_t Bytes() const;
  size_t Length() const { return chars_.size(); }  // characters
  size_t Caret() const { return caret_; }
  bool HasSelection() const { return anchor_ != caret_; }
  size_t SelectionStart() const { return anchor_ < caret_ ? anchor_ : caret_; }
  size_t SelectionEnd() const { return anchor_ < caret_ ? caret_ : anchor_; }
  const std::string& CharAt(size_t i) const { return chars_[i]; }

  // Typing one Unicode character: it replaces the selection. Control
  // characters, characters Shift-JIS cannot hold and characters that would
  // overflow the buffer are refused (false).
  bool Type(uint32_t codePoint);
  // Pasting UTF-8 text: line breaks end it; what does not fit is left out.
  void Paste(std::string_view utf8);
  std::string SelectedText() const;  // Shift-JIS
  void Backspace();
  void Delete();
  void Left(bool extend);
  void Right(bool extend);
  void Home(bool extend);
  void End(bool extend);
  void SelectAll();
  void SetCaret(size_t index, bool extend = false);
  void Clear();

 private:
  void EraseSelection();
  bool Insert(const std::string& sjisChar);

  std::vector<std::string> chars_;
  size_t caret_ = 0, anchor_ = 0;
};

// Checks of a confirmed entry. A string entry: empty, longer than the
// maximum (a maximum of 0 or less means no limit of its own), or (with
// `fullWidthOnly`) holding a byte pair that does not start with a lead byte.
enum class EntryProblem { None, Empty, TooLong, NotFullWidth, NotNumber };
EntryProblem CheckStringEntry(std::string_view sjis, int32_t maxLength, bool fullWidthOnly);
// Digits, with a "-" allowed only first; an empty entry passes.
EntryProblem CheckNumberEntry(std::string_view text);
// The number of a checked numeric entry (0 for an empty one), wrapping as
// integer variables do.
int32_t EntryNumber(std::string_view text);
bool AllFullWidth(std::string_view sjis);

// ---- Commands ----
void Cmd_inputstr(Engine& e);
void Cmd_input(Engine& e);
void Cmd_inputnum(Engine& e);
void Cmd_textfield(Engine& e);

}  // namespace sorv
