// A minimal 32-bit Windows executable with one resource, for the resource carrier tests.
#pragma once

#include <string>

#include "support/archive_builder.h"

namespace quen::testing {

inline void Put16(std::string& s, uint16_t v) {
  s.push_back(static_cast<char>(v));
  s.push_back(static_cast<char>(v >> 8));
}

inline std::string BuildPe(const std::string& type, const std::string& name,
                           const std::string& data) {
  auto utf16 = [](const std::string& a) {
    std::string s;
    Put16(s, static_cast<uint16_t>(a.size()));
    for (char c : a) Put16(s, static_cast<uint16_t>(c));
    return s;
  };
  const uint32_t rva = 0x1000;
  std::string type_name = utf16(type);
  std::string res_name = utf16(name);
  const uint32_t type_dir = 24, lang_dir = 48, data_entry = 72, type_str = 88;
  const uint32_t name_str = type_str + static_cast<uint32_t>(type_name.size());
  uint32_t data_at = name_str + static_cast<uint32_t>(res_name.size());
  data_at = (data_at + 7) & ~7u;

  std::string rsrc;
  auto dir_header = [&](uint16_t named, uint16_t ids) {
    Put32(rsrc, 0);
    Put32(rsrc, 0);
    Put16(rsrc, 0);
    Put16(rsrc, 0);
    Put16(rsrc, named);
    Put16(rsrc, ids);
  };
  dir_header(1, 0);
  Put32(rsrc, 0x80000000u | type_str);
  Put32(rsrc, 0x80000000u | type_dir);
  dir_header(1, 0);
  Put32(rsrc, 0x80000000u | name_str);
  Put32(rsrc, 0x80000000u | lang_dir);
  dir_header(0, 1);
  Put32(rsrc, 0x411);
  Put32(rsrc, data_entry);
  Put32(rsrc, rva + data_at);
  Put32(rsrc, static_cast<uint32_t>(data.size()));
  Put32(rsrc, 932);
  Put32(rsrc, 0);
  rsrc += type_name + res_name;
  rsrc.resize(data_at, '\0');
  rsrc += data;

  std::string pe(64, '\0');
  pe[0] = 'M';
  pe[1] = 'Z';
  pe[0x3C] = 64;
  pe += std::string("PE\0\0", 4);
  Put16(pe, 0x14C);
  Put16(pe, 1);
  Put32(pe, 0);
  Put32(pe, 0);
  Put32(pe, 0);
  Put16(pe, 224);
  Put16(pe, 0x0102);
  std::string opt(224, '\0');
  opt[0] = 0x0B;
  opt[1] = 0x01;
  opt[92] = 16;
  std::string dd;
  Put32(dd, rva);
  Put32(dd, static_cast<uint32_t>(rsrc.size()));
  opt.replace(96 + 16, 8, dd);
  pe += opt;
  std::string sec = ".rsrc";
  sec.resize(8, '\0');
  Put32(sec, static_cast<uint32_t>(rsrc.size()));
  Put32(sec, rva);
  Put32(sec, static_cast<uint32_t>(rsrc.size()));
  Put32(sec, 512);
  sec.resize(40, '\0');
  pe += sec;
  pe.resize(512, '\0');
  pe += rsrc;
  return pe;
}

}  // namespace quen::testing
