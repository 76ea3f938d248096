#include "components/install_transitions.h"

#include <utility>

#include "imaging/custom_wipe.h"
#include "imaging/wipe_picture.h"

namespace quen {

void InstallTransitions(TQuenBaseList& registry, std::function<int32_t()> imageKey) {
  registry.SetTransitionFactory(CreateWipe);
  SetWipePictureLoader(FileManagerWipeLoader(std::move(imageKey)));
}

}  // namespace quen
