// The glyph-picture caption: text drawn with cells cut from a picture, the picture's
// characters named in order by the map text.
#pragma once

#include <string>
#include <vector>

#include "components/image_list.h"
#include "components/quen_object.h"

namespace quen {

class TQuenCGLabel : public TQuenControl {
 public:
  explicit TQuenCGLabel(TQuenBaseList* owner) : TQuenControl(owner), glyphs_(this) {}
  const char* ClassName() const override { return "TQuenCGLabel"; }
  uint8_t CompoType() const override { return LT_CGLABEL; }
  TQuenKind Kind() const override { return TQuenKind::CGL; }

  // Per line, each character's cell (its place in the map text, -1 when it has none).
  const std::vector<std::vector<int32_t>>& Cells() const { return cells_; }

  void ReleaseSurfaces() override { glyphs_.ReleaseSurfaces(); }
  void RestoreSurfaces() override;
  void SaveToStream(TStream& s, int32_t version) const override;
  void LoadFromStream(TStream& s, int32_t version) override;

 protected:
  TPropValue ReadOwn(uint8_t code) const override;
  void WriteOwn(uint8_t code, const TPropValue& value) override;
  void DrawSelf(TCustomDIBX& target) override;

 private:
  void SetSource(const std::string& source);
  // Cells and size again, after the text, the map text or the cell size changed.
  void Rebuild();

  TQuenImageList glyphs_;
  std::string source_, text_, map_text_;
  int32_t glyph_w_ = 0, glyph_h_ = 0, line_space_ = 0;
  uint8_t align_ = 0;
  int32_t alpha_ = 255;
  bool paused_ = false;
  std::vector<std::vector<int32_t>> cells_;
};

}  // namespace quen
