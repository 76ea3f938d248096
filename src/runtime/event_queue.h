// The queue of script events the interpreter dispatches from: records are taken strictly in
// queue order and marked with the nesting level they run at. It keeps the interpreter apart
// from the component registry until the registry's own queue is plugged in.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/stream.h"

namespace quen {

// What the interpreter needs of a component that raised an event: its name. A component lives
// in a shared_ptr so that a record or a call frame can tell when it is gone.
class TQuenEventSource {
 public:
  virtual ~TQuenEventSource() = default;
  virtual std::string Name() const = 0;
};

using TComponentRef = std::weak_ptr<TQuenEventSource>;
// The registry's lookup by name; empty when there is no such component.
using TFindComponent = std::function<std::shared_ptr<TQuenEventSource>(const std::string&)>;

struct TScriptEvent {
  std::string event;  // page file name, optionally ":" and a label
  TComponentRef component;
  uint8_t code = 0;
  int32_t level = 0;  // 0 while waiting, else the level the handler runs at
  std::vector<std::string> args;
};

class TScriptEventQueue {
 public:
  void Append(TScriptEvent d) { items_.push_back(std::move(d)); }
  // Index of the first record of the component and code, or -1.
  int32_t Find(const TQuenEventSource* comp, uint8_t code) const;
  // The first waiting record (running level 0), or null.
  TScriptEvent* FirstWaiting();
  void RemoveLevel(int32_t level);
  void RemoveRunning();
  void RemoveWaitingOf(const TQuenEventSource* comp);
  void Clear() { items_.clear(); }
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  const TScriptEvent& At(int32_t i) const { return items_[static_cast<size_t>(i)]; }

  // The queue's part of the registry stream. version <= 113 stores the level as one byte read
  // as a flag.
  void SaveToStream(TStream& s) const;
  void LoadFromStream(TStream& s, int32_t version, const TFindComponent& find);

 private:
  std::vector<TScriptEvent> items_;
};

}  // namespace quen
