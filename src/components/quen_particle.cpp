#include "components/quen_particle.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "base/error.h"
#include "base/sjis.h"
#include "base/stream.h"
#include "components/quen_base_list.h"
#include "components/quen_motion.h"
#include "expr/param_collection.h"
#include "expr/random_source.h"
#include "files/host_path.h"

namespace quen {
namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

int32_t ToInt(double v) {
  return static_cast<int32_t>(std::clamp(v, -2.0e9, 2.0e9));
}

}  // namespace

// ---------------------------------------------------------------- TQuenParticleImages

bool TQuenParticleImages::Update(int32_t frameMs) {
  if (TQuenMotion* m = GetMotion()) {
    if (m->Step(frameMs)) Finished = true;
  } else {
    Animate(frameMs);
  }
  return Finished;
}

// ---------------------------------------------------------------- TQuenParticle

void TQuenParticle::SetEmitterExpressions(std::unique_ptr<TQuenParser> appearX,
                                          std::unique_ptr<TQuenParser> appearY,
                                          std::unique_ptr<TQuenParser> interval) {
  appear_x_ = std::move(appearX);
  appear_y_ = std::move(appearY);
  interval_ = std::move(interval);
  track_ = false;
}

void TQuenParticle::SetEmission(int32_t x, int32_t y, int32_t width, int32_t height,
                                int32_t minInterval, int32_t range) {
  track_ = true;
  em_x_ = x;
  em_y_ = y;
  em_w_ = width;
  em_h_ = height;
  em_min_ = minInterval;
  em_range_ = range;
}

int32_t TQuenParticle::Evaluate(TQuenParser* expression, int32_t fallback) {
  if (!expression || !owner_ || !owner_->ScriptVars() || !owner_->ScriptFuncs()) return fallback;
  expression->Execute(*owner_->ScriptVars(), *owner_->ScriptFuncs());
  TCustomParam* r = expression->Result();
  return r ? r->GetAsInteger() : fallback;
}

void TQuenParticle::Emit() {
  if (!owner_ || static_cast<int32_t>(particles_.size()) >= kMaxParticles) return;
  int32_t x, y;
  if (track_) {
    x = static_cast<int32_t>(int64_t{em_x_} + RandomBelow(em_w_));
    y = static_cast<int32_t>(int64_t{em_y_} + RandomBelow(em_h_));
  } else {
    x = Evaluate(appear_x_.get(), 0);
    y = Evaluate(appear_y_.get(), 0);
  }
  auto* p = owner_->Create<TQuenParticleImages>();
  // A system name: found by nobody, never stored, and drawn (nameless children are not).
  p->SetName("\x01P" + std::to_string(Handle().Id) + "_" + std::to_string(serial_++));
  p->WriteProp(PR_ALPHA, TPropValue::OfInt(alpha_));
  const bool film = sjis::EqualsNoCase(GameExtension(source_), ".qmt");
  if (!film) {
    try {
      p->SetSource(source_);
    } catch (const EQuenError&) {
      // A damaged picture gives an invisible particle; the emitter runs on.
    }
  }
  const int32_t w = p->Width(), h = p->Height();
  p->Place(x, y, w, h);
  p->WriteProp(PR_OFFSETX, TPropValue::OfInt(w / 2));
  p->WriteProp(PR_OFFSETY, TPropValue::OfInt(h / 2));
  TQuenParticleImages::TMotion& m = p->Motion;
  m.Type = motion_type_;
  m.OriginX = m.X = x;
  m.OriginY = m.Y = y;
  const double p1 = static_cast<double>(params_[0]), p2 = static_cast<double>(params_[1]),
               p3 = static_cast<double>(params_[2]);
  switch (motion_type_) {
    case PM_SNOW:
      m.Phase = RandomUnit() * kTwoPi;
      m.Rate = 0.02 + RandomUnit() * 0.02;
      m.Speed = p1;
      m.Swing = p2 + RandomUnit() * p3;
      break;
    case PM_STAR:
      m.Angle = RandomUnit() * kTwoPi;
      m.Radius = p1 + 0.1;
      m.Growth = p2;
      m.Spin = p3;
      // Far enough that the particle has left the emitter whichever way it flew.
      m.Limit = std::hypot(static_cast<double>(Width()), static_cast<double>(Height())) +
                std::hypot(static_cast<double>(w), static_cast<double>(h));
      break;
    case PM_FLUFF:
      m.HSpeed = (RandomUnit() * 2.0 - 1.0) * p1;
      m.Lift = p2 + RandomUnit() * p3;
      break;
    case PM_TWISTER:
      m.Angle = RandomUnit() * kTwoPi;
      m.Spin = p1;
      m.Radius = p2;
      m.Speed = p3;
      break;
    default:
      break;
  }
  p->SetParent(this);
  if (film) {
    try {
      p->StartMotion(source_);
    } catch (const EQuenError&) {
      p->Finished = true;
    }
  }
  particles_.push_back(p->Handle());
}

