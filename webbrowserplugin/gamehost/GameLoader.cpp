#include "GameLoader.h"

#include <shlobj.h>

#include <cstdarg>
#include <cstdio>
#include <cwchar>

#include "Administrator.h"
#include "HostText.h"
#include "IGameHostOwner.h"
#include "PluginLog.h"
#include "Registry.h"
#include "ScriptTable.h"
#include "TextConversion.h"
#include "UpdateServerTable.h"

namespace {

constexpr uint32_t kDefaultThreadCount = 5;
constexpr uint32_t kDefaultMaxPackageSize = 524288000;
constexpr uint32_t kDefaultMaxDeltaPackageSize = 104857600;
constexpr uint32_t kDownloadBufferStep = 5242880;
constexpr size_t kMaxLogMessage = 4092;

constexpr uint32_t kListBufferSize = 2048;
constexpr uint32_t kInfoNameBufferSize = 2048;

GameLoader::FileSystemFactory fileSystemFactory = nullptr;

bool EndsInSeparator(const std::string& text) {
  return !text.empty() && (text.back() == '\\' || text.back() == '/');
}

bool IsAbsoluteFolder(const std::string& folder) {
  if (folder.size() >= 3 && folder[1] == ':' && (folder[2] == '\\' || folder[2] == '/')) {
    return true;
  }
  return folder.size() >= 3 && folder[0] == '\\' && folder[1] == '\\';
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
bool IsVistaOrLater() {
  OSVERSIONINFOEXW extended = {};
  extended.dwOSVersionInfoSize = sizeof extended;
  if (GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&extended))) {
    return extended.dwMajorVersion > 5;
  }
  OSVERSIONINFOW basic = {};
  basic.dwOSVersionInfoSize = sizeof basic;
  if (GetVersionExW(&basic)) return basic.dwMajorVersion > 5;
  return false;
}
#pragma GCC diagnostic pop

bool ShellFolder(int csidl, std::string* folder) {
  char buffer[2048];
  buffer[0] = '\0';
  if (!SHGetSpecialFolderPathA(nullptr, buffer, csidl, TRUE)) return false;
  buffer[sizeof buffer - 1] = '\0';
  *folder = buffer;
  return !folder->empty();
}

// UTF-16 of an ANSI text in a buffer of kInitTextUnits units, cut so that the
// last unit is always the terminator.
void ToInitText(const std::string& text, wchar_t* buffer) {
  std::wstring wide = CutToInitText(AnsiToWide(text));
  size_t units = wide.size();
  wmemcpy(buffer, wide.data(), units);
  buffer[units] = L'\0';
}

}  // namespace

// Marks the time spent inside the game's code, so that page calls that would
// unload it wait until the game has returned.
class GameLoader::GameCallScope {
 public:
  explicit GameCallScope(GameLoader* loader) : loader_(loader) { ++loader_->gameCallDepth_; }
  ~GameCallScope() { --loader_->gameCallDepth_; }

 private:
  GameLoader* loader_;
};

void GameLoader::LogSystem::Log(int level, const char* text) {
  GameLoader* loader = loader_;
  if (loader == nullptr || text == nullptr) return;
  int hostLevel = (level == 1 || level == 2) ? level : 0;
  loader->Log(hostLevel, "%s", text);
}

void GameLoader::LogSystem::SetLoader(GameLoader* loader) { loader_ = loader; }

GameLoader::GameLoader(HostFlavour flavour)
    : flavour_(flavour),
      owner_(nullptr),
      fileSystem_(nullptr),
      gameContext_(nullptr),
      moduleHandle_(nullptr),
      window_(nullptr),
      gameModule_(nullptr),
      maxUpdateThreadCount_(kDefaultThreadCount),
      maxPackageSize_(kDefaultMaxPackageSize),
      maxDeltaPackageSize_(kDefaultMaxDeltaPackageSize),
      lastTaskCount_(0),
      lastProgress_(0.0f),
      lastSpeed_(0.0f),
      holdsLog_(false),
      game_(),
      initProgress_(0.0f),
      initPending_(0),
      initSucceeded_(0),
      initAborted_(0),
      dataFolderKind_(0),
      lastUpdateState_(0),
      lowIntegrity_(false),
      gameRunning_(false),
      stopping_(false),
      stepping_(false),
      readyForUpdate_(false),
      initialized_(false),
      gameCallDepth_(0),
      runningDeferred_(false) {}

