// An engine over an empty script: each check places one line behind the
// script (as a command line from outside would be) and reads or runs it, so
// variables, arrays and aliases persist from one line to the next.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <utility>

#include "../support/engine_fixture.h"
#include "script/reader.h"
#include "values/commands.h"

namespace sorv {

class ValuesTest : public ::testing::Test {
 protected:
  test::ScriptEngine script{""};
  Engine& e = *script;

  void At(std::string_view line) { script.At(line); }
  int32_t Eval(std::string_view line) {
    At(line);
    return ReadNumberArgument(e);
  }
  // Runs a handler over its arguments, as if its word had just been read.
  void Run(void (*handler)(Engine&), std::string_view args) {
    At(args);
    handler(e);
  }
  int32_t& Int(int n) { return e.values.intVars[static_cast<size_t>(n)]; }
  std::string& Str(int n) { return e.values.strVars[static_cast<size_t>(n)]; }
  // The rest of the placed line from ScriptPos, without its line feed.
  std::string Rest() const {
    std::string s(e.script.data() + e.script.pos);
    return s.substr(0, s.find('\n'));
  }

  template <class F>
  ScriptError ErrorOf(F&& f) {
    return test::ExpectScriptError(std::forward<F>(f));
  }
  ScriptError EvalError(std::string_view line) {
    return ErrorOf([&] { Eval(line); });
  }
  ScriptError RunError(void (*handler)(Engine&), std::string_view args) {
    return ErrorOf([&] { Run(handler, args); });
  }
};

}  // namespace sorv
