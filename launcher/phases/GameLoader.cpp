#include "GameLoader.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

const wchar_t kLoginMarker[] = L"Login=success";

std::wstring ToWide(const std::string& text, UINT codePage) {
  if (text.empty()) return std::wstring();
  int n = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
  return out;
}

std::string ToAnsi(const std::wstring& text) {
  if (text.empty()) return std::string();
  int n = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                              nullptr, nullptr);
  if (n <= 0) return std::string();
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr,
                      nullptr);
  return out;
}

// Formats into a 1024-byte buffer: a longer result is cut, never overrun.
template <typename... Args>
std::string Format1024(const char* format, Args... args) {
  char buffer[1024];
  int n = _snprintf(buffer, sizeof(buffer), format, args...);
  if (n < 0 || n >= static_cast<int>(sizeof(buffer))) buffer[sizeof(buffer) - 1] = '\0';
  return buffer;
}

}  // namespace

void GameLoader::LogSystem::Log(int level, const char* text) {
  owner_->Log(level == 0 ? 0 : level == 1 ? 1 : 2, text != nullptr ? text : "");
}

GameLoader::GameLoader() : logSystem_(this) {}

GameLoader::~GameLoader() { DestroyUI(); }

void GameLoader::Attach(const LoaderPorts& ports) { ports_ = ports; }

void GameLoader::Log(int level, const std::string& text) {
  if (ports_.log != nullptr) ports_.log->Write(level, text.c_str());
}

bool GameLoader::Init(const wchar_t* commandLine, bool relogin, bool firstRun) {
  DestroyUI();
  if (ports_.settings == nullptr || ports_.view == nullptr || ports_.system == nullptr ||
      ports_.game == nullptr || ports_.reports == nullptr || ports_.browser == nullptr)
    return false;
  const LoaderSettings& settings = *ports_.settings;
  relogin_ = relogin;
  firstRun_ = firstRun;
  mainSkin_ = false;
  runParams_ = commandLine != nullptr ? commandLine : L"";
  updateThreadCount_ = settings.updateThreadCount;
  if (runParams_.find(kLoginMarker) != std::wstring::npos) loggedIn_ = true;
  if (!ports_.system->GetModuleFolder(&moduleFolder_)) {
    Log(2, "Cannot get the program's folder.");
    return false;
  }
  if (!ports_.view->Prepare()) {
    Log(2, "Cannot prepare the loader window.");
    return false;
  }
  BrowserArea area = browserArea_;
  ports_.view->BrowserArea(&area.left, &area.top, &area.width, &area.height);
  ports_.browser->Create(area.left, area.top, area.width, area.height);
  if (ports_.browser->Exists()) ports_.browser->ShowHost(false);
  browserShown_ = false;

  std::string url;
  if (relogin) {
    if (settings.reloginEnabled) url = settings.reloginUrl;
  } else if (settings.loginEnabled) {
    url = settings.loginUrl;
    if (settings.sendFirstRunParam && firstRun)
      url += url.find('?') != std::string::npos ? "&action=first_run" : "?action=first_run";
  }
  if (!url.empty() && ports_.browser->Exists()) {
    ports_.browser->Navigate(ToWide(url, CP_UTF8));
    browserShown_ = true;
  }
  if (!settings.updateEnabled) {
    ports_.view->SwitchToMainSkin();
    mainSkin_ = true;
  }
  Log(0, "Loader initialised.");
  return true;
}

bool GameLoader::ShowLoader() {
  loading_ = true;
  ports_.view->Show();
  return true;
}