bool TQuenParticle::Move(TQuenParticleImages& p) {
  TQuenParticleImages::TMotion& m = p.Motion;
  const int32_t w = p.Width(), h = p.Height();
  const int32_t ox = p.PropInt(PR_OFFSETX), oy = p.PropInt(PR_OFFSETY);
  ++m.Steps;
  if (!p.GetMotion()) {
    switch (m.Type) {
      case PM_SNOW: {
        m.Phase += m.Rate;
        m.X = m.OriginX + std::nearbyint(std::sin(m.Phase) * m.Swing);
        m.Fall += m.Speed;
        const double whole = std::trunc(m.Fall);
        m.Y += whole;
        m.Fall -= whole;
        break;
      }
      case PM_STAR:
        m.X = m.OriginX + std::nearbyint(std::cos(m.Angle) * m.Radius);
        m.Y = m.OriginY + std::nearbyint(std::sin(m.Angle) * m.Radius);
        m.Radius *= m.Growth;
        m.Angle += m.Spin;
        break;
      case PM_FLUFF: {
        m.X += m.HSpeed;
        const double t = static_cast<double>(m.Steps);
        m.Y = m.OriginY - std::trunc(m.Lift * t * t);
        break;
      }
      case PM_TWISTER: {
        m.Angle = std::fmod(m.Angle + m.Spin, kTwoPi);
        if (m.Angle < 0) m.Angle += kTwoPi;
        const double d = std::fabs(std::cos(m.Angle / 2)) * 0.5 + 0.5;
        p.SetZoomQuietly(static_cast<int32_t>(std::nearbyint(d * 256)));
        m.X = m.OriginX + std::trunc(d * std::sin(m.Angle) * m.Radius);
        m.Fall += m.Speed;
        const double whole = std::trunc(m.Fall);
        m.Y -= whole;
        m.Fall -= whole;
        p.SetDepthPriority(static_cast<int32_t>(std::nearbyint((d - 0.5) / 0.5 * 2000 - 1000)));
        break;
      }
      default:
        break;
    }
    int32_t pw = w, ph = h;
    if (m.Type == PM_TWISTER) {
      const TPoint pic = p.PictureSize();
      pw = static_cast<int32_t>(int64_t{pic.X} * p.ZoomX() / 256);
      ph = static_cast<int32_t>(int64_t{pic.Y} * p.ZoomY() / 256);
    }
    p.Place(ToInt(m.X), ToInt(m.Y), pw, ph);
  }
  if (p.Finished) return true;
  // The edges as the particle is drawn, within the emitter.
  const int64_t left = int64_t{p.GetMotion() ? p.MotionPos().X : p.Left()} - ox;
  const int64_t top = int64_t{p.GetMotion() ? p.MotionPos().Y : p.Top()} - oy;
  const int64_t right = left + w, bottom = top + h;
  switch (m.Type) {
    case PM_SNOW:
      return top >= Height();
    case PM_STAR:
      return !std::isfinite(m.Radius) || m.Radius > m.Limit || m.Radius > 2.0e9;
    case PM_FLUFF:
      return right <= 0 || left >= Width() || bottom <= 0;
    case PM_TWISTER:
      return bottom <= 0;
    default:
      return false;
  }
}

void TQuenParticle::Collect() {
  std::erase_if(particles_, [this](TQuenHandle h) { return !owner_ || !owner_->Resolve(h); });
}

void TQuenParticle::Step() {
  if (state_ == 1) {
    countdown_ -= kStepMs;
    while (countdown_ <= 0 && static_cast<int32_t>(particles_.size()) < kMaxParticles) {
      Emit();
      const int32_t interval = track_
                                   ? static_cast<int32_t>(int64_t{em_min_} + RandomBelow(em_range_))
                                   : Evaluate(interval_.get(), 2);
      countdown_ += std::max(interval, 2);
    }
    if (countdown_ <= 0) countdown_ = 2;
    if (limited_) {
      duration_ -= kStepMs;
      if (duration_ <= 0) {
        duration_ = 0;
        state_ = 2;
      }
    }
  }
  Collect();
  bool sort = false;
  for (TQuenHandle h : particles_) {
    auto* p = static_cast<TQuenParticleImages*>(owner_->Resolve(h));
    if (p->Finished) continue;
    const int32_t before = p->Priority();
    if (Move(*p)) p->Finished = true;
    sort = sort || p->Priority() != before;
  }
  if (sort) SortChildren();
}

