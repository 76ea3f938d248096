// Value type codes and declaration scopes shared by values, variables, saves and expressions.
#pragma once

#include <cstdint>

namespace quen {

constexpr uint8_t PT_NONE = 0;
constexpr uint8_t PT_INT = 1;
constexpr uint8_t PT_FLOAT = 2;
constexpr uint8_t PT_BOOL = 3;
constexpr uint8_t PT_STR = 4;

constexpr uint8_t VS_GLOBAL = 0;
constexpr uint8_t VS_AUTODESTROY = 1;
constexpr uint8_t VS_LOCAL = 2;
constexpr uint8_t VS_STATUS = 3;

// The 51 system variables occupy the first positions of the variable table.
constexpr int kSystemVariableCount = 51;

}  // namespace quen
