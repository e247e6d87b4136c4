// Compiles as a host does: the full Windows headers first, then the
// library's one header. A definition leaking from the library (lean headers,
// no min/max) would make the COM and shell declarations below disappear.
#include <windows.h>
#include <exdisp.h>
#include <mshtml.h>
#include <ole2.h>
#include <shellapi.h>
#include <shlobj.h>

#include "FileSystem.h"

#ifdef WIN32_LEAN_AND_MEAN
#error "the library's lean-header definition leaks into hosts"
#endif

namespace {
[[maybe_unused]] IWebBrowser2* browser = nullptr;
[[maybe_unused]] IShellLinkW* link = nullptr;
[[maybe_unused]] FileSystem::IFileSystem* (*create)(const FileSystemParams*) = &FileSystem::Create;
}  // namespace
