// An ordered list of named items plus 256 name buckets, behind archive directories and the
// variable table. Among items of equal names (ignoring ASCII case) the one added last wins.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quen {

class THashCollection;

class THashItem {
 public:
  virtual ~THashItem() = default;
  const std::string& Name() const { return name_; }
  // Position in creation order; kept up to date when earlier items are deleted.
  int Index() const { return index_; }

 private:
  friend class THashCollection;
  std::string name_;
  int index_ = -1;
  THashItem* next_ = nullptr;  // next item in the same bucket
  uint8_t bucket_ = 0;
  bool linked_ = false;
};

class THashCollection {
 public:
  THashCollection() { heads_.fill(nullptr); }
  virtual ~THashCollection() = default;
  THashCollection(const THashCollection&) = delete;
  THashCollection& operator=(const THashCollection&) = delete;

  // (L * 16 + (L >= 2 ? b[0] + b[L - 2] : 0)) mod 256 over the lower-cased name's bytes,
  // taken as unsigned.
  static uint8_t Bucket(std::string_view name);

  int Count() const { return static_cast<int>(items_.size()); }
  THashItem* Item(int index) const {
    return index >= 0 && index < Count() ? items_[static_cast<size_t>(index)].get() : nullptr;
  }
  template <typename T>
  T* ItemAs(int index) const {
    return static_cast<T*>(Item(index));
  }

  // Appends an item and files it under its name (at the head of its bucket).
  template <typename T>
  T* Add(std::unique_ptr<T> item, std::string name) {
    T* raw = item.get();
    AddItem(std::move(item), std::move(name));
    return raw;
  }

  // Appends an item under its name without filing it: only scans by index find it (the
  // evaluator's temporaries, which live for one run).
  template <typename T>
  T* AddUnfiled(std::unique_ptr<T> item, std::string name) {
    T* raw = item.get();
    AddItem(std::move(item), std::move(name), false);
    return raw;
  }

  // Renames an item; a name that differs (case-sensitively) moves it to the head of its
  // bucket's chain.
  void SetName(THashItem* item, std::string name);

  // Index of the newest item whose name equals the given one ignoring ASCII case, or -1.
  int IndexOf(std::string_view name) const;
  THashItem* Find(std::string_view name) const { return Item(IndexOf(name)); }

  // Frees the item; later items move down by one.
  void Delete(int index);
  // Takes the item out without freeing it.
  std::unique_ptr<THashItem> Extract(int index);
  void Clear();

 private:
  void AddItem(std::unique_ptr<THashItem> item, std::string name, bool file = true);
  void Link(THashItem* item);
  void Unlink(THashItem* item);

  std::vector<std::unique_ptr<THashItem>> items_;
  std::array<THashItem*, 256> heads_;
};

}  // namespace quen
