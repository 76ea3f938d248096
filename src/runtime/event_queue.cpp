#include "runtime/event_queue.h"

#include <algorithm>

#include "base/error.h"

namespace quen {

int32_t TTimerList::Find(const TQuenEventSource* comp, uint8_t code) const {
  for (size_t i = 0; i < items_.size(); ++i)
    if (items_[i].code == code && items_[i].component.lock().get() == comp)
      return static_cast<int32_t>(i);
  return -1;
}

TTimerData* TTimerList::FirstWaiting() {
  for (TTimerData& d : items_)
    if (d.level == 0) return &d;
  return nullptr;
}

void TTimerList::RemoveLevel(int32_t level) {
  std::erase_if(items_, [level](const TTimerData& d) { return d.level == level; });
}

void TTimerList::RemoveRunning() {
  std::erase_if(items_, [](const TTimerData& d) { return d.level != 0; });
}

void TTimerList::RemoveWaitingOf(const TQuenEventSource* comp) {
  std::erase_if(items_, [comp](const TTimerData& d) {
    return d.level == 0 && d.component.lock().get() == comp;
  });
}

void TTimerList::SaveToStream(TStream& s) const {
  WriteInt32(s, Count());
  for (const TTimerData& d : items_) {
    WriteString(s, d.event);
    auto c = d.component.lock();
    WriteString(s, c ? c->Name() : std::string());
    WriteByte(s, d.code);
    WriteInt32(s, d.level);
    WriteStringList(s, d.args);
  }
}

void TTimerList::LoadFromStream(TStream& s, int32_t version, const TFindComponent& find) {
  int32_t n = ReadInt32(s);
  // A record holds at least two string lengths, a code, a level byte and an argument count.
  if (n < 0 || n > s.Remaining() / 14) RaiseError("Stream read error");
  std::vector<TTimerData> items(static_cast<size_t>(n));
  for (TTimerData& d : items) {
    d.event = ReadString(s);
    std::string name = ReadString(s);
    if (!name.empty() && find) d.component = find(name);
    d.code = ReadByte(s);
    d.level = version <= 113 ? (ReadBool(s) ? 1 : 0) : ReadInt32(s);
    d.args = ReadStringList(s);
  }
  items_ = std::move(items);
}

}  // namespace quen
