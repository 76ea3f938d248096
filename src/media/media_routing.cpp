#include "media/media_routing.h"

#include "media/media_streams.h"

namespace quen {

TMediaRoute RouteSoundFile(const std::string& name) {
  const std::string ext = MediaExtension(name);
  if (ext == ".mid" || ext == ".sgt") return TMediaRoute::kMidi;
  if (ext == ".wma" || ext == ".asf" || ext == ".wmv") return TMediaRoute::kWmp;
  if (ext == ".ogg" || ext == ".wav") return TMediaRoute::kOgg;
  if (name.compare(0, 3, "CD_") == 0) return TMediaRoute::kCdda;
  return TMediaRoute::kNone;
}

const char* RouteName(TMediaRoute route) {
  switch (route) {
    case TMediaRoute::kMidi:
      return "midi";
    case TMediaRoute::kWmp:
      return "wmp";
    case TMediaRoute::kOgg:
      return "ogg";
    case TMediaRoute::kCdda:
      return "cdda";
    case TMediaRoute::kNone:
      break;
  }
  return "none";
}

}  // namespace quen
