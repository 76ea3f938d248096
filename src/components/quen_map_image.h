// The map image: a picture with named areas from a map file. The area under the pointer (or
// chosen with the arrow keys) is selected and shows the hover picture inside its shape; a click
// or enter chooses it, sets @SelStr and @SelIndex and raises PR_ONSELECT; escape or a right
// click cancels. Choosing with auto-scrap, and cancelling, close the map.
#pragma once

#include <string>
#include <vector>

#include "components/image_list.h"
#include "components/map_area_list.h"
#include "components/quen_object.h"

namespace quen {

class TQuenMapImage : public TQuenControl {
 public:
  explicit TQuenMapImage(TQuenBaseList* owner)
      : TQuenControl(owner), picture_(this), hover_(this) {}
  const char* ClassName() const override { return "TQuenMapImage"; }
  uint8_t CompoType() const override { return LT_MAPIMG; }
  TQuenKind Kind() const override { return TQuenKind::Map; }

  // Closing blocks every event of the map.
  bool IsEventBlocked() const override { return closing_ != 0; }
  const TMapAreaList& Areas() const { return areas_; }
  int32_t Selected() const { return selected_; }
  // Selects an area (-1 none): the old one's PR_ONMAPOUT, the new one's PR_ONMAPIN, both areas
  // redrawn and the hover picture started again.
  void Select(int32_t index);
  // Chooses the selected area; cancels (as escape does).
  void Choose();
  void Cancel();

  bool Update(int32_t frameMs) override;
  void DoMouseMove(int32_t x, int32_t y) override;
  void DoMouseOut(TQuenControl* newTarget) override;
  void DoLButtonDown(int32_t x, int32_t y) override;
  void DoKeyDown(const std::vector<int32_t>& keys) override;
  void DoKeyRepeat(const std::vector<int32_t>& keys) override;
  bool ConsumeRightClick() override;
  void ReleaseSurfaces() override;
  void RestoreSurfaces() override;

  void SaveToStream(TStream& s, int32_t version) const override;
  void LoadFromStream(TStream& s, int32_t version) override;

 protected:
  TPropValue ReadOwn(uint8_t code) const override;
  void WriteOwn(uint8_t code, const TPropValue& value) override;
  void DrawSelf(TCustomDIBX& target) override;

 private:
  void SetPicture(TQuenImageList& list, std::string& field, const std::string& source);
  void SetMapSource(const std::string& source);
  void StartClosing();
  void InvalidateArea(int32_t index);
  void DrawFrame(TCustomDIBX& target, TQuenImageList& list);
  bool Blocks() const;

  TQuenImageList picture_, hover_;
  std::string source_, hover_source_, map_source_;
  TMapAreaList areas_;
  int32_t alpha_ = 255;
  int32_t brightness_ = 0;
  bool paused_ = false;
  int32_t selected_ = -1;
  // 0 open, 1 closing (the next update marks it), 2 marked (the next update deletes it).
  int32_t closing_ = 0;
};

}  // namespace quen
