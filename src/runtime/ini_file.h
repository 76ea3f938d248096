// The settings file "game.ini": read and written by us so that everything a user or an
// installer put there (other sections, keys, comments, blank lines) survives a write.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quen {

class TIniFile {
 public:
  TIniFile() = default;
  // Reads the file when it exists; a missing file gives an empty one that Save creates.
  explicit TIniFile(std::string host_path);

  // Parses text (bytes as stored, CR LF or LF line ends).
  void SetText(std::string_view text);
  std::string Text() const;

  // Sections and keys compare ignoring ASCII case; values are trimmed of blanks and of one pair
  // of matching quotes.
  bool ValueExists(std::string_view section, std::string_view key) const;
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view def) const;
  // A value that is not a whole number in range gives the default ("$1F" and "0x1F" are hex).
  int32_t ReadInteger(std::string_view section, std::string_view key, int32_t def) const;
  // Any whole number other than 0 is true.
  bool ReadBool(std::string_view section, std::string_view key, bool def) const;

  // Replaces the value in place, or adds the key at the end of its section (the section at the
  // end of the file when it is new).
  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, int32_t value);
  void WriteBool(std::string_view section, std::string_view key, bool value);

  // Writes the whole file through a temporary file renamed into place; false on failure.
  bool Save() const;
  bool SaveAs(const std::string& host_path) const;
  const std::string& Path() const { return path_; }

 private:
  struct Line {
    std::string text;  // without the line end
  };
  // Index of the section header line, or -1.
  int FindSection(std::string_view section) const;
  // Index of the key's line within the section starting at header, or -1.
  int FindKey(int header, std::string_view key) const;
  int SectionEnd(int header) const;

  std::string path_;
  std::vector<Line> lines_;
  bool crlf_ = true;
  bool final_eol_ = true;
};

// Parses a whole number the way the settings file's values are read; false when it is not one.
bool ParseIniInteger(std::string_view text, int32_t& out);

}  // namespace quen
