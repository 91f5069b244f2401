// The argument shapes of the commonly used command words, for the checker.
// A word without an entry has its arguments scanned loosely (strings,
// variable numbers and labels are still checked, kinds are not).
//
// One letter per argument:
//   n number   s string   l label   c colour   x anything
//   v integer variable (% or ?)   V string variable ($)
//   T variable of either kind; a following 'e' takes a value of its kind
//   i image tag, a sound file, m movie file: strings whose literal names
//     are looked up in the game
//   w a bare word (l/c/r, leftup ...)
//   b a background: a colour, a word or a picture
//   N a name being defined (an alias, a user command)
// '[' makes the rest optional; '+' repeats the last letter any number of
// times; '*' accepts anything further.
#pragma once

#include <string_view>

namespace sorv {

// The shape of `word` (built-in, lower case, without '_'), or nullptr.
const char* ArgumentShape(std::string_view word);

}  // namespace sorv
