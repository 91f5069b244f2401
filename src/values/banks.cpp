#include <algorithm>

#include "interp/error.h"
#include "platform/memory_budget.h"
#include "script/reader.h"
#include "persist/journal.h"
#include "shell/engine.h"
#include "values/values.h"

namespace sorv {

void ResetValueTables(Engine& e) {
  ValueState& v = e.values;
  size_t n = static_cast<size_t>(e.script.numVarCount);
  v.intVars.assign(n + 2, 0);
  v.strVars.assign(n + 2, std::string());
  v.limitLow.assign(n, -1);
  v.limitHigh.assign(n, -1);
  v.limited.clear();
  v.arrays.clear();
  v.arrayIndex.clear();
  v.numAliases.clear();
  v.numAliasIndex.clear();
  v.strAliases.clear();
  v.strAliasIndex.clear();
  v.globalOn = false;
}

void ClearLocalVariables(Engine& e) {
  ValueState& v = e.values;
  size_t border = std::min(static_cast<size_t>(std::max(e.script.globalBorder, 0)), v.intVars.size());
  std::fill(v.intVars.begin(), v.intVars.begin() + static_cast<ptrdiff_t>(border), 0);
  for (size_t i = 0; i < border && i < v.strVars.size(); ++i) v.strVars[i].clear();
}

void ClearGlobalVariables(Engine& e) {
  ValueState& v = e.values;
  size_t border = std::min(static_cast<size_t>(std::max(e.script.globalBorder, 0)), v.intVars.size());
  std::fill(v.intVars.begin() + static_cast<ptrdiff_t>(border), v.intVars.end(), 0);
  for (size_t i = border; i < v.strVars.size(); ++i) v.strVars[i].clear();
}

// Only variables that carry a limit are visited; the result is the same as a
// sweep over the whole bank.
void ApplyIntLimits(Engine& e) {
  ValueState& v = e.values;
  for (int32_t i : v.limited) {
    int32_t& x = v.intVars[static_cast<size_t>(i)];
    int32_t hi = v.limitHigh[static_cast<size_t>(i)];
    int32_t lo = v.limitLow[static_cast<size_t>(i)];
    if (x > hi) x = hi;
    if (x < lo) x = lo;
  }
}

void SetIntLimit(Engine& e, int32_t var, int32_t low, int32_t high) {
  ValueState& v = e.values;
  CheckIntVarNumber(e, var);
  size_t i = static_cast<size_t>(var);
  bool was = v.limitHigh[i] != -1;
  v.limitLow[i] = low;
  v.limitHigh[i] = high;
  bool now = high != -1;
  if (now && !was) {
    v.limited.push_back(var);
  } else if (!now && was) {
    v.limited.erase(std::remove(v.limited.begin(), v.limited.end(), var), v.limited.end());
  }
}

void SeedRandom(Engine& e, uint32_t seed) { e.values.rngState = seed; }

int32_t NextRandom(Engine& e) {
  e.values.rngState = e.values.rngState * 214013u + 2531011u;
  return static_cast<int32_t>((e.values.rngState >> 16) & 0x7FFF);
}

void CheckIntVarNumber(Engine& e, int32_t n) {
  if (n < 0 || n > e.script.numVarCount - 1) ReportError(e, "エラー", "変数番号が範囲外をさしています。");
}

void CheckStrVarNumber(Engine& e, int32_t n) {
  if (n < 0 || n > e.script.numVarCount - 1) ReportError(e, "エラー", "文字列変数番号が範囲外です。");
}

ArrayDesc* FindArray(Engine& e, int32_t number) {
  auto it = e.values.arrayIndex.find(number);
  return it == e.values.arrayIndex.end() ? nullptr : &e.values.arrays[it->second];
}

ArrayRef ReadArrayRef(Engine& e, ArrayRefMode mode) {
  ArrayRef ref;
  ref.number = ReadNumberPrimary(e);
  SkipBlanks(e.script);
  ScriptState& s = e.script;
  if (s.cur() != '[') ReportError(e, "エラー", "配列変数指定が間違っています。");
  while (s.cur() == '[') {
    ++s.pos;
    int32_t idx = ReadNumberArgument(e);
    SkipBlanks(e.script);
    if (s.cur() != ']') ReportError(e, "エラー", "配列変数指定が間違っています。");
    ++s.pos;
    if (ref.count == kMaxArrayDims) {
      ReportError(e, "エラー", Format("配列の次元数が多すぎます（最大%d次元）", kMaxArrayDims));
    }
    ref.index[ref.count++] = idx;
  }
  SkipBlanks(e.script);
  if (mode == ArrayRefMode::Declare) return ref;

  ArrayDesc* d = FindArray(e, ref.number);
  int want = d ? (mode == ArrayRefMode::Element ? d->dims : d->dims - 1) : -1;
  if (!d || ref.count != want) ReportError(e, "エラー", "配列の添字指定が間違っています。");
  for (int k = 0; k < ref.count; ++k) {
    // A negative index would address memory before the array: refused like
    // an index beyond the maximum.
    if (ref.index[k] > d->max[k] || ref.index[k] < 0) {
      ReportError(e, "エラー",
                  Format("配列の添字が宣言された範囲を超えています（第%d次元 最大値%d 指定値%d）", k + 1,
                         d->max[k], ref.index[k]));
    }
  }
  ref.desc = d;
  return ref;
}

int32_t& ArrayElement(Engine& e, const ArrayRef& ref) {
  ArrayDesc* d = ref.desc ? ref.desc : FindArray(e, ref.number);
  if (!d) ReportError(e, "エラー", "未宣言の配列変数を使いました。");
  size_t offset = 0;
  for (int k = 0; k < d->dims; ++k) {
    int32_t idx = k < ref.count ? ref.index[k] : 0;
    offset = offset * static_cast<size_t>(d->max[k] + 1) + static_cast<size_t>(idx);
  }
  return d->elems[offset];
}

void DeclareArray(Engine& e, const ArrayRef& ref) {
  if (FindArray(e, ref.number)) ReportError(e, "エラー", "配列変数の二重宣言です。");
  if (static_cast<int32_t>(e.values.arrays.size()) >= e.script.numVarCount) {
    ReportError(e, "エラー", "配列変数が多すぎます。");
  }
  ArrayDesc d;
  d.number = ref.number;
  d.dims = ref.count;
  // Element counts beyond what a game could sensibly hold are refused rather
  // than letting the multiplication wrap and under-allocate.
  constexpr uint64_t kMaxElements = 64u * 1024 * 1024;
  uint64_t count = 1;
  for (int k = 0; k < ref.count; ++k) {
    if (ref.index[k] < 0) ReportError(e, "エラー", "配列の大きさが負の数です。");
    d.max[k] = ref.index[k];
    count *= static_cast<uint64_t>(ref.index[k]) + 1;
    if (count > kMaxElements) ReportError(e, "エラー", "配列が大きすぎます。");
  }
  platform::ReserveMemory(count * sizeof(int32_t));
  d.elems.assign(static_cast<size_t>(count), 0);
  e.values.arrayIndex.emplace(ref.number, e.values.arrays.size());
  e.values.arrays.push_back(std::move(d));
}

bool LookupNumAlias(const Engine& e, const std::string& name, int32_t& value) {
  auto it = e.values.numAliasIndex.find(name);
  if (it == e.values.numAliasIndex.end()) return false;
  value = it->second;
  return true;
}

const std::string* LookupStrAlias(const Engine& e, const std::string& name) {
  auto it = e.values.strAliasIndex.find(name);
  return it == e.values.strAliasIndex.end() ? nullptr : &e.values.strAliases[it->second].second;
}

void DefineNumAlias(Engine& e, const std::string& name, int32_t value) {
  e.values.numAliases.emplace_back(name, value);
  e.values.numAliasIndex.emplace(name, value);  // keeps the first definition
}

void DefineStrAlias(Engine& e, const std::string& name, std::string text) {
  e.values.strAliasIndex.emplace(name, e.values.strAliases.size());
  e.values.strAliases.emplace_back(name, std::move(text));
}

static int32_t ReadVarTarget(Engine& e, char kind, const char* kindMessage, const char* kindTitle) {
  SkipBlanks(e.script);
  if (e.script.cur() != static_cast<unsigned char>(kind)) ReportError(e, kindTitle, kindMessage);
  ++e.script.pos;
  int32_t n = ReadNumberPrimary(e);
  if (kind == '%') {
    CheckIntVarNumber(e, n);
  } else {
    CheckStrVarNumber(e, n);
  }
  return n;
}

int32_t ReadIntVarTarget(Engine& e, const char* kindMessage, const char* kindTitle) {
  return ReadVarTarget(e, '%', kindMessage, kindTitle);
}

int32_t ReadStrVarTarget(Engine& e, const char* kindMessage, const char* kindTitle) {
  return ReadVarTarget(e, '$', kindMessage, kindTitle);
}

void StoreIntLimited(Engine& e, int32_t var, int32_t value) {
  JournalInt(e, var);
  e.values.intVars[static_cast<size_t>(var)] = value;
  ApplyIntLimits(e);
}

}  // namespace sorv
