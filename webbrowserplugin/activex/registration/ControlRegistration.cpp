#include "ControlRegistration.h"

#include <comcat.h>
#include <olectl.h>

#include "ClassFactory.h"
#include "KvtplayerIds.h"
#include "Registry.h"
#include "RegistryTree.h"

namespace kvtplayer {

namespace {

const DWORD kPathUnits = 2048;
const size_t kCategoryDescriptionUnits = 127;

// COM for the category manager; a caller that runs COM already keeps it.
class ComScope {
public:
    ComScope() : initialized(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComScope()
    {
        if (initialized)
            CoUninitialize();
    }

private:
    bool initialized;
};

HRESULT CreateCategoryManager(ICatRegister** manager)
{
    return CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_INPROC_SERVER,
                            IID_ICatRegister, reinterpret_cast<void**>(manager));
}

std::wstring ClassKey(const wchar_t* clsidText) { return std::wstring(L"CLSID\\") + clsidText; }

bool DeletedOrAbsent(LONG result)
{
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

HRESULT LoadOwnTypeLib(HMODULE module, ITypeLib** library)
{
    *library = nullptr;
    std::wstring path = ModuleFullPath(module);
    return LoadTypeLibEx(path.c_str(), REGKIND_NONE, library);
}

HRESULT RegisterOwnTypeLib(HMODULE module)
{
    ITypeLib* library = nullptr;
    HRESULT hr = LoadOwnTypeLib(module, &library);
    if (FAILED(hr))
        return hr;
    std::wstring path = ModuleFullPath(module);
    hr = RegisterTypeLib(library, const_cast<LPOLESTR>(path.c_str()), nullptr);
    library->Release();
    return hr;
}

// Unregisters under the version, locale and platform the library itself
// declares, which is where RegisterTypeLib filed it.
HRESULT UnregisterOwnTypeLib(HMODULE module)
{
    ITypeLib* library = nullptr;
    HRESULT hr = LoadOwnTypeLib(module, &library);
    if (FAILED(hr))
        return hr;
    TLIBATTR* attr = nullptr;
    hr = library->GetLibAttr(&attr);
    if (SUCCEEDED(hr)) {
        hr = UnRegisterTypeLib(attr->guid, attr->wMajorVerNum, attr->wMinorVerNum, attr->lcid,
                               attr->syskind);
        library->ReleaseTLibAttr(attr);
    }
    library->Release();
    return hr;
}

void RememberFirstFailure(HRESULT& first, HRESULT hr)
{
    if (FAILED(hr) && SUCCEEDED(first))
        first = hr;
}

} // namespace

std::wstring ModuleFullPath(HMODULE module)
{
    wchar_t path[kPathUnits] = {};
    GetModuleFileNameW(module, path, kPathUnits);
    path[kPathUnits - 1] = 0;
    return path;
}

std::wstring ModuleShortPath(HMODULE module)
{
    std::wstring full = ModuleFullPath(module);
    wchar_t path[kPathUnits] = {};
    GetShortPathNameW(full.c_str(), path, kPathUnits);
    path[kPathUnits - 1] = 0;
    return path;
}

const wchar_t* TypeLibPlatformKey() { return sizeof(void*) == 8 ? L"win64" : L"win32"; }

std::vector<RegistryRow> InterfaceAndTypeLibRows(const std::wstring& fullPath)
{
    std::vector<RegistryRow> rows;
    const std::wstring typeLibVersion = L"1.0";
    struct Interface {
        const wchar_t* iid;
        const wchar_t* name;
    };
    const Interface interfaces[] = {{kDispatchIidText, L"_Dkvtplayer"},
                                    {kEventIidText, L"_DkvtplayerEvents"}};
    for (const Interface& i : interfaces) {
        std::wstring key = std::wstring(L"Interface\\") + i.iid;
        rows.push_back({key, L"", i.name});
        rows.push_back({key + L"\\ProxyStubClsid", L"", kDispatchMarshallerText});
        rows.push_back({key + L"\\ProxyStubClsid32", L"", kDispatchMarshallerText});
        rows.push_back({key + L"\\TypeLib", L"", kTypeLibIdText});
        rows.push_back({key + L"\\TypeLib", L"Version", typeLibVersion});
    }
    std::wstring lib = std::wstring(L"TypeLib\\") + kTypeLibIdText;
    rows.push_back({lib, nullptr, L""});
    rows.push_back({lib + L"\\1.0", L"", kTypeLibHelpString});
    rows.push_back({lib + L"\\1.0\\0", nullptr, L""});
    rows.push_back({lib + L"\\1.0\\0\\" + TypeLibPlatformKey(), L"", fullPath});
    rows.push_back({lib + L"\\1.0\\FLAGS", L"", L"2"});
    rows.push_back({lib + L"\\1.0\\HELPDIR", L"", L""});
    return rows;
}

std::vector<RegistryRow> ControlClassRows(const std::wstring& shortPath, bool withCategories)
{
    std::vector<RegistryRow> rows;
    std::wstring key = ClassKey(kControlClsidText);
    if (withCategories) {
        rows.push_back({key + L"\\Implemented Categories\\" + kCatidSafeForScriptingText, nullptr, L""});
        rows.push_back({key + L"\\Implemented Categories\\" + kCatidSafeForInitializingText, nullptr, L""});
    }
    rows.push_back({key, L"", kControlTypeName});
    rows.push_back({key + L"\\Control", nullptr, L""});
    rows.push_back({key + L"\\MiscStatus", L"", L"0"});
    rows.push_back({key + L"\\MiscStatus\\1", L"", std::to_wstring(kMiscStatus)});
    rows.push_back({key + L"\\ProgID", L"", kControlProgId});
    rows.push_back({key + L"\\ToolboxBitmap32", L"", shortPath + L", 1"});
    rows.push_back({key + L"\\TypeLib", L"", kTypeLibIdText});
    rows.push_back({key + L"\\Version", L"", L"1.0"});
    rows.push_back({key + L"\\InprocServer32", L"", shortPath});
    rows.push_back({key + L"\\InprocServer32", L"ThreadingModel", L"Apartment"});
    rows.push_back({kControlProgId, L"", kControlTypeName});
    rows.push_back({std::wstring(kControlProgId) + L"\\CLSID", L"", kControlClsidText});
    return rows;
}

void WriteRows(HKEY root, const std::wstring& prefix, const std::vector<RegistryRow>& rows)
{
    for (const RegistryRow& row : rows) {
        std::wstring path = prefix.empty() ? row.key : prefix + L"\\" + row.key;
        if (row.valueName)
            SetRegistryString(root, path.c_str(), row.valueName, row.value.c_str());
        else
            CreateRegistryPath(root, path.c_str());
    }
}

bool WriteControlClassKeys(HMODULE module)
{
    std::vector<RegistryRow> rows = ControlClassRows(ModuleShortPath(module), false);
    for (const RegistryRow& row : rows) {
        if (row.valueName) {
            if (!SetRegistryString(HKEY_CLASSES_ROOT, row.key.c_str(), row.valueName,
                                   row.value.c_str()))
                return false;
        } else {
            CreateRegistryPath(HKEY_CLASSES_ROOT, row.key.c_str());
            if (!RegistryKeyExists(HKEY_CLASSES_ROOT, row.key.c_str()))
                return false;
        }
    }
    return true;
}

bool RemoveControlClassKeys()
{
    bool classGone = DeletedOrAbsent(
        DeleteRegistryTree(HKEY_CLASSES_ROOT, ClassKey(kControlClsidText).c_str()));
    bool progIdGone = DeletedOrAbsent(DeleteRegistryTree(HKEY_CLASSES_ROOT, kControlProgId));
    return classGone && progIdGone;
}

bool WritePropPageClassKeys(HMODULE module)
{
    std::wstring key = ClassKey(kPropPageClsidText);
    return SetRegistryString(HKEY_CLASSES_ROOT, key.c_str(), L"", kPropPageTypeName) &&
           SetRegistryString(HKEY_CLASSES_ROOT, (key + L"\\InprocServer32").c_str(), L"",
                             ModuleShortPath(module).c_str());
}

bool RemovePropPageClassKeys()
{
    return DeletedOrAbsent(
        DeleteRegistryTree(HKEY_CLASSES_ROOT, ClassKey(kPropPageClsidText).c_str()));
}

void CreateRegistryPathBelow(HKEY root, const std::wstring& path)
{
    CreateRegistryPath(root, path.c_str());
}

bool DeleteControlKeyUnder(const wchar_t* path)
{
    if (!path)
        return false;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DeleteRegistryTree(key, kControlClsidText);
    RegCloseKey(key);
    return true;
}

HRESULT CreateComponentCategory(const GUID& catid, const wchar_t* description)
{
    ICatRegister* manager = nullptr;
    HRESULT hr = CreateCategoryManager(&manager);
    if (FAILED(hr))
        return hr;
    CATEGORYINFO info = {};
    info.catid = catid;
    info.lcid = 0x409;
    size_t length = wcslen(description);
    if (length > kCategoryDescriptionUnits)
        length = kCategoryDescriptionUnits;
    wmemcpy(info.szDescription, description, length);
    info.szDescription[length] = 0;
    hr = manager->RegisterCategories(1, &info);
    manager->Release();
    return hr;
}

HRESULT RegisterImplementedCategory(const GUID& catid)
{
    ICatRegister* manager = nullptr;
    HRESULT hr = CreateCategoryManager(&manager);
    if (FAILED(hr))
        return hr;
    CATID ids[1] = {catid};
    hr = manager->RegisterClassImplCategories(kControlClsid, 1, ids);
    manager->Release();
    return hr;
}

HRESULT UnregisterImplementedCategory(const GUID& catid)
{
    ICatRegister* manager = nullptr;
    HRESULT hr = CreateCategoryManager(&manager);
    if (FAILED(hr))
        return hr;
    CATID ids[1] = {catid};
    hr = manager->UnRegisterClassImplCategories(kControlClsid, 1, ids);
    manager->Release();
    return hr;
}

HRESULT RegisterServer(bool administrator, const RegistrationModule& module)
{
    return administrator ? RegisterAsAdministrator(module) : RegisterForCurrentUser(module);
}

HRESULT RegisterAsAdministrator(const RegistrationModule& module)
{
    ComScope com;
    if (FAILED(RegisterOwnTypeLib(module.module)))
        return SELFREG_E_TYPELIB;
    for (size_t i = 0; i < module.factoryCount; ++i) {
        if (!module.factories[i]->UpdateRegistry(true))
            return SELFREG_E_CLASS;
    }
    HRESULT hr = CreateComponentCategory(kCatidSafeForInitializing,
                                         L"Controls safely initializable from persistent data!");
    if (FAILED(hr))
        return hr;
    hr = RegisterImplementedCategory(kCatidSafeForInitializing);
    if (FAILED(hr))
        return hr;
    hr = CreateComponentCategory(kCatidSafeForScripting, L"Controls safely scriptable!");
    if (FAILED(hr))
        return hr;
    hr = RegisterImplementedCategory(kCatidSafeForScripting);
    if (FAILED(hr))
        return hr;
    DeleteControlKeyUnder(kIeSettingsKey);
    CreateRegistryPathBelow(HKEY_CURRENT_USER, std::wstring(kIeStatsKey) + L"\\" +
                                                   kControlClsidText + L"\\iexplore\\AllowedDomains\\*");
    return S_OK;
}

HRESULT RegisterForCurrentUser(const RegistrationModule& module)
{
    std::wstring fullPath = ModuleFullPath(module.module);
    std::wstring shortPath = ModuleShortPath(module.module);
    DeleteControlKeyUnder(kIeSettingsKey);
    CreateRegistryPathBelow(HKEY_CURRENT_USER, std::wstring(kIeStatsKey) + L"\\" +
                                                   kControlClsidText + L"\\iexplore\\AllowedDomains\\*");
    WriteRows(HKEY_CURRENT_USER, kUserClassesKey, InterfaceAndTypeLibRows(fullPath));
    WriteRows(HKEY_CURRENT_USER, kUserClassesKey, ControlClassRows(shortPath, true));
    return S_OK;
}

HRESULT UnregisterServer(const RegistrationModule& module)
{
    ComScope com;
    HRESULT first = S_OK;
    std::wstring typeLibKey = std::wstring(L"TypeLib\\") + kTypeLibIdText;
    if (RegistryKeyExists(HKEY_CLASSES_ROOT, typeLibKey.c_str()) &&
        FAILED(UnregisterOwnTypeLib(module.module)))
        RememberFirstFailure(first, SELFREG_E_TYPELIB);
    // The category manager needs the class key: categories go first.
    std::wstring categoriesKey = ClassKey(kControlClsidText) + L"\\Implemented Categories";
    if (RegistryKeyExists(HKEY_CLASSES_ROOT, categoriesKey.c_str())) {
        RememberFirstFailure(first, UnregisterImplementedCategory(kCatidSafeForInitializing));
        RememberFirstFailure(first, UnregisterImplementedCategory(kCatidSafeForScripting));
    }
    for (size_t i = 0; i < module.factoryCount; ++i) {
        if (!module.factories[i]->UpdateRegistry(false))
            RememberFirstFailure(first, SELFREG_E_CLASS);
    }
    DeleteControlKeyUnder(kIeSettingsKey);
    DeleteControlKeyUnder(kIeStatsKey);
    // What a registration for the current user wrote below its own classes.
    HKEY userClasses = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kUserClassesKey, 0, KEY_READ, &userClasses) ==
        ERROR_SUCCESS) {
        const std::wstring keys[] = {
            ClassKey(kControlClsidText), kControlProgId,
            std::wstring(L"Interface\\") + kDispatchIidText,
            std::wstring(L"Interface\\") + kEventIidText, typeLibKey};
        for (const std::wstring& key : keys) {
            if (!DeletedOrAbsent(DeleteRegistryTree(userClasses, key.c_str())))
                RememberFirstFailure(first, SELFREG_E_CLASS);
        }
        RegCloseKey(userClasses);
    }
    return first;
}

} // namespace kvtplayer
