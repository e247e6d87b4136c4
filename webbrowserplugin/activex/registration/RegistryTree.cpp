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

bool RegistryKeyExists(HKEY root, const wchar_t* path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

} // namespace kvtplayer
