#include "ScriptTable.h"

#include <windows.h>

#include <cstring>
#include <string>

#include "GameLoader.h"
#include "HostText.h"
#include "KeyRouting.h"
#include "ModuleVersion.h"

namespace {

typedef ScriptType T;
constexpr T kVoid = T::Void;
constexpr T kBool = T::Bool;
constexpr T kInt = T::Int32;
constexpr T kUInt = T::UInt32;
constexpr T kFloat = T::Float;
constexpr T kText = T::Text;
constexpr T kWide = T::WideText;

#define KEY_PARAMS {kUInt, kBool, kBool, kBool}, {"uKey", "bCtrl", "bAlt", "bShift"}
#define NO_PARAMS {kVoid, kVoid, kVoid, kVoid}, {nullptr, nullptr, nullptr, nullptr}
#define ONE_PARAM(type, name) {type, kVoid, kVoid, kVoid}, {name, nullptr, nullptr, nullptr}

}  // namespace

const ScriptMethod kScriptMethods[kScriptMethodCount] = {
    {1, "ClearPassKey", 0, NO_PARAMS, kBool},
    {2, "AddPassKey", 4, KEY_PARAMS, kBool},
    {3, "RemovePassKey", 4, KEY_PARAMS, kBool},
    {4, "IsPassKey", 4, KEY_PARAMS, kBool},
    {5, "ClearInterceptKey", 0, NO_PARAMS, kBool},
    {6, "AddInterceptKey", 4, KEY_PARAMS, kBool},
    {7, "RemoveInterceptKey", 4, KEY_PARAMS, kBool},
    {8, "IsInterceptKey", 4, KEY_PARAMS, kBool},
    {9, "SetPassAllKey", 1, ONE_PARAM(kBool, "bPass"), kBool},
    {10, "IsPassAllKey", 0, NO_PARAMS, kBool},
    {11, "SetInterceptAllKey", 1, ONE_PARAM(kBool, "bIntercept"), kBool},
    {12, "IsInterceptAllKey", 0, NO_PARAMS, kBool},
    {13, "SetInterceptMouseMessage", 1, ONE_PARAM(kBool, "bIntercept"), kBool},
    {14, "IsInterceptMouseMessage", 0, NO_PARAMS, kBool},
    {15,
     "SetProduct",
     4,
     {kText, kUInt, kUInt, kUInt},
     {"pbstrProduct", "uMaxUpdateThreadCount", "uMaxPackageSize", "uMaxDeltaPackageSize"},
     kBool},
    {16, "IsFileReady", 1, ONE_PARAM(kText, "pbstrFile"), kBool},
    {17, "UpdateFile", 1, ONE_PARAM(kText, "pbstrFile"), kBool},
    {18, "IsResourceGroupReady", 1, ONE_PARAM(kText, "pbstrResourceGroup"), kBool},
    {19, "UpdateResourceGroup", 1, ONE_PARAM(kText, "pbstrResourceGroup"), kBool},
    {20, "GetUpdateTaskCount", 0, NO_PARAMS, kUInt},
    {21, "GetUpdateSpeed", 0, NO_PARAMS, kFloat},
    {22, "GetUpdateInfo", 1, ONE_PARAM(kUInt, "uIndex"), kText},
    {23, "IsReadyForUpdate", 0, NO_PARAMS, kBool},
    {24, "GetUpdateState", 0, NO_PARAMS, kText},
    {25, "RunGame", 1, ONE_PARAM(kWide, "pbstrParam"), kBool},
    {26, "IsInitGame", 0, NO_PARAMS, kBool},
    {27, "GetInitGameProgress", 0, NO_PARAMS, kFloat},
    {28, "IsGameRuning", 0, NO_PARAMS, kBool},
    {29, "StopGame", 0, NO_PARAMS, kBool},
    {30, "GetFileUpdateInfo", 1, ONE_PARAM(kText, "pbstrFile"), kText},
    {31, "GetResourceGroupUpdateInfo", 1, ONE_PARAM(kText, "pbstrResourceGroup"), kText},
    {32, "IsAllResourceGroupsReady", 0, NO_PARAMS, kBool},
    {33, "UpdateAllResourceGroups", 0, NO_PARAMS, kBool},
    {34, "IsAllReady", 0, NO_PARAMS, kBool},
    {35, "UpdateAll", 0, NO_PARAMS, kBool},
    {36, "EnableIdleUpdate", 1, ONE_PARAM(kBool, "bEnable"), kBool},
    {37, "IsIdleUpdateEnabled", 0, NO_PARAMS, kBool},
    {38, "IsIdleUpdateFinishied", 0, NO_PARAMS, kBool},
    {39,
     "SetIdleUpdateInfo",
     2,
     {kInt, kInt, kVoid, kVoid},
     {"lLevel", "lMap", nullptr, nullptr},
     kBool},
    {40, "TakeOffUpdatedFiles", 0, NO_PARAMS, kText},
    {41, "TakeOffUpdateFailedFiles", 0, NO_PARAMS, kText},
    {42, "TakeOffUpdatedResourceGroups", 0, NO_PARAMS, kText},
    {43, "TakeOffUpdateFailedResourceGroups", 0, NO_PARAMS, kText},
    {44, "GetVersion", 0, NO_PARAMS, kWide},
    {45, "CanLoadSystemDll", 1, ONE_PARAM(kWide, "pbstrFile"), kBool},
};

