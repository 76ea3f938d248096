#include "files/hash_collection.h"

#include "base/sjis.h"

namespace quen {

uint8_t THashCollection::Bucket(std::string_view name) {
  // Length, first byte and last-but-one byte of the name with ASCII letters folded; a trail
  // byte of a double-byte character is never folded.
  const size_t len = name.size();
  uint32_t h = static_cast<uint32_t>(len) * 16u;
  if (len >= 2) {
    auto fold = [](char c) {
      return static_cast<uint8_t>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
    };
    bool trail = false;  // whether the byte at len - 2 is a trail byte
    for (size_t i = 0; i < len;) {
      const size_t n = sjis::CharLen(name, i);
      if (i + n > len - 2) {
        trail = i != len - 2;
        break;
      }
      i += n;
    }
    const uint8_t second = trail ? static_cast<uint8_t>(name[len - 2]) : fold(name[len - 2]);
    h += fold(name[0]) + static_cast<uint32_t>(second);
  }
  return static_cast<uint8_t>(h & 0xFF);
}

void THashCollection::Link(THashItem* item) {
  item->bucket_ = Bucket(item->name_);
  item->next_ = heads_[item->bucket_];
  heads_[item->bucket_] = item;
  item->linked_ = true;
}

void THashCollection::Unlink(THashItem* item) {
  if (!item->linked_) return;
  THashItem** p = &heads_[item->bucket_];
  while (*p && *p != item) p = &(*p)->next_;
  if (*p) *p = item->next_;
  item->next_ = nullptr;
  item->linked_ = false;
}

void THashCollection::AddItem(std::unique_ptr<THashItem> item, std::string name, bool file) {
  item->name_ = std::move(name);
  item->index_ = Count();
  if (file) Link(item.get());
  items_.push_back(std::move(item));
}

void THashCollection::SetName(THashItem* item, std::string name) {
  if (item->name_ == name && item->linked_) return;
  Unlink(item);
  item->name_ = std::move(name);
  Link(item);
}

int THashCollection::IndexOf(std::string_view name) const {
  for (THashItem* p = heads_[Bucket(name)]; p; p = p->next_)
    if (sjis::EqualsNoCase(p->name_, name)) return p->index_;
  return -1;
}

std::unique_ptr<THashItem> THashCollection::Extract(int index) {
  if (index < 0 || index >= Count()) return nullptr;
  auto it = items_.begin() + index;
  std::unique_ptr<THashItem> item = std::move(*it);
  Unlink(item.get());
  items_.erase(it);
  for (size_t i = static_cast<size_t>(index); i < items_.size(); ++i) items_[i]->index_ -= 1;
  item->index_ = -1;
  return item;
}

void THashCollection::Delete(int index) {
  Extract(index);
}

void THashCollection::Clear() {
  items_.clear();
  heads_.fill(nullptr);
}

}  // namespace quen
