// A reference to a component that can be checked after the component is gone: serial
// numbers are never reused, so a stale handle resolves to nothing rather than to a newcomer.
#pragma once

#include <cstdint>

namespace quen {

struct TQuenHandle {
  uint64_t Id = 0;
  explicit operator bool() const { return Id != 0; }
  friend bool operator==(const TQuenHandle&, const TQuenHandle&) = default;
};

}  // namespace quen
