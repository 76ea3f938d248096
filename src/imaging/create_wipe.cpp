// The factory of transitions and the table of kinds.
#include <array>

#include "imaging/custom_wipe.h"
#include "imaging/messages.h"
#include "imaging/wipe_blind.h"
#include "imaging/wipe_block_coil.h"
#include "imaging/wipe_blur.h"
#include "imaging/wipe_clockhand.h"
#include "imaging/wipe_crack.h"
#include "imaging/wipe_fade.h"
#include "imaging/wipe_grid.h"
#include "imaging/wipe_mosaic.h"
#include "imaging/wipe_shadow.h"
#include "imaging/wipe_spot.h"
#include "imaging/wipe_sudare.h"
#include "imaging/wipe_twist.h"

namespace quen {

namespace {

using TMaker = std::unique_ptr<TCustomWipe> (*)(TCustomDIBX& target, TCustomDIBX& to,
                                                TCustomDIBX& from);

template <class T>
std::unique_ptr<TCustomWipe> Make(TCustomDIBX& target, TCustomDIBX& to, TCustomDIBX& from) {
  return std::make_unique<T>(target, to, from);
}

struct TKind {
  TWipeKindInfo info;
  TMaker make;
};

constexpr std::array<TKind, kWipeKindCount + 1> kKinds{{
    {{WP_NONE, "WP_NONE", msg::kWpNone, "", 0, 0}, nullptr},
    {{WP_FADE, "WP_FADE", msg::kWpFade, "TWipeFade", 0, 0}, Make<TWipeFade>},
    {{WP_BLINDH, "WP_BLINDH", msg::kWpBlindH, "TWipeBlindH", 20, 1}, Make<TWipeBlindH>},
    {{WP_BLINDV, "WP_BLINDV", msg::kWpBlindV, "TWipeBlindV", 20, 1}, Make<TWipeBlindV>},
    {{WP_CURTAINH, "WP_CURTAINH", msg::kWpCurtainH, "TWipeCurtainH", 30, 1}, Make<TWipeCurtainH>},
    {{WP_CURTAINV, "WP_CURTAINV", msg::kWpCurtainV, "TWipeCurtainV", 30, 1}, Make<TWipeCurtainV>},
    {{WP_SCROLLH, "WP_SCROLLH", msg::kWpScrollH, "TWipeScrollH", 0, 0}, Make<TWipeScrollH>},
    {{WP_SCROLLV, "WP_SCROLLV", msg::kWpScrollV, "TWipeScrollV", 0, 0}, Make<TWipeScrollV>},
    {{WP_GRID, "WP_GRID", msg::kWpGrid, "TWipeGrid", 80, 30}, Make<TWipeGrid>},
    {{WP_GRIDH, "WP_GRIDH", msg::kWpGridH, "TWipeGridH", 80, 30}, Make<TWipeGridH>},
    {{WP_GRIDV, "WP_GRIDV", msg::kWpGridV, "TWipeGridV", 80, 30}, Make<TWipeGridV>},
    {{WP_DITHER, "WP_DITHER", msg::kWpDither, "TWipeDither", 0, 0}, Make<TWipeDither>},
    {{WP_WHITE, "WP_WHITE", msg::kWpWhite, "TWipeWhite", 0, 0}, Make<TWipeWhite>},
    {{WP_BLACK, "WP_BLACK", msg::kWpBlack, "TWipeBlack", 0, 0}, Make<TWipeBlack>},
    {{WP_FLASH, "WP_FLASH", msg::kWpFlash, "TWipeFlash", 0, 0}, Make<TWipeFlash>},
    {{WP_MOSAIC, "WP_MOSAIC", msg::kWpMosaic, "TWipeMosaic", 0, 0}, Make<TWipeMosaic>},
    {{WP_SUDAREH, "WP_SUDAREH", msg::kWpSudareH, "TWipeSudareH", 0, 0}, Make<TWipeSudareH>},
    {{WP_SUDAREV, "WP_SUDAREV", msg::kWpSudareV, "TWipeSudareV", 0, 0}, Make<TWipeSudareV>},
    {{WP_SPOT, "WP_SPOT", msg::kWpSpot, "TWipeSpot", 0, 0}, Make<TWipeSpot>},
    {{WP_MASKFADE, "WP_MASKFADE", msg::kWpMaskFade, "TWipeShadow", 0, 0}, Make<TWipeShadow>},
    {{WP_MASKWHITE, "WP_MASKWHITE", msg::kWpMaskWhite, "TWipeShadowWhite", 0, 0},
     Make<TWipeShadowWhite>},
    {{WP_MASKBLACK, "WP_MASKBLACK", msg::kWpMaskBlack, "TWipeShadowBlack", 0, 0},
     Make<TWipeShadowBlack>},
    {{WP_SMALL, "WP_SMALL", msg::kWpSmall, "TWipeSmall", 0, 0}, Make<TWipeSmall>},
    {{WP_BIG, "WP_BIG", msg::kWpBig, "TWipeBig", 0, 0}, Make<TWipeBig>},
    {{WP_RIPPLE, "WP_RIPPLE", msg::kWpRipple, "TWipeRipple", 5, 0}, Make<TWipeRipple>},
    {{WP_BLURWHITE, "WP_BLURWHITE", msg::kWpBlurWhite, "TWipeBlurWhite", 0, 0},
     Make<TWipeBlurWhite>},
    {{WP_BLURBLACK, "WP_BLURBLACK", msg::kWpBlurBlack, "TWipeBlurBlack", 0, 0},
     Make<TWipeBlurBlack>},
    {{WP_TWISTH, "WP_TWISTH", msg::kWpTwistH, "TWipeTwistH", 0, 0}, Make<TWipeTwistH>},
    {{WP_TWISTV, "WP_TWISTV", msg::kWpTwistV, "TWipeTwistV", 0, 0}, Make<TWipeTwistV>},
    {{WP_CRACK, "WP_CRACK", msg::kWpCrack, "TWipeCrack", 64, 3}, Make<TWipeCrack>},
    {{WP_ZOOMIN, "WP_ZOOMIN", msg::kWpZoomin, "TWipeZoomin", 0, 0}, Make<TWipeZoomin>},
    {{WP_CLOCKHAND, "WP_CLOCKHAND", msg::kWpClockhand, "TWipeClockhand", 0, 0},
     Make<TWipeClockhand>},
    {{WP_RUBBERH, "WP_RUBBERH", msg::kWpRubberH, "TWipeRubberH", 0, 0}, Make<TWipeRubberH>},
    {{WP_RUBBERV, "WP_RUBBERV", msg::kWpRubberV, "TWipeRubberV", 0, 0}, Make<TWipeRubberV>},
    {{WP_FAN, "WP_FAN", msg::kWpFan, "TWipeFan", 0, 0}, Make<TWipeFan>},
    {{WP_WFAN, "WP_WFAN", msg::kWpWFan, "TWipeWFan", 0, 0}, Make<TWipeWFan>},
    {{WP_CIRCLE, "WP_CIRCLE", msg::kWpCircle, "TWipeCircle", 0, 0}, Make<TWipeCircle>},
    {{WP_BLOCKCOIL, "WP_BLOCKCOIL", msg::kWpBlockCoil, "TWipeBlockCoil", 60, 0},
     Make<TWipeBlockCoil>},
    {{WP_BLOCKRANDOM, "WP_BLOCKRANDOM", msg::kWpBlockRandom, "TWipeBlockRandom", 60, 0},
     Make<TWipeBlockRandom>},
}};

}  // namespace

const TWipeKindInfo* WipeKindInfo(int32_t kind) {
  if (kind < 0 || kind > kWipeKindCount) return nullptr;
  return &kKinds[static_cast<size_t>(kind)].info;
}

std::unique_ptr<TCustomWipe> CreateWipe(int32_t kind, TCustomDIBX& target, TCustomDIBX& from,
                                        TCustomDIBX& to) {
  if (kind < 1 || kind > kWipeKindCount) return nullptr;
  const TKind& k = kKinds[static_cast<size_t>(kind)];
  std::unique_ptr<TCustomWipe> wipe = k.make(target, to, from);
  wipe->SetParam(0, k.info.P0);
  wipe->SetParam(1, k.info.P1);
  return wipe;
}

}  // namespace quen
