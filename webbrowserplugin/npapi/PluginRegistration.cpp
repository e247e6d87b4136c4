// Self-registration: the key below "software\MozillaPlugins" through which
// browsers find the plug-in, per machine for an administrator (best effort)
// and per user (what counts).
#include <windows.h>

#include <string>

#include "Administrator.h"
#include "ModuleVersion.h"
#include "PluginModule.h"
#include "Registry.h"

namespace {

const wchar_t kPluginsKey[] = L"software\\MozillaPlugins";
const wchar_t kPluginId[] = L"@kvtplayer.velmor-game.example";

std::wstring PluginKeyPath() { return std::wstring(kPluginsKey) + L"\\" + kPluginId; }

struct RegistryValue {
  const wchar_t* name;
  std::wstring value;
};

// The values in the order they are written; false when the library's own
// version block lacks one of them.
bool CollectValues(RegistryValue* values) {
  wchar_t path[2048] = {};
  ::GetModuleFileNameW(PluginModuleHandle(), path, 2048);
  path[2047] = 0;
  values[0] = {L"Path", path};
  values[1] = {L"Name", L""};
  values[2] = {L"Vendor", L""};
  values[3] = {L"Version", L""};
  HMODULE module = PluginModuleHandle();
  return GetModuleVersionString(module, L"ProductName", &values[1].value) &&
         GetModuleVersionString(module, L"CompanyName", &values[2].value) &&
         GetModuleVersionString(module, L"FileVersion", &values[3].value);
}

void DeletePluginKey(HKEY root) {
  HKEY plugins = nullptr;
  if (::RegOpenKeyExW(root, kPluginsKey, 0, KEY_READ, &plugins) != ERROR_SUCCESS) {
    return;
  }
  DeleteRegistryTree(plugins, kPluginId);
  ::RegCloseKey(plugins);
}

}  // namespace

extern "C" {

HRESULT WINAPI DllRegisterServer() {
  RegistryValue values[4];
  const bool complete = CollectValues(values);
  const bool administrator = IsAdministrator();
  const std::wstring key = PluginKeyPath();
  // "Path" is written before the version block is read, so a library
  // without one still leaves its path behind, as a failed step would.
  const int available = complete ? 4 : 1;
  for (int i = 0; i < available; ++i) {
    if (administrator) {
      SetRegistryString(HKEY_LOCAL_MACHINE, key.c_str(), values[i].name, values[i].value.c_str());
    }
    if (!SetRegistryString(HKEY_CURRENT_USER, key.c_str(), values[i].name,
                           values[i].value.c_str())) {
      return E_FAIL;
    }
  }
  return complete ? S_OK : E_FAIL;
}

HRESULT WINAPI DllUnregisterServer() {
  DeletePluginKey(HKEY_CURRENT_USER);
  if (IsAdministrator()) DeletePluginKey(HKEY_LOCAL_MACHINE);
  return S_OK;
}

}  // extern "C"
