// The particle emitter and its particles: snow that sways down, stars that fly out, fluff
// that drifts up and a whirling twister. The emitter runs in steps of 16 ms, creates particles
// where its expressions (or a film track's emission values) say, moves them and lets them go
// once they leave it. Particles are never stored; a loaded emitter starts again.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "components/quen_images.h"
#include "expr/quen_parser.h"

namespace quen {

enum : uint8_t { PM_NONE = 0, PM_SNOW = 1, PM_STAR = 2, PM_FLUFF = 3, PM_TWISTER = 4 };

class TQuenParticle;

class TQuenParticleImages : public TQuenCustomImages {
 public:
  using TQuenCustomImages::TQuenCustomImages;
  const char* ClassName() const override { return "TQuenParticleImages"; }
  // The emitter names its particles itself.
  bool WantsAutoName() const override { return false; }
  bool Update(int32_t frameMs) override;

  // The motion state the emitter keeps per particle.
  struct TMotion {
    uint8_t Type = PM_NONE;
    double OriginX = 0, OriginY = 0;
    double X = 0, Y = 0;
    double Phase = 0, Rate = 0, Swing = 0, Speed = 0, Fall = 0;
    double Angle = 0, Radius = 0, Growth = 0, Spin = 0, Limit = 0;
    double HSpeed = 0, Lift = 0;
    int64_t Steps = 0;
  };
  TMotion Motion;
  bool Finished = false;

  // For the emitter: placement without redrawing (it redraws its whole area once a step).
  void Place(int32_t left, int32_t top, int32_t width, int32_t height) {
    PlaceQuietly(left, top, width, height);
  }
  void SetZoomQuietly(int32_t zoom) { zoom_x_ = zoom_y_ = zoom; }
  void SetDepthPriority(int32_t p) { SetPriorityQuietly(p); }

 protected:
  bool Repeats() const override { return true; }
};

class TQuenParticle : public TQuenControl {
 public:
  // Time advances in steps of the main window's speed value.
  static constexpr int32_t kStepMs = 16;
  // The initial time is simulated at most this long, and at most this many particles live at
  // once: an emitter's settings must not be able to stall or exhaust the player.
  static constexpr int32_t kMaxInitialMs = 10000;
  static constexpr int32_t kMaxParticles = 8192;

  using TQuenControl::TQuenControl;
  const char* ClassName() const override { return "TQuenParticle"; }
  uint8_t CompoType() const override { return LT_PARTICLE; }
  TQuenKind Kind() const override { return TQuenKind::Par; }

  // The creation command's compiled expressions for the appearing position and the interval
  // (each may be null); kept and stored.
  void SetEmitterExpressions(std::unique_ptr<TQuenParser> appearX,
                             std::unique_ptr<TQuenParser> appearY,
                             std::unique_ptr<TQuenParser> interval);
  // A film's particle track: particles appear at x + random(width), y + random(height), the
  // next after minimum + random(range) ms. Replaces the expressions.
  void SetEmission(int32_t x, int32_t y, int32_t width, int32_t height, int32_t minInterval,
                   int32_t range);

  int32_t State() const { return state_; }
  int32_t ParticleCount() const { return static_cast<int32_t>(particles_.size()); }
  // Runs one 16 ms step: emission (state 1) and movement.
  void Step();

  bool Update(int32_t frameMs) override;
  void SaveToStream(TStream& s, int32_t version) const override;
  void LoadFromStream(TStream& s, int32_t version) override;

 protected:
  TPropValue ReadOwn(uint8_t code) const override;
  void WriteOwn(uint8_t code, const TPropValue& value) override;

 private:
  int32_t Evaluate(TQuenParser* expression, int32_t fallback);
  void Emit();
  // Moves one particle by a step; true when it is done.
  bool Move(TQuenParticleImages& p);
  void Collect();

  std::string source_;
  uint8_t motion_type_ = PM_SNOW;
  std::array<long double, 3> params_{};
  int32_t alpha_ = 255;
  int32_t duration_ = 0;
  int32_t initial_ = 0;
  bool paused_ = false;
  std::unique_ptr<TQuenParser> appear_x_, appear_y_, interval_;
  bool track_ = false;
  int32_t em_x_ = 0, em_y_ = 0, em_w_ = 0, em_h_ = 0, em_min_ = 0, em_range_ = 0;

  // 0 first update, 1 emitting, 2 only moving what is left.
  int32_t state_ = 0;
  int32_t time_ = 0;
  int64_t countdown_ = 0;
  bool limited_ = false;
  uint64_t serial_ = 0;
  std::vector<TQuenHandle> particles_;
};

}  // namespace quen
