// The edit buffer of the input fields and the checks of a confirmed entry.
#include "input/textinput.h"

#include <algorithm>

#include "platform/encoding.h"
#include "script/reader.h"

namespace sorv {
namespace {

std::string Utf8Of(uint32_t cp) {
  std::string s;
  if (cp < 0x80) {
    s.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    s.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    s.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    s.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    s.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    s.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    s.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    s.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    s.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    s.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
  return s;
}

// Decodes one UTF-8 sequence at `i`; 0xFFFD for a broken one.
uint32_t NextCodePoint(std::string_view s, size_t& i) {
  unsigned char c = static_cast<unsigned char>(s[i++]);
  if (c < 0x80) return c;
  int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : -1;
  if (extra < 0) return 0xFFFD;
  uint32_t cp = c & (0x3F >> extra);
  for (int k = 0; k < extra; ++k) {
    if (i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return 0xFFFD;
    cp = (cp << 6) | (static_cast<unsigned char>(s[i++]) & 0x3F);
  }
  return cp;
}

// One character in Shift-JIS, or nothing when code page 932 has no such
// character.
std::string SjisChar(uint32_t cp) {
  if (cp < 0x20 || cp == 0x7F || cp == 0xFFFD || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) return {};
  std::string s = platform::Utf8ToSjis(Utf8Of(cp));
  if (s == "?" && cp != '?') return {};
  if (s.empty() || s.size() > 2) return {};
  return s;
}

}  // namespace

TextEdit::TextEdit(std::string_view sjis) {
  for (size_t i = 0; i < sjis.size();) {
    bool wide = IsLeadByte(static_cast<unsigned char>(sjis[i])) && i + 1 < sjis.size();
    size_t n = wide ? 2 : 1;
    if (Bytes() + n > kCapacity) break;
    chars_.emplace_back(sjis.substr(i, n));
    i += n;
  }
  caret_ = anchor_ = chars_.size();
}

std::string TextEdit::Text() const {
  std::string s;
  for (const std::string& c : chars_) s += c;
  return s;
}

size_t TextEdit::Bytes() const {
  size_t n = 0;
  for (const std::string& c : chars_) n += c.size();
  return n;
}

void TextEdit::EraseSelection() {
  if (!HasSelection()) return;
  size_t a = SelectionStart(), b = SelectionEnd();
  chars_.erase(chars_.begin() + static_cast<std::ptrdiff_t>(a), chars_.begin() + static_cast<std::ptrdiff_t>(b));
  caret_ = anchor_ = a;
}

bool TextEdit::Insert(const std::string& c) {
  size_t selected = 0;
  for (size_t i = SelectionStart(); i < SelectionEnd(); ++i) selected += chars_[i].size();
  if (c.empty() || Bytes() - selected + c.size() > kCapacity) return false;
  EraseSelection();
  chars_.insert(chars_.begin() + static_cast<std::ptrdiff_t>(caret_), c);
  caret_ = anchor_ = caret_ + 1;
  return true;
}

bool TextEdit::Type(uint32_t codePoint) { return Insert(SjisChar(codePoint)); }

void TextEdit::Paste(std::string_view utf8) {
  for (size_t i = 0; i < utf8.size();) {
    uint32_t cp = NextCodePoint(utf8, i);
    if (cp == '\n' || cp == '\r') break;
    std::string c = SjisChar(cp);
    if (c.empty()) continue;
    if (!Insert(c)) break;
  }
}

std::string TextEdit::SelectedText() const {
  std::string s;
  for (size_t i = SelectionStart(); i < SelectionEnd(); ++i) s += chars_[i];
  return s;
}

void TextEdit::Backspace() {
  if (HasSelection()) {
    EraseSelection();
  } else if (caret_ > 0) {
    chars_.erase(chars_.begin() + static_cast<std::ptrdiff_t>(--caret_));
    anchor_ = caret_;
  }
}

void TextEdit::Delete() {
  if (HasSelection()) {
    EraseSelection();
  } else if (caret_ < chars_.size()) {
    chars_.erase(chars_.begin() + static_cast<std::ptrdiff_t>(caret_));
  }
}

void TextEdit::SetCaret(size_t index, bool extend) {
  caret_ = std::min(index, chars_.size());
  if (!extend) anchor_ = caret_;
}

void TextEdit::Left(bool extend) {
  if (HasSelection() && !extend) {
    SetCaret(SelectionStart());
  } else if (caret_ > 0) {
    SetCaret(caret_ - 1, extend);
  }
}

void TextEdit::Right(bool extend) {
  if (HasSelection() && !extend) {
    SetCaret(SelectionEnd());
  } else {
    SetCaret(caret_ + 1, extend);
  }
}

void TextEdit::Home(bool extend) { SetCaret(0, extend); }
void TextEdit::End(bool extend) { SetCaret(chars_.size(), extend); }

void TextEdit::SelectAll() {
  anchor_ = 0;
  caret_ = chars_.size();
}

void TextEdit::Clear() {
  chars_.clear();
  caret_ = anchor_ = 0;
}

bool AllFullWidth(std::string_view s) {
  for (size_t i = 0; i < s.size(); i += 2) {
    if (!IsLeadByte(static_cast<unsigned char>(s[i]))) return false;
  }
  return true;
}

EntryProblem CheckStringEntry(std::string_view s, int32_t maxLength, bool fullWidthOnly) {
  if (s.empty()) return EntryProblem::Empty;
  if (maxLength > 0 && s.size() > static_cast<size_t>(maxLength)) return EntryProblem::TooLong;
  if (fullWidthOnly && !AllFullWidth(s)) return EntryProblem::NotFullWidth;
  return EntryProblem::None;
}

EntryProblem CheckNumberEntry(std::string_view s) {
  for (size_t i = 0; i < s.size(); ++i) {
    bool ok = (s[i] >= '0' && s[i] <= '9') || (i == 0 && s[i] == '-');
    if (!ok) return EntryProblem::NotNumber;
  }
  return EntryProblem::None;
}

int32_t EntryNumber(std::string_view s) {
  bool negative = !s.empty() && s[0] == '-';
  uint32_t n = 0;
  for (size_t i = negative ? 1 : 0; i < s.size(); ++i) n = n * 10u + static_cast<uint32_t>(s[i] - '0');
  return static_cast<int32_t>(negative ? 0u - n : n);
}

}  // namespace sorv
