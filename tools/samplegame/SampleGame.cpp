// A stand-in for "game.dll" that hosts load in tests and in the demo. It
// exports the entry points of GameLibrary.h (game_initonly.dll only Init,
// game_nostep.dll all but DoInitStep, game_noinit.dll lacks Init), does what
// a setting file beside it says, and logs every call.
//
// Setting file "samplegame.ini" beside the library, one "key=value" a line,
// every key optional:
//   init_result=N         result of Init (default 0)
//   init_pending=0|1      whether Init asks for initialisation steps (default 0)
//   step.K=R,S,A,P        the K-th DoInitStep (K from 1): result R, succeeded S,
//                         aborted A, progress P (a float); after the last
//                         scripted step a step succeeds with result 0
//   activate_fire=E|P     Activate raises game event E with parameter P
//   activate_exit=T       Activate raises the exit callback with text T
//   activate_context=right|wrong|zero  context handed to those callbacks
//   activate_host=right|null           host handed to those callbacks
//   activate_times=N      how many Activate calls raise them (default 1)
//   windowproc_fire_on=M  WindowProc raises activate_fire for message M (decimal)
//   windowproc_result=N   result of WindowProc (default 0)
//   draw=0|1              Activate paints the window solid red
//
// Log file "samplegame.log" beside the library, appended one line per event,
// texts as UTF-8:
//   Load / Unload                          the library was mapped / freed
//   Init                                   then one "param.<field>=<value>" line
//                                          per GameInitParams field; servers as
//                                          "param.updateServers=host:port,..."
//   DoInitStep result=R succeeded=S aborted=A progress=P
//   Run / Exit / DrawToDc / SetFireEventFunction / SetGameExitFunction
//   Activate flag=F
//   WindowProc message=M wParam=W lParam=L (decimal)
//   Callback fire|exit                     a callback was raised
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "GameLibrary.h"

