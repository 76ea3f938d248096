#include "authoring/record_text.h"

#include <functional>
#include <map>
#include <set>

#include "authoring/desc_text.h"
#include "base/error.h"

namespace quen {

namespace {

using Reader = std::function<void(const TDescReader&)>;

struct Field {
  int min_version;  // the first version that stores the field
  Reader read;
  bool repeatable = false;
};

// Runs the field readers over the lines after "version".
void ApplyFields(const std::vector<TDescLine>& lines, int version,
                 const std::map<std::string, Field>& fields) {
  std::set<std::string> seen;
  for (size_t i = 1; i < lines.size(); ++i) {
    TDescReader r(lines[i]);
    auto it = fields.find(r.Name());
    if (it == fields.end()) r.Fail("unknown field");
    if (version < it->second.min_version)
      r.Fail("not stored before version " + std::to_string(it->second.min_version));
    if (!it->second.repeatable && !seen.insert(r.Name()).second) r.Fail("given twice");
    it->second.read(r);
  }
}

int TakeVersion(const std::vector<TDescLine>& lines) {
  if (lines.empty() || lines[0].Tokens[0] != "version")
    RaiseError("the first field must be \"version\"");
  TDescReader r(lines[0]);
  r.ExpectCount(1);
  return r.Int(0);
}

Reader Str(std::string& target) {
  return [&target](const TDescReader& r) {
    r.ExpectCount(1);
    target = r.Str(0);
  };
}
Reader I32(int32_t& target) {
  return [&target](const TDescReader& r) {
    r.ExpectCount(1);
    target = r.Int(0);
  };
}
Reader Flag(bool& target) {
  return [&target](const TDescReader& r) {
    r.ExpectCount(1);
    target = r.Bool(0);
  };
}
Reader U8(uint8_t& target) {
  return [&target](const TDescReader& r) {
    r.ExpectCount(1);
    target = r.Byte(0);
  };
}
template <size_t N>
Reader Strs(std::array<std::string, N>& target) {
  return [&target](const TDescReader& r) {
    r.ExpectCount(N);
    for (size_t i = 0; i < N; ++i) target[i] = r.Str(i);
  };
}
Reader List(std::vector<std::string>& target) {
  return [&target](const TDescReader& r) {
    target.clear();
    for (size_t i = 0; i < r.ValueCount(); ++i) target.push_back(r.Str(i));
  };
}

const std::map<std::string, uint8_t>& TypeNames() {
  static const std::map<std::string, uint8_t> kTypes = {
      {"int", 1}, {"float", 2}, {"bool", 3}, {"str", 4}};
  return kTypes;
}

std::string TypeWord(uint8_t t) {
  for (const auto& [name, code] : TypeNames())
    if (code == t) return name;
  return std::to_string(t);
}

std::string Quoted(const std::string& s) {
  return DescQuote(s);
}
std::string B(bool v) {
  return v ? "1" : "0";
}

}  // namespace

TProjectSetting ParseProjectText(std::string_view utf8) {
  auto lines = ParseDescText(utf8);
  TProjectSetting p;
  p.Version = TakeVersion(lines);
  if (p.Version < TProjectSetting::kMinWriteVersion || p.Version > TProjectSetting::kMaxVersion)
    RaiseError("line " + std::to_string(lines[0].Number) + ": version must be 103 to 115");
  std::map<std::string, Field> f;
  f["title"] = {0, Str(p.Title)};
  f["screen"] = {0, [&](const TDescReader& r) {
                   r.ExpectCount(2);
                   p.ScreenWidth = r.Int(0);
                   p.ScreenHeight = r.Int(1);
                 }};
  f["fullscreen"] = {0, [&](const TDescReader& r) {
                       r.ExpectCount(2);
                       p.FullScreenWidth = r.Int(0);
                       p.FullScreenHeight = r.Int(1);
                     }};
  f["start_page"] = {0, Str(p.StartPage)};
  f["end_page"] = {110, Str(p.EndPage)};
  f["registry_key"] = {0, Str(p.RegistryKey)};
  f["id_code"] = {0, I32(p.IdCode)};
  f["persistent_status"] = {104, Flag(p.PersistentStatus)};
  f["yield"] = {106, Flag(p.YieldFlag)};
  f["streaming_extensions"] = {109, Str(p.StreamingExtensions)};
  f["pause_when_inactive"] = {113, Flag(p.PauseWhenInactive)};
  f["disc_byte"] = {114, U8(p.DiscByte)};
  f["disk_prompt"] = {0, Str(p.DiskPrompt)};
  f["exit_prompt"] = {0, Str(p.ExitPrompt)};
  f["var"] = {0,
              [&](const TDescReader& r) {
                // var TYPE NAME VALUE, where TYPE is int, float, bool, str or the bare code of
                // a type that carries no value.
                if (r.ValueCount() < 2) r.Fail("expected TYPE NAME [VALUE]");
                TParamData d;
                auto t = TypeNames().find(r.Word(0));
                if (t != TypeNames().end()) {
                  d.Type = t->second;
                  r.ExpectCount(3);
                } else {
                  d.Type = r.Byte(0);
                  if (d.Type >= 1 && d.Type <= 4) r.Fail("give the type by its name");
                  r.ExpectCount(2);
                }
                d.Name = r.Str(1);
                switch (d.Type) {
                  case 1:
                    d.IntValue = r.Int(2);
                    break;
                  case 2:
                    d.FloatValue = r.Real(2);
                    break;
                  case 3:
                    d.BoolValue = r.Bool(2);
                    break;
                  case 4:
                    d.StrValue = r.Str(2);
                    break;
                  default:
                    break;
                }
                p.Params.push_back(std::move(d));
              },
              true};
  f["folder_disk"] = {0,
                      [&](const TDescReader& r) {
                        r.ExpectCount(2);
                        p.FolderDisks.Add(r.Str(0), r.Int(1));
                      },
                      true};
  ApplyFields(lines, p.Version, f);
  return p;
}

std::string ProjectToText(const TProjectSetting& p) {
  const int v = p.Version;
  std::string out;
  out += "version " + std::to_string(v) + "\n";
  out += "title " + Quoted(p.Title) + "\n";
  out += "screen " + std::to_string(p.ScreenWidth) + " " + std::to_string(p.ScreenHeight) + "\n";
  out += "fullscreen " + std::to_string(p.FullScreenWidth) + " " +
         std::to_string(p.FullScreenHeight) + "\n";
  out += "start_page " + Quoted(p.StartPage) + "\n";
  if (v >= 110) out += "end_page " + Quoted(p.EndPage) + "\n";
  out += "registry_key " + Quoted(p.RegistryKey) + "\n";
  out += "id_code " + std::to_string(p.IdCode) + "\n";
  if (v >= 104) out += "persistent_status " + B(p.PersistentStatus) + "\n";
  if (v >= 106) out += "yield " + B(p.YieldFlag) + "\n";
  if (v >= 109) out += "streaming_extensions " + Quoted(p.StreamingExtensions) + "\n";
  if (v >= 113) out += "pause_when_inactive " + B(p.PauseWhenInactive) + "\n";
  if (v >= 114) out += "disc_byte " + std::to_string(p.DiscByte) + "\n";
  out += "disk_prompt " + Quoted(p.DiskPrompt) + "\n";
  out += "exit_prompt " + Quoted(p.ExitPrompt) + "\n";
  for (const auto& d : p.Params) {
    out += "var " + TypeWord(d.Type) + " " + Quoted(d.Name);
    switch (d.Type) {
      case 1:
        out += " " + std::to_string(d.IntValue);
        break;
      case 2:
        out += " " + DescReal(d.FloatValue);
        break;
      case 3:
        out += " " + B(d.BoolValue);
        break;
      case 4:
        out += " " + Quoted(d.StrValue);
        break;
      default:
        break;
    }
    out += "\n";
  }
  for (const auto& e : p.FolderDisks.Entries())
    out += "folder_disk " + Quoted(e.Folder) + " " + std::to_string(e.Disk) + "\n";
  return out;
}

TQuenInstallSet ParseInstallText(std::string_view utf8) {
  auto lines = ParseDescText(utf8);
  TQuenInstallSet r;
  r.Version = TakeVersion(lines);
  if (r.Version != 0 && (r.Version < 99 || r.Version > TQuenInstallSet::kWriteVersion))
    RaiseError("line " + std::to_string(lines[0].Number) + ": version must be 0 or 99 to 108");
  std::map<std::string, Field> f;
  f["disk_index"] = {0, I32(r.DiskIndex)};
  f["title"] = {0, Str(r.Title)};
  f["strings1"] = {0, Strs(r.Strings1)};
  f["byte1"] = {0, U8(r.Byte1)};
  f["string2"] = {0, Str(r.String2)};
  f["byte2"] = {0, U8(r.Byte2)};
  f["string3"] = {0, Str(r.String3)};
  f["int1"] = {0, I32(r.Int1)};
  f["byte3"] = {0, U8(r.Byte3)};
  f["byte4"] = {0, U8(r.Byte4)};
  f["strings4"] = {0, Strs(r.Strings4)};
  const bool narrow = r.Version <= 99;
  auto four = [narrow](const TDescReader& d, std::array<int64_t, 4>& out) {
    d.ExpectCount(4);
    for (size_t i = 0; i < 4; ++i) out[i] = narrow ? d.Int(i) : d.Int64(i);
  };
  f["item"] = {0,
               [&](const TDescReader& d) {
                 std::array<int64_t, 4> item{};
                 four(d, item);
                 r.Items.push_back(item);
               },
               true};
  f["numbers"] = {0, [&](const TDescReader& d) { four(d, r.Numbers); }};
  f["byte5"] = {0, U8(r.Byte5)};
  f["byte6"] = {101, U8(r.Byte6)};
  f["file"] = {102,
               [&](const TDescReader& d) {
                 d.ExpectCount(1);
                 r.Files.push_back(d.Str(0));
               },
               true};
  f["full_install"] = {103, Flag(r.FullInstall)};
  f["byte7"] = {104, U8(r.Byte7)};
  f["byte8"] = {105, U8(r.Byte8)};
  f["list9"] = {106, List(r.List9)};
  f["string10"] = {107, Str(r.String10)};
  f["strings11"] = {108, Strs(r.Strings11)};
  f["tail"] = {0, Str(r.Tail)};
  ApplyFields(lines, r.Version, f);
  return r;
}

std::string InstallToText(const TQuenInstallSet& r) {
  const int v = r.Version;
  auto strs = [](const auto& a) {
    std::string s;
    for (const auto& x : a) s.append(1, ' ').append(Quoted(x));
    return s;
  };
  auto four = [](const std::array<int64_t, 4>& a) {
    std::string s;
    for (int64_t x : a) s.append(1, ' ').append(std::to_string(x));
    return s;
  };
  std::string out;
  out += "version " + std::to_string(v) + "\n";
  out += "disk_index " + std::to_string(r.DiskIndex) + "\n";
  out += "title " + Quoted(r.Title) + "\n";
  out += "strings1" + strs(r.Strings1) + "\n";
  out += "byte1 " + std::to_string(r.Byte1) + "\n";
  out += "string2 " + Quoted(r.String2) + "\n";
  out += "byte2 " + std::to_string(r.Byte2) + "\n";
  out += "string3 " + Quoted(r.String3) + "\n";
  out += "int1 " + std::to_string(r.Int1) + "\n";
  out += "byte3 " + std::to_string(r.Byte3) + "\n";
  out += "byte4 " + std::to_string(r.Byte4) + "\n";
  out += "strings4" + strs(r.Strings4) + "\n";
  for (const auto& item : r.Items) out += "item" + four(item) + "\n";
  out += "numbers" + four(r.Numbers) + "\n";
  out += "byte5 " + std::to_string(r.Byte5) + "\n";
  if (v > 100) out += "byte6 " + std::to_string(r.Byte6) + "\n";
  if (v > 101)
    for (const auto& file : r.Files) out += "file " + Quoted(file) + "\n";
  if (v > 102) out += "full_install " + B(r.FullInstall) + "\n";
  if (v > 103) out += "byte7 " + std::to_string(r.Byte7) + "\n";
  if (v > 104) out += "byte8 " + std::to_string(r.Byte8) + "\n";
  if (v > 105) out += "list9" + strs(r.List9) + "\n";
  if (v > 106) out += "string10 " + Quoted(r.String10) + "\n";
  if (v > 107) out += "strings11" + strs(r.Strings11) + "\n";
  if (!r.Tail.empty()) out += "tail " + Quoted(r.Tail) + "\n";
  return out;
}

void SaveInstallSetVersion(const TQuenInstallSet& r, TStream& s, int v) {
  if (v != 0 && (v < 99 || v > TQuenInstallSet::kWriteVersion))
    RaiseError("install.dat versions are 0 and 99 to 108");
  if (v == TQuenInstallSet::kWriteVersion) return r.SaveToStream(s);
  if (v != 0) {
    std::string tag =
        "is" + std::to_string(v / 100) + std::to_string(v / 10 % 10) + std::to_string(v % 10);
    s.WriteBuffer(tag.data(), 5);
  }
  WriteInt32(s, r.DiskIndex);
  WriteString(s, r.Title);
  for (const auto& x : r.Strings1) WriteString(s, x);
  WriteByte(s, r.Byte1);
  WriteString(s, r.String2);
  WriteByte(s, r.Byte2);
  WriteInt32(s, static_cast<int32_t>(r.Items.size()));
  WriteString(s, r.String3);
  WriteInt32(s, r.Int1);
  WriteByte(s, r.Byte3);
  WriteByte(s, r.Byte4);
  for (const auto& x : r.Strings4) WriteString(s, x);
  auto number = [&](int64_t x) {
    if (v > 99)
      WriteInt64(s, x);
    else if (x < INT32_MIN || x > INT32_MAX)
      RaiseError("a number does not fit the 4 bytes of versions before 100");
    else
      WriteInt32(s, static_cast<int32_t>(x));
  };
  for (const auto& item : r.Items)
    for (int64_t x : item) number(x);
  for (int64_t x : r.Numbers) number(x);
  WriteByte(s, r.Byte5);
  if (v > 100) WriteByte(s, r.Byte6);
  if (v > 101) WriteStringList(s, r.Files);
  if (v > 102) WriteBool(s, r.FullInstall);
  if (v > 103) WriteByte(s, r.Byte7);
  if (v > 104) WriteByte(s, r.Byte8);
  if (v > 105) WriteStringList(s, r.List9);
  if (v > 106) WriteString(s, r.String10);
  if (!r.Tail.empty()) s.WriteBuffer(r.Tail.data(), static_cast<int64_t>(r.Tail.size()));
}

}  // namespace quen
