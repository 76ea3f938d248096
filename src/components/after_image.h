// After-images: the fading copies a moving box, image or tile leaves behind it. A source keeps
// a trail that says when a copy is due; the copy fades out over its delay and then asks to be
// deleted. Copies are never stored.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "components/quen_base_list.h"
#include "components/quen_object.h"

namespace quen {

class TAfterImageTrail {
 public:
  int32_t Span() const { return span_; }
  int32_t Delay() const { return delay_; }
  bool Active() const { return span_ > 0 && delay_ > 0; }
  // Writing the span starts counting again from the current state.
  void SetSpan(int32_t span, std::vector<int64_t> state) {
    span_ = span;
    counter_ = 0;
    last_ = std::move(state);
  }
  void SetDelay(int32_t delay) { delay_ = delay; }
  // Adds the frame time; true when the span ran out and the state differs from the last copy.
  bool Step(int32_t frameMs, std::vector<int64_t> state) {
    if (!Active()) return false;
    counter_ += frameMs;
    if (counter_ < span_) return false;
    counter_ = 0;
    if (state == last_) return false;
    last_ = std::move(state);
    return true;
  }

 private:
  int32_t span_ = 0;
  int32_t delay_ = 0;
  int64_t counter_ = 0;
  std::vector<int64_t> last_;
};

template <typename Base>
class TQuenAfterImage : public Base {
 public:
  using Base::Base;
  bool IsAfterImage() const override { return true; }
  TQuenHandle AfterImageSource() const override { return source_; }
  void SetAfterImageSource(TQuenHandle h) { source_ = h; }

  // Places the copy beside its source: same parent, one below it, half its blend value.
  void Follow(TQuenControl& source, int32_t delay) {
    source_ = source.Handle();
    if (this->owner_) this->SetName(this->owner_->UniqueName(source.Name()));
    start_ = source.PropInt(PR_ALPHA) / 2;
    delay_ = delay;
    age_ = 0;
    this->WriteProp(PR_ALPHA, TPropValue::OfInt(start_));
    this->SetPriority(source.Priority() - 1);
    this->SetParent(source.Parent());
  }

  bool Update(int32_t frameMs) override {
    age_ += frameMs;
    if (delay_ <= 0 || age_ >= delay_) return true;
    const auto fade = static_cast<int32_t>(
        std::nearbyint(static_cast<double>(age_) / delay_ * static_cast<double>(start_)));
    const int32_t alpha = start_ - fade;
    if (alpha != this->PropInt(PR_ALPHA)) {
      this->WriteProp(PR_ALPHA, TPropValue::OfInt(alpha));
      // Copies of images sort among themselves by their blend value.
      if (this->IsImageAfterImage() && this->Parent()) this->Parent()->SortChildren();
    }
    return false;
  }

 private:
  TQuenHandle source_;
  int32_t start_ = 0;
  int32_t delay_ = 0;
  int64_t age_ = 0;
};

}  // namespace quen
