// Screen transitions: the base every kind derives from, the base of the kinds driven by an
// 8-bit mask, the kinds' codes and labels, and the factory.
//
// A driver (the registry's draw pass, a film) creates one for a screen change, sets its
// duration, direction, parameters and picture, prepares it, and then each frame sets the
// elapsed time and calls Step, which draws into the target.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/types.h"
#include "imaging/dibx.h"

namespace quen {

enum : int32_t {
  WP_NONE = 0,
  WP_FADE,
  WP_BLINDH,
  WP_BLINDV,
  WP_CURTAINH,
  WP_CURTAINV,
  WP_SCROLLH,
  WP_SCROLLV,
  WP_GRID,
  WP_GRIDH,
  WP_GRIDV,
  WP_DITHER,
  WP_WHITE,
  WP_BLACK,
  WP_FLASH,
  WP_MOSAIC,
  WP_SUDAREH,
  WP_SUDAREV,
  WP_SPOT,
  WP_MASKFADE,
  WP_MASKWHITE,
  WP_MASKBLACK,
  WP_SMALL,
  WP_BIG,
  WP_RIPPLE,
  WP_BLURWHITE,
  WP_BLURBLACK,
  WP_TWISTH,
  WP_TWISTV,
  WP_CRACK,
  WP_ZOOMIN,
  WP_CLOCKHAND,
  WP_RUBBERH,
  WP_RUBBERV,
  WP_FAN,
  WP_WFAN,
  WP_CIRCLE,
  WP_BLOCKCOIL,
  WP_BLOCKRANDOM,
};
constexpr int32_t kWipeKindCount = WP_BLOCKRANDOM;

struct TWipeKindInfo {
  int32_t Code;
  const char* Ident;  // "WP_FADE"
  const char* Label;  // the system's label, Shift-JIS
  const char* Class;  // "TWipeFade"
  int32_t P0, P1;     // defaults
};
// Codes 0 .. 38; nullptr for any other.
const TWipeKindInfo* WipeKindInfo(int32_t kind);

class TCustomWipe {
 public:
  // The pictures come in the order target, to, from; all three share one size and depth
  // (a source that does not is converted at every step).
  TCustomWipe(TCustomDIBX& target, TCustomDIBX& to, TCustomDIBX& from);
  virtual ~TCustomWipe();
  TCustomWipe(const TCustomWipe&) = delete;
  TCustomWipe& operator=(const TCustomWipe&) = delete;

  // Setting the same direction again changes nothing (films set it every frame).
  virtual void SetReverse(bool reverse);
  // Indices 0 and 1 are p0 and p1, 2 .. 5 the changed rectangle; others read 0.
  virtual int32_t GetParam(int32_t index) const;
  // p0 and p1 only; each kind limits them its own way.
  virtual void SetParam(int32_t index, int32_t value);
  virtual void SetPicture(const std::string& name);
  // Builds the kind's tables once all parameters are set. Step prepares by itself when the
  // driver did not, or when a parameter, the direction or the target changed since.
  virtual void Prepare();
  // Draws the state for the elapsed time into the target and returns false; returns true,
  // drawing nothing, once the elapsed time has reached the duration.
  virtual bool Step();
  // The reference interface has this slot; no kind gives it an effect.
  virtual void Idle() {}

  bool Reverse() const { return reverse_; }
  const std::string& PictureName() const { return picture_; }
  // Milliseconds for flips, film ticks for films; a duration of 0 or less is finished, an
  // elapsed time below 0 counts as 0.
  int32_t Duration() const { return duration_; }
  void SetDuration(int32_t duration) { duration_ = duration; }
  int32_t Elapsed() const { return elapsed_; }
  void SetElapsed(int32_t elapsed) { elapsed_ = elapsed; }
  bool Finished() const { return duration_ <= 0 || elapsed_ >= duration_; }
  // The area the last Step changed: the whole target.
  TRect ChangedRect() const { return TRect{params_[2], params_[3], params_[4], params_[5]}; }

 protected:
  // Draws the state at 0 <= t < T. Target, From() and To() share one size and depth here and
  // the target is not empty.
  virtual void DrawStep() = 0;
  // The kind's own part of Prepare (the target is not empty).
  virtual void PrepareKind() {}
  // Tables made from the parameters, the direction or the picture are out of date.
  void Invalidate() { prepared_ = false; }

  TCustomDIBX& Target() { return target_; }
  TCustomDIBX& From() { return from_copy_ ? *from_copy_ : from_; }
  TCustomDIBX& To() { return to_copy_ ? *to_copy_ : to_; }
  int32_t W() const { return width_; }
  int32_t H() const { return height_; }
  int32_t Bits() const { return bits_; }
  int64_t T() const { return duration_; }
  int64_t Now() const { return elapsed_ < 0 ? 0 : elapsed_; }
  int32_t P0() const { return params_[0]; }
  int32_t P1() const { return params_[1]; }
  void StoreParam(int32_t index, int32_t value);

 private:
  void SyncSources();

  bool reverse_ = false;
  std::string picture_;
  TCustomDIBX& target_;
  TCustomDIBX& from_;
  TCustomDIBX& to_;
  int32_t duration_ = 0;
  int32_t elapsed_ = 0;
  std::array<int32_t, 6> params_{};

  bool prepared_ = false;
  int32_t width_ = 0, height_ = 0, bits_ = 0;
  std::unique_ptr<TDIBX> from_copy_, to_copy_;
};

// The kinds that decide per pixel between from and to through an 8-bit mask, W wide and
// MaskHeight rows high, repeating downwards.
class TWipeMask : public TCustomWipe {
 public:
  TWipeMask(TCustomDIBX& target, TCustomDIBX& to, TCustomDIBX& from);
  // p0 at least 2, p1 at least 1.
  void SetParam(int32_t index, int32_t value) override;
  // Rebuilds the mask for the current time; false when it would not change.
  virtual bool UpdateMask() = 0;
  virtual int32_t MaskHeight() { return H(); }

  TDIBX& Mask() { return mask_; }
  bool Binary() const { return binary_; }

 protected:
  void PrepareKind() override;
  // Tables of the kind, after the mask is sized and cleared.
  virtual void PrepareMask() {}
  void DrawStep() override;
  uint8_t* MaskRow(int32_t y) { return mask_.DIB().ScanLine(y); }
  void ClearMask(uint8_t value);
  // True when the progress differs from the last one and remembers it.
  bool Advance(int64_t progress);
  // v = 0 when b < e, else min((b − e) × 255 div p1, 255).
  uint8_t Ramp(int64_t b, int64_t e) const;

  TDIBX mask_;
  int64_t last_progress_ = -1;
  bool binary_ = false;
};

// A mask kind with one order value per column (per row for the vertical one).
class TWipeOrderHMask : public TWipeMask {
 public:
  using TWipeMask::TWipeMask;

 protected:
  void PrepareMask() override;
  virtual int32_t OrderCount() { return W(); }
  std::vector<int32_t> order_;
};

class TWipeOrderVMask : public TWipeOrderHMask {
 public:
  using TWipeOrderHMask::TWipeOrderHMask;

 protected:
  int32_t OrderCount() override { return H(); }
};

// The transition of a kind with its defaults set, or nullptr for kind 0 and every code
// outside 1 .. 38.
std::unique_ptr<TCustomWipe> CreateWipe(int32_t kind, TCustomDIBX& target, TCustomDIBX& from,
                                        TCustomDIBX& to);

}  // namespace quen
