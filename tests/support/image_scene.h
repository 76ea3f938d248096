// A scene for the image components: a game folder the file manager reads pictures from, the
// picture cache, a registry driven frame by frame (support/scene.h) composing on a 32-bit
// screen, and helpers that write layered pictures and read the composed frame back.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "base/stream.h"
#include "components/brix_collection.h"
#include "expr/build_quen_parser.h"
#include "expr/param_collection.h"
#include "expr/quen_parser.h"
#include "expr/sys_func_man.h"
#include "expr/sysfunc_register.h"
#include "files/file_manager.h"
#include "imaging/brix_frame.h"
#include "imaging/brix_hooks.h"
#include "imaging/color_tables.h"
#include "support/scene.h"
#include "support/temp_dir.h"

namespace quen::test {

// One frame of a test picture: 32-bit pixels (0x00BBGGRR colours), an optional mask and key.
struct TPicFrame {
  int32_t W = 0, H = 0;
  std::vector<TColor> Pixels;
  std::vector<uint8_t> Mask;  // empty: none
  TColor Key = -1;
  int32_t Duration = 100;
  // Content rectangles stored with the frame.
  std::vector<TRect> Regions;

  static TPicFrame Solid(int32_t w, int32_t h, TColor c) {
    TPicFrame f;
    f.W = w;
    f.H = h;
    f.Pixels.assign(static_cast<size_t>(w * h), c);
    return f;
  }
  TColor& At(int32_t x, int32_t y) { return Pixels[static_cast<size_t>(y * W + x)]; }
};

inline std::string EncodePicture(const std::vector<TPicFrame>& frames) {
  TBrixFrameList list;
  for (const TPicFrame& in : frames) {
    TBrixFrame& f = list.AddFrame();
    f.Duration = in.Duration;
    f.DrawRegions = in.Regions;
    f.Picture.SetSize(in.W, in.H, 32);
    for (int32_t y = 0; y < in.H; ++y) {
      uint8_t* row = f.Picture.ScanLine(y);
      for (int32_t x = 0; x < in.W; ++x) {
        const TColor c = in.Pixels[static_cast<size_t>(y * in.W + x)];
        row[4 * x] = GetBValue(c);
        row[4 * x + 1] = GetGValue(c);
        row[4 * x + 2] = GetRValue(c);
        row[4 * x + 3] = 0;
      }
    }
    if (!in.Mask.empty()) {
      TDIBSurface& m = f.Picture.CreateMask();
      for (int32_t y = 0; y < in.H; ++y)
        for (int32_t x = 0; x < in.W; ++x)
          m.ScanLine(y)[x] = in.Mask[static_cast<size_t>(y * in.W + x)];
    }
    if (in.Key >= 0) {
      f.ColorKeyColor = in.Key;
      f.ColorKey = static_cast<int32_t>((GetRValue(in.Key) << 16) | (GetGValue(in.Key) << 8) |
                                        GetBValue(in.Key));
    }
  }
  TKvMemoryStream out;
  list.SaveToStream(out);
  return out.Data();
}

struct ImageScene : Scene {
  testing::TempDir dir;
  std::unique_ptr<TBrixCollection> cache = std::make_unique<TBrixCollection>();
  TParamCollection vars;
  TSysFuncMan funcs;

  explicit ImageScene(int32_t w = 64, int32_t h = 48) : Scene(w, h) {
    InstallBrixHooks();
    QuenInitColor(32);
    auto fm = std::make_unique<TVrFileManager>();
    fm->SetGameFolder(dir.Path());
    SetFileManager(std::move(fm));
    RegisterValueFunctions(funcs);
    reg.SetScriptContext(&vars, &funcs);
    reg.ActiveRoot().WriteProp(PR_COLOR, TPropValue::OfInt(0xFFFFFF));
  }
  ~ImageScene() {
    // Components let their pictures go before the cache goes.
    reg.Reset();
    cache.reset();
    SetFileManager(nullptr);
  }

  void Picture(const std::string& name, const std::vector<TPicFrame>& frames) {
    dir.Write(name, EncodePicture(frames));
  }
  void Write(const std::string& name, const std::string& bytes) { dir.Write(name, bytes); }

  // The whole screen drawn afresh.
  void Redraw() {
    reg.ActiveRoot().AddFullDirtyRect();
    reg.DrawAll();
    reg.ClearDirty();
  }
  TColor At(int32_t x, int32_t y) { return reg.Screen().PixelToColor(reg.Screen().GetPixel(x, y)); }
  // Runs frames of frameMs each (input, events, update, draw of what changed).
  void Run(int frames) {
    for (int i = 0; i < frames; ++i) Frame();
  }
  template <typename T>
  T* Place(const std::string& name, int32_t l, int32_t t, TQuenControl* parent = nullptr) {
    T* c = reg.Create<T>();
    c->WriteProp(PR_NAME, TPropValue::OfStr(name));
    c->SetParent(parent ? parent : &reg.ActiveRoot());
    c->WriteProp(PR_LEFT, TPropValue::OfInt(l));
    c->WriteProp(PR_TOP, TPropValue::OfInt(t));
    return c;
  }
  // A compiled expression, as the creation commands hand them over.
  static std::unique_ptr<TQuenParser> Expr(const std::string& text) {
    TBuildQuenParser build;
    build.Build(text);
    TKvMemoryStream m;
    build.Write(m);
    m.SetPosition(0);
    auto p = std::make_unique<TQuenParser>();
    p->LoadFromStream(m);
    return p;
  }
  static void Set(TQuenObject* c, uint8_t code, int32_t v) {
    c->WriteProp(code, TPropValue::OfInt(v));
  }
  static void Set(TQuenObject* c, uint8_t code, const std::string& v) {
    c->WriteProp(code, TPropValue::OfStr(v));
  }
};

}  // namespace quen::test
