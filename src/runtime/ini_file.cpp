#include "runtime/ini_file.h"

#include "base/sjis.h"
#include "platform/host_fs.h"

namespace quen {

namespace {

std::string_view Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
  return s.substr(b, e - b);
}

bool IsComment(std::string_view t) {
  return !t.empty() && (t[0] == ';' || t[0] == '#');
}

// The section name of a header line "[name]", walking characters so that a trail byte 0x5D
// is not taken for the closing bracket.
bool HeaderName(std::string_view line, std::string_view& name) {
  std::string_view t = Trim(line);
  if (t.empty() || t[0] != '[') return false;
  size_t close = std::string_view::npos;
  for (size_t i = 1; i < t.size(); i += sjis::CharLen(t, i)) {
    if (t[i] == ']') {
      close = i;
      break;
    }
  }
  if (close == std::string_view::npos) return false;
  name = Trim(t.substr(1, close - 1));
  return true;
}

// Splits "key=value" at the first '=' that is not a trail byte.
bool SplitKey(std::string_view line, std::string_view& key, std::string_view& value) {
  std::string_view t = Trim(line);
  if (t.empty() || IsComment(t)) return false;
  size_t eq = sjis::FindChar(t, '=');
  if (eq == std::string_view::npos) return false;
  key = Trim(t.substr(0, eq));
  value = Trim(t.substr(eq + 1));
  return !key.empty();
}

}  // namespace

bool ParseIniInteger(std::string_view text, int32_t& out) {
  std::string_view t = Trim(text);
  bool neg = false;
  if (!t.empty() && (t[0] == '+' || t[0] == '-')) {
    neg = t[0] == '-';
    t.remove_prefix(1);
  }
  int base = 10;
  if (!t.empty() && t[0] == '$') {
    base = 16;
    t.remove_prefix(1);
  } else if (t.size() > 1 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
    base = 16;
    t.remove_prefix(2);
  }
  if (t.empty()) return false;
  uint64_t v = 0;
  for (char c : t) {
    int d;
    if (c >= '0' && c <= '9')
      d = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f')
      d = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F')
      d = c - 'A' + 10;
    else
      return false;
    v = v * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
    if (v > 0xFFFFFFFFull) return false;
  }
  if (base == 16) {
    // Hex spells the 32-bit pattern, so $FFFFFFFF is -1.
    uint32_t bits = static_cast<uint32_t>(v);
    if (neg) bits = 0u - bits;
    out = static_cast<int32_t>(bits);
    return true;
  }
  if (neg) {
    if (v > 0x80000000ull) return false;
    out = static_cast<int32_t>(-static_cast<int64_t>(v));
  } else {
    if (v > 0x7FFFFFFFull) return false;
    out = static_cast<int32_t>(v);
  }
  return true;
}

TIniFile::TIniFile(std::string host_path) : path_(std::move(host_path)) {
  auto f = platform::HostFile::Open(path_, platform::OpenMode::kRead);
  if (!f) return;
  int64_t size = f->Size();
  // A settings file is small; anything huge is not one and is treated as empty.
  if (size <= 0 || size > (16 << 20)) return;
  std::string text(static_cast<size_t>(size), '\0');
  int64_t got = f->ReadAt(text.data(), size, 0);
  text.resize(static_cast<size_t>(got < 0 ? 0 : got));
  SetText(text);
}

void TIniFile::SetText(std::string_view text) {
  lines_.clear();
  final_eol_ = true;
  size_t first_lf = text.find('\n');
  crlf_ = !(first_lf != std::string_view::npos && (first_lf == 0 || text[first_lf - 1] != '\r'));
  size_t pos = 0;
  while (pos < text.size()) {
    size_t lf = text.find('\n', pos);
    std::string_view line =
        text.substr(pos, lf == std::string_view::npos ? std::string_view::npos : lf - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines_.push_back(Line{std::string(line)});
    if (lf == std::string_view::npos) {
      final_eol_ = false;
      break;
    }
    pos = lf + 1;
  }
}

std::string TIniFile::Text() const {
  std::string out;
  for (size_t i = 0; i < lines_.size(); ++i) {
    out += lines_[i].text;
    if (i + 1 < lines_.size() || final_eol_) out += crlf_ ? "\r\n" : "\n";
  }
  return out;
}

int TIniFile::FindSection(std::string_view section) const {
  for (size_t i = 0; i < lines_.size(); ++i) {
    std::string_view name;
    if (HeaderName(lines_[i].text, name) && sjis::EqualsNoCase(name, Trim(section)))
      return static_cast<int>(i);
  }
  return -1;
}

int TIniFile::SectionEnd(int header) const {
  size_t i = static_cast<size_t>(header) + 1;
  std::string_view name;
  while (i < lines_.size() && !HeaderName(lines_[i].text, name)) ++i;
  return static_cast<int>(i);
}

int TIniFile::FindKey(int header, std::string_view key) const {
  int end = SectionEnd(header);
  for (int i = header + 1; i < end; ++i) {
    std::string_view k, v;
    if (SplitKey(lines_[static_cast<size_t>(i)].text, k, v) && sjis::EqualsNoCase(k, Trim(key)))
      return i;
  }
  return -1;
}

bool TIniFile::ValueExists(std::string_view section, std::string_view key) const {
  int h = FindSection(section);
  return h >= 0 && FindKey(h, key) >= 0;
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key,
                                 std::string_view def) const {
  int h = FindSection(section);
  int k = h < 0 ? -1 : FindKey(h, key);
  if (k < 0) return std::string(def);
  std::string_view name, value;
  SplitKey(lines_[static_cast<size_t>(k)].text, name, value);
  // A value in matching quotes is read without them, as Windows reads settings files.
  if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
    value = value.substr(1, value.size() - 2);
  return std::string(value);
}

int32_t TIniFile::ReadInteger(std::string_view section, std::string_view key, int32_t def) const {
  int32_t v;
  return ParseIniInteger(ReadString(section, key, ""), v) ? v : def;
}

bool TIniFile::ReadBool(std::string_view section, std::string_view key, bool def) const {
  return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  std::string entry = std::string(Trim(key)) + "=" + std::string(value);
  int h = FindSection(section);
  if (h < 0) {
    // A new section is set off from the one before by a blank line.
    if (!lines_.empty() && !Trim(lines_.back().text).empty()) lines_.push_back(Line{""});
    std::string header(1, '[');
    header.append(Trim(section)).push_back(']');
    lines_.push_back(Line{std::move(header)});
    lines_.push_back(Line{entry});
    final_eol_ = true;
    return;
  }
  int k = FindKey(h, key);
  if (k >= 0) {
    // The key keeps its own spelling and indentation.
    std::string& text = lines_[static_cast<size_t>(k)].text;
    std::string_view name, old;
    SplitKey(text, name, old);
    size_t indent = text.find_first_not_of(" \t");
    text = text.substr(0, indent) + std::string(name) + "=" + std::string(value);
    return;
  }
  // After the section's last key, before the blank lines and comments that lead the next one.
  int end = SectionEnd(h);
  int at = end;
  while (at > h + 1 && Trim(lines_[static_cast<size_t>(at - 1)].text).empty()) --at;
  lines_.insert(lines_.begin() + at, Line{entry});
  if (at == static_cast<int>(lines_.size()) - 1) final_eol_ = true;
}

void TIniFile::WriteInteger(std::string_view section, std::string_view key, int32_t value) {
  WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

bool TIniFile::Save() const {
  return SaveAs(path_);
}

bool TIniFile::SaveAs(const std::string& host_path) const {
  return platform::WriteFileAtomically(host_path, Text());
}

}  // namespace quen
