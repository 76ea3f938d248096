// What the player sets up for the transitions at "QuenInitialize": the registry's factory
// and the reader of the mask pictures, through the file manager with the project's image key.
#pragma once

#include <cstdint>
#include <functional>

#include "components/quen_base_list.h"

namespace quen {

// imageKey is asked at every load (the project exists only after "QuenInitialize").
void InstallTransitions(TQuenBaseList& registry, std::function<int32_t()> imageKey);

}  // namespace quen
