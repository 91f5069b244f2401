// Statements run again by their remembered shape must leave everything as
// reading them afresh does: variables, save points and the save image, the
// label log, the already-read map, and the errors.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "interp/interp.h"
#include "interp/statement_forms.h"
#include "persist/logs.h"
#include "persist/savepoint.h"
#include "script/script.h"
#include "support/engine_fixture.h"

namespace sorv {
namespace {

struct Outcome {
  std::vector<int32_t> ints;
  std::vector<int32_t> savePoints;
  uint64_t savePointCount = 0;
  std::vector<uint8_t> saveImage;
  std::vector<uint8_t> readMap;
  std::vector<bool> labelsLogged;
  std::string error;
  int shapes = 0;  // cache entries run by their shape
};

Outcome RunBody(const std::string& body, bool forms, const std::string& define = "") {
  test::ScriptEngine se("*define\nintlimit 7,0,5\n" + define + "game\n*start\n" + body);
  Engine& e = *se;
  e.interp.formsOff = !forms;
  e.savePoints.recordPositions = true;
  e.interp.readMap.assign(static_cast<size_t>(e.script.length) / 8 + 1, 0);
  RunStatements(e, true);  // the define block, for the limit
  e.savePoints.positions.clear();
  e.script.pos = FindLabel(e, "start");
  Outcome o;
  try {
    RunStatements(e, false);
  } catch (const ScriptError& err) {
    o.error = err.text;
  }
  MaterialiseSavePoint(e);
  o.ints.assign(e.values.intVars.begin(), e.values.intVars.begin() + 260);
  o.savePoints = e.savePoints.positions;
  o.savePointCount = e.savePoints.count;
  o.saveImage = e.saveImage.bytes;
  o.readMap = e.interp.readMap;
  for (const Label& l : e.script.labels) o.labelsLogged.push_back(InLabelLog(e, LabelName(e.script, l)));
  for (const InterpState::CachedCommand& c : e.interp.commandCache) {
    if (c.pos >= 0 && c.form > static_cast<uint8_t>(StatementForm::None)) ++o.shapes;
  }
  return o;
}

void ExpectSameBothWays(const std::string& body, int minShapes, const std::string& define = "") {
  const Outcome read = RunBody(body, false, define);
  const Outcome shaped = RunBody(body, true, define);
  EXPECT_EQ(read.shapes, 0);
  EXPECT_GE(shaped.shapes, minShapes) << body;
  EXPECT_EQ(shaped.error, read.error) << body;
  EXPECT_EQ(shaped.ints, read.ints) << body;
  EXPECT_EQ(shaped.savePoints, read.savePoints) << body;
  EXPECT_EQ(shaped.savePointCount, read.savePointCount) << body;
  EXPECT_EQ(shaped.saveImage, read.saveImage) << body;
  EXPECT_EQ(shaped.readMap, read.readMap) << body;
  EXPECT_EQ(shaped.labelsLogged, read.labelsLogged) << body;
}

TEST(StatementForms, VariableCommandsInALoop) {
  // Numbers and variables, blanks where the readers allow them, a limited
  // variable, a global one (not journaled), wrap-around, and operands that
  // are not plain numbers, which must keep being read.
  ExpectSameBothWays(
      "mov %3,2147483600\n*l\nadd %0,1\nadd % 1 , %0\nsub %2,3:inc %4\ndec %5\nmov %6,%0\n"
      "add %7,2\nif %7>5 inc %22\nadd %250,%0\nadd %3,7\nadd %8,1+1\nsub %9,%0*2\n"
      "if %0<40 goto *l\nend\n",
      8);
}

// Without automatic save points the one the script takes stays pending over
// the statements behind it, and the image must still be the state it was
// taken in.
TEST(StatementForms, StoresWhileASavePointIsPending) {
  ExpectSameBothWays("mov %1,5\n*l\nsavepoint\ninc %0\nadd %1,%0\nif %0<20 goto *l\nend\n", 3,
                     "autosaveoff\n");
}

TEST(StatementForms, EveryRelationBothWays) {
  // Each relation seen holding and failing, with a number on either side,
  // notif, a chain of terms (read the ordinary way) and text behind the
  // condition on the same line.
  ExpectSameBothWays(
      "*l\ninc %0\nif %0=3 inc %10\nif %0==4 inc %11\nif %0!=5 inc %12\nif %0<>6 inc %13\n"
      "if %0<7 inc %14\nif %0<=8 inc %15\nif %0>9 inc %16\nif %0>=10 inc %17\n"
      "if 12<%0 inc %18\nnotif %0>15 inc %19\nif %0>2 && %0<9 inc %20\nif %0=1 || %0=19 inc %21\n"
      "if %0 < 20   goto *l ; back\nend\n",
      10);
}

TEST(StatementForms, JumpsAndTheLabelLog) {
  ExpectSameBothWays(
      "*top\ninc %0\nif %0>30 goto *DONE\nif %0>20 goto   *  mid\ngoto *top\n*mid\ninc %1\ngoto *top\n"
      "*unused\nend\n*done\nend\n",
      4);
}

TEST(StatementForms, ErrorsAreTheOrdinaryOnes) {
  // A variable number out of range, met on the tenth pass of a loop whose
  // other statements run by their shapes by then.
  const Outcome read = RunBody("*l\ninc %0\nif %0<10 goto *l\nmov %99999,1\nend\n", false);
  const Outcome shaped = RunBody("*l\ninc %0\nif %0<10 goto *l\nmov %99999,1\nend\n", true);
  EXPECT_FALSE(read.error.empty());
  EXPECT_EQ(shaped.error, read.error);
  EXPECT_EQ(shaped.ints, read.ints);
}

}  // namespace
}  // namespace sorv
