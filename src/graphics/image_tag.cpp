#include "graphics/image_tag.h"

#include "interp/error.h"

namespace sorv {
namespace {

constexpr size_t kMaxTextSpriteColours = 11;
constexpr size_t kMaxBandColours = 32;

class TagScanner {
 public:
  TagScanner(Engine& e, std::string_view text, const char* title, const char* message)
      : e_(e), s_(text), title_(title), message_(message) {}

  bool AtEnd() const { return i_ >= s_.size(); }
  char Peek() const { return AtEnd() ? '\0' : s_[i_]; }
  char Take() { return AtEnd() ? '\0' : s_[i_++]; }
  size_t Pos() const { return i_; }
  std::string_view Rest() const { return AtEnd() ? std::string_view() : s_.substr(i_); }
  void SkipBlanks() {
    while (Peek() == ' ' || Peek() == '\t') ++i_;
  }
  [[noreturn]] void Fail() { ReportError(e_, title_, message_); }
  void Expect(char c) {
    SkipBlanks();
    if (Take() != c) Fail();
  }
  // A decimal number, optionally negative; saturates rather than overflows.
  int32_t Number() {
    SkipBlanks();
    bool negative = Peek() == '-';
    if (negative) ++i_;
    if (!(Peek() >= '0' && Peek() <= '9')) Fail();
    int64_t v = 0;
    while (Peek() >= '0' && Peek() <= '9') {
      v = v * 10 + (Take() - '0');
      if (v > INT32_MAX) v = INT32_MAX;
    }
    return static_cast<int32_t>(negative ? -v : v);
  }
  // "#rrggbb" with the '#' next; -1 when the six digits are not there.
  int32_t Colour() {
    if (Peek() != '#' || s_.size() - i_ < 7) return -1;
    int32_t v = 0;
    for (size_t k = 1; k <= 6; ++k) {
      int d = HexDigit(s_[i_ + k]);
      if (d < 0) return -1;
      v = v * 16 + d;
    }
    i_ += 7;
    return v;
  }

