#include "ActivexTestSupport.h"

#include <vector>

#include "KvtplayerIds.h"

namespace activex_test {

std::wstring BuiltLibraryPath(const char* unixPath)
{
    std::wstring path = L"Z:";
    for (const char* c = unixPath; *c; ++c)
        path += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
    return path;
}

std::wstring ControlLibraryPath() { return BuiltLibraryPath(KVTPLAYER_OCX); }

std::wstring TestControlLibraryPath() { return BuiltLibraryPath(KVTPLAYER_TEST_OCX); }

bool KeyExists(HKEY root, const std::wstring& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

std::wstring ReadString(HKEY root, const std::wstring& path, const wchar_t* name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return L"<missing>";
    wchar_t value[4096] = {};
    DWORD bytes = sizeof(value) - sizeof(wchar_t);
    DWORD type = 0;
    LONG result = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &bytes);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_SZ)
        return L"<missing>";
    return value;
}

void DeleteTree(HKEY root, const std::wstring& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    for (;;) {
        wchar_t name[1024];
        DWORD length = 1024;
        if (RegEnumKeyExW(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        DeleteTree(key, name);
    }
    RegCloseKey(key);
    RegDeleteKeyW(root, path.c_str());
}

void DumpKey(HKEY root, const std::wstring& path, RegistryDump& dump)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    dump[path] = L"<key>";
    for (DWORD i = 0;; ++i) {
        wchar_t name[1024];
        DWORD nameLength = 1024;
        BYTE data[8192];
        DWORD dataLength = sizeof(data);
        DWORD type = 0;
        if (RegEnumValueW(key, i, name, &nameLength, nullptr, &type, data, &dataLength) !=
            ERROR_SUCCESS)
            break;
        std::wstring text;
        if (type == REG_SZ)
            text.assign(reinterpret_cast<const wchar_t*>(data), dataLength / sizeof(wchar_t));
        else
            text = L"<type " + std::to_wstring(type) + L", " + std::to_wstring(dataLength) + L" bytes>";
        dump[path + L" : " + name] = text;
    }
    std::vector<std::wstring> children;
    for (DWORD i = 0;; ++i) {
        wchar_t name[1024];
        DWORD length = 1024;
        if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        children.push_back(name);
    }
    RegCloseKey(key);
    for (const std::wstring& child : children)
        DumpKey(root, path + L"\\" + child, dump);
}

RegistryDump DumpControlKeys()
{
    using namespace kvtplayer;
    RegistryDump dump;
    const std::wstring classKeys[] = {
        std::wstring(L"CLSID\\") + kControlClsidText, std::wstring(L"CLSID\\") + kPropPageClsidText,
        kControlProgId, std::wstring(L"Interface\\") + kDispatchIidText,
        std::wstring(L"Interface\\") + kEventIidText, std::wstring(L"TypeLib\\") + kTypeLibIdText,
        std::wstring(L"Component Categories\\") + kCatidSafeForScriptingText,
        std::wstring(L"Component Categories\\") + kCatidSafeForInitializingText};
    for (const std::wstring& key : classKeys) {
        DumpKey(HKEY_LOCAL_MACHINE, L"Software\\Classes\\" + key, dump);
        DumpKey(HKEY_CURRENT_USER, L"Software\\Classes\\" + key, dump);
    }
    DumpKey(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Ext", dump);
    return dump;
}

void SetNotAdministrator(bool notAdministrator)
{
    SetEnvironmentVariableW(L"VELMOR_TEST_ADMINISTRATOR", notAdministrator ? L"0" : nullptr);
}

DWORD RunProcess(const std::wstring& commandLine)
{
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return static_cast<DWORD>(-1);
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

} // namespace activex_test
