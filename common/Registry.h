// Registry helpers shared by the plug-ins' registration, the game host and
// the launcher's installer and uninstaller. Key paths are split at '\\' and
// '/', one leading separator skipped; every key opened is closed again. They
// report by their result only and write no log.
#pragma once

#include <windows.h>

#include <string>

// Sets the REG_SZ value name = value under root\path, creating missing keys.
// An empty component stands for the key itself. False on a null argument or
// a failed create or write.
bool SetRegistryString(HKEY root, const wchar_t* path, const wchar_t* name, const wchar_t* value);

// Deletes root\name with every subkey; a Windows error code, 0 on success,
// ERROR_BADKEY for a null or empty name.
LONG DeleteRegistryTree(HKEY root, const wchar_t* name);

// The text of value name under root\path (at most 4095 bytes), empty when
// anything is missing or an argument is null. The value's type is not checked.
std::string GetRegistryString(HKEY root, const char* path, const char* name);