const ScriptEvent kScriptEvents[kScriptEventCount] = {
    {1, "OnInit", 0, {kVoid, kVoid}, {nullptr, nullptr}},
    {2, "OnUpdateStateChanged", 1, {kText, kVoid}, {"pbstrState", nullptr}},
    {3, "OnReadyForUpdate", 0, {kVoid, kVoid}, {nullptr, nullptr}},
    {4, "OnUpdateTaskCountChanged", 1, {kUInt, kVoid}, {"uTaskCount", nullptr}},
    {5, "OnUpdateFileSuccess", 1, {kText, kVoid}, {"pbstrFile", nullptr}},
    {6, "OnUpdateFileFailed", 1, {kText, kVoid}, {"pbstrFile", nullptr}},
    {7, "OnUpdateResourceGroupSuccess", 1, {kText, kVoid}, {"pbstrResourceGroup", nullptr}},
    {8, "OnUpdateResourceGroupFailed", 1, {kText, kVoid}, {"pbstrResourceGroup", nullptr}},
    {9, "OnUpdateProgressChanged", 1, {kFloat, kVoid}, {"fProgress", nullptr}},
    {10, "OnUpdateSpeedChanged", 1, {kFloat, kVoid}, {"fSpeed", nullptr}},
    {11, "OnRunGameSuccess", 0, {kVoid, kVoid}, {nullptr, nullptr}},
    {12, "OnRunGameFailed", 1, {kUInt, kVoid}, {"uErrorCode", nullptr}},
    {13, "OnLoadingGameProgressChanged", 1, {kFloat, kVoid}, {"fProgress", nullptr}},
    {14, "OnGameEvent", 2, {kWide, kWide}, {"pbstrEvent", "pbstrParam"}},
    {15, "OnGameExit", 1, {kWide, kVoid}, {"pbstrReturnCode", nullptr}},
};

const ScriptMethod* FindScriptMethod(int number) {
  if (number < 1 || number > kScriptMethodCount) return nullptr;
  return &kScriptMethods[number - 1];
}

const ScriptMethod* FindScriptMethodByName(const char* name) {
  if (name == nullptr) return nullptr;
  for (const ScriptMethod& method : kScriptMethods) {
    if (std::strcmp(method.name, name) == 0) return &method;
  }
  return nullptr;
}

const ScriptEvent* FindScriptEvent(int number) {
  if (number < 1 || number > kScriptEventCount) return nullptr;
  return &kScriptEvents[number - 1];
}

const ScriptEvent* FindScriptEventByName(const char* name) {
  if (name == nullptr) return nullptr;
  for (const ScriptEvent& event : kScriptEvents) {
    if (std::strcmp(event.name, name) == 0) return &event;
  }
  return nullptr;
}

