#include "components/quen_motion.h"

#include <cmath>

#include "base/error.h"
#include "components/quen_object.h"

namespace quen {
namespace {

constexpr long double kTickMs = 16.666666666666668L;

TMotionFilmLoader& LoaderSlot() {
  static TMotionFilmLoader loader;
  return loader;
}

}  // namespace

void SetMotionFilmLoader(TMotionFilmLoader loader) {
  LoaderSlot() = std::move(loader);
}
const TMotionFilmLoader& MotionFilmLoader() {
  return LoaderSlot();
}

TQuenMotion::TQuenMotion(TQuenControl& control, std::unique_ptr<IMotionFilm> film)
    : control_(control), film_(std::move(film)) {
  Restart();
}

void TQuenMotion::Restart() {
  counter_ = 0;
  frame_ = 0;
  settle_ = 2;
  finished_ = false;
  reported_ = false;
  last_left_ = control_.Left();
  last_top_ = control_.Top();
  film_->Rebase(last_left_, last_top_);
  film_->ShowFrame(0, control_);
}

bool TQuenMotion::Step(int32_t frameMs) {
  if (control_.Left() != last_left_ || control_.Top() != last_top_) {
    last_left_ = control_.Left();
    last_top_ = control_.Top();
    film_->Rebase(last_left_, last_top_);
  }
  if (settle_ > 0) --settle_;
  if (!control_.PropBool(PR_ANIPAUSED) && !finished_) counter_ += frameMs;
  const int32_t count = film_->FrameCount();
  long double f = std::nearbyint(counter_ / kTickMs);
  if (f > 1e9L) f = 1e9L;
  int32_t frame = static_cast<int32_t>(f);
  bool endNow = false;
  if (count <= 0) {
    frame = 0;
    endNow = !finished_;
  } else if (frame >= count) {
    if (control_.PropBool(PR_REPEAT)) {
      int64_t wrapped = static_cast<int64_t>(frame % count) + film_->LoopStart();
      if (wrapped > count - 1) wrapped = count - 1;
      if (wrapped < 0) wrapped = 0;
      frame = static_cast<int32_t>(wrapped);
      counter_ = frame * kTickMs;
    } else {
      frame = count - 1;
      endNow = !finished_;
    }
  }
  frame_ = frame;
  film_->ShowFrame(frame_, control_);
  if (endNow) finished_ = true;
  if (finished_ && !reported_) {
    reported_ = true;
    return true;
  }
  return false;
}

}  // namespace quen
