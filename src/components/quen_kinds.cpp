#include "components/quen_kinds.h"

#include "imaging/custom_dibx.h"

namespace quen {

void TQuenBox::DrawSelf(TCustomDIBX& target) {
  const TColor color = PropInt(PR_COLOR);
  if (color < 0) return;
  const int32_t alpha = PropInt(PR_ALPHA);
  const uint32_t pixel = static_cast<uint32_t>(target.ColorToPixel(color));
  if (alpha >= 255)
    target.FillRect(HitRect(), pixel);
  else if (alpha > 0)
    target.FillRectAlpha(HitRect(), pixel, alpha);
}

}  // namespace quen
