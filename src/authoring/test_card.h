// A picture that shows every blend family side by side, so that a person can look at the
// arithmetic at any depth.
#pragma once

#include <cstdint>

#include "imaging/custom_dibx.h"

namespace quen {

constexpr int32_t kTestCardWidth = 640;
constexpr int32_t kTestCardHeight = 432;

// The cells left to right, top to bottom (6 per row).
inline constexpr const char* kTestCardCells[] = {
    "FillRect+FrameRect", "FillRectAlpha",    "FillRectAdd",   "FillRectSub",
    "Draw keyed, flips",  "DrawAlpha",        "DrawAdd",       "DrawMask",
    "DrawAlphaMask",      "DrawAddMask",      "StretchDraw",   "StretchDrawAdd",
    "DrawRotZoom",        "DrawRotZoomMask",  "PatternZoom",   "TileDrawAlpha",
    "DrawMonoGlyph",      "DrawOutlineGlyph", "DrawColorMask", "DrawIndexed16",
    "DrawIndexedAdd",     "grey table adds",  "wave surface",  "PatternFill+FramePattern"};

// Sizes card to the test card at the given depth (15, 16, 24 or 32) and draws it.
void DrawTestCard(TCustomDIBX& card, int32_t bits);

}  // namespace quen
