#include "shell/window_cursor_host.h"

#include "base/error.h"
#include "base/stream.h"
#include "components/cursor_file.h"
#include "files/file_manager.h"

namespace quen {

bool TWindowCursorHost::ShowFileCursor(const std::string& file) {
  TCursorImage image;
  try {
    TKvMemoryStream content;
    FileManager().LoadFile(content, file);
    image = ReadCursorFile(content.Data());
  } catch (const EQuenError&) {
    return false;
  }
  if (image.Width <= 0 || image.Height <= 0 ||
      image.Pixels.size() != static_cast<size_t>(image.Width) * static_cast<size_t>(image.Height))
    return false;
  window_.SetCursorImage(image.Width, image.Height, image.HotX, image.HotY, image.Pixels.data());
  return true;
}

void TWindowCursorHost::ShowArrow() {
  window_.SetArrowCursor();
}

}  // namespace quen
