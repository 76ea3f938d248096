// Layered pictures (".brx"): a list of frames, each made of full-size layers that the reader
// composes into one picture with an optional 8-bit mask. The same frame structure also holds
// PNG and Windows bitmap pictures.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/types.h"
#include "imaging/dib_surface.h"

namespace quen {

class TStream;
class TCustomDIBX;
class TDIBX;
class TBrixFrame;
class TBrixFrameList;

// Compression kinds of the file header.
enum TBrixCompression : int32_t {
  BC_DEFAULT = 0,        // zlib
  BC_NONE = 1,           // raw rows
  BC_NONREVERSIBLE = 2,  // JPEG pictures, zlib masks
};

class TBrixLayer {
 public:
  explicit TBrixLayer(TBrixFrame* owner) : Owner(owner) {}

  TBrixFrame* Owner;
  std::string Name;
  TDIBSurface Picture;
  bool Visible = true;
  int32_t ColorKey = -1;
  int32_t Alpha = 255;
  bool MaskValid = false;

  bool HasMask() const { return Picture.Mask() != nullptr; }
};

class TBrixFrame {
 public:
  explicit TBrixFrame(TBrixFrameList* owner) : Owner(owner) {}

  int32_t Duration = 100;
  TDIBSurface Picture;
  int32_t ColorKey = -1;
  TColor ColorKeyColor = -1;
  TBrixFrameList* Owner;
  std::string Name;
  std::vector<TRect> DrawRegions;
  std::vector<TRect> SecondRegions;

  int32_t Count() const { return static_cast<int32_t>(layers_.size()); }
  TBrixLayer& Layer(int32_t index) { return *layers_.at(static_cast<size_t>(index)); }
  const TBrixLayer& Layer(int32_t index) const { return *layers_.at(static_cast<size_t>(index)); }
  TBrixLayer& AddLayer();
  void ClearLayers() { layers_.clear(); }

  bool HasMask() const { return Picture.Mask() != nullptr; }
  // Of the first layer when there are layers, else of the picture.
  int32_t Width() const;
  int32_t Height() const;
  int32_t BitCount() const;

  // Gives the picture a mask cleared where its pixels equal the colour key; with alsoLayers
  // each layer without a mask likewise, by its own key or else the frame's.
  void MakeMask(bool alsoLayers);
  // Crops the picture to its visible content; rect becomes the kept part in the uncropped
  // picture's coordinates.
  void Trim(TRect& rect);
  // Sizes the surface to the picture at the surface's own depth and copies the picture in.
  void CopyToSurface(TCustomDIBX& surface) const;
  // When the picture has a mask: an 8-bit surface of its size holding the mask.
  void CopyMaskToSurface(TDIBX& surface) const;
  void CopyMaskToBitmap(TDIBSurface& bitmap) const;

 private:
  std::vector<std::unique_ptr<TBrixLayer>> layers_;
};

class TBrixFrameList {
 public:
  // key 0: no key (rows and tables in plain order).
  explicit TBrixFrameList(int32_t key = 0) : Key(key) {}
  // Frames point back at their list, so a moved list takes its frames along and re-points them.
  TBrixFrameList(TBrixFrameList&& other) noexcept;
  TBrixFrameList& operator=(TBrixFrameList&& other) noexcept;
  TBrixFrameList(const TBrixFrameList&) = delete;
  TBrixFrameList& operator=(const TBrixFrameList&) = delete;

  TColor BackgroundColor = 0;
  int32_t Version = 0;
  int32_t TargetBitCount = 0;
  int32_t DefaultBitCount = 16;
  int32_t Key;
  bool OpaqueBottom = false;
  // Ceiling on the pixel memory one load may hold (pictures, layers and masks together);
  // a small file must not make us allocate without bound.
  int64_t MaxDecodedBytes = int64_t{1} << 30;

  int32_t Count() const { return static_cast<int32_t>(frames_.size()); }
  TBrixFrame& Frame(int32_t index) { return *frames_.at(static_cast<size_t>(index)); }
  const TBrixFrame& Frame(int32_t index) const { return *frames_.at(static_cast<size_t>(index)); }
  TBrixFrame& AddFrame();
  void Clear() { frames_.clear(); }
  void MakeMasks(bool alsoLayers);

  // Reads a layered picture from the stream's position. On failure the system's error is
  // raised and the list is left empty.
  void LoadFromStream(TStream& stream, bool firstFrameOnly = false, bool keepLayers = false,
                      bool makeMasks = false);
  // By extension, ignoring case: ".brx", ".png", ".bmp"/".dib"; others load nothing.
  void LoadFromFile(const std::string& path, bool firstFrameOnly = false, bool keepLayers = false,
                    bool makeMasks = false);
  // One frame from a PNG picture; its alpha channel becomes the mask.
  void LoadPng(TStream& stream);
  // One frame from a Windows bitmap; a 32-bit bitmap's fourth bytes become the mask.
  void LoadBitmap(TStream& stream);

  // Writes "Brix106". Scrambling (the default when the list has a key) forces raw chunks.
  void SaveToStream(TStream& stream, int32_t compression = BC_DEFAULT, int32_t quality = 70);
  void SaveToStream(TStream& stream, int32_t compression, int32_t quality, bool scramble);
  void SaveToFile(const std::string& path);

 private:
  std::vector<std::unique_ptr<TBrixFrame>> frames_;
};

// Whether a ".brx" file's content is already compressed (zlib or JPEG chunks), so that an
// archive writer need not compress it again.
bool BrxContentCompressed(const std::string& content);

}  // namespace quen
