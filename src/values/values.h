// The script's storage: integer and string variables, arrays, limits,
// numeric and string aliases, the getret pair and the random generator.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace sorv {

struct Engine;

constexpr int kMaxArrayDims = 20;
constexpr int kMaxAliases = 10000;

struct ArrayDesc {
  int32_t number = 0;
  int dims = 0;
  int32_t max[kMaxArrayDims] = {};
  std::vector<int32_t> elems;  // row-major: the last index varies fastest
};

struct ValueState {
  std::vector<int32_t> intVars;      // IntVars (NumVarCount + 2)
  std::vector<std::string> strVars;  // StrVars (NumVarCount + 2)
  std::vector<int32_t> limitLow;     // IntLimitLow
  std::vector<int32_t> limitHigh;    // IntLimitHigh (-1 = no limit)
  std::vector<int32_t> limited;      // numbers whose high limit is not -1

  std::vector<ArrayDesc> arrays;  // ArrayTable in declaration order
  std::unordered_map<int32_t, size_t> arrayIndex;

  std::vector<std::pair<std::string, int32_t>> numAliases;
  std::unordered_map<std::string, int32_t> numAliasIndex;  // first definition wins
  std::vector<std::pair<std::string, std::string>> strAliases;
  std::unordered_map<std::string, size_t> strAliasIndex;

  int32_t returnNumber = 0;   // ReturnNumber
  std::string returnString;   // ReturnString
  uint32_t rngState = 0;
  bool globalOn = false;
};

// Sizes every table for NumVarCount and empties arrays, aliases and limits.
void ResetValueTables(Engine& e);
// Clears variables below GlobalBorder (numbers to 0, strings to empty).
void ClearLocalVariables(Engine& e);
void ClearGlobalVariables(Engine& e);

void ApplyIntLimits(Engine& e);
void SetIntLimit(Engine& e, int32_t var, int32_t low, int32_t high);

void SeedRandom(Engine& e, uint32_t seed);
int32_t NextRandom(Engine& e);

// Range tests with the engine's messages.
void CheckIntVarNumber(Engine& e, int32_t n);
void CheckStrVarNumber(Engine& e, int32_t n);

enum class ArrayRefMode { Declare, Element, Row };
struct ArrayRef {
  int32_t number = 0;
  int count = 0;
  int32_t index[kMaxArrayDims] = {};
  ArrayDesc* desc = nullptr;  // null in declaration mode
};
// Reads "n[i][j]..." at ScriptPos (the '?' already consumed).
ArrayRef ReadArrayRef(Engine& e, ArrayRefMode mode);
int32_t& ArrayElement(Engine& e, const ArrayRef& ref);
void DeclareArray(Engine& e, const ArrayRef& ref);
ArrayDesc* FindArray(Engine& e, int32_t number);

// Aliases. Lookup returns false when the name is not defined.
bool LookupNumAlias(const Engine& e, const std::string& name, int32_t& value);
const std::string* LookupStrAlias(const Engine& e, const std::string& name);
void DefineNumAlias(Engine& e, const std::string& name, int32_t value);
void DefineStrAlias(Engine& e, const std::string& name, std::string text);

// Target readers for commands whose first argument is a variable: skip blanks,
// require the kind character, read the number with ReadNumberPrimary and
// range-test it. On a wrong kind character they report `kindMessage` under
// `kindTitle`.
int32_t ReadIntVarTarget(Engine& e, const char* kindMessage, const char* kindTitle = "構文エラー");
int32_t ReadStrVarTarget(Engine& e, const char* kindMessage, const char* kindTitle = "構文エラー");
// Stores into an integer variable and runs ApplyIntLimits.
void StoreIntLimited(Engine& e, int32_t var, int32_t value);

}  // namespace sorv