GameLoader::~GameLoader() {
  Exit();
  if (holdsLog_) PluginLog::ReleaseUser();
}

bool GameLoader::Init(IGameHostOwner* owner, HMODULE moduleHandle, HWND window) {
  Exit();
  if (!holdsLog_) {
    PluginLog::AddUser();
    holdsLog_ = true;
  }
  Log(0, "Begin init game loader.");
  window_ = window;
  owner_ = owner;
  moduleHandle_ = moduleHandle;
  lowIntegrity_ = flavour_ == HostFlavour::InternetExplorer;
  initialized_ = true;
  Log(0, "Init game loader success.");
  return true;
}

void GameLoader::Exit() {
  if (!initialized_) return;
  Log(0, "Begin exit game loader.");
  deferred_.clear();
  StopNow();
  ReleaseFileSystem();
  Log(0, "Exit game loader success.");
  logSystem_.SetLoader(nullptr);
  if (holdsLog_) {
    PluginLog::ReleaseUser();
    holdsLog_ = false;
  }
  initialized_ = false;
}

bool GameLoader::SetProduct(const char* name, uint32_t maxUpdateThreadCount,
                            uint32_t maxPackageSize, uint32_t maxDeltaPackageSize) {
  if (name == nullptr) return false;
  if (InGameCall()) {
    DeferredCall call;
    call.kind = DeferredCall::kSetProduct;
    call.name = name;
    call.numbers[0] = maxUpdateThreadCount;
    call.numbers[1] = maxPackageSize;
    call.numbers[2] = maxDeltaPackageSize;
    deferred_.push_back(call);
    return true;
  }
  return SetProductNow(name, maxUpdateThreadCount, maxPackageSize, maxDeltaPackageSize);
}

bool GameLoader::SetProductNow(const char* name, uint32_t threads, uint32_t maxPackage,
                               uint32_t maxDelta) {
  Log(0, "Set product %s, %u, %u, %u.", name, threads, maxPackage, maxDelta);
  if (!IsAcceptableProductName(name)) {
    // The name becomes a folder below the data root; one that could climb out
    // of it or name a drive is refused before anything is released.
    Log(2, "Set product refused: the name is not a plain folder name.");
    return false;
  }
  if (productName_ == name && (fileSystem_ != nullptr || gameRunning_)) return true;
  StopNow();
  ReleaseFileSystem();
  productName_ = name;
  maxUpdateThreadCount_ = ClampUpdateThreadCount(threads);
  maxPackageSize_ = maxPackage;
  maxDeltaPackageSize_ = maxDelta;
  lastProgress_ = 0.0f;
  lastSpeed_ = 0.0f;
  lastTaskCount_ = 0;
  readyForUpdate_ = false;
  if (!ChooseDataFolder()) return false;
  if (!CreateFileSystem()) return false;
  Log(0, "Set product %s, %u, %u, %u success.", name, threads, maxPackage, maxDelta);
  return true;
}

bool GameLoader::UseLowFolder() const {
  return lowIntegrity_ && IsVistaOrLater() && !IsAdministrator();
}

bool GameLoader::ChooseDataFolder() {
  if (productName_.empty()) return false;
  bool low = UseLowFolder();
  std::string folder;
  if (!ShellFolder(low ? CSIDL_INTERNET_CACHE : CSIDL_LOCAL_APPDATA, &folder)) return false;
  if (!EndsInSeparator(folder)) folder += '\\';
  folder += low ? "Low\\dorvgame\\" : "dorvgame\\";
  folder += productName_;
  folder += '\\';
  dataFolder_ = folder;
  dataFolderKind_ = low ? 1 : 2;
  return true;
}

