#include "check/signatures.h"

#include <string>
#include <unordered_map>

namespace sorv {
namespace {

struct Shape {
  const char* word;
  const char* shape;
};

// Only words whose arguments are fixed in every form a game may use; a word
// that accepts several forms (bg takes a colour, a word or a picture) is
// described by the loosest letter that fits them all.
const Shape kShapes[] = {
    {"mov", "Te"}, {"add", "Te"}, {"sub", "vn"}, {"mul", "vn"}, {"div", "vn"}, {"mod", "vn"},
    {"inc", "v"}, {"dec", "v"}, {"rnd", "vn"}, {"rnd2", "vnn"}, {"itoa", "Vn"}, {"itoa2", "Vn"},
    {"atoi", "vs"}, {"len", "vs"}, {"mid", "Vsnn"}, {"cmp", "vss"}, {"labelexist", "vx"},
    {"sin", "vn"}, {"cos", "vn"}, {"tan", "vn"},
    {"goto", "l"}, {"gosub", "l"}, {"return", "[l"}, {"jumpf", ""}, {"jumpb", ""}, {"skip", "n"},
    {"tablegoto", "nl+"}, {"textgosub", "l"}, {"pretextgosub", "l"}, {"rgosub", "l"}, {"loadgosub", "l"},
    {"end", ""}, {"reset", ""}, {"definereset", ""}, {"game", ""},
    {"wait", "n"}, {"delay", "n"}, {"click", ""}, {"print", "n"},
    {"bg", "bn"}, {"ld", "win"}, {"cl", "wn"},
    {"lsp", "ninn[n"}, {"lsph", "ninn[n"}, {"csp", "n"}, {"vsp", "nn"}, {"msp", "nnn[n"}, {"amsp", "nnn[n"},
    {"cell", "nn"}, {"lsp2", "ninnnnn[n"}, {"lsph2", "ninnnnn[n"},
    {"setcursor", "ninn"}, {"abssetcursor", "ninn"},
    {"wave", "a"}, {"waveloop", "a"}, {"wavestop", ""}, {"dwave", "na"}, {"dwaveloop", "na"}, {"dwavestop", "n"},
    {"bgm", "a"}, {"mp3", "a"}, {"mp3loop", "a"}, {"bgmonce", "a"}, {"bgmstop", ""}, {"mp3stop", ""},
    {"play", "a"}, {"playonce", "a"}, {"playstop", ""},
    {"caption", "s"}, {"mesbox", "ss"}, {"textcolor", "c"}, {"selectcolor", "cc"},
    {"nega", "n"},
    {"numalias", "Nn"}, {"stralias", "Ns"}, {"defsub", "N"}, {"transmode", "w"},
    {"btn", "nnnnnnn"}, {"btnwait", "v"}, {"btnwait2", "v"}, {"spbtn", "nn"}, {"exbtn", "nns"},
    {"selnum", "vs+"}, {"savenumber", "n"}, {"humanz", "n"}, {"effectblank", "n"},
    {"defaultspeed", "nnn"}, {"clickstr", "sn"}, {"rubyon", ""}, {"rubyoff", ""},
    {"textoff", ""}, {"texton", ""}, {"textclear", ""}, {"br", ""},
    {"erasetextwindow", "n"}, {"effect", "nn[ni"},
    {"mpegplay", "mn"}, {"avi", "mn"}, {"fileexist", "vs"}, {"readfile", "Vs"},
};

const std::unordered_map<std::string_view, const char*>& Table() {
  static const std::unordered_map<std::string_view, const char*> table = [] {
    std::unordered_map<std::string_view, const char*> t;
    for (const Shape& s : kShapes) t.emplace(s.word, s.shape);
    return t;
  }();
  return table;
}

}  // namespace

const char* ArgumentShape(std::string_view word) {
  auto it = Table().find(word);
  return it == Table().end() ? nullptr : it->second;
}

}  // namespace sorv
