#include "LauncherGameLibrary.h"

#include <string>
#include <vector>

namespace {

std::wstring FromAnsi(const std::string& text) {
  if (text.empty()) return std::wstring();
  int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
  return out;
}

}  // namespace

LauncherGameLibrary::LauncherGameLibrary(HINSTANCE instance, HWND window,
                                         const wchar_t* libraryName)
    : instance_(instance), window_(window), libraryName_(libraryName) {}

LauncherGameLibrary::~LauncherGameLibrary() { Unload(); }

int32_t LauncherGameLibrary::Load(const GameStartInfo& info) {
  Unload();
  module_ = LoadLibraryW(libraryName_.c_str());
  if (module_ == nullptr) return 1;
  ResolveGameEntryPoints(module_, &points_);
  if (points_.init == nullptr) {
    Unload();
    return 1;
  }
  std::vector<std::wstring> hosts;
  for (const LoaderUpdateServer& server : info.updateServers) hosts.push_back(FromAnsi(server.host));
  std::vector<UpdateServerNodeW> nodes(hosts.size());
  for (size_t i = 0; i < hosts.size(); ++i) {
    nodes[i].host = hosts[i].c_str();
    nodes[i].port = info.updateServers[i].port;
    nodes[i].next = i + 1 < nodes.size() ? &nodes[i + 1] : nullptr;
  }
  wchar_t modulePath[2048] = {};
  GetModuleFileNameW(instance_, modulePath, 2047);

  GameInitParams params{};
  params.moduleHandle = instance_;
  params.window = window_;
  params.host = this;
  params.productName = info.productName.c_str();
  params.maxUpdateThreadCount = info.updateThreadCount;
  params.maxPackageSize = info.maxPackageSize;
  params.maxDeltaPackageSize = info.maxDeltaPackageSize;
  params.updateServers = nodes.empty() ? nullptr : &nodes[0];
  params.runParams = info.runParams.c_str();
  params.dataFolder = info.dataFolder.c_str();
  params.hostModulePath = modulePath;
  params.dataFolderKind = info.runPlace;
  params.updateEnabled = info.updateEnabled ? 1 : 0;
  initPending_ = 0;
  int32_t code = points_.init(&params, &initPending_, &context_);
  if (code != 0) {
    Unload();
    return code;
  }
  return 0;
}

int32_t LauncherGameLibrary::DoInitStep(int32_t* aborted, int32_t* succeeded, float* progress) {
  if (points_.doInitStep == nullptr) return 1;
  return points_.doInitStep(context_, aborted, succeeded, progress);
}

void LauncherGameLibrary::Unload() {
  if (module_ == nullptr) return;
  running_ = false;
  if (points_.exit != nullptr) points_.exit(context_);
  FreeLibrary(module_);
  module_ = nullptr;
  points_ = GameEntryPoints{};
  context_ = nullptr;
  initPending_ = 0;
}

void LauncherGameLibrary::Run() {
  if (running_ && points_.run != nullptr) points_.run(context_);
}

void LauncherGameLibrary::Activate() {
  if (running_ && points_.activate != nullptr) points_.activate(context_, 0);
}

LRESULT LauncherGameLibrary::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (points_.windowProc == nullptr) {
    // Nobody else ends the run loop once the window is gone.
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcW(window, message, wParam, lParam);
  }
  return points_.windowProc(context_, window, message, wParam, lParam);
}
