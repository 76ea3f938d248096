// Operation codes of compiled expressions; the names appear in error messages.
#pragma once

#include <cstdint>
#include <string>

namespace quen {

enum TOpeCode : uint8_t {
  ocNone = 0,
  ocTo = 1,
  ocPlus = 2,
  ocMinus = 3,
  ocMul = 4,
  ocDiv = 5,
  ocMod = 6,
  ocOr = 7,
  ocAnd = 8,
  ocXor = 9,
  ocDimTo = 10,
  ocFunc = 11,
  ocEqual = 12,
  ocBig = 13,
  ocSmall = 14,
  ocEBig = 15,
  ocESmall = 16,
  ocShiftL = 17,
  ocShiftR = 18,
  ocComboStr = 19,
  ocNEqual = 20,
};

constexpr uint8_t kLastOpeCode = ocNEqual;

// "ocPlus" ...; codes beyond the table are shown as their number.
std::string OpeName(uint8_t code);

// Names the compiler invents. Every run owns the variables it creates under these names.
inline constexpr char kTempPrefix[] = "____";
inline constexpr char kDimTempPrefix[] = "____d_";
inline constexpr char kArgTemp[] = "____arg";

inline bool IsTempName(const std::string& name) {
  return name.compare(0, 4, kTempPrefix) == 0;
}

}  // namespace quen