namespace {

typedef ScriptValue (*Handler)(const ScriptContext& context, const ScriptValue* args);

constexpr uint32_t kInfoNameSize = 260;
constexpr uint32_t kTakeOffSize = 1024;

FileSystem::IFileSystem* Files(const ScriptContext& context) {
  return context.loader->GetFileSystem();
}

KeyCombination KeyOf(const ScriptValue* args) {
  return KeyCombination{args[0].uint32Value, args[1].boolValue, args[2].boolValue,
                        args[3].boolValue};
}

ScriptValue True() { return ScriptValue::Bool(true); }
ScriptValue False() { return ScriptValue::Bool(false); }

ScriptValue ClearPassKey(const ScriptContext& c, const ScriptValue*) {
  c.keys->ClearPassKeys();
  return True();
}
ScriptValue AddPassKey(const ScriptContext& c, const ScriptValue* a) {
  c.keys->AddPassKey(KeyOf(a));
  return True();
}
ScriptValue RemovePassKey(const ScriptContext& c, const ScriptValue* a) {
  c.keys->RemovePassKey(KeyOf(a));
  return True();
}
ScriptValue IsPassKey(const ScriptContext& c, const ScriptValue* a) {
  return ScriptValue::Bool(c.keys->IsPassKey(KeyOf(a)));
}
ScriptValue ClearInterceptKey(const ScriptContext& c, const ScriptValue*) {
  c.keys->ClearInterceptKeys();
  return True();
}
ScriptValue AddInterceptKey(const ScriptContext& c, const ScriptValue* a) {
  c.keys->AddInterceptKey(KeyOf(a));
  return True();
}
ScriptValue RemoveInterceptKey(const ScriptContext& c, const ScriptValue* a) {
  c.keys->RemoveInterceptKey(KeyOf(a));
  return True();
}
ScriptValue IsInterceptKey(const ScriptContext& c, const ScriptValue* a) {
  return ScriptValue::Bool(c.keys->IsInterceptKey(KeyOf(a)));
}
ScriptValue SetPassAllKey(const ScriptContext& c, const ScriptValue* a) {
  c.keys->SetPassAllKeys(a[0].boolValue);
  return True();
}
ScriptValue IsPassAllKey(const ScriptContext& c, const ScriptValue*) {
  return ScriptValue::Bool(c.keys->IsPassAllKeys());
}
ScriptValue SetInterceptAllKey(const ScriptContext& c, const ScriptValue* a) {
  c.keys->SetInterceptAllKeys(a[0].boolValue);
  return True();
}
ScriptValue IsInterceptAllKey(const ScriptContext& c, const ScriptValue*) {
  return ScriptValue::Bool(c.keys->IsInterceptAllKeys());
}
ScriptValue SetInterceptMouseMessage(const ScriptContext& c, const ScriptValue* a) {
  c.keys->SetInterceptMouseMessages(a[0].boolValue);
  return True();
}
ScriptValue IsInterceptMouseMessage(const ScriptContext& c, const ScriptValue*) {
  return ScriptValue::Bool(c.keys->IsInterceptMouseMessages());
}

ScriptValue SetProduct(const ScriptContext& c, const ScriptValue* a) {
  return ScriptValue::Bool(c.loader->SetProduct(a[0].text.c_str(), a[1].uint32Value,
                                                a[2].uint32Value, a[3].uint32Value));
}

ScriptValue IsFileReady(const ScriptContext& c, const ScriptValue* a) {
  FileSystem::IFileSystem* files = Files(c);
  return ScriptValue::Bool(files != nullptr && files->IsFileReady(a[0].text.c_str()));
}

// A name longer than a take-off buffer can carry would never leave its list
// and would block every name queued after it.
bool FitsTakeOffList(const std::string& name) { return name.size() <= kMaxUpdateNameLength; }

ScriptValue UpdateFile(const ScriptContext& c, const ScriptValue* a) {
  c.loader->Log(0, "Update file %s", a[0].text.c_str());
  FileSystem::IFileSystem* files = Files(c);
  if (files == nullptr || !FitsTakeOffList(a[0].text)) return False();
  return ScriptValue::Bool(files->UpdateFile(a[0].text.c_str(), "default"));
}

ScriptValue IsResourceGroupReady(const ScriptContext& c, const ScriptValue* a) {
  FileSystem::IFileSystem* files = Files(c);
  return ScriptValue::Bool(files != nullptr && files->IsResourceGroupReady(a[0].text.c_str()));
}

ScriptValue UpdateResourceGroup(const ScriptContext& c, const ScriptValue* a) {
  c.loader->Log(0, "Update resource group %s", a[0].text.c_str());
  FileSystem::IFileSystem* files = Files(c);
  if (files == nullptr || !FitsTakeOffList(a[0].text)) return False();
  return ScriptValue::Bool(files->UpdateResourceGroup(a[0].text.c_str(), "default"));
}

ScriptValue GetUpdateTaskCount(const ScriptContext& c, const ScriptValue*) {
  FileSystem::IFileSystem* files = Files(c);
  return ScriptValue::UInt32(files != nullptr ? static_cast<uint32_t>(files->GetUpdateTaskCount())
                                              : 0u);
}

ScriptValue GetUpdateSpeed(const ScriptContext& c, const ScriptValue*) {
  FileSystem::IFileSystem* files = Files(c);
  return ScriptValue::Float(files != nullptr ? files->GetUpdateSpeed() : 0.0f);
}

ScriptValue GetUpdateInfo(const ScriptContext& c, const ScriptValue* a) {
  FileSystem::IFileSystem* files = Files(c);
  if (files == nullptr) return ScriptValue::Text("");
  char name[kInfoNameSize] = {};
  int total = 0;
  int done = 0;
  float speed = 0.0f;
  if (!files->GetUpdateInfo(static_cast<int>(a[0].uint32Value), name, sizeof name, &total, &done,
                            &speed)) {
    return ScriptValue::Text("");
  }
  name[sizeof name - 1] = '\0';
  return ScriptValue::Text(FormatUpdateInfo(name, total, done, speed));
}

ScriptValue IsReadyForUpdate(const ScriptContext& c, const ScriptValue*) {
  FileSystem::IFileSystem* files = Files(c);
  return ScriptValue::Bool(files != nullptr && files->IsReadyForUpdate());
}

ScriptValue GetUpdateState(const ScriptContext& c, const ScriptValue*) {
  FileSystem::IFileSystem* files = Files(c);
  int32_t state = files != nullptr ? files->GetUpdateState() : c.loader->GetLastUpdateState();
  return ScriptValue::Text(UpdateStateName(state));
}

ScriptValue RunGame(const ScriptContext& c, const ScriptValue* a) {
  bool started = c.loader->RunGame(a[0].wideText.c_str());
  if (c.loader->GetFlavour() == HostFlavour::InternetExplorer) return True();
  return ScriptValue::Bool(started);
}

ScriptValue IsInitGame(const ScriptContext& c, const ScriptValue*) {
  return ScriptValue::Bool(c.loader->IsInitPending());
}
ScriptValue GetInitGameProgress(const ScriptContext& c, const ScriptValue*) {
  return ScriptValue::Float(c.loader->GetInitProgress());
}
ScriptValue IsGameRuning(const ScriptContext& c, const ScriptValue*) {
  return ScriptValue::Bool(c.loader->IsGameRunning());
}
ScriptValue StopGame(const ScriptContext& c, const ScriptValue*) {
  c.loader->Stop();
  return True();
}

ScriptValue GetFileUpdateInfo(const ScriptContext& c, const ScriptValue* a) {
  FileSystem::IFileSystem* files = Files(c);
  if (files == nullptr) return ScriptValue::Text("");
  char name[kInfoNameSize] = {};
  int total = 0;
  int done = 0;
  float speed = 0.0f;
  if (!files->GetFileUpdateInfo(a[0].text.c_str(), name, sizeof name, &total, &done, &speed)) {
    return ScriptValue::Text("");
  }
  name[sizeof name - 1] = '\0';
  return ScriptValue::Text(FormatUpdateInfo(name, total, done, speed));
}

ScriptValue GetResourceGroupUpdateInfo(const ScriptContext& c, const ScriptValue* a) {
  FileSystem::IFileSystem* files = Files(c);
  if (files == nullptr) return ScriptValue::Text("");
  char name[kInfoNameSize] = {};
  int total = 0;
  int done = 0;
  float speed = 0.0f;
  if (!files->GetResourceGroupUpdateInfo(a[0].text.c_str(), name, sizeof name, &total, &done,
                                         &speed)) {
    return ScriptValue::Text("");
  }
  name[sizeof name - 1] = '\0';
  return ScriptValue::Text(FormatUpdateInfo(name, total, done, speed));
}

ScriptValue IsAllResourceGroupsReady(const ScriptContext& c, const ScriptValue*) {
  FileSystem::IFileSystem* files = Files(c);
  return ScriptValue::Bool(files != nullptr && files->IsAllResourceGroupsReady());
}
ScriptValue UpdateAllResourceGroups(const ScriptContext& c, const ScriptValue*) {
  FileSystem::IFileSystem* files = Files(c);
  return ScriptValue::Bool(files != nullptr && files->UpdateAllResourceGroups());
}
ScriptValue IsAllReady(const ScriptContext& c, const ScriptValue*) {
  FileSystem::IFileSystem* files = Files(c);
  return ScriptValue::Bool(files != nullptr && files->IsAllReady());
}
ScriptValue UpdateAll(const ScriptContext& c, const ScriptValue*) {
  FileSystem::IFileSystem* files = Files(c);
  return ScriptValue::Bool(files != nullptr && files->UpdateAll());
}

ScriptValue EnableIdleUpdate(const ScriptContext& c, const ScriptValue* a) {
  FileSystem::IFileSystem* files = Files(c);
  bool result = files != nullptr && files->EnableIdleUpdate(a[0].boolValue);
  if (c.loader->GetFlavour() == HostFlavour::Netscape) return True();
  return ScriptValue::Bool(result);
}

ScriptValue IsIdleUpdateEnabled(const ScriptContext& c, const ScriptValue*) {
  FileSystem::IFileSystem* files = Files(c);
  return ScriptValue::Bool(files != nullptr && files->IsIdleUpdateEnabled());
}
ScriptValue IsIdleUpdateFinishied(const ScriptContext& c, const ScriptValue*) {
  FileSystem::IFileSystem* files = Files(c);
  return ScriptValue::Bool(files != nullptr && files->IsIdleUpdateFinishied());
}
ScriptValue SetIdleUpdateInfo(const ScriptContext& c, const ScriptValue* a) {
  FileSystem::IFileSystem* files = Files(c);
  return ScriptValue::Bool(files != nullptr &&
                           files->SetIdleUpdateInfo(a[0].int32Value, a[1].int32Value));
}

typedef bool (FileSystem::IFileSystem::*TakeOff)(char*, uint32_t);

ScriptValue TakeOffList(const ScriptContext& c, TakeOff takeOff) {
  FileSystem::IFileSystem* files = Files(c);
  if (files == nullptr) return ScriptValue::Text("");
  char buffer[kTakeOffSize];
  buffer[0] = '\0';
  if (!(files->*takeOff)(buffer, sizeof buffer)) return ScriptValue::Text("");
  buffer[sizeof buffer - 1] = '\0';
  return ScriptValue::Text(buffer);
}

ScriptValue TakeOffUpdatedFiles(const ScriptContext& c, const ScriptValue*) {
  return TakeOffList(c, &FileSystem::IFileSystem::TakeOffUpdatedFiles);
}
ScriptValue TakeOffUpdateFailedFiles(const ScriptContext& c, const ScriptValue*) {
  return TakeOffList(c, &FileSystem::IFileSystem::TakeOffUpdateFailedFiles);
}
ScriptValue TakeOffUpdatedResourceGroups(const ScriptContext& c, const ScriptValue*) {
  return TakeOffList(c, &FileSystem::IFileSystem::TakeOffUpdatedResourceGroups);
}
ScriptValue TakeOffUpdateFailedResourceGroups(const ScriptContext& c, const ScriptValue*) {
  return TakeOffList(c, &FileSystem::IFileSystem::TakeOffUpdateFailedResourceGroups);
}

ScriptValue GetVersion(const ScriptContext& c, const ScriptValue*) {
  wchar_t buffer[kModuleVersionBufferUnits];
  if (!GetModuleFileVersion(c.loader->GetModuleHandle(), buffer)) {
    return ScriptValue::WideText(L"");
  }
  buffer[kModuleVersionBufferUnits - 1] = L'\0';
  return ScriptValue::WideText(buffer);
}

// Only a bare file name, loaded from the system folder: a page must not be
// able to run the DllMain of a library it placed anywhere else.
bool IsBareFileName(const std::wstring& name) {
  if (name.empty() || name == L"." || name == L"..") return false;
  for (wchar_t c : name) {
    if (c == L'\\' || c == L'/' || c == L':' || c < 0x20) return false;
  }
  return true;
}

ScriptValue CanLoadSystemDll(const ScriptContext&, const ScriptValue* a) {
  const std::wstring& name = a[0].wideText;
  if (!IsBareFileName(name)) return False();
  wchar_t folder[MAX_PATH];
  UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return False();
  std::wstring path(folder, length);
  if (path.back() != L'\\') path += L'\\';
  path += name;
  HMODULE module = LoadLibraryW(path.c_str());
  if (module == nullptr) return False();
  FreeLibrary(module);
  return True();
}

const Handler kHandlers[kScriptMethodCount] = {
    ClearPassKey,
    AddPassKey,
    RemovePassKey,
    IsPassKey,
    ClearInterceptKey,
    AddInterceptKey,
    RemoveInterceptKey,
    IsInterceptKey,
    SetPassAllKey,
    IsPassAllKey,
    SetInterceptAllKey,
    IsInterceptAllKey,
    SetInterceptMouseMessage,
    IsInterceptMouseMessage,
    SetProduct,
    IsFileReady,
    UpdateFile,
    IsResourceGroupReady,
    UpdateResourceGroup,
    GetUpdateTaskCount,
    GetUpdateSpeed,
    GetUpdateInfo,
    IsReadyForUpdate,
    GetUpdateState,
    RunGame,
    IsInitGame,
    GetInitGameProgress,
    IsGameRuning,
    StopGame,
    GetFileUpdateInfo,
    GetResourceGroupUpdateInfo,
    IsAllResourceGroupsReady,
    UpdateAllResourceGroups,
    IsAllReady,
    UpdateAll,
    EnableIdleUpdate,
    IsIdleUpdateEnabled,
    IsIdleUpdateFinishied,
    SetIdleUpdateInfo,
    TakeOffUpdatedFiles,
    TakeOffUpdateFailedFiles,
    TakeOffUpdatedResourceGroups,
    TakeOffUpdateFailedResourceGroups,
    GetVersion,
    CanLoadSystemDll,
};

}  // namespace

ScriptCallStatus InvokeScriptMethod(const ScriptContext& context, int number,
                                    const ScriptValue* args, size_t count, ScriptValue* result) {
  if (result != nullptr) *result = ScriptValue();
  const ScriptMethod* method = FindScriptMethod(number);
  if (method == nullptr || context.loader == nullptr || context.keys == nullptr ||
      result == nullptr) {
    return ScriptCallStatus::UnknownMethod;
  }
  if (count != static_cast<size_t>(method->parameterCount) || (count > 0 && args == nullptr)) {
    return ScriptCallStatus::WrongArgumentCount;
  }
  for (size_t i = 0; i < count; ++i) {
    if (args[i].type != method->parameters[i]) return ScriptCallStatus::WrongArgumentType;
  }
  *result = kHandlers[number - 1](context, args);
  return ScriptCallStatus::Ok;
}
