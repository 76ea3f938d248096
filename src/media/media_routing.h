// Which manager plays a sound file: by the lower-cased extension of its name, then CD tracks
// by their "CD_" names.
#pragma once

#include <cstdint>
#include <string>

namespace quen {

enum class TMediaRoute { kNone, kMidi, kWmp, kOgg, kCdda };

TMediaRoute RouteSoundFile(const std::string& name);
// "midi", "wmp", "ogg", "cdda" or "none".
const char* RouteName(TMediaRoute route);

}  // namespace quen
