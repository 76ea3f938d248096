// Images with frames: the frames base (a source's frames, the shown index, its countdown, the
// brightness and the wait expression evaluated at the last frame) and the animated image that
// plays them, repeats, scraps itself or reports the end of play.
#pragma once

#include <memory>
#include <string>

#include "components/quen_custom_image.h"
#include "expr/quen_parser.h"

namespace quen {

class TQuenCustomImages : public TQuenCustomImage {
 public:
  explicit TQuenCustomImages(TQuenBaseList* owner) : TQuenCustomImage(owner), frames_(this) {}
  const char* ClassName() const override { return "TQuenCustomImages"; }

  // Clears the frames and any motion; ".brx" acquires the picture and shows frame 0, ".qmt"
  // starts the motion film, anything else leaves the image without picture (0 x 0). A damaged
  // picture raises the reader's error and leaves the image without picture.
  virtual void SetSource(const std::string& source);
  const std::string& Source() const { return source_; }
  // Selects a frame (with a motion: moves the film's clock to that frame's time).
  void SetIndex(int32_t index);
  int32_t Index() const;
  // Frames of the picture, or of the film while a motion exists.
  int32_t FrameCount() const;
  void SetBrightness(int32_t b);
  // The creation command's wait expression: its value is added to the countdown whenever the
  // last frame of a picture of several frames is shown. Kept and stored.
  void SetWaitExpression(std::unique_ptr<TQuenParser> wait) { wait_ = std::move(wait); }
  const TQuenParser* WaitExpression() const { return wait_.get(); }

  TCustomDIBX* Picture() override;
  TCustomDIBX* PictureMask() override;
  TPoint PictureSize() const override;
  TBrixItem* PictureItem() const override { return list_->Item(); }
  int32_t FrameIndex() const override { return list_->Index; }
  int32_t PictureBrightness() const override { return list_->Brightness(); }
  void ReleaseSurfaces() override;
  void RestoreSurfaces() override;

  void SaveToStream(TStream& s, int32_t version) const override;
  void LoadFromStream(TStream& s, int32_t version) override;

 protected:
  TPropValue ReadOwn(uint8_t code) const override;
  void WriteOwn(uint8_t code, const TPropValue& value) override;
  // One update of the animation; true when the image asks to be deleted.
  bool Animate(int32_t frameMs);
  virtual bool Repeats() const { return false; }
  // The last frame ran out without repeat; true asks for deletion.
  virtual bool PlayEnded() { return false; }
  // Shows the frames of another list (the button's states); the list stays the caller's.
  void UseList(TQuenImageList& list) { list_ = &list; }
  // Back to the first frame with an empty countdown, or the motion to its start.
  void Restart();
  bool Finished() const { return finished_; }
  void SetFinished(bool f) { finished_ = f; }
  // The stored index and countdown, put back once the source is re-applied.
  void RestoreIndex(int32_t index, int32_t countdown);
  // Loads a source into a list (the picture or the film); the other states' lists use it.
  void LoadInto(TQuenImageList& list, const std::string& source);

  TQuenImageList frames_;
  TQuenImageList* list_ = &frames_;
  std::string source_;
  bool paused_ = false;
  int32_t stored_index_ = -1, stored_countdown_ = 0;

 private:
  void AddWait();

  bool finished_ = false;
  std::unique_ptr<TQuenParser> wait_;
};

class TQuenImages : public TQuenCustomImages {
 public:
  using TQuenCustomImages::TQuenCustomImages;
  const char* ClassName() const override { return "TQuenImages"; }
  uint8_t CompoType() const override { return LT_IMAGES; }
  TQuenKind Kind() const override { return TQuenKind::Img; }

  bool Update(int32_t frameMs) override;
  void SaveToStream(TStream& s, int32_t version) const override;
  void LoadFromStream(TStream& s, int32_t version) override;

 protected:
  TPropValue ReadOwn(uint8_t code) const override;
  void WriteOwn(uint8_t code, const TPropValue& value) override;
  bool Repeats() const override { return repeat_; }
  bool PlayEnded() override;

  bool repeat_ = false;
};

}  // namespace quen
