// The fixed conversions between the four value types and the checked arithmetic of reals.
// Reals never hold infinities or NaNs: whatever would produce one raises the system's error,
// as the original machine's FPU trapped.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quen::conv {

// Optional sign, decimal digits or '$' and hexadecimal digits, blanks around allowed; a
// decimal outside the Int32 range or more than 32 bits of hexadecimal is not a number.
std::optional<int32_t> ParseInt(std::string_view text);
// Optional sign, digits with an optional period, optional exponent; blanks around allowed.
// Converted in the C locale; "inf", "nan" or hexadecimal floats are not numbers, and neither is a
// value beyond the range of the type.
std::optional<long double> ParseFloat(std::string_view text);

std::string IntToText(int32_t v);
// 15 significant digits, trailing zeros removed; scientific form only when the integer part has
// more than 15 digits or the magnitude is below 0.00001.
std::string FloatToText(long double v);
inline const char* BoolToText(bool v) {
  return v ? "TRUE" : "FALSE";
}

int32_t TextToInt(std::string_view text);  // 0 when not a number
long double TextToFloat(std::string_view text);
inline bool TextToBool(std::string_view text) {
  return text == "TRUE";
}

// Truncates toward zero through a 64-bit integer and keeps the low 32 bits; beyond the 64-bit
// range it raises the invalid-operation error.
int32_t FloatToInt(long double v);

// Raises the overflow or invalid-operation error for a non-finite result.
long double CheckFloat(long double v);

// 32-bit arithmetic that wraps; division and remainder by zero or of INT_MIN by -1 raise.
int32_t IntAdd(int32_t a, int32_t b);
int32_t IntSub(int32_t a, int32_t b);
int32_t IntMul(int32_t a, int32_t b);
int32_t IntDiv(int32_t a, int32_t b);
int32_t IntMod(int32_t a, int32_t b);
int32_t IntShl(int32_t a, int32_t b);
int32_t IntShr(int32_t a, int32_t b);

long double FloatAdd(long double a, long double b);
long double FloatSub(long double a, long double b);
long double FloatMul(long double a, long double b);
long double FloatDiv(long double a, long double b);

}  // namespace quen::conv
