// What the sound and video components need from the running game: whether a file can be read
// now (asking for the disc that holds it), and the media layer that opens their items. The
// player installs one on its registry; a registry without one plays nothing.
#pragma once

#include <string>

namespace quen {

class TMediaSystem;

class IMediaHost {
 public:
  virtual ~IMediaHost() = default;
  virtual bool EnsureFileAvailable(const std::string& name) = 0;
  // Null before the media layer exists and after it was freed.
  virtual TMediaSystem* Media() = 0;
};

}  // namespace quen
