#include "expr/hanzen.h"

#include <array>
#include <cstdint>

#include "base/sjis.h"

namespace quen {

namespace {

// Full-width forms of 0x20 to 0x7E. The double quote and the apostrophe take the JIS
// right-hand quotes: the code page's own full-width quote forms are vendor extensions that
// fonts often lack.
constexpr uint16_t kAsciiZen[0x7F - 0x20] = {
    0x8140, 0x8149, 0x8168, 0x8194, 0x8190, 0x8193, 0x8195, 0x8166,  // space ! " # $ % & '
    0x8169, 0x816A, 0x8196, 0x817B, 0x8143, 0x817C, 0x8144, 0x815E,  // ( ) * + , - . /
    0x824F, 0x8250, 0x8251, 0x8252, 0x8253, 0x8254, 0x8255, 0x8256,  // 0-7
    0x8257, 0x8258, 0x8146, 0x8147, 0x8183, 0x8181, 0x8184, 0x8148,  // 8 9 : ; < = > ?
    0x8197, 0x8260, 0x8261, 0x8262, 0x8263, 0x8264, 0x8265, 0x8266,  // @ A-G
    0x8267, 0x8268, 0x8269, 0x826A, 0x826B, 0x826C, 0x826D, 0x826E,  // H-O
    0x826F, 0x8270, 0x8271, 0x8272, 0x8273, 0x8274, 0x8275, 0x8276,  // P-W
    0x8277, 0x8278, 0x8279, 0x816D, 0x815F, 0x816E, 0x814F, 0x8151,  // X Y Z [ \ ] ^ _
    0x814D, 0x8281, 0x8282, 0x8283, 0x8284, 0x8285, 0x8286, 0x8287,  // ` a-g
    0x8288, 0x8289, 0x828A, 0x828B, 0x828C, 0x828D, 0x828E, 0x828F,  // h-o
    0x8290, 0x8291, 0x8292, 0x8293, 0x8294, 0x8295, 0x8296, 0x8297,  // p-w
    0x8298, 0x8299, 0x829A, 0x816F, 0x8162, 0x8170, 0x8160,          // x y z { | } ~
};

// Full-width forms of the half-width katakana 0xA1 to 0xDF.
constexpr uint16_t kKanaZen[0xE0 - 0xA1] = {
    0x8142, 0x8175, 0x8176, 0x8141, 0x8145, 0x8392, 0x8340,  // A1-A7
    0x8342, 0x8344, 0x8346, 0x8348, 0x8383, 0x8385, 0x8387,  // A8-AE
    0x8362, 0x815B, 0x8341, 0x8343, 0x8345, 0x8347, 0x8349,  // AF-B5
    0x834A, 0x834C, 0x834E, 0x8350, 0x8352,                  // ka row B6-BA
    0x8354, 0x8356, 0x8358, 0x835A, 0x835C,                  // sa row BB-BF
    0x835E, 0x8360, 0x8363, 0x8365, 0x8367,                  // ta row C0-C4
    0x8369, 0x836A, 0x836B, 0x836C, 0x836D,                  // na row C5-C9
    0x836E, 0x8371, 0x8374, 0x8377, 0x837A,                  // ha row CA-CE
    0x837D, 0x837E, 0x8380, 0x8381, 0x8382,                  // ma row CF-D3
    0x8384, 0x8386, 0x8388,                                  // ya row D4-D6
    0x8389, 0x838A, 0x838B, 0x838C, 0x838D,                  // ra row D7-DB
    0x838F, 0x8393, 0x814A, 0x814B,                          // DC-DF
};

constexpr unsigned char kVoiced = 0xDE;
constexpr unsigned char kSemiVoiced = 0xDF;
constexpr uint16_t kKanaVu = 0x8394;

constexpr bool TakesVoicedMark(unsigned char c) {
  return (c >= 0xB6 && c <= 0xC4) || (c >= 0xCA && c <= 0xCE);
}
constexpr bool TakesSemiVoicedMark(unsigned char c) {
  return c >= 0xCA && c <= 0xCE;
}

void AppendCode(std::string& out, uint16_t code) {
  out += static_cast<char>(code >> 8);
  out += static_cast<char>(code & 0xFF);
}

// Every full-width form above has a lead byte of 0x81 to 0x83: the reverse table is indexed by
// (lead - 0x81) * 256 + trail and holds up to two single bytes (0 = no half-width form).
struct THanTable {
  std::array<std::array<unsigned char, 2>, 3 * 256> han{};

  THanTable() {
    for (unsigned c = 0x20; c < 0x7F; ++c) Set(kAsciiZen[c - 0x20], c, 0);
    for (unsigned c = 0xA1; c < 0xE0; ++c) {
      uint16_t zen = kKanaZen[c - 0xA1];
      Set(zen, c, 0);
      if (TakesVoicedMark(static_cast<unsigned char>(c))) Set(zen + 1, c, kVoiced);
      if (TakesSemiVoicedMark(static_cast<unsigned char>(c))) Set(zen + 2, c, kSemiVoiced);
    }
    Set(kKanaVu, 0xB3, kVoiced);  // the half-width u followed by the voiced mark
  }

  void Set(unsigned code, unsigned first, unsigned second) {
    han[Index(code)] = {static_cast<unsigned char>(first), static_cast<unsigned char>(second)};
  }

  static size_t Index(unsigned code) { return ((code >> 8) - 0x81) * 256 + (code & 0xFF); }
};

const THanTable& HanTable() {
  static const THanTable table;
  return table;
}

}  // namespace

std::string HanToZen(std::string_view s) {
  std::string out;
  out.reserve(s.size() * 2);
  for (size_t i = 0; i < s.size();) {
    size_t n = sjis::CharLen(s, i);
    auto c = static_cast<unsigned char>(s[i]);
    if (n == 2 || sjis::IsLeadByte(c)) {
      out.append(s.substr(i, n));
    } else if (c >= 0x20 && c < 0x7F) {
      AppendCode(out, kAsciiZen[c - 0x20]);
    } else if (c >= 0xA1 && c < 0xE0) {
      uint16_t zen = kKanaZen[c - 0xA1];
      auto next = i + 1 < s.size() ? static_cast<unsigned char>(s[i + 1]) : 0;
      if (next == kVoiced && TakesVoicedMark(c)) {
        zen += 1;
        ++n;
      } else if (next == kSemiVoiced && TakesSemiVoicedMark(c)) {
        zen += 2;
        ++n;
      }
      AppendCode(out, zen);
    } else {
      out += static_cast<char>(c);
    }
    i += n;
  }
  return out;
}

std::string ZenToHan(std::string_view s) {
  const THanTable& table = HanTable();
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    size_t n = sjis::CharLen(s, i);
    auto lead = static_cast<unsigned char>(s[i]);
    if (n == 2 && lead >= 0x81 && lead <= 0x83) {
      unsigned code = lead * 256u + static_cast<unsigned char>(s[i + 1]);
      const auto& han = table.han[THanTable::Index(code)];
      if (han[0] != 0) {
        out += static_cast<char>(han[0]);
        if (han[1] != 0) out += static_cast<char>(han[1]);
        i += n;
        continue;
      }
    }
    out.append(s.substr(i, n));
    i += n;
  }
  return out;
}

}  // namespace quen
