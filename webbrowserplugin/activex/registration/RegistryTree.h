// Registry walks of the control's registration that the shared helpers
// (Registry.h) do not offer: create a key path, ask whether a key exists.
#pragma once

#include <windows.h>

namespace kvtplayer {

// Creates every key of path (split at '\' and '/') below root; a failure
// ends the walk silently.
void CreateRegistryPath(HKEY root, const wchar_t* path);
// True when the key path exists below root.
bool RegistryKeyExists(HKEY root, const wchar_t* path);

} // namespace kvtplayer
