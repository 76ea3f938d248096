// Every component kind. Kinds with behaviour of their own live in files of their own (included
// here); the rest still have only their type code, their carrier identity in the property table
// and what the shared model gives them.
#pragma once

#include "components/quen_box.h"
#include "components/quen_button.h"
#include "components/quen_cabinet.h"
#include "components/quen_cg_label.h"
#include "components/quen_custom_image.h"
#include "components/quen_edit.h"
#include "components/quen_fire.h"
#include "components/quen_gauge.h"
#include "components/quen_http.h"
#include "components/quen_image.h"
#include "components/quen_images.h"
#include "components/quen_label.h"
#include "components/quen_map_image.h"
#include "components/quen_menu.h"
#include "components/quen_mes.h"
#include "components/quen_object.h"
#include "components/quen_particle.h"
#include "components/quen_prev_menu.h"
#include "components/quen_prop_motion.h"
#include "components/quen_slider.h"
#include "components/quen_sound.h"
#include "components/quen_tile.h"
#include "components/quen_timer.h"
#include "components/quen_video.h"
#include "components/quen_wave.h"

namespace quen {

#define QUEN_KIND_CLASS(Name, Base, Type, KindId)                 \
  class Name : public Base {                                      \
   public:                                                        \
    using Base::Base;                                             \
    const char* ClassName() const override { return #Name; }      \
    uint8_t CompoType() const override { return Type; }           \
    TQuenKind Kind() const override { return TQuenKind::KindId; } \
  };

QUEN_KIND_CLASS(TQuenCinema, TQuenControl, LT_CINEMA, Cin)

#undef QUEN_KIND_CLASS

}  // namespace quen
