// Everything between the composed game picture and the monitor: the full-screen modes that can
// hold the game screen and the one picked for full screen, the frame surface the registry
// composes on, the working colour depth of every component surface, the switches between the
// desktop and a full-screen mode, and the hand-over of each drawn frame to the window.
#pragma once

#include <cstdint>
#include <vector>

#include "base/types.h"
#include "imaging/dibx.h"
#include "platform/display.h"
#include "platform/game_window.h"

namespace quen {

class TScreenManager {
 public:
  // Lists the usable modes of the display (none without one), picks the full-screen mode and
  // sets up windowed play. forced_depth 15, 16 or 32 replaces the depth windowed play takes from
  // the desktop; 0 keeps the desktop's.
  TScreenManager(platform::IDisplay* display, platform::IGameWindow& window, int32_t screen_width,
                 int32_t screen_height, int32_t preferred_width, int32_t preferred_height,
                 int32_t forced_depth = 0);
  ~TScreenManager();
  TScreenManager(const TScreenManager&) = delete;
  TScreenManager& operator=(const TScreenManager&) = delete;

  int32_t ModeCount() const { return static_cast<int32_t>(modes_.size()); }
  // False when index is outside the list.
  bool GetMode(int32_t index, platform::DisplayMode& mode) const;

  // -2 not set up, -1 windowed, 0 or more full screen in that mode.
  int32_t CurrentModeIndex() const { return current_; }
  // The mode used for full screen; -1 none.
  int32_t ChosenModeIndex() const { return chosen_; }
  // Refuses (keeps the old choice, returns false) anything below -1 or outside the list.
  bool SetChosenModeIndex(int32_t index);

  // -1 windowed, 0 or more full screen in that mode; a full-screen request the display refuses
  // ends windowed (callers compare CurrentModeIndex with what they asked for).
  void SetModeIndex(int32_t index);
  // Frees the frame surface and returns the display to the desktop; the next SetModeIndex
  // builds everything again.
  void FreeDX();
  // Hands the changed parts of the frame to the window: the rectangles given (cut to the frame),
  // or the whole frame when it is new since the last presentation.
  void Present(const std::vector<TRect>& changed);

  bool FullScreen() const { return full_screen_; }
  // Component surfaces are memory surfaces while this is set; always so after a set-up here.
  bool Software() const { return software_; }
  int32_t WorkingDepth() const { return working_depth_; }
  int32_t DisplayDepth() const { return display_depth_; }
  int32_t PreferredDepth() const { return preferred_depth_; }
  // The surface frames are composed on; it stays the same object for the manager's life and is
  // empty between FreeDX and the next set-up.
  TDIBX& Frame() { return frame_; }
  // Null while there is none (after FreeDX).
  TDIBX* FrameSurface() { return frame_.IsEmpty() ? nullptr : &frame_; }

  int32_t ForcedDepth() const { return forced_depth_; }
  // 0, 15, 16 or 32 (else refused); takes effect at the next windowed set-up.
  bool SetForcedDepth(int32_t bits);

 private:
  void FilterMode(const platform::DisplayMode& m);
  void SetUp();
  void SetUpWindowed();
  bool SetUpFullScreen();

  platform::IDisplay* display_;
  platform::IGameWindow& window_;
  int32_t screen_width_, screen_height_;
  int32_t preferred_width_, preferred_height_;
  int32_t preferred_depth_ = 24;
  int32_t forced_depth_ = 0;
  std::vector<platform::DisplayMode> modes_;
  int32_t chosen_ = -1;
  int32_t current_ = -2;
  // The display shows a full-screen mode we put it in.
  bool entered_ = false;
  bool full_screen_ = false;
  bool software_ = false;
  int32_t working_depth_ = 32;
  int32_t display_depth_ = 0;
  TDIBX frame_;
  // The frame widened to 32 bits for the window when the working depth is 15 or 16.
  TDIBSurface shown_;
  // A new frame surface reaches the window whole at the next presentation.
  bool whole_frame_ = true;
};

}  // namespace quen
