#include "components/base_panel.h"

namespace quen {
namespace {

TBasePanel* g_panel = nullptr;

}  // namespace

TBasePanel::TBasePanel() : registry_(std::make_unique<TQuenBaseList>()) {
  pattern_.SetSize(2, 2, 32);
  pattern_.Fill(static_cast<uint32_t>(pattern_.ColorToPixel(0)));
  const uint32_t white = static_cast<uint32_t>(pattern_.ColorToPixel(0xFFFFFF));
  pattern_.SetPixel(0, 0, white);
  pattern_.SetPixel(1, 1, white);
  g_panel = this;
}

TBasePanel::~TBasePanel() {
  if (g_panel == this) g_panel = nullptr;
}

TBasePanel* TBasePanel::Instance() {
  return g_panel;
}

void TBasePanel::Paint(TCustomDIBX& client) {
  TCustomDIBX& screen = registry_->Screen();
  if (screen.IsEmpty() || client.IsEmpty()) return;
  client.StretchDraw(TRect{0, 0, client.Width(), client.Height()}, screen, 255, false, false, false,
                     TRect{0, 0, screen.Width(), screen.Height()});
}

TQuenBaseList* MainRegistry() {
  return g_panel ? &g_panel->Registry() : nullptr;
}

}  // namespace quen