bool TQuenParticle::Update(int32_t frameMs) {
  const bool done = TQuenControl::Update(frameMs);
  if (state_ == 0) {
    limited_ = duration_ > 0;
    countdown_ = 0;
    state_ = 1;
    const int32_t steps = std::clamp(initial_, 0, kMaxInitialMs) / kStepMs;
    for (int32_t i = 0; i < steps; ++i) Step();
    time_ = 0;
  } else {
    time_ += frameMs;
    // A long frame counts as at most a second of steps.
    int32_t steps = std::min(time_ / kStepMs, 1000 / kStepMs);
    time_ %= kStepMs;
    while (steps-- > 0) Step();
  }
  if (!particles_.empty()) Invalidate();
  Collect();
  // Finished particles leave in this same pass (they come after the emitter in the walk).
  int32_t live = 0;
  for (TQuenHandle h : particles_)
    if (!static_cast<TQuenParticleImages*>(owner_->Resolve(h))->Finished) ++live;
  return done || (state_ == 2 && live == 0);
}

TPropValue TQuenParticle::ReadOwn(uint8_t code) const {
  switch (code) {
    case PR_SOURCE:
      return TPropValue::OfStr(source_);
    case PR_PARTMOTION:
      return TPropValue::OfInt(motion_type_);
    case PR_PARAM1:
      return TPropValue::OfFloat(params_[0]);
    case PR_PARAM2:
      return TPropValue::OfFloat(params_[1]);
    case PR_PARAM3:
      return TPropValue::OfFloat(params_[2]);
    case PR_ALPHA:
      return TPropValue::OfInt(alpha_);
    case PR_DURATION:
      return TPropValue::OfInt(duration_);
    case PR_INDEX:
      return TPropValue::OfInt(initial_);
    case PR_PAUSED:
      return TPropValue::OfBool(paused_);
    default:
      return TQuenControl::ReadOwn(code);
  }
}

void TQuenParticle::WriteOwn(uint8_t code, const TPropValue& value) {
  switch (code) {
    case PR_SOURCE:
      source_ = value.Str;
      return;
    case PR_PARTMOTION:
      motion_type_ = static_cast<uint8_t>(value.Int);
      return;
    case PR_PARAM1:
      params_[0] = value.Float;
      return;
    case PR_PARAM2:
      params_[1] = value.Float;
      return;
    case PR_PARAM3:
      params_[2] = value.Float;
      return;
    case PR_ALPHA:
      alpha_ = value.Int;
      return;
    case PR_DURATION:
      duration_ = value.Int;
      if (state_ != 0) limited_ = duration_ > 0;
      return;
    case PR_INDEX:
      initial_ = value.Int;
      return;
    case PR_PAUSED:
      paused_ = value.Int != 0;
      return;
    default:
      TQuenControl::WriteOwn(code, value);
      return;
  }
}

void TQuenParticle::SaveToStream(TStream& s, int32_t version) const {
  TQuenControl::SaveToStream(s, version);
  for (const auto* e : {&appear_x_, &appear_y_, &interval_}) {
    if (*e)
      (*e)->SaveToStream(s);
    else
      TQuenParser().SaveToStream(s);
  }
  WriteString(s, source_);
  WriteByte(s, motion_type_);
  for (long double p : params_) WriteExtended(s, p);
  WriteInt32(s, alpha_);
  if (version > 103) {
    WriteInt32(s, initial_);
    WriteString(s, PropStr(PR_ONIDLE));
    WriteBool(s, paused_);
    WriteInt32(s, duration_);
  }
}

void TQuenParticle::LoadFromStream(TStream& s, int32_t version) {
  TQuenControl::LoadFromStream(s, version);
  for (auto* e : {&appear_x_, &appear_y_, &interval_}) {
    auto parser = std::make_unique<TQuenParser>();
    parser->LoadFromStream(s);
    *e = parser->Records().empty() ? nullptr : std::move(parser);
  }
  track_ = false;
  source_ = ReadString(s);
  motion_type_ = ReadByte(s);
  for (long double& p : params_) p = ReadExtended(s);
  alpha_ = ReadInt32(s);
  if (version > 103) {
    initial_ = ReadInt32(s);
    TQuenControl::WriteOwn(PR_ONIDLE, TPropValue::OfStr(ReadString(s)));
    paused_ = ReadBool(s);
    duration_ = ReadInt32(s);
  }
  state_ = 0;
  time_ = 0;
}

}  // namespace quen
