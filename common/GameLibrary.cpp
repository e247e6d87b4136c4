#include "GameLibrary.h"

const char* const kGameEntryPointNames[10] = {
    "DorvGameClient_Init",       "DorvGameClient_DoInitStep",
    "DorvGameClient_Run",        "DorvGameClient_Exit",
    "DorvGameClient_WindowProc", "DorvGameClient_Activate",
    "DorvGameClient_DrawToDc",   "DorvGameClient_FireEvent",
    "DorvGameClient_SetFireEventFunction", "DorvGameClient_SetGameExitFunction",
};

namespace {

template <typename F>
void Resolve(HMODULE module, int index, F** slot) {
  *slot = reinterpret_cast<F*>(
      reinterpret_cast<void*>(GetProcAddress(module, kGameEntryPointNames[index])));
}

}  // namespace

void ResolveGameEntryPoints(HMODULE module, GameEntryPoints* points) {
  Resolve(module, 0, &points->init);
  Resolve(module, 1, &points->doInitStep);
  Resolve(module, 2, &points->run);
  Resolve(module, 3, &points->exit);
  Resolve(module, 4, &points->windowProc);
  Resolve(module, 5, &points->activate);
  Resolve(module, 6, &points->drawToDc);
  Resolve(module, 7, &points->fireEvent);
  Resolve(module, 8, &points->setFireEventFunction);
  Resolve(module, 9, &points->setGameExitFunction);
}