bool GameLoader::CreateFileSystem() {
  std::string package = GetRegistryString(HKEY_CURRENT_USER, "software\\dorvgame\\path",
                                          productName_.c_str());
  if (!package.empty() && !EndsInSeparator(package)) package += '\\';
  package += "data.pak";
  PackagePathNode packages = {package.c_str(), nullptr};

  UpdateServerNode servers[kBuiltInUpdateServerCount];
  for (size_t i = 0; i < kBuiltInUpdateServerCount; ++i) {
    servers[i].host = kBuiltInUpdateServers[i].host;
    servers[i].port = kBuiltInUpdateServers[i].port;
    servers[i].next = (i + 1 < kBuiltInUpdateServerCount) ? &servers[i + 1] : nullptr;
  }
  UpdateGroupNode group = {"default", 1, nullptr};

  FileSystemParams params = {};
  params.size = FileSystem::kParamsSize;
  params.version = FileSystem::kParamsVersion;
  params.extraPackages = &packages;
  params.productName = productName_.c_str();
  params.dataFolder = dataFolder_.c_str();
  params.packageBaseName = "data";
  params.packageExtension = "pak";
  params.updateServers = servers;
  params.updateGroups = &group;
  params.updateThreadCount = maxUpdateThreadCount_;
  params.maxPackageSize = maxPackageSize_;
  params.maxDeltaPackageSize = maxDeltaPackageSize_;
  params.downloadBufferStep = kDownloadBufferStep;
  logSystem_.SetLoader(this);
  params.logSystem = &logSystem_;
  params.updateMode = 1;
  params.reserveFirstDownloader = 0;
  params.idleUpdateEnabled = 0;
  params.skipHeadRequest = 1;

  fileSystem_ = fileSystemFactory != nullptr ? fileSystemFactory(&params)
                                             : FileSystem::Create(&params);
  if (fileSystem_ == nullptr) {
    Log(0, "Create file system failed.");
    return false;
  }
  return true;
}

void GameLoader::ReleaseFileSystem() {
  if (fileSystem_ == nullptr) return;
  Log(0, "Exit file system.");
  FileSystem::IFileSystem* fileSystem = fileSystem_;
  fileSystem_ = nullptr;
  fileSystem->Release();
}

bool GameLoader::RunGame(const wchar_t* runParams) {
  if (InGameCall()) {
    DeferredCall call;
    call.kind = DeferredCall::kRunGame;
    call.runParams = runParams != nullptr ? runParams : L"";
    deferred_.push_back(call);
    return true;
  }
  bool result = RunGameNow(runParams);
  RunDeferredCalls();
  return result;
}

bool GameLoader::RunGameNow(const wchar_t* runParams) {
  ReleaseFileSystem();
  StopNow();
  Log(0, "Begin Run game.");
  // Without a product there is no folder of ours to load from; a bare name
  // would be searched along the DLL path and could load any "game.dll".
  if (!IsAbsoluteFolder(dataFolder_) || !SetCurrentDirectoryA(dataFolder_.c_str()) ||
      !LoadGameDll()) {
    Log(2, "load game dll failed %s.", dataFolder_.c_str());
    return false;
  }
  wchar_t product[kInitTextUnits];
  wchar_t folder[kInitTextUnits];
  UpdateServerNodeW servers[kBuiltInUpdateServerCount];
  GameInitParams params;
  FillInitParams(&params, runParams != nullptr ? runParams : L"", product, folder, servers);
  int32_t code;
  {
    GameCallScope scope(this);
    code = game_.init(&params, &initPending_, &gameContext_);
  }
  if (code != 0) {
    Log(2, "int game failed %d.", code);
    StopNow();
    ScriptValue arg = ScriptValue::UInt32(static_cast<uint32_t>(code));
    Fire(kEventOnRunGameFailed, &arg, 1);
    return false;
  }
  if (initPending_ != 0 && game_.doInitStep == nullptr) {
    StopNow();
    if (owner_ != nullptr) {
      ScriptValue arg = ScriptValue::UInt32(1);
      Fire(kEventOnRunGameFailed, &arg, 1);
    }
    return false;
  }
  {
    GameCallScope scope(this);
    if (game_.setFireEventFunction != nullptr) {
      game_.setFireEventFunction(gameContext_, &GameLoader::FireEventCallback);
    }
    if (game_.setGameExitFunction != nullptr) {
      game_.setGameExitFunction(gameContext_, &GameLoader::GameExitCallback);
    }
  }
  if (initPending_ != 0) return true;
  StartRunning();
  return true;
}

