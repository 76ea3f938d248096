// The event queue: components raise events by appending a record here; the interpreter takes
// the first waiting record, runs it at some call level, and removes it when that call returns.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "components/quen_handle.h"

namespace quen {

class TStream;
class TQuenBaseList;

struct TTimerData {
  std::string EventText;  // the call target
  TQuenHandle Sender;     // @Sender; resolves to nothing once the component is destroyed
  uint8_t Code = 0;       // the PR_ON... property code
  int32_t Level = 0;      // 0 while waiting, else the call level running it
  std::vector<std::string> Args;
};

class TTimerList {
 public:
  void Add(TTimerData record) { items_.push_back(std::move(record)); }
  // Index of the first record of that component and code, or -1.
  int32_t IndexOf(TQuenHandle sender, uint8_t code) const;
  // The first record still waiting (level 0), or null. Events run strictly in queue order.
  TTimerData* FirstWaiting();
  void RemoveLevel(int32_t level);
  void RemoveRunning();
  void RemoveWaitingOf(TQuenHandle sender);
  void Clear() { items_.clear(); }

  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  const TTimerData& operator[](int32_t i) const { return items_[static_cast<size_t>(i)]; }
  TTimerData& operator[](int32_t i) { return items_[static_cast<size_t>(i)]; }

  // Records name their component; on loading names are looked up in the registry.
  void SaveToStream(TStream& s, const TQuenBaseList& registry, int32_t version) const;
  void LoadFromStream(TStream& s, TQuenBaseList& registry, int32_t version);

 private:
  std::vector<TTimerData> items_;
};

}  // namespace quen
