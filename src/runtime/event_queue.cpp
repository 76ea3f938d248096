#include "runtime/event_queue.h"

#include <algorithm>

#include "base/error.h"

namespace quen {

int32_t TScriptEventQueue::Find(const TQuenEventSource* comp, uint8_t code) const {
  for (size_t i = 0; i < items_.size(); ++i)
    if (items_[i].code == code && items_[i].component.lock().get() == comp)
      return static_cast<int32_t>(i);
  return -1;
}

TScriptEvent* TScriptEventQueue::FirstWaiting() {
  for (TScriptEvent& d : items_)
    if (d.level == 0) return &d;
  return nullptr;
}

void TScriptEventQueue::RemoveLevel(int32_t level) {
  std::erase_if(items_, [level](const TScriptEvent& d) { return d.level == level; });
}

void TScriptEventQueue::RemoveRunning() {
  std::erase_if(items_, [](const TScriptEvent& d) { return d.level != 0; });
}

void TScriptEventQueue::RemoveWaitingOf(const TQuenEventSource* comp) {
  std::erase_if(items_, [comp](const TScriptEvent& d) {
    return d.level == 0 && d.component.lock().get() == comp;
  });
}

void TScriptEventQueue::SaveToStream(TStream& s) const {
  WriteInt32(s, Count());
  for (const TScriptEvent& d : items_) {
    WriteString(s, d.event);
    auto c = d.component.lock();
    WriteString(s, c ? c->Name() : std::string());
    WriteByte(s, d.code);
    WriteInt32(s, d.level);
    WriteStringList(s, d.args);
  }
}

void TScriptEventQueue::LoadFromStream(TStream& s, int32_t version, const TFindComponent& find) {
  int32_t n = ReadInt32(s);
  // A record holds at least two string lengths, a code, a level byte and an argument count.
  if (n < 0 || n > s.Remaining() / 14) RaiseError("Stream read error");
  std::vector<TScriptEvent> items(static_cast<size_t>(n));
  for (TScriptEvent& d : items) {
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
