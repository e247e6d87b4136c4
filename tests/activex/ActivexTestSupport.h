// Helpers of the control's tests: where the built libraries are, registry
// reads and a dump of the keys registration touches.
#pragma once

#include <windows.h>

#include <map>
#include <string>

namespace activex_test {

// The Windows path of a library built beside the tests (a Unix path from
// the build, seen through Wine's Z: drive).
std::wstring BuiltLibraryPath(const char* unixPath);
std::wstring ControlLibraryPath();      // kvtplayer.ocx
std::wstring TestControlLibraryPath();  // kvtplayer_test.ocx

bool KeyExists(HKEY root, const std::wstring& path);
// The text value (name empty: the default value), or "<missing>".
std::wstring ReadString(HKEY root, const std::wstring& path, const wchar_t* name);
void DeleteTree(HKEY root, const std::wstring& path);

// Every key and value below root\path, one entry per key and per value.
typedef std::map<std::wstring, std::wstring> RegistryDump;
void DumpKey(HKEY root, const std::wstring& path, RegistryDump& dump);
// The keys registration and unregistration touch, on both paths.
RegistryDump DumpControlKeys();

// Sets or clears the test library's "not an administrator" answer.
void SetNotAdministrator(bool notAdministrator);

// Runs a command line and answers its exit code (or -1).
DWORD RunProcess(const std::wstring& commandLine);

} // namespace activex_test
