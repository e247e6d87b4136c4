// A stand-in for a browser plug-in: its registration entries record the
// call under HKCU\Software\VelmorInstallTests, value named after the file.
#include <windows.h>

namespace {

const wchar_t kKey[] = L"Software\\VelmorInstallTests";

HMODULE g_module = nullptr;

void OwnName(wchar_t* name, DWORD capacity) {
  wchar_t path[MAX_PATH] = {0};
  GetModuleFileNameW(g_module, path, MAX_PATH);
  const wchar_t* base = path;
  for (const wchar_t* p = path; *p; ++p)
    if (*p == L'\\' || *p == L'/') base = p + 1;
  lstrcpynW(name, base, static_cast<int>(capacity));
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_module = module;
  return TRUE;
}

extern "C" HRESULT WINAPI DllRegisterServer() {
  wchar_t name[MAX_PATH];
  OwnName(name, MAX_PATH);
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    return E_FAIL;
  const wchar_t value[] = L"registered";
  RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), sizeof(value));
  RegCloseKey(key);
  return S_OK;
}

extern "C" HRESULT WINAPI DllUnregisterServer() {
  wchar_t name[MAX_PATH];
  OwnName(name, MAX_PATH);
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_WRITE, &key) != ERROR_SUCCESS) return S_OK;
  RegDeleteValueW(key, name);
  RegCloseKey(key);
  return S_OK;
}