void GameLoader::FillInitParams(GameInitParams* params, const wchar_t* runParams,
                                wchar_t* product, wchar_t* folder, UpdateServerNodeW* servers) {
  for (size_t i = 0; i < kBuiltInUpdateServerCount; ++i) {
    servers[i].host = kBuiltInUpdateServers[i].wideHost;
    servers[i].port = kBuiltInUpdateServers[i].port;
    servers[i].next = (i + 1 < kBuiltInUpdateServerCount) ? &servers[i + 1] : nullptr;
  }
  ToInitText(productName_, product);
  ToInitText(dataFolder_, folder);
  *params = GameInitParams();
  params->moduleHandle = reinterpret_cast<HINSTANCE>(moduleHandle_);
  params->window = window_;
  params->host = this;
  params->productName = product;
  params->maxUpdateThreadCount = maxUpdateThreadCount_;
  params->maxPackageSize = maxPackageSize_;
  params->maxDeltaPackageSize = maxDeltaPackageSize_;
  params->updateServers = servers;
  params->runParams = runParams;
  params->dataFolder = folder;
  params->hostModulePath = L"";
  params->dataFolderKind = dataFolderKind_;
  params->hostFlag1 = 1;
  params->hostFlag2 = flavour_ == HostFlavour::InternetExplorer ? 1 : 0;
  params->updateEnabled = 1;
  params->publishVersion = 1;
}

void GameLoader::StartRunning() {
  if (game_.run != nullptr) {
    GameCallScope scope(this);
    game_.run(gameContext_);
  }
  gameRunning_ = true;
  if (owner_ != nullptr) {
    Log(0, "Run game success.");
    FireNone(kEventOnRunGameSuccess);
  }
}

bool GameLoader::LoadGameDll() {
  UnloadGameDll();
  if (!IsAbsoluteFolder(dataFolder_)) return false;
  std::string path = dataFolder_ + "game.dll";
  HMODULE module = LoadLibraryA(path.c_str());
  if (module == nullptr) {
    module = LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  }
  if (module == nullptr) return false;
  gameModule_ = module;
  ResolveGameEntryPoints(module, &game_);
  if (game_.init == nullptr) {
    UnloadGameDll();
    return false;
  }
  return true;
}

void GameLoader::UnloadGameDll() {
  game_ = GameEntryPoints();
  if (gameModule_ == nullptr) return;
  Log(0, "Unload game dll.");
  FreeLibrary(gameModule_);
  gameModule_ = nullptr;
}

void GameLoader::Stop() {
  if (InGameCall()) {
    DeferredCall call;
    call.kind = DeferredCall::kStop;
    deferred_.push_back(call);
    return;
  }
  StopNow();
}

void GameLoader::StopNow() {
  if (stopping_) return;
  Log(0, "Stop game.");
  stopping_ = true;
  if (game_.exit != nullptr) {
    GameCallScope scope(this);
    game_.exit(gameContext_);
  }
  stopping_ = false;
  UnloadGameDll();
  initProgress_ = 0.0f;
  initPending_ = 0;
  initSucceeded_ = 0;
  initAborted_ = 0;
  gameRunning_ = false;
}

void GameLoader::RunDeferredCalls() {
  if (InGameCall() || runningDeferred_) return;
  runningDeferred_ = true;
  while (!deferred_.empty()) {
    DeferredCall call = deferred_.front();
    deferred_.erase(deferred_.begin());
    switch (call.kind) {
      case DeferredCall::kStop:
        StopNow();
        break;
      case DeferredCall::kSetProduct:
        SetProductNow(call.name.c_str(), call.numbers[0], call.numbers[1], call.numbers[2]);
        break;
      case DeferredCall::kRunGame:
        RunGameNow(call.runParams.c_str());
        break;
    }
  }
  runningDeferred_ = false;
}

