// The relations of a comparison term, shared by the condition commands and by
// the statement loop's remembered comparisons (interp/statement_forms.h).
#pragma once

#include <cstdint>

namespace sorv {

struct ScriptState;

enum class Relation : uint8_t { Equal, NotEqual, Less, LessEqual, Greater, GreaterEqual };

// The relation whose operator starts at `p`, and the bytes it takes: "=" or
// "==", "!=", "<", "<=", "<>", ">", ">=". 0 when there is none there; a lone
// "!" is none.
int RelationAt(const ScriptState& s, int32_t p, Relation& r);

inline bool Holds(Relation r, int32_t left, int32_t right) {
  switch (r) {
    case Relation::Equal: return left == right;
    case Relation::NotEqual: return left != right;
    case Relation::Less: return left < right;
    case Relation::LessEqual: return left <= right;
    case Relation::Greater: return left > right;
    case Relation::GreaterEqual: return left >= right;
  }
  return false;
}

}  // namespace sorv
