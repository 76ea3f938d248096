// Helpers shared by the player's system-function families.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quen {

class ISystemHost;
class TCustomParam;
class TQuenObject;

namespace sysfunc {

// The component a name argument names, or null (no registry, empty name, none of that name).
TQuenObject* Component(ISystemHost& host, const TCustomParam* name);
// Makes a variable a one-dimensional array of texts converted to its type; no text makes it a
// scalar holding the empty text.
void StoreList(TCustomParam& v, const std::vector<std::string>& items);
// Splits text into lines at CR, LF or CR LF; a last line without its break counts.
std::vector<std::string> SplitLines(const std::string& text);
// Host paths reach scripts in Shift-JIS with "\" separators, and come back the same way; ""
// when a path cannot be converted.
std::string HostToScript(const std::string& utf8);
std::string ScriptToHost(const std::string& sjis);
// "*" and "?" against a file name, ignoring ASCII case, walking Shift-JIS characters.
bool MatchesMask(std::string_view name, std::string_view mask);
bool StartsWithNoCase(std::string_view s, std::string_view prefix);

}  // namespace sysfunc
}  // namespace quen
