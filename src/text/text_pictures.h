// Where the IMG pictures of marked-up text come from. The image cache installs a source at
// start-up; without one an image has no size and draws nothing. A text never holds components.
#pragma once

#include <string>

namespace quen {

class TCustomDIBX;

struct TTextPicture {
  TCustomDIBX* surface = nullptr;  // borrowed; valid until the source is asked again
  TCustomDIBX* mask = nullptr;     // 8-bit coverage, or null (the surface's colour key then)
  int32_t width = 0;
  int32_t height = 0;
};

class ITextPictureSource {
 public:
  virtual ~ITextPictureSource() = default;
  // The picture an IMG tag's SRC names (Shift-JIS, as written); false when there is none.
  virtual bool FindPicture(const std::string& src, TTextPicture& out) = 0;
};

// The installed source, or null; the installer keeps it alive while installed.
ITextPictureSource* TextPictureSource();
void SetTextPictureSource(ITextPictureSource* source);

}  // namespace quen
