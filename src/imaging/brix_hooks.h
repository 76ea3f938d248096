// Plugs the layered-picture and PNG readers into the lower layers' hooks: the surfaces'
// LoadFromStream and the archive writer's question whether a ".brx" file is compressed.
#pragma once

namespace quen {

void InstallBrixHooks();

}  // namespace quen