void GameLoader::Tick() {
  if (!loading_) return;
  const LoaderSettings& settings = *ports_.settings;
  if (browserShown_) {
    if (!loggedIn_) PollLogin();
    // The small skin has no browser area: the host window would stand
    // outside the window there, so the page waits for the main skin.
    if (browserShown_ && mainSkin_ && settings.browserVisibleWhenReady &&
        ports_.browser->IsReady() && ports_.browser->Exists() &&
        !ports_.browser->IsHostVisible())
      ports_.browser->ShowHost(true);
  }
  switch (state_) {
    case kLoaderStart:
      if (settings.updateEnabled) {
        if (!StartUpdate()) EnterFailed();
      } else {
        AfterUpdate();
      }
      break;
    case kLoaderUpdating:
      PollUpdate();
      if (!updateOk_ || state_ != kLoaderUpdating) break;
      ReleaseFileSystem();
      if (selfUpdate_) {
        // A restart that cannot find its folder must not leave the phase
        // polling a file system that is gone.
        if (!RestartUpdater()) EnterFailed();
        break;
      }
      AfterUpdate();
      break;
    case kLoaderWaitingForLogin:
      // Once logged in the page is not asked again: its success was
      // reported when it was first seen.
      if (!loggedIn_) PollLogin();
      if (!loggedIn_) break;
      if (!StartGame()) EnterFailed();
      break;
    case kLoaderLoadingGame:
      PollLoading();
      if (gameReady_ && state_ == kLoaderLoadingGame) FinishLoading();
      break;
    default:
      break;
  }
}

void GameLoader::AfterUpdate() {
  if (ports_.settings->loginEnabled) {
    ShowPleaseLogin();
  } else if (!StartGame()) {
    EnterFailed();
  }
}

void GameLoader::EnterFailed() {
  if (state_ != kLoaderFailed) Log(2, std::string("Loader enters Failed from ") + LoaderStateName(state_) + ".");
  state_ = kLoaderFailed;
  SetCloseEnabled(true);
}

void GameLoader::SetMessage(const char* id, int value) {
  // A pass without news repaints nothing.
  if (messageId_ == id && messageValue_ == value) return;
  messageId_ = id;
  messageValue_ = value;
  ports_.view->SetMessage(id, value);
}

void GameLoader::SetProgress(float progress) {
  progress_ = std::min(1.0f, std::max(0.0f, progress));
  ports_.view->SetProgress(progress_);
}

void GameLoader::SetSubProgress(float progress) {
  subProgress_ = std::min(1.0f, std::max(0.0f, progress));
  ports_.view->SetSubProgress(subProgress_);
}

void GameLoader::ShowLoadingError(int32_t code) { SetMessage("loading_game_error", code); }

void GameLoader::SetCloseEnabled(bool enabled) { ports_.view->SetCloseEnabled(enabled); }

bool GameLoader::ShowPleaseLogin() {
  if (!gameReady_) {
    SetMessage("please_login");
    SetSubProgress(1);
    SetProgress(1);
  }
  if (state_ != kLoaderWaitingForLogin) Log(0, loggedIn_ ? "Logged in already." : "Waiting for the login.");
  state_ = kLoaderWaitingForLogin;
  SetCloseEnabled(true);
  return true;
}

void GameLoader::PollLogin() {
  if (!ports_.browser->Exists()) return;
  std::wstring result = ports_.browser->CallScript(L"getRunGameParam");
  size_t marker = result.find(kLoginMarker);
  if (marker == std::wstring::npos) return;
  ports_.reports->ReportStat("LoginSuccess", 8);
  loggedIn_ = true;
  runParams_ = result.substr(marker);
  Log(0, "Login detected.");
  SendDispatchReport(80);
  if (!ports_.settings->browserShowWhenLoginSuccess) {
    ports_.browser->Destroy();
    if (ports_.browser->Exists()) ports_.browser->ShowHost(false);
    browserShown_ = false;
    ports_.view->InvalidateAll();
  }
}

bool GameLoader::GetRunParam(const wchar_t* name, std::wstring* value) const {
  value->clear();
  if (!loggedIn_ || name == nullptr) return false;
  std::wstring key(name);
  size_t at = runParams_.find(key);
  if (at == std::wstring::npos) return false;
  size_t equals = at + key.size();
  if (equals >= runParams_.size() || runParams_[equals] != L'=') return false;
  size_t end = runParams_.find(L';', equals + 1);
  *value = runParams_.substr(equals + 1, end == std::wstring::npos ? std::wstring::npos
                                                                   : end - equals - 1);
  return true;
}

