#include "files/pe_resource.h"

#include <algorithm>
#include <vector>

#include "base/le.h"
#include "base/sjis.h"
#include "platform/host_fs.h"

namespace quen {

namespace {

struct Section {
  uint32_t va = 0;
  uint32_t vsize = 0;
  uint32_t raw_size = 0;
  uint32_t raw_ptr = 0;
};

// Reads exactly count bytes at offset, or fails.
bool ReadExact(platform::HostFile& f, int64_t offset, void* buf, int64_t count) {
  if (offset < 0 || count < 0 || offset > f.Size() || count > f.Size() - offset) return false;
  return f.ReadAt(buf, count, offset) == count;
}

bool RvaToOffset(const std::vector<Section>& sections, uint32_t rva, uint32_t len,
                 int64_t& offset) {
  for (const auto& s : sections) {
    uint64_t span = std::max(s.vsize, s.raw_size);
    if (rva >= s.va && static_cast<uint64_t>(rva) - s.va < span) {
      uint64_t delta = static_cast<uint64_t>(rva) - s.va;
      // The bytes must lie within the section's raw data.
      if (delta + len > s.raw_size) return false;
      offset = static_cast<int64_t>(s.raw_ptr) + static_cast<int64_t>(delta);
      return true;
    }
  }
  return false;
}

class ResourceTree {
 public:
  explicit ResourceTree(std::vector<uint8_t> bytes) : b_(std::move(bytes)) {}

  // Finds the entry matching key in the directory at dir_off; returns its raw OffsetToData.
  bool Find(uint32_t dir_off, const std::string& key, bool first_any, uint32_t& result) const {
    if (!Has(dir_off, 16)) return false;
    uint32_t named = le::U16(&b_[dir_off + 12]);
    uint32_t ids = le::U16(&b_[dir_off + 14]);
    uint32_t count = named + ids;
    if (!Has(dir_off + 16, static_cast<uint64_t>(count) * 8)) return false;
    bool want_id = !key.empty() && key[0] == '#';
    uint32_t id = 0;
    if (want_id) {
      for (size_t i = 1; i < key.size(); ++i) {
        if (key[i] < '0' || key[i] > '9' || id > 0xFFFF) return false;
        id = id * 10 + static_cast<uint32_t>(key[i] - '0');
      }
    }
    for (uint32_t i = 0; i < count; ++i) {
      const uint8_t* e = &b_[dir_off + 16 + i * 8];
      uint32_t name = le::U32(e);
      uint32_t data = le::U32(e + 4);
      if (first_any) {
        result = data;
        return true;
      }
      if (name & 0x80000000u) {
        if (want_id) continue;
        std::string s;
        if (!NameAt(name & 0x7FFFFFFFu, s)) continue;
        if (sjis::EqualsNoCase(s, key)) {
          result = data;
          return true;
        }
      } else if (want_id && (name & 0xFFFF) == id) {
        result = data;
        return true;
      }
    }
    return false;
  }

  bool DataEntry(uint32_t off, uint32_t& rva, uint32_t& size) const {
    if (!Has(off, 16)) return false;
    rva = le::U32(&b_[off]);
    size = le::U32(&b_[off + 4]);
    return true;
  }

 private:
  bool Has(uint64_t off, uint64_t len) const { return off <= b_.size() && len <= b_.size() - off; }

  // Resource names are UTF-16; only names that are plain ASCII can match our keys.
  bool NameAt(uint32_t off, std::string& out) const {
    if (!Has(off, 2)) return false;
    uint32_t n = le::U16(&b_[off]);
    if (!Has(off + 2, static_cast<uint64_t>(n) * 2)) return false;
    out.clear();
    for (uint32_t i = 0; i < n; ++i) {
      uint16_t c = le::U16(&b_[off + 2 + i * 2]);
      out.push_back(c < 0x80 ? static_cast<char>(c) : '\x7F');
    }
    return true;
  }

  std::vector<uint8_t> b_;
};

}  // namespace

bool FindPeResource(platform::HostFile& file, const std::string& name, const std::string& type,
                    TPeResourceLocation& out) {
  uint8_t dos[64];
  if (!ReadExact(file, 0, dos, 64) || dos[0] != 'M' || dos[1] != 'Z') return false;
  int64_t pe = le::U32(dos + 0x3C);
  uint8_t coff[24];
  if (!ReadExact(file, pe, coff, 24) ||
      std::string(reinterpret_cast<char*>(coff), 4) != std::string("PE\0\0", 4))
    return false;
  uint32_t nsections = le::U16(coff + 6);
  uint32_t opt_size = le::U16(coff + 20);
  if (opt_size < 2 || opt_size > 4096) return false;
  std::vector<uint8_t> opt(opt_size);
  if (!ReadExact(file, pe + 24, opt.data(), opt_size)) return false;
  uint16_t magic = le::U16(opt.data());
  size_t count_at = magic == 0x20B ? 108 : magic == 0x10B ? 92 : 0;
  if (count_at == 0 || count_at + 4 > opt_size) return false;
  uint32_t dirs = le::U32(&opt[count_at]);
  size_t res_at = count_at + 4 + 2 * 8;  // the resource table is data directory 2
  if (dirs < 3 || res_at + 8 > opt_size) return false;
  uint32_t res_rva = le::U32(&opt[res_at]);
  uint32_t res_size = le::U32(&opt[res_at + 4]);
  if (res_rva == 0 || res_size == 0) return false;

  std::vector<Section> sections;
  int64_t sec_off = pe + 24 + opt_size;
  if (nsections > 96) return false;
  for (uint32_t i = 0; i < nsections; ++i) {
    uint8_t s[40];
    if (!ReadExact(file, sec_off + i * 40, s, 40)) return false;
    sections.push_back(Section{le::U32(s + 12), le::U32(s + 8), le::U32(s + 16), le::U32(s + 20)});
  }
  int64_t res_off = 0;
  // The directory tables are read whole; the data itself stays in the file.
  uint32_t table_len = std::min<uint32_t>(res_size, 64u << 20);
  if (!RvaToOffset(sections, res_rva, 0, res_off)) return false;
  for (const auto& s : sections)
    if (res_rva >= s.va && res_rva - s.va < std::max(s.vsize, s.raw_size))
      table_len = std::min<uint32_t>(table_len, s.raw_size - (res_rva - s.va));
  std::vector<uint8_t> bytes(table_len);
  if (!ReadExact(file, res_off, bytes.data(), table_len)) return false;
  ResourceTree tree(std::move(bytes));

  uint32_t level1 = 0, level2 = 0, level3 = 0;
  if (!tree.Find(0, type, false, level1) || !(level1 & 0x80000000u)) return false;
  if (!tree.Find(level1 & 0x7FFFFFFFu, name, false, level2) || !(level2 & 0x80000000u))
    return false;
  if (!tree.Find(level2 & 0x7FFFFFFFu, "", true, level3) || (level3 & 0x80000000u)) return false;
  uint32_t data_rva = 0, data_size = 0;
  if (!tree.DataEntry(level3, data_rva, data_size)) return false;
  int64_t data_off = 0;
  if (!RvaToOffset(sections, data_rva, data_size, data_off)) return false;
  if (data_off + static_cast<int64_t>(data_size) > file.Size()) return false;
  out.offset = data_off;
  out.size = data_size;
  return true;
}

}  // namespace quen
