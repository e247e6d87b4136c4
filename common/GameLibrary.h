// The binary contract between a host and the game library "game.dll": its
// ten exported entry points, the parameter block of its initialisation and
// the two callbacks through which the game raises page events. The browser
// plug-ins' game host and the launcher's loader both fill this block.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

// An update server for the game, as the file system's node but with a
// UTF-16 host name.
struct UpdateServerNodeW {
  const wchar_t* host;
  uint32_t port;
  UpdateServerNodeW* next;
};

// The block handed to DorvGameClient_Init. It and everything it points to
// live only through that call.
struct GameInitParams {
  HINSTANCE moduleHandle;
  HWND window;
  void* host;  // handed back as the last argument of both callbacks
  const wchar_t* productName;
  uint32_t maxUpdateThreadCount;
  uint32_t maxPackageSize;
  uint32_t maxDeltaPackageSize;
  UpdateServerNodeW* updateServers;
  const wchar_t* runParams;
  const wchar_t* dataFolder;
  const wchar_t* hostModulePath;
  int32_t dataFolderKind;
  int32_t hostFlag1;
  int32_t hostFlag2;
  int32_t updateEnabled;
  int32_t publishVersion;
};

extern "C" {
typedef void(FireEventCallback)(void* gameContext, const wchar_t* name, const wchar_t* param,
                                void* host);
typedef void(GameExitCallback)(void* gameContext, const wchar_t* returnCode, void* host);

typedef int32_t(GameInitFunction)(const GameInitParams* params, int32_t* initPending,
                                  void** gameContext);
typedef int32_t(GameDoInitStepFunction)(void* gameContext, int32_t* aborted, int32_t* succeeded,
                                        float* progress);
typedef void(GameRunFunction)(void* gameContext);
typedef void(GameExitFunction)(void* gameContext);
typedef LRESULT(GameWindowProcFunction)(void* gameContext, HWND window, UINT message,
                                        WPARAM wParam, LPARAM lParam);
typedef void(GameActivateFunction)(void* gameContext, int32_t flag);
typedef void(GameDrawToDcFunction)(void* gameContext, HDC dc, int32_t left, int32_t top,
                                   int32_t width, int32_t height);
// Resolved and kept by every host, never called: its arguments are the game's.
typedef void(GameFireEventFunction)(void* gameContext, const wchar_t* name, const wchar_t* param);
typedef void(GameSetFireEventFunction)(void* gameContext, FireEventCallback* callback);
typedef void(GameSetGameExitFunction)(void* gameContext, GameExitCallback* callback);
}

// The ten entry points, in the order a host resolves them; null where the
// library does not export one. Only init is required.
struct GameEntryPoints {
  GameInitFunction* init;
  GameDoInitStepFunction* doInitStep;
  GameRunFunction* run;
  GameExitFunction* exit;
  GameWindowProcFunction* windowProc;
  GameActivateFunction* activate;
  GameDrawToDcFunction* drawToDc;
  GameFireEventFunction* fireEvent;
  GameSetFireEventFunction* setFireEventFunction;
  GameSetGameExitFunction* setGameExitFunction;
};

// Export names in resolving order, parallel to GameEntryPoints.
extern const char* const kGameEntryPointNames[10];

// Fills every pointer of points from module (null for a missing export).
void ResolveGameEntryPoints(HMODULE module, GameEntryPoints* points);

#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(GameInitParams) == 64, "GameInitParams is 64 bytes on the target");
static_assert(offsetof(GameInitParams, updateServers) == 28, "update servers at +28");
static_assert(offsetof(GameInitParams, dataFolderKind) == 44, "folder kind at +44");
static_assert(offsetof(GameInitParams, publishVersion) == 60, "publishVersion ends the block");
static_assert(sizeof(UpdateServerNodeW) == 12, "the node keeps its 32-bit layout");
#endif