bool GameLoader::SendDispatchReport(int32_t type) {
  if (!loggedIn_ || !ports_.settings->statEnabled) return false;
  std::wstring server, account, index;
  if (!GetRunParam(L"ServerAddress", &server) || !GetRunParam(L"Account", &account) ||
      !GetRunParam(L"ServerIndex", &index))
    return false;
  std::string url = Format1024("http://%s/velmor/secret/dispatch", ToAnsi(server).c_str());
  std::string body = Format1024("ac=%s&in=%s&type=%d", ToAnsi(account).c_str(),
                                ToAnsi(index).c_str(), static_cast<int>(type));
  ports_.reports->Post(url, body);
  return true;
}

bool GameLoader::StartGame() {
  const LoaderSettings& settings = *ports_.settings;
  ports_.reports->ReportStat("BeginLoading", 9);
  SendDispatchReport(81);
  SetMessage("loading_game");
  state_ = kLoaderLoadingGame;
  SetCloseEnabled(!settings.closeDisableWhenLoading);
  gameReady_ = false;
  SetSubProgress(1);
  SetProgress(0);

  GameStartInfo info;
  info.productName = ToWide(settings.productName, CP_UTF8);
  info.runParams = runParams_;
  info.updateThreadCount = updateThreadCount_;
  info.maxPackageSize = settings.maxPackageSize;
  info.maxDeltaPackageSize = settings.maxDeltaPackageSize;
  info.updateServers = settings.updateServers;
  info.runPlace = settings.runPlace;
  info.updateEnabled = settings.updateEnabled;
  std::string dataFolder = moduleFolder_;
  if (settings.runPlace == kRunPlaceLocalAppData || settings.runPlace == kRunPlaceInternetCache) {
    if (!RunFolder(&dataFolder)) {
      Log(2, "Cannot get the data folder for the game.");
      return false;
    }
    ports_.system->SetCurrentFolder(dataFolder);
  }
  info.dataFolder = ToWide(dataFolder, CP_ACP);
  int32_t code = ports_.game->Load(info);
  if (code != 0) {
    Log(2, Format1024("The game did not load, code %d.", static_cast<int>(code)));
    ShowLoadingError(code);
    // The failed state is final: nothing will call into this game again.
    ports_.game->Unload();
    return false;
  }
  Log(0, "The game library is loaded.");
  return true;
}

void GameLoader::PollLoading() {
  IGameLibrary* game = ports_.game;
  if (!game->InitPending()) {
    game->SetRunning(true);
    gameReady_ = true;
    return;
  }
  if (!game->HasDoInitStep()) {
    // Nothing could ever finish the initialisation: say so once and stop.
    ShowLoadingError(1);
    game->Unload();
    EnterFailed();
    return;
  }
  int32_t aborted = 0, succeeded = 0;
  float progress = progress_;
  int32_t result = game->DoInitStep(&aborted, &succeeded, &progress);
  if (result == 0 && succeeded != 0) game->SetRunning(true);
  if (result != 0) {
    ShowLoadingError(result);
    return;
  }
  if (aborted != 0) {
    // A step may report success and abort together; the game is gone then,
    // so nothing may be handed to it any more.
    game->SetRunning(false);
    game->Unload();
    ShowLoadingError(1);
    EnterFailed();
    ports_.reports->ReportStat("LoadingFailed", 11);
    SendDispatchReport(83);
    return;
  }
  SetProgress(progress);
  if (game->IsRunning()) {
    gameReady_ = true;
    ports_.reports->ReportStat("LoadingSuccess", 10);
    SendDispatchReport(82);
  }
}

bool GameLoader::FinishLoading() {
  if (ports_.browser != nullptr) {
    ports_.browser->Destroy();
    if (ports_.browser->Exists()) ports_.browser->ShowHost(false);
  }
  browserShown_ = false;
  loading_ = false;
  if (ports_.view != nullptr) ports_.view->EndLayered();
  return true;
}

void GameLoader::DestroyUI() {
  if (loading_) FinishLoading();
  if (ports_.view != nullptr) ports_.view->DestroyUI();
  messageId_.clear();
  messageValue_ = 0;
}

void GameLoader::ReleaseFileSystem() {
  if (fileSystem_ == nullptr) return;
  fileSystem_->Release();
  fileSystem_ = nullptr;
  Log(0, "File system released.");
}
