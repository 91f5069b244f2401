// The value commands: moving, combining and converting variables, arrays and
// aliases, and the two condition commands. Each handler is called with
// ScriptPos just behind its command word and reads its own arguments.
#pragma once

#include <cstdint>
#include <string_view>

namespace sorv {

struct Engine;

void Cmd_mov(Engine& e);
void Cmd_mov3(Engine& e);
void Cmd_mov4(Engine& e);
void Cmd_mov5(Engine& e);
void Cmd_mov6(Engine& e);
void Cmd_mov7(Engine& e);
void Cmd_mov8(Engine& e);
void Cmd_mov9(Engine& e);
void Cmd_mov10(Engine& e);
void Cmd_movl(Engine& e);
void Cmd_add(Engine& e);
void Cmd_sub(Engine& e);
void Cmd_inc(Engine& e);
void Cmd_dec(Engine& e);
void Cmd_mul(Engine& e);
void Cmd_div(Engine& e);
void Cmd_mod(Engine& e);
void Cmd_rnd(Engine& e);
void Cmd_rnd2(Engine& e);
void Cmd_sin(Engine& e);
void Cmd_cos(Engine& e);
void Cmd_tan(Engine& e);
void Cmd_len(Engine& e);
void Cmd_mid(Engine& e);
void Cmd_itoa(Engine& e);
void Cmd_itoa2(Engine& e);
void Cmd_atoi(Engine& e);
void Cmd_cmp(Engine& e);
void Cmd_split(Engine& e);
void Cmd_splitnum(Engine& e);
void Cmd_getret(Engine& e);
void Cmd_getversion(Engine& e);
void Cmd_date(Engine& e);
void Cmd_time(Engine& e);
void Cmd_intlimit(Engine& e);
void Cmd_numalias(Engine& e);
void Cmd_stralias(Engine& e);
void Cmd_dim(Engine& e);
void Cmd_globalon(Engine& e);
void Cmd_if(Engine& e);
void Cmd_notif(Engine& e);

// Integer arithmetic shared by the commands and the expression evaluator:
// 32-bit two's-complement wrap-around, division truncating toward zero, the
// remainder taking the dividend's sign. A zero divisor is reported.
inline int32_t WrapAdd(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
inline int32_t WrapSub(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}
inline int32_t WrapMul(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}
[[noreturn]] void ReportZeroDivisor(Engine& e, bool remainder);
// INT32_MIN / -1 does not fit: it wraps to INT32_MIN (and the remainder is 0)
// instead of trapping.
inline int32_t CheckedDiv(Engine& e, int32_t a, int32_t b) {
  if (b == 0) ReportZeroDivisor(e, false);
  return b == -1 ? WrapSub(0, a) : a / b;
}
inline int32_t CheckedMod(Engine& e, int32_t a, int32_t b) {
  if (b == 0) ReportZeroDivisor(e, true);
  return b == -1 ? 0 : a % b;
}

// Byte-wise comparison as unsigned values; a prefix is smaller. -1, 0 or 1.
int CompareBytes(std::string_view a, std::string_view b);
// The value of the leading decimal number of a text (blanks and a sign
// allowed, 0 when there is none), saturating at the 32-bit range.
int32_t LeadingNumber(std::string_view text);

}  // namespace sorv
