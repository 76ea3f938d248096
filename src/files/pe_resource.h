// Finds a named resource in a Windows (PE) executable or module file, so that a game whose
// archive sits in a resource of its Windows executable can still be played.
#pragma once

#include <cstdint>
#include <string>

namespace quen {

namespace platform {
class HostFile;
}

struct TPeResourceLocation {
  int64_t offset = 0;  // position of the first byte in the file
  int64_t size = 0;
};

// Looks up type, then name (both compared ignoring ASCII case; "#123" means the numeric id
// 123), then the first language. False when the file is not a PE file, has no such resource,
// or its tables are damaged; every table entry is checked against the file's size.
bool FindPeResource(platform::HostFile& file, const std::string& name, const std::string& type,
                    TPeResourceLocation& out);

}  // namespace quen
