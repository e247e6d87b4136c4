#include "RegistryTree.h"

#include <string>

namespace kvtplayer {

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// The first component of path (after one leading separator) and the rest
// after its separator.
void SplitFirst(const wchar_t* path, std::wstring& first, const wchar_t*& rest)
{
    if (IsSeparator(*path))
        ++path;
    const wchar_t* end = path;
    while (*end && !IsSeparator(*end))
        ++end;
    first.assign(path, end);
    rest = *end ? end + 1 : end;
}

} // namespace

void CreateRegistryPath(HKEY root, const wchar_t* path)
{
    if (!path)
        return;
    if (IsSeparator(*path))
        ++path;
    if (!*path)
        return;
    std::wstring name;
    const wchar_t* rest = nullptr;
    SplitFirst(path, name, rest);
    HKEY key = nullptr;
    if (RegCreateKeyExW(root, name.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    CreateRegistryPath(key, rest);
    RegCloseKey(key);
}

bool SetRegistryString(HKEY root, const wchar_t* path, const wchar_t* name, const wchar_t* value)
{
    if (!path || !name || !value)
        return false;
    if (IsSeparator(*path))
        ++path;
    if (!*path) {
        DWORD bytes = static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t));
        return RegSetValueExW(root, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                              bytes) == ERROR_SUCCESS;
    }
    std::wstring first;
    const wchar_t* rest = nullptr;
    SplitFirst(path, first, rest);
    HKEY key = nullptr;
    if (RegCreateKeyExW(root, first.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    bool result = SetRegistryString(key, rest, name, value);
    RegCloseKey(key);
    return result;
}

LONG DeleteRegistryTree(HKEY root, const wchar_t* name)
{
    if (!name || !*name)
        return ERROR_BADKEY;
    HKEY key = nullptr;
    LONG result = RegOpenKeyExW(root, name, 0, DELETE | KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE,
                                &key);
    if (result != ERROR_SUCCESS)
        return result;
    for (;;) {
        wchar_t subkey[1024];
        DWORD length = 1024;
        LONG enumerated = RegEnumKeyExW(key, 0, subkey, &length, nullptr, nullptr, nullptr, nullptr);
        if (enumerated == ERROR_NO_MORE_ITEMS) {
            result = RegDeleteKeyW(root, name);
            break;
        }
        if (enumerated != ERROR_SUCCESS) {
            result = enumerated;
            break;
        }
        result = DeleteRegistryTree(key, subkey);
        if (result != ERROR_SUCCESS)
            break;
    }
    RegCloseKey(key);
    return result;
}

bool RegistryKeyExists(HKEY root, const wchar_t* path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

} // namespace kvtplayer