 private:
  static int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  }
  Engine& e_;
  std::string_view s_;
  size_t i_ = 0;
  const char* title_;
  const char* message_;
};

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

void ParseFilters(TagScanner& in, ImageTag& t) {
  in.Take();  // '<'
  for (;;) {
    while (in.Peek() == ' ' || in.Peek() == '\t' || in.Peek() == ',') in.Take();
    char c = Lower(in.Peek());
    if (c == '>') {
      in.Take();
      return;
    }
    if (c == 'b') {
      in.Take();
      t.brightness = true;
      t.brightnessValue = in.Number();
    } else if (c == 'r') {
      in.Take();
      if (Lower(in.Take()) != 'g' || Lower(in.Take()) != 'b') in.Fail();
      t.rgb = true;
      t.red = in.Number();
      in.Expect(',');
      t.green = in.Number();
      in.Expect(',');
      t.blue = in.Number();
    } else {
      in.Fail();  // anything else, the end of the tag included
    }
  }
}

// "/n;" or "/n,time,mode;" or "/n,<t1,...,tn>,mode;"
void ParseCells(TagScanner& in, ImageTag& t) {
  in.Take();  // '/'
  t.cells = in.Number();
  if (t.cells < 1) in.Fail();
  in.SkipBlanks();
  if (in.Peek() == ';') {
    in.Take();
    t.cellTime = kCellNeverAdvance;
    t.animationMode = 3;
    return;
  }
  in.Expect(',');
  in.SkipBlanks();
  if (in.Peek() == '<') {
    in.Take();
    t.cellTime = kCellTimeList;
    for (int32_t k = 0; k < t.cells; ++k) {
      if (k > 0) in.Expect(',');
      t.cellTimes.push_back(in.Number());
    }
    in.Expect('>');
  } else {
    t.cellTime = in.Number();
    // A single time of -1 would read as "see the list" with no list.
    if (t.cellTime == kCellTimeList) t.cellTime = 0;
  }
  in.Expect(',');
  t.animationMode = in.Number();
  in.Expect(';');
  if (t.animationMode == 3) {
    t.cellTime = kCellNeverAdvance;
    t.cellTimes.clear();
  }
}

void ParseTextSprite(Engine& e, TagScanner& in, ImageTag& t) {
  t.textSprite = true;
  t.mode = kTransAlpha;
  if (in.Peek() == '/') {
    in.Take();
    t.text.sized = true;
    t.text.width = in.Number();
    in.Expect(',');
    t.text.height = in.Number();
    in.Expect(',');
    t.text.pitch = in.Number();
    in.SkipBlanks();
    if (in.Peek() == ',') {
      in.Take();
      t.text.style = in.Number();
    }
    in.Expect(';');
  }
  int32_t colour;
  while (t.text.colours.size() < kMaxTextSpriteColours && (colour = in.Colour()) >= 0) t.text.colours.push_back(colour);
  if (t.text.colours.empty()) ReportError(e, "エラー", "画像タグ:sの次は色指定#rrggbbです。");
  if (in.Peek() == '$') {
    in.Take();
    t.textVariable = in.Number();
  } else {
    t.text.text = std::string(in.Rest());
  }
}

// Mode letter (or key colour, mask file, text sprite), other characters up
// to the cell part or the semicolon skipped, then the cell part.
void ParseMode(Engine& e, TagScanner& in, ImageTag& t) {
  in.Take();  // ':'
  in.SkipBlanks();
  bool chosen = false;
  while (!in.AtEnd() && !chosen && in.Peek() != '/' && in.Peek() != ';') {
    char c = Lower(in.Peek());
    chosen = true;
    if (c == 'a') {
      t.mode = kTransAlpha;
    } else if (c == 'l') {
      t.mode = kTransLeftUp;
    } else if (c == 'r') {
      t.mode = kTransRightUp;
    } else if (c == 'c') {
      t.mode = kTransCopy;
    } else if (c == '#') {
      int32_t colour = in.Colour();
      if (colour < 0) in.Fail();
      t.mode = kTransSelect;
      t.keyRed = (colour >> 16) & 255;
      t.keyGreen = (colour >> 8) & 255;
      t.keyBlue = colour & 255;
      continue;
    } else if (c == '!') {
      in.Take();
      t.mode = kTransSelect;
      t.keyIndex = in.Number();
      continue;
    } else if (c == 'm') {
      in.Take();
      while (!in.AtEnd() && in.Peek() != '/' && in.Peek() != ';') t.maskFile.push_back(in.Take());
      t.mode = kTransCopy;
      continue;
    } else if (c == 's') {
      in.Take();
      ParseTextSprite(e, in, t);
      return;
    } else {
      chosen = false;
    }
    in.Take();
  }
  while (!in.AtEnd() && in.Peek() != '/' && in.Peek() != ';') in.Take();
  if (in.Peek() == '/') {
    ParseCells(in, t);
  } else if (in.Peek() == ';') {
    in.Take();
  }
  t.body = std::string(in.Rest());
}

}  // namespace

ImageTag ParseImageTag(Engine& e, std::string_view tag, int32_t defaultMode) {
  ImageTag t;
  t.mode = defaultMode;
  if (!tag.empty() && tag[0] == '*') {
    t.placeholder = true;
    t.mode = kTransLeftUp;
    return t;
  }
  TagScanner in(e, tag, "タグエラー", "タグの指定がおかしいです。");
  if (in.Peek() == '<') ParseFilters(in, t);
  if (in.Peek() == ':') {
    ParseMode(e, in, t);
  } else {
    t.body = std::string(in.Rest());
  }
  return t;
}

ColourBands ParseColourBands(Engine& e, std::string_view body) {
  ColourBands b;
  TagScanner in(e, body, "エラー", "グラフィックファイルのタグ指定>が間違っています。");
  in.Take();  // '>'
  b.width = in.Number();
  in.Expect(',');
  b.height = in.Number();
  in.Expect(',');
  in.SkipBlanks();
  while (!in.AtEnd()) {
    int32_t colour = in.Colour();
    if (colour < 0) in.Fail();
    if (b.colours.size() == kMaxBandColours) ReportError(e, "エラー", "矩形塗りつぶしの数は32個までです");
    b.colours.push_back(colour);
  }
  if (b.colours.empty()) in.Fail();
  return b;
}

}  // namespace sorv
