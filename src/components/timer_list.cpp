#include "components/timer_list.h"

#include <algorithm>

#include "base/stream.h"
#include "components/quen_base_list.h"

namespace quen {

int32_t TTimerList::IndexOf(TQuenHandle sender, uint8_t code) const {
  for (size_t i = 0; i < items_.size(); ++i)
    if (items_[i].Sender == sender && items_[i].Code == code) return static_cast<int32_t>(i);
  return -1;
}

TTimerData* TTimerList::FirstWaiting() {
  for (auto& r : items_)
    if (r.Level == 0) return &r;
  return nullptr;
}

void TTimerList::RemoveLevel(int32_t level) {
  std::erase_if(items_, [level](const TTimerData& r) { return r.Level == level; });
}

void TTimerList::RemoveRunning() {
  std::erase_if(items_, [](const TTimerData& r) { return r.Level != 0; });
}

void TTimerList::RemoveWaitingOf(TQuenHandle sender) {
  std::erase_if(items_,
                [sender](const TTimerData& r) { return r.Level == 0 && r.Sender == sender; });
}

void TTimerList::SaveToStream(TStream& s, const TQuenBaseList& registry, int32_t version) const {
  WriteInt32(s, Count());
  for (const auto& r : items_) {
    WriteString(s, r.EventText);
    const TQuenObject* sender = registry.Resolve(r.Sender);
    WriteString(s, sender ? sender->Name() : std::string());
    WriteByte(s, r.Code);
    if (version <= 113)
      WriteBool(s, r.Level != 0);
    else
      WriteInt32(s, r.Level);
    WriteStringList(s, r.Args);
  }
}

void TTimerList::LoadFromStream(TStream& s, TQuenBaseList& registry, int32_t version) {
  const int32_t n = ReadInt32(s);
  // A record takes at least 4 + 4 + 1 + 1 + 4 bytes.
  if (n < 0 || n > s.Remaining() / 14) RaiseReadError();
  std::vector<TTimerData> loaded;
  loaded.reserve(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) {
    TTimerData r;
    r.EventText = ReadString(s);
    const std::string name = ReadString(s);
    if (!name.empty())
      if (TQuenObject* o = registry.FindComponent(name)) r.Sender = o->Handle();
    r.Code = ReadByte(s);
    r.Level = version <= 113 ? (ReadBool(s) ? 1 : 0) : ReadInt32(s);
    r.Args = ReadStringList(s);
    loaded.push_back(std::move(r));
  }
  items_ = std::move(loaded);
}

}  // namespace quen
