// Small registry writers of the control's registration: create a key path,
// set a text value below a key path, delete a key with all its subkeys.
#pragma once

#include <windows.h>

namespace kvtplayer {

// Creates every key of path (split at '\' and '/') below root; a failure
// ends the walk silently.
void CreateRegistryPath(HKEY root, const wchar_t* path);
// Sets the REG_SZ value name (empty: the default value) of the key path
// below root, creating missing keys. True on success.
bool SetRegistryString(HKEY root, const wchar_t* path, const wchar_t* name, const wchar_t* value);
// Deletes root\name with all its subkeys; a Windows error code, 0 on success.
LONG DeleteRegistryTree(HKEY root, const wchar_t* name);
// True when the key path exists below root.
bool RegistryKeyExists(HKEY root, const wchar_t* path);

} // namespace kvtplayer