void GameLoader::OnTimer(bool notInPlaceActive) {
  // A callback the game made on its own (outside any call of ours) may have
  // left page calls waiting.
  RunDeferredCalls();
  if (initPending_ != 0) {
    StepInit();
  } else if (gameRunning_) {
    if (game_.activate != nullptr) {
      int32_t flag =
          (flavour_ == HostFlavour::InternetExplorer && notInPlaceActive) ? 1 : 0;
      GameCallScope scope(this);
      game_.activate(gameContext_, flag);
    }
  } else {
    PollFileSystem();
  }
  RunDeferredCalls();
}

void GameLoader::StepInit() {
  if (stepping_) return;
  float before = initProgress_;
  stepping_ = true;
  int32_t result;
  {
    GameCallScope scope(this);
    result = game_.doInitStep(gameContext_, &initAborted_, &initSucceeded_, &initProgress_);
  }
  stepping_ = false;
  if (initProgress_ != before) {
    ScriptValue arg = ScriptValue::Float(initProgress_);
    Fire(kEventOnLoadingGameProgressChanged, &arg, 1);
  }
  // A listener of the progress event may have stopped the game meanwhile.
  if (gameModule_ == nullptr) return;
  if (result == 0 && initSucceeded_ == 0 && initAborted_ == 0) return;
  initPending_ = 0;
  if (initSucceeded_ != 0) {
    StartRunning();
    return;
  }
  StopNow();
  if (owner_ != nullptr) {
    Log(2, "Run game failed %d.", result);
    ScriptValue arg = ScriptValue::UInt32(static_cast<uint32_t>(result));
    Fire(kEventOnRunGameFailed, &arg, 1);
  }
}

void GameLoader::PollFileSystem() {
  if (owner_ == nullptr || fileSystem_ == nullptr) return;
  int32_t state = fileSystem_->GetUpdateState();
  if (state != lastUpdateState_) {
    lastUpdateState_ = state;
    Log(0, "Update state changed %d.", state);
    ScriptValue arg = ScriptValue::Text(UpdateStateName(state));
    Fire(kEventOnUpdateStateChanged, &arg, 1);
  }
  if (!readyForUpdate_) {
    if (fileSystem_ != nullptr && fileSystem_->IsReadyForUpdate()) {
      readyForUpdate_ = true;
      Log(0, "Ready for update.");
      FireNone(kEventOnReadyForUpdate);
    }
    return;
  }
  if (fileSystem_ == nullptr) return;
  int32_t taskCount = fileSystem_->GetUpdateTaskCount();
  if (taskCount != lastTaskCount_) {
    lastTaskCount_ = taskCount;
    Log(0, "Update task changed %d.", taskCount);
    ScriptValue arg = ScriptValue::UInt32(static_cast<uint32_t>(taskCount));
    Fire(kEventOnUpdateTaskCountChanged, &arg, 1);
  }
  float progress = 0.0f;
  float speed = 0.0f;
  for (uint32_t i = 0; i < maxUpdateThreadCount_ && fileSystem_ != nullptr; ++i) {
    char name[kInfoNameBufferSize];
    int total = 0;
    int done = 0;
    float taskSpeed = 0.0f;
    if (fileSystem_->GetUpdateInfo(static_cast<int>(i), name, sizeof name, &total, &done,
                                   &taskSpeed) &&
        total > 0) {
      float share = static_cast<float>(done) / static_cast<float>(total);
      if (share > progress) progress = share;
      speed += taskSpeed;
    }
  }
  if (progress != lastProgress_) {
    lastProgress_ = progress;
    ScriptValue arg = ScriptValue::Float(progress);
    Fire(kEventOnUpdateProgressChanged, &arg, 1);
  }
  if (speed != lastSpeed_) {
    lastSpeed_ = speed;
    ScriptValue arg = ScriptValue::Float(speed);
    Fire(kEventOnUpdateSpeedChanged, &arg, 1);
  }
  for (int which = 0; which < 4; ++which) FireTakenOffList(which);
}

