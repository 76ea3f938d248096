#include "platform/desktop.h"

#include <cstdlib>
#include <cstring>

#include "platform/host_fs.h"
#include "platform/process.h"

namespace quen::platform {

namespace {

std::string Slashed(std::string path) {
  if (path.empty() || path.back() != '/') path += '/';
  return path;
}

// An absolute setting of the environment, or "".
std::string AbsoluteEnv(const char* name) {
  const char* v = std::getenv(name);
  return v && v[0] == '/' ? std::string(v) : std::string();
}

// XDG_<key>_DIR of user-dirs.dirs, "$HOME" expanded; "" when not set there.
std::string UserDirectory(const std::string& key) {
  std::string text;
  if (!ReadWholeFile(UserConfigFolder() + "user-dirs.dirs", text, 1 << 16)) return {};
  const std::string want = "XDG_" + key + "_DIR=\"";
  std::string found;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    if (line.rfind(want, 0) != 0) continue;
    std::string value = line.substr(want.size());
    const size_t q = value.find('"');
    if (q == std::string::npos) continue;
    value.resize(q);
    if (value.rfind("$HOME", 0) == 0) value = HomeFolder() + value.substr(value.size() > 5 ? 6 : 5);
    if (!value.empty() && value[0] == '/') found = value;
  }
  return found.empty() ? std::string() : Slashed(found);
}

std::string FileUri(const std::string& path) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string uri = "file://";
  for (unsigned char ch : path) {
    const bool plain = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') ||
                       (ch >= '0' && ch <= '9') || ch == '/' || ch == '-' || ch == '.' ||
                       ch == '_' || ch == '~';
    if (plain) {
      uri += static_cast<char>(ch);
    } else {
      uri += '%';
      uri += kHex[ch >> 4];
      uri += kHex[ch & 15];
    }
  }
  return uri;
}

}  // namespace

std::string HomeFolder() {
  const std::string home = AbsoluteEnv("HOME");
  return home.empty() ? std::string("/") : Slashed(home);
}

std::string UserDataFolder() {
  const std::string xdg = AbsoluteEnv("XDG_DATA_HOME");
  return xdg.empty() ? HomeFolder() + ".local/share/" : Slashed(xdg);
}

std::string UserConfigFolder() {
  const std::string xdg = AbsoluteEnv("XDG_CONFIG_HOME");
  return xdg.empty() ? HomeFolder() + ".config/" : Slashed(xdg);
}

std::string DocumentsFolder() {
  const std::string d = UserDirectory("DOCUMENTS");
  return d.empty() ? HomeFolder() : d;
}

std::string PicturesFolder() {
  const std::string d = UserDirectory("PICTURES");
  return d.empty() ? HomeFolder() + "Pictures/" : d;
}

bool SpawnOpener(const std::string& utf8_url) {
  // The URL is one argument of the opener; the opener returns once the desktop took over.
  return RunAndWait({"xdg-open", utf8_url});
}

bool UserLanguageIsJapanese() {
  // The first of these that is set decides, as for every program's messages.
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* v = std::getenv(name);
    if (v && *v) return std::strncmp(v, "ja", 2) == 0;
  }
  return false;
}

bool SetDesktopWallpaper(const std::string& path, int32_t style) {
  const char* options = style == 1 ? "stretched" : style == 2 ? "wallpaper" : "centered";
  if (!RunAndWait(
          {"gsettings", "set", "org.gnome.desktop.background", "picture-uri", FileUri(path)}))
    return false;
  return RunAndWait(
      {"gsettings", "set", "org.gnome.desktop.background", "picture-options", options});
}

}  // namespace quen::platform
