// Self-registration of the control library: machine-wide for an
// administrator (type library, class factories, component categories), key
// by key below the current user's classes otherwise; both reset Internet
// Explorer's per-user settings of the control and allow it on every domain.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace comcontrol {
class ClassFactory;
}

namespace kvtplayer {

struct RegistrationModule {
    HMODULE module;                              // carries TYPELIB 1
    comcontrol::ClassFactory* const* factories;  // each updates its class keys
    size_t factoryCount;
};

// One key (value name null: the key only) or value (empty name: default).
struct RegistryRow {
    std::wstring key;
    const wchar_t* valueName;
    std::wstring value;
};

const wchar_t kIeSettingsKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Ext\\Settings";
const wchar_t kIeStatsKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Ext\\Stats";
const wchar_t kUserClassesKey[] = L"Software\\Classes";

HRESULT RegisterServer(bool administrator, const RegistrationModule& module);
HRESULT RegisterAsAdministrator(const RegistrationModule& module);
HRESULT RegisterForCurrentUser(const RegistrationModule& module);
// Removes what either registration wrote; every step runs, the first failure
// is the result. A registration that is not there is no failure.
HRESULT UnregisterServer(const RegistrationModule& module);

// Rows below a classes root: the control's class (with or without its two
// category keys) and ProgID; the two interfaces and the type library.
std::vector<RegistryRow> ControlClassRows(const std::wstring& shortPath, bool withCategories);
std::vector<RegistryRow> InterfaceAndTypeLibRows(const std::wstring& fullPath);
void WriteRows(HKEY root, const std::wstring& prefix, const std::vector<RegistryRow>& rows);

// The factories' registry work below HKEY_CLASSES_ROOT.
bool WriteControlClassKeys(HMODULE module);
bool RemoveControlClassKeys();
bool WritePropPageClassKeys(HMODULE module);
bool RemovePropPageClassKeys();

void CreateRegistryPathBelow(HKEY root, const std::wstring& path);
bool DeleteControlKeyUnder(const wchar_t* path);
HRESULT CreateComponentCategory(const GUID& catid, const wchar_t* description);
HRESULT RegisterImplementedCategory(const GUID& catid);
HRESULT UnregisterImplementedCategory(const GUID& catid);

std::wstring ModuleFullPath(HMODULE module);
std::wstring ModuleShortPath(HMODULE module);
// The type library path key of this word size: "win32" or "win64".
const wchar_t* TypeLibPlatformKey();

} // namespace kvtplayer