void GameLoader::FireTakenOffList(int which) {
  static const char* const kLines[4] = {"Update file success %s.", "Update file failed %s.",
                                        "Update resource group success %s.",
                                        "Update resource group failed %s."};
  static const int kEvents[4] = {kEventOnUpdateFileSuccess, kEventOnUpdateFileFailed,
                                 kEventOnUpdateResourceGroupSuccess,
                                 kEventOnUpdateResourceGroupFailed};
  if (fileSystem_ == nullptr) return;
  char buffer[kListBufferSize];
  buffer[0] = '\0';
  bool taken = false;
  switch (which) {
    case 0: taken = fileSystem_->TakeOffUpdatedFiles(buffer, sizeof buffer); break;
    case 1: taken = fileSystem_->TakeOffUpdateFailedFiles(buffer, sizeof buffer); break;
    case 2: taken = fileSystem_->TakeOffUpdatedResourceGroups(buffer, sizeof buffer); break;
    default: taken = fileSystem_->TakeOffUpdateFailedResourceGroups(buffer, sizeof buffer); break;
  }
  if (!taken) return;
  buffer[sizeof buffer - 1] = '\0';
  // Every name on the list is already off it: an empty piece must not end
  // the walk, or the names after it would be lost.
  for (const std::string& name : SplitNameList(buffer)) {
    Log(0, kLines[which], name.c_str());
    ScriptValue arg = ScriptValue::Text(name);
    Fire(kEvents[which], &arg, 1);
  }
}

LRESULT GameLoader::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!gameRunning_ || game_.windowProc == nullptr) return 0;
  LRESULT result;
  {
    GameCallScope scope(this);
    result = game_.windowProc(gameContext_, window, message, wParam, lParam);
  }
  RunDeferredCalls();
  return result;
}

void GameLoader::DrawToDc(HDC dc, int32_t left, int32_t top, int32_t width, int32_t height) {
  if (!gameRunning_ || game_.drawToDc == nullptr) return;
  {
    GameCallScope scope(this);
    game_.drawToDc(gameContext_, dc, left, top, width, height);
  }
  RunDeferredCalls();
}

void GameLoader::SetFileSystemFactoryForTesting(FileSystemFactory factory) {
  fileSystemFactory = factory;
}

bool GameLoader::CanForwardToGame() const { return gameRunning_ && game_.windowProc != nullptr; }

bool GameLoader::Log(int level, const char* format, ...) {
  if (format == nullptr) return false;
  char buffer[kMaxLogMessage + 1];
  va_list args;
  va_start(args, format);
  int length = vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  if (length < 0 || static_cast<size_t>(length) > kMaxLogMessage) return false;
  if (level < 0 || level > 2) return false;
  return PluginLog::Write(level, std::string(buffer, static_cast<size_t>(length)),
                          UseLowFolder());
}

void GameLoader::Fire(int number, const ScriptValue* args, size_t count) {
  const ScriptEvent* event = FindScriptEvent(number);
  if (owner_ == nullptr || event == nullptr) return;
  owner_->FirePageEvent(number, event->name, args, count);
}

void GameLoader::FireNone(int number) { Fire(number, nullptr, 0); }

void GameLoader::FireEventCallback(void* gameContext, const wchar_t* name, const wchar_t* param,
                                   void* host) {
  GameLoader* loader = static_cast<GameLoader*>(host);
  if (loader == nullptr || gameContext == nullptr || gameContext != loader->gameContext_ ||
      loader->owner_ == nullptr) {
    return;
  }
  ScriptValue args[2] = {ScriptValue::WideText(name != nullptr ? name : L""),
                         ScriptValue::WideText(param != nullptr ? param : L"")};
  GameCallScope scope(loader);
  loader->Fire(kEventOnGameEvent, args, 2);
}

void GameLoader::GameExitCallback(void* gameContext, const wchar_t* returnCode, void* host) {
  GameLoader* loader = static_cast<GameLoader*>(host);
  if (loader == nullptr || gameContext == nullptr || gameContext != loader->gameContext_ ||
      loader->owner_ == nullptr) {
    return;
  }
  ScriptValue arg = ScriptValue::WideText(returnCode != nullptr ? returnCode : L"");
  GameCallScope scope(loader);
  loader->Fire(kEventOnGameExit, &arg, 1);
}
