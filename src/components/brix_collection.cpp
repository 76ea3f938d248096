#include "components/brix_collection.h"

#include <algorithm>

#include "base/sjis.h"
#include "base/stream.h"
#include "components/quen_base_list.h"
#include "files/file_manager.h"
#include "imaging/brix_frame.h"
#include "imaging/png_codec.h"
#include "media/screen_manager.h"

namespace quen {
namespace {

TBrixCollection* g_instance = nullptr;

// Layered pictures by their magic, PNG and Windows bitmaps by theirs; anything else holds no
// picture.
void DecodeContent(TKvMemoryStream& content, TBrixFrameList& list, bool mask) {
  const std::string& bytes = content.Data();
  if (bytes.compare(0, 4, "Brix") == 0) {
    list.LoadFromStream(content, false, false, mask);
    return;
  }
  if (IsPngSignature(content.Memory(), content.GetSize()))
    list.LoadPng(content);
  else if (bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M')
    list.LoadBitmap(content);
  if (mask) list.MakeMasks(false);
}

}  // namespace

int32_t TBrixItem::HeldBy(const void* owner) const {
  auto it = owners_.find(owner);
  return it == owners_.end() ? 0 : it->second;
}

TBrixCollection::TBrixCollection() {
  g_instance = this;
}

TBrixCollection::~TBrixCollection() {
  if (g_instance == this) g_instance = nullptr;
}

TBrixCollection* BrixCollection() {
  return g_instance;
}

std::string TBrixCollection::MakeKey(const std::string& file, bool offsets, bool mask) {
  std::string key = file;
  if (mask) key += "?m";
  if (offsets) key += "?t";
  return key;
}

int32_t TBrixCollection::Depth() const {
  return screen_ ? screen_->WorkingDepth() : 32;
}

TBrixItem* TBrixCollection::Acquire(const void* owner, const std::string& file, bool offsets,
                                    bool mask) {
  const std::string key = MakeKey(file, offsets, mask);
  auto* item = static_cast<TBrixItem*>(Find(key));
  if (!item) {
    auto fresh = std::make_unique<TBrixItem>();
    fresh->file_ = file;
    fresh->want_mask_ = mask;
    fresh->want_offsets_ = offsets;
    // Loaded before it is filed, so a damaged file leaves nothing behind.
    Load(*fresh);
    item = Add(std::move(fresh), key);
  }
  ++item->owners_[owner];
  return item;
}

void TBrixCollection::Release(TBrixItem* item, const void* owner) {
  if (!item) return;
  auto it = item->owners_.find(owner);
  if (it == item->owners_.end()) return;
  if (--it->second > 0) return;
  item->owners_.erase(it);
  if (item->owners_.empty()) FreeItem(item);
}

void TBrixCollection::FreeItem(TBrixItem* item) {
  if (item->Index() >= 0 && Item(item->Index()) == item) {
    Delete(item->Index());
    return;
  }
  std::erase_if(forgotten_, [item](const auto& p) { return p.get() == item; });
}

void TBrixCollection::Load(TBrixItem& item, bool stand_in) {
  item.frames_.clear();
  item.stand_in_ = false;
  item.width_ = item.height_ = item.total_time_ = 0;
  ++item.generation_;
  const int32_t depth = Depth();
  if (!stand_in && !item.file_.empty() && HasFileManager() &&
      FileManager().FileExists(item.file_)) {
    TKvMemoryStream content;
    FileManager().LoadFile(content, item.file_);
    content.SetPosition(0);
    TBrixFrameList list(image_key_);
    list.TargetBitCount = screen_depth_mode_ ? depth : 0;
    DecodeContent(content, list, item.want_mask_);
    for (int32_t i = 0; i < list.Count(); ++i) {
      TBrixFrame& f = list.Frame(i);
      if (i == 0) {
        item.width_ = f.Picture.Width();
        item.height_ = f.Picture.Height();
      }
      auto frame = std::make_unique<TBrixItemFrame>();
      if (item.want_offsets_) {
        TRect kept;
        f.Trim(kept);
        frame->OffsetX = kept.Left;
        frame->OffsetY = kept.Top;
      }
      frame->Surface.SetSize(std::max(f.Picture.Width(), 1), std::max(f.Picture.Height(), 1),
                             depth);
      f.CopyToSurface(frame->Surface);
      if (f.ColorKey != -1 && f.ColorKeyColor >= 0)
        frame->ColorKey = frame->Surface.ColorToPixel(f.ColorKeyColor);
      frame->Surface.SetColorKey(frame->ColorKey);
      if (f.HasMask()) {
        frame->Mask = std::make_unique<TDIBX>();
        f.CopyMaskToSurface(*frame->Mask);
      }
      frame->Time = std::max(f.Duration, 1);
      item.total_time_ = static_cast<int32_t>(
          std::min<int64_t>(int64_t{item.total_time_} + frame->Time, INT32_MAX));
      item.frames_.push_back(std::move(frame));
    }
    if (!item.frames_.empty()) return;
  }
  // Nothing to show: one frame of colour 0 that is its own key, transparent everywhere.
  item.stand_in_ = true;
  item.width_ = item.height_ = 8;
  auto frame = std::make_unique<TBrixItemFrame>();
  frame->Surface.SetSize(8, 8, depth);
  frame->Surface.Fill(0);
  frame->ColorKey = 0;
  frame->Surface.SetColorKey(0);
  if (item.want_mask_) {
    frame->Mask = std::make_unique<TDIBX>();
    frame->Mask->SetSize(8, 8, 8);
    frame->Mask->Fill(0);
  }
  item.total_time_ = frame->Time;
  item.frames_.push_back(std::move(frame));
}

void TBrixCollection::Reload(TBrixItem& item) {
  try {
    Load(item);
  } catch (const std::exception&) {
    // The file went bad since it was first read: its holders keep a transparent stand-in.
    Load(item, true);
  }
}

void TBrixCollection::SetScreenDepthMode(bool on) {
  if (on == screen_depth_mode_) return;
  screen_depth_mode_ = on;
  RestoreSurfaces();
}

void TBrixCollection::ReleaseSurfaces() {
  auto release = [](TBrixItem& item) {
    for (auto& f : item.frames_) {
      f->Surface.Clear();
      if (f->Mask) f->Mask->Clear();
    }
    ++item.generation_;
  };
  for (int i = 0; i < Count(); ++i) release(*ItemAs<TBrixItem>(i));
  for (auto& f : forgotten_) release(static_cast<TBrixItem&>(*f));
}

void TBrixCollection::RestoreSurfaces() {
  for (int i = 0; i < Count(); ++i) Reload(*ItemAs<TBrixItem>(i));
  for (auto& f : forgotten_) Reload(static_cast<TBrixItem&>(*f));
}

void TBrixCollection::Forget(const std::string& file) {
  for (int i = Count(); i-- > 0;) {
    if (sjis::EqualsNoCase(ItemAs<TBrixItem>(i)->FileName(), file))
      forgotten_.push_back(Extract(i));
  }
}

bool TBrixCollection::LoadPicture(const std::string& file, TDIBSurface& picture) {
  if (file.empty() || !HasFileManager() || !FileManager().FileExists(file)) return false;
  const int token = 0;
  TBrixItem* item = nullptr;
  try {
    item = Acquire(&token, file, false, false);
  } catch (const std::exception&) {
    return false;
  }
  bool ok = false;
  if (TBrixItemFrame* f = item->Frame(0); f && !item->StandIn() && !f->Surface.IsEmpty()) {
    f->Surface.CopyToPicture(picture);
    ok = true;
  }
  Release(item, &token);
  return ok;
}

void TBrixCollection::SaveToStream(TStream& s) const {
  WriteBool(s, screen_depth_mode_);
}

void TBrixCollection::LoadFromStream(TStream& s, int32_t status_version) {
  if (status_version > 100) SetScreenDepthMode(ReadBool(s));
}

void SetScreenDepthDecoding(TQuenBaseList& registry, bool on) {
  TBrixCollection* cache = BrixCollection();
  if (!cache || cache->ScreenDepthMode() == on) return;
  cache->SetScreenDepthMode(on);
  for (int32_t i = 0; i < registry.ComponentCount(); ++i) registry.Component(i)->RestoreSurfaces();
  registry.Root(0).AddFullDirtyRect();
  registry.Root(1).AddFullDirtyRect();
}

}  // namespace quen
