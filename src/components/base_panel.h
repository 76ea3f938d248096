// The panel that hosts the game screen: it owns the component registry and the selection
// pattern, passes the window's input on, and repaints the window from the last frame.
#pragma once

#include <memory>

#include "components/input_event.h"
#include "components/quen_base_list.h"
#include "imaging/dibx.h"

namespace quen {

class TBasePanel {
 public:
  // Becomes the panel every part reaches through Instance(); only one exists at a time.
  TBasePanel();
  ~TBasePanel();
  TBasePanel(const TBasePanel&) = delete;
  TBasePanel& operator=(const TBasePanel&) = delete;

  static TBasePanel* Instance();

  TQuenBaseList& Registry() { return *registry_; }
  // A 2 x 2 pixel, 32-bit pattern: black with white at (0, 0) and (1, 1).
  TDIBX& SelectionPattern() { return pattern_; }

  void Input(const TInputEvent& e) { registry_->Feed(e); }
  // Paints the last frame over the window's whole picture, stretched to its size, so a window
  // uncovered between frames shows the game at once.
  void Paint(TCustomDIBX& client);

 private:
  std::unique_ptr<TQuenBaseList> registry_;
  TDIBX pattern_;
};

// The main registry, or null before start-up and after teardown.
TQuenBaseList* MainRegistry();

}  // namespace quen
