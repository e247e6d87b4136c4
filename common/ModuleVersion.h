// Texts of a module's version resource, in its 1033/1252 translation.
#pragma once

#include <windows.h>

#include <string>

constexpr size_t kModuleVersionBufferUnits = 2048;

// The FileVersion text of module's version resource into buffer (2048 UTF-16
// units, terminator included). False for a null buffer, a missing resource or
// translation, or a text that does not fit.
bool GetModuleFileVersion(HMODULE module, wchar_t* buffer);

// Any string of module's version block ("ProductName", "CompanyName",
// "FileVersion", ...) in the 1033/1252 translation; false when missing.
bool GetModuleVersionString(HMODULE module, const wchar_t* key, std::wstring* value);
