// The user's side of the machine: home and per-user folders (XDG), the language, handing URLs
// to the desktop and setting its wallpaper. Folders are host paths ending in "/"; none of these
// creates anything.
#pragma once

#include <cstdint>
#include <string>

namespace quen::platform {

// $HOME, else "/".
std::string HomeFolder();
// $XDG_DATA_HOME, else ~/.local/share/ (only absolute settings count).
std::string UserDataFolder();
// $XDG_CONFIG_HOME, else ~/.config/.
std::string UserConfigFolder();
// The user-dirs folders ("DOCUMENTS", "PICTURES" ...) from user-dirs.dirs, else the home folder
// (documents) or ~/Pictures/ (pictures).
std::string DocumentsFolder();
std::string PicturesFolder();

// Starts "xdg-open URL" with an argument vector (never through a shell); false when it cannot be
// started.
bool SpawnOpener(const std::string& utf8_url);

// True when the user's language (LC_ALL, LC_MESSAGES or LANG) is Japanese.
bool UserLanguageIsJapanese();

// Asks the desktop to show a picture file as its wallpaper: style 0 centred, 1 stretched, 2
// tiled. A desktop without such settings keeps its own; false then.
bool SetDesktopWallpaper(const std::string& path, int32_t style);

}  // namespace quen::platform
