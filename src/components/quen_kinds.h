// Every component kind. Kinds with behaviour of their own live in files of their own (included
// here); the rest still have only their type code, their carrier identity in the property table
// and what the shared model gives them.
#pragma once

#include "components/quen_object.h"

// Kinds with files of their own.
#include "components/quen_cabinet.h"
#include "components/quen_http.h"
#include "components/quen_prop_motion.h"
#include "components/quen_timer.h"

namespace quen {

#define QUEN_KIND_CLASS(Name, Base, Type, KindId)                 \
  class Name : public Base {                                      \
   public:                                                        \
    using Base::Base;                                             \
    const char* ClassName() const override { return #Name; }      \
    uint8_t CompoType() const override { return Type; }           \
    TQuenKind Kind() const override { return TQuenKind::KindId; } \
  };

class TQuenBox : public TQuenControl {
 public:
  using TQuenControl::TQuenControl;
  const char* ClassName() const override { return "TQuenBox"; }
  uint8_t CompoType() const override { return LT_BOX; }
  TQuenKind Kind() const override { return TQuenKind::Box; }

 protected:
  void DrawSelf(TCustomDIBX& target) override;
};

class TQuenCustomImage : public TQuenControl {
 public:
  using TQuenControl::TQuenControl;
  const char* ClassName() const override { return "TQuenCustomImage"; }
};

class TQuenCustomImages : public TQuenCustomImage {
 public:
  using TQuenCustomImage::TQuenCustomImage;
  const char* ClassName() const override { return "TQuenCustomImages"; }
};

QUEN_KIND_CLASS(TQuenImage, TQuenCustomImage, LT_NONE, None)
QUEN_KIND_CLASS(TQuenImages, TQuenCustomImages, LT_IMAGES, Img)
QUEN_KIND_CLASS(TQuenTile, TQuenCustomImages, LT_TILE, Til)
QUEN_KIND_CLASS(TQuenButton, TQuenImages, LT_BUTTON, Btn)
QUEN_KIND_CLASS(TQuenPrevImages, TQuenImages, LT_IMAGES, Img)
QUEN_KIND_CLASS(TQuenVideo, TQuenCustomImage, LT_VIDEO, Vid)
QUEN_KIND_CLASS(TQuenMapImage, TQuenControl, LT_MAPIMG, Map)
QUEN_KIND_CLASS(TQuenFire, TQuenControl, LT_FIRE, Fir)
QUEN_KIND_CLASS(TQuenWave, TQuenControl, LT_WAVE, Wav)
QUEN_KIND_CLASS(TQuenParticle, TQuenControl, LT_PARTICLE, Par)
QUEN_KIND_CLASS(TQuenCinema, TQuenControl, LT_CINEMA, Cin)
QUEN_KIND_CLASS(TQuenPrevMenu, TQuenControl, LT_PREVMENU, PvM)
QUEN_KIND_CLASS(TQuenLabel, TQuenControl, LT_LABEL, Lbl)
QUEN_KIND_CLASS(TQuenCGLabel, TQuenControl, LT_CGLABEL, CGL)
QUEN_KIND_CLASS(TQuenMes, TQuenControl, LT_MES, Mes)
QUEN_KIND_CLASS(TQuenEdit, TQuenControl, LT_EDIT, Edt)
QUEN_KIND_CLASS(TQuenMemo, TQuenControl, LT_MEMO, Mem)
QUEN_KIND_CLASS(TQuenSlider, TQuenControl, LT_SLIDER, Sld)
QUEN_KIND_CLASS(TQuenScrollbar, TQuenSlider, LT_SCROLLBAR, Scb)
QUEN_KIND_CLASS(TQuenGauge, TQuenControl, LT_GAUGE, Gau)
QUEN_KIND_CLASS(TQuenSound, TQuenComponent, LT_SOUND, Snd)

class TQuenCustomListBox : public TQuenControl {
 public:
  using TQuenControl::TQuenControl;
  const char* ClassName() const override { return "TQuenCustomListBox"; }
};
QUEN_KIND_CLASS(TQuenMenu, TQuenCustomListBox, LT_MENU, Mnu)

class TQuenParticleImages : public TQuenCustomImages {
 public:
  using TQuenCustomImages::TQuenCustomImages;
  const char* ClassName() const override { return "TQuenParticleImages"; }
  // The emitter names its particles itself.
  bool WantsAutoName() const override { return false; }
};

// After-images: fading copies left behind by a moving box, image or tile.
template <typename Base>
class TQuenAfterImage : public Base {
 public:
  using Base::Base;
  bool IsAfterImage() const override { return true; }
  TQuenHandle AfterImageSource() const override { return source_; }
  void SetAfterImageSource(TQuenHandle h) { source_ = h; }

 private:
  TQuenHandle source_;
};

class TQuenBlurBox : public TQuenAfterImage<TQuenBox> {
 public:
  using TQuenAfterImage<TQuenBox>::TQuenAfterImage;
  const char* ClassName() const override { return "TQuenBlurBox"; }
};

class TQuenBlurImage : public TQuenAfterImage<TQuenCustomImage> {
 public:
  using TQuenAfterImage<TQuenCustomImage>::TQuenAfterImage;
  const char* ClassName() const override { return "TQuenBlurImage"; }
  bool IsImageAfterImage() const override { return true; }
  // The fading alpha is the after-image's own state.
  bool Carries(uint8_t code) const override {
    return code == PR_ALPHA || TQuenAfterImage<TQuenCustomImage>::Carries(code);
  }
};

class TQuenBlurTile : public TQuenAfterImage<TQuenTile> {
 public:
  using TQuenAfterImage<TQuenTile>::TQuenAfterImage;
  const char* ClassName() const override { return "TQuenBlurTile"; }
};

#undef QUEN_KIND_CLASS

}  // namespace quen
