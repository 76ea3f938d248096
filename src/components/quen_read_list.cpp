#include "components/quen_read_list.h"

#include <algorithm>

#include "base/error.h"
#include "base/messages.h"
#include "base/stream.h"

namespace quen {

bool TQuenRead::Has(int32_t number, int32_t page) const {
  for (size_t i = 0; i < numbers.size(); ++i)
    if (numbers[i] == number && pages[i] == page) return true;
  return false;
}

bool TQuenReadList::IsRead(const std::string& key, int32_t number, int32_t page) const {
  auto it = items_.find(key);
  return it != items_.end() && it->second.Has(number, page);
}

void TQuenReadList::SetPending(const std::string& box_name, const std::string& key, int32_t page,
                               int32_t number) {
  pending_box_ = box_name;
  pending_key_ = key;
  pending_page_ = page;
  pending_number_ = number;
}

void TQuenReadList::CommitPending(const std::string& box_name) {
  if (pending_key_.empty() || pending_box_ != box_name) return;
  TQuenRead& r = items_[pending_key_];
  if (!r.Has(pending_number_, pending_page_)) {
    r.numbers.push_back(pending_number_);
    r.pages.push_back(pending_page_);
  }
  pending_key_.clear();
}

void TQuenReadList::Clear() {
  items_.clear();
  pending_key_.clear();
  pending_box_.clear();
  pending_number_ = pending_page_ = 0;
}

void TQuenReadList::LoadFromStream(TStream& s) {
  auto count = [&s](int64_t min_each) {
    const int32_t n = ReadInt32(s);
    if (n < 0 || int64_t{n} * min_each > s.Remaining()) RaiseError(msg::kStreamReadError);
    return n;
  };
  std::unordered_map<std::string, TQuenRead> items;
  const int32_t n = count(8);
  for (int32_t i = 0; i < n; ++i) {
    std::string key = ReadString(s);
    TQuenRead r;
    const int32_t m = count(8);
    r.numbers.resize(static_cast<size_t>(m));
    r.pages.resize(static_cast<size_t>(m));
    for (int32_t& v : r.numbers) v = ReadInt32(s);
    for (int32_t& v : r.pages) v = ReadInt32(s);
    items[std::move(key)] = std::move(r);
  }
  std::string key = ReadString(s);
  const int32_t number = ReadInt32(s);
  const int32_t page = ReadInt32(s);
  std::string box = ReadString(s);
  items_ = std::move(items);
  pending_key_ = std::move(key);
  pending_number_ = number;
  pending_page_ = page;
  pending_box_ = std::move(box);
}

void TQuenReadList::SaveToStream(TStream& s) const {
  // Keys in order, so that the same list always writes the same bytes.
  std::vector<const std::string*> keys;
  for (const auto& [k, r] : items_) keys.push_back(&k);
  std::sort(keys.begin(), keys.end(), [](auto* a, auto* b) { return *a < *b; });
  WriteInt32(s, static_cast<int32_t>(keys.size()));
  for (const std::string* k : keys) {
    const TQuenRead& r = items_.at(*k);
    WriteString(s, *k);
    WriteInt32(s, static_cast<int32_t>(r.numbers.size()));
    for (int32_t v : r.numbers) WriteInt32(s, v);
    for (int32_t v : r.pages) WriteInt32(s, v);
  }
  WriteString(s, pending_key_);
  WriteInt32(s, pending_number_);
  WriteInt32(s, pending_page_);
  WriteString(s, pending_box_);
}

}  // namespace quen
