// A control's film-driven motion: counts time, picks the film frame at 60 frames a second,
// wraps or stops at the end, and lets the film move the control.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "components/quen_handle.h"

namespace quen {

class TQuenControl;
class TQuenBaseList;

// What the motion needs of a film player bound to one control; the film layer provides it.
class IMotionFilm {
 public:
  virtual ~IMotionFilm() = default;
  virtual int32_t FrameCount() const = 0;
  virtual int32_t LoopStart() const = 0;
  // Moves the film's origin to where the script placed the control.
  virtual void Rebase(int32_t left, int32_t top) = 0;
  // Applies one frame to the control (position through SetMotionPos, other properties).
  virtual void ShowFrame(int32_t frame, TQuenControl& control) = 0;
};

// Opens a motion film by file name for a control; the film layer installs it at start-up.
using TMotionFilmLoader =
    std::function<std::unique_ptr<IMotionFilm>(const std::string& file, TQuenControl& control)>;
void SetMotionFilmLoader(TMotionFilmLoader loader);
const TMotionFilmLoader& MotionFilmLoader();

class TQuenMotion {
 public:
  TQuenMotion(TQuenControl& control, std::unique_ptr<IMotionFilm> film);

  void Restart();
  // Advances by the frame time; True once, on the update that reached the end.
  bool Step(int32_t frameMs);
  bool Finished() const { return finished_; }
  int32_t FrameCount() const { return film_->FrameCount(); }
  // Moves the film's clock (an image's index written while a motion drives it).
  void SetCounter(long double ms) {
    counter_ = ms;
    finished_ = false;
    reported_ = false;
  }
  int32_t Frame() const { return frame_; }
  long double Counter() const { return counter_; }

 private:
  TQuenControl& control_;
  std::unique_ptr<IMotionFilm> film_;
  long double counter_ = 0;
  int32_t frame_ = 0;
  int32_t settle_ = 2;
  bool finished_ = false;
  bool reported_ = false;
  int32_t last_left_ = 0, last_top_ = 0;
};

}  // namespace quen
