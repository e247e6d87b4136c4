// Vetting the name of an unpackaged file before it becomes a path. The name
// comes from package and download bytes, so it may try to leave the package
// root; such a name is refused and nothing is written for it. Portable: no
// Windows headers.
#pragma once

#include <string>

namespace FileSystem {

// True when the name is a relative path that stays inside the package root:
// not empty, no leading separator, no drive letter or other ':', no '..'
// (or other dots-only) component, no device name, no control or wildcard
// characters, not ending in a separator or a "." component.
bool IsSafeUnpackagedName(const std::string& name);

}  // namespace FileSystem
