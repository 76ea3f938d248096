// Where the picture-driven transitions (MaskFade, MaskWhite, MaskBlack) get their picture:
// a loader the program installs. The player resolves the name through the file manager with
// the project's image key; quentool reads a host file.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "imaging/dib_surface.h"

namespace quen {

// Fills picture and returns true, or returns false when there is no such picture; a damaged
// one may raise.
using TWipePictureLoader = std::function<bool(const std::string& name, TDIBSurface& picture)>;

void SetWipePictureLoader(TWipePictureLoader loader);
// false without a loader, for an empty name, and for a missing picture.
bool LoadWipePicture(const std::string& name, TDIBSurface& picture);

// The player's loader: the file manager's file of that name (when it has one), decoded as a
// bitmap, PNG or layered picture (first frame) with the image key asked for at each load.
TWipePictureLoader FileManagerWipeLoader(std::function<int32_t()> imageKey);
// quentool's: the name is a host path.
TWipePictureLoader HostFileWipeLoader();

// The greys of a picture tiled from (0, 0) over w × h, each pixel the nearest grey by
// luminance (299 R + 587 G + 114 B + 500) div 1000, taken of the inverted colours when
// reversed. A picture that is missing, damaged or empty gives grey 255 everywhere.
std::vector<uint8_t> WipeGreys(const std::string& name, int32_t w, int32_t h, bool reverse);

}  // namespace quen