namespace {

HMODULE selfModule = nullptr;

struct GameState {
  GameInitParams params;
  HWND window;
  void* host;
  FireEventCallback* fire;
  GameExitCallback* exitCallback;
  int stepNumber;
  int activations;
};

GameState state;
std::map<std::string, std::string> settings;

std::string SelfFolder() {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(selfModule, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::string();
  std::string folder(path, length);
  size_t slash = folder.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : folder.substr(0, slash + 1);
}

void LogLine(const std::string& line) {
  std::string path = SelfFolder() + "samplegame.log";
  FILE* file = std::fopen(path.c_str(), "ab");
  if (file == nullptr) return;
  std::fwrite(line.data(), 1, line.size(), file);
  std::fputc('\n', file);
  std::fclose(file);
}

std::string Utf8(const wchar_t* text) {
  if (text == nullptr) return "(null)";
  int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (length <= 1) return std::string();
  std::string result(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, &result[0], length, nullptr, nullptr);
  result.resize(static_cast<size_t>(length - 1));
  return result;
}

void LoadSettings() {
  settings.clear();
  std::string path = SelfFolder() + "samplegame.ini";
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return;
  char line[1024];
  while (std::fgets(line, sizeof line, file) != nullptr) {
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    size_t equals = text.find('=');
    if (equals == std::string::npos) continue;
    settings[text.substr(0, equals)] = text.substr(equals + 1);
  }
  std::fclose(file);
}

std::string Setting(const char* key, const char* fallback) {
  auto found = settings.find(key);
  return found == settings.end() ? std::string(fallback) : found->second;
}

long SettingNumber(const char* key, long fallback) {
  auto found = settings.find(key);
  return found == settings.end() ? fallback : std::strtol(found->second.c_str(), nullptr, 10);
}

std::wstring Wide(const std::string& text) {
  int length = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  if (length <= 1) return std::wstring();
  std::wstring result(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, &result[0], length);
  result.resize(static_cast<size_t>(length - 1));
  return result;
}

void* CallbackContext(void* context) {
  std::string choice = Setting("activate_context", "right");
  if (choice == "zero") return nullptr;
  if (choice == "wrong") return static_cast<char*>(context) + 1;
  return context;
}

void* CallbackHost() { return Setting("activate_host", "right") == "null" ? nullptr : state.host; }

void RaiseFire(void* context) {
  std::string fire = Setting("activate_fire", "");
  if (fire.empty() || state.fire == nullptr) return;
  size_t bar = fire.find('|');
  std::wstring name = Wide(fire.substr(0, bar));
  std::wstring param = bar == std::string::npos ? std::wstring() : Wide(fire.substr(bar + 1));
  LogLine("Callback fire");
  state.fire(CallbackContext(context), name.c_str(), param.c_str(), CallbackHost());
}

void RaiseExit(void* context) {
  std::string text = Setting("activate_exit", "");
  if (text.empty() || state.exitCallback == nullptr) return;
  std::wstring wide = Wide(text);
  LogLine("Callback exit");
  state.exitCallback(CallbackContext(context), wide.c_str(), CallbackHost());
}

void LogParams(const GameInitParams* p) {
  char buffer[256];
  std::snprintf(buffer, sizeof buffer, "param.moduleHandle=%p", static_cast<void*>(p->moduleHandle));
  LogLine(buffer);
  std::snprintf(buffer, sizeof buffer, "param.window=%p", static_cast<void*>(p->window));
  LogLine(buffer);
  std::snprintf(buffer, sizeof buffer, "param.host=%p", p->host);
  LogLine(buffer);
  LogLine("param.productName=" + Utf8(p->productName));
  LogLine("param.productNameLength=" +
          std::to_string(p->productName != nullptr ? wcslen(p->productName) : 0));
  LogLine("param.maxUpdateThreadCount=" + std::to_string(p->maxUpdateThreadCount));
  LogLine("param.maxPackageSize=" + std::to_string(p->maxPackageSize));
  LogLine("param.maxDeltaPackageSize=" + std::to_string(p->maxDeltaPackageSize));
  std::string servers;
  for (const UpdateServerNodeW* node = p->updateServers; node != nullptr; node = node->next) {
    if (!servers.empty()) servers += ',';
    servers += Utf8(node->host) + ":" + std::to_string(node->port);
  }
  LogLine("param.updateServers=" + servers);
  LogLine("param.runParams=" + Utf8(p->runParams));
  LogLine("param.dataFolder=" + Utf8(p->dataFolder));
  LogLine("param.dataFolderLength=" +
          std::to_string(p->dataFolder != nullptr ? wcslen(p->dataFolder) : 0));
  LogLine("param.hostModulePath=" + Utf8(p->hostModulePath));
  LogLine("param.dataFolderKind=" + std::to_string(p->dataFolderKind));
  LogLine("param.hostFlag1=" + std::to_string(p->hostFlag1));
  LogLine("param.hostFlag2=" + std::to_string(p->hostFlag2));
  LogLine("param.updateEnabled=" + std::to_string(p->updateEnabled));
  LogLine("param.publishVersion=" + std::to_string(p->publishVersion));
}

}  // namespace

extern "C" {

int32_t DorvGameClient_Init(const GameInitParams* params, int32_t* initPending,
                            void** gameContext) {
  LoadSettings();
  LogLine("Init");
  state = GameState();
  if (params != nullptr) {
    LogParams(params);
    state.params = *params;
    state.window = params->window;
    state.host = params->host;
  }
  *initPending = SettingNumber("init_pending", 0) != 0 ? 1 : 0;
  *gameContext = &state;
  return static_cast<int32_t>(SettingNumber("init_result", 0));
}

int32_t DorvGameClient_DoInitStep(void* gameContext, int32_t* aborted, int32_t* succeeded,
                                  float* progress) {
  (void)gameContext;
  ++state.stepNumber;
  std::string step = Setting(("step." + std::to_string(state.stepNumber)).c_str(), "0,1,0,1");
  long result = 0, ok = 0, abort = 0;
  float value = 0.0f;
  if (std::sscanf(step.c_str(), "%ld,%ld,%ld,%f", &result, &ok, &abort, &value) == 4) {
    *succeeded = static_cast<int32_t>(ok);
    *aborted = static_cast<int32_t>(abort);
    *progress = value;
  }
  char line[160];
  std::snprintf(line, sizeof line, "DoInitStep result=%ld succeeded=%ld aborted=%ld progress=%g",
                result, ok, abort, static_cast<double>(value));
  LogLine(line);
  return static_cast<int32_t>(result);
}

void DorvGameClient_Run(void*) { LogLine("Run"); }

void DorvGameClient_Exit(void*) { LogLine("Exit"); }

LRESULT DorvGameClient_WindowProc(void* gameContext, HWND, UINT message, WPARAM wParam,
                                  LPARAM lParam) {
  char line[160];
  std::snprintf(line, sizeof line, "WindowProc message=%u wParam=%llu lParam=%lld", message,
                static_cast<unsigned long long>(wParam), static_cast<long long>(lParam));
  LogLine(line);
  if (SettingNumber("windowproc_fire_on", -1) == static_cast<long>(message)) RaiseFire(gameContext);
  return static_cast<LRESULT>(SettingNumber("windowproc_result", 0));
}

void DorvGameClient_Activate(void* gameContext, int32_t flag) {
  LogLine("Activate flag=" + std::to_string(flag));
  if (state.activations < SettingNumber("activate_times", 1)) {
    ++state.activations;
    RaiseFire(gameContext);
    RaiseExit(gameContext);
  }
  if (SettingNumber("draw", 0) != 0 && state.window != nullptr) {
    HDC dc = GetDC(state.window);
    if (dc != nullptr) {
      RECT area;
      GetClientRect(state.window, &area);
      HBRUSH brush = CreateSolidBrush(RGB(255, 0, 0));
      FillRect(dc, &area, brush);
      DeleteObject(brush);
      ReleaseDC(state.window, dc);
    }
  }
}

void DorvGameClient_DrawToDc(void*, HDC, int32_t, int32_t, int32_t, int32_t) {
  LogLine("DrawToDc");
}

void DorvGameClient_FireEvent(void*, const wchar_t*, const wchar_t*) { LogLine("FireEvent"); }

void DorvGameClient_SetFireEventFunction(void*, FireEventCallback* callback) {
  LogLine("SetFireEventFunction");
  state.fire = callback;
}

void DorvGameClient_SetGameExitFunction(void*, GameExitCallback* callback) {
  LogLine("SetGameExitFunction");
  state.exitCallback = callback;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    selfModule = instance;
    LogLine("Load");
  } else if (reason == DLL_PROCESS_DETACH) {
    LogLine("Unload");
  }
  return TRUE;
}

}  // extern "C"
