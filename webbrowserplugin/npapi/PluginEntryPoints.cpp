// The library's exports toward the browser: the three module entry points
// and the plug-in functions of the table NP_GetEntryPoints fills. Each
// plug-in function finds its instance in the NPP's pdata.
#include <windows.h>

#include <new>

#include "BrowserFunctions.h"
#include "NPKVTPlayerCtrl.h"
#include "PluginModule.h"

namespace {

NPKVTPlayerCtrl* InstanceOf(NPP npp) {
  return npp ? static_cast<NPKVTPlayerCtrl*>(npp->pdata) : nullptr;
}

NPError NPP_New(NPMIMEType, NPP npp, uint16_t, int16_t, char*[], char*[], NPSavedData*) {
  if (!npp) return NPERR_INVALID_INSTANCE_ERROR;
  NPKVTPlayerCtrl* instance = new (std::nothrow) NPKVTPlayerCtrl(npp);
  if (!instance) return NPERR_OUT_OF_MEMORY_ERROR;
  npp->pdata = instance;
  return NPERR_NO_ERROR;
}

NPError NPP_Destroy(NPP npp, NPSavedData**) {
  if (!npp) return NPERR_INVALID_INSTANCE_ERROR;
  NPKVTPlayerCtrl* instance = InstanceOf(npp);
  if (instance) {
    instance->shut();
    delete instance;
    npp->pdata = nullptr;
  }
  return NPERR_NO_ERROR;
}

NPError NPP_SetWindow(NPP npp, NPWindow* window) {
  if (!npp) return NPERR_INVALID_INSTANCE_ERROR;
  NPKVTPlayerCtrl* instance = InstanceOf(npp);
  if (!window || !instance) return NPERR_GENERIC_ERROR;
  if (!instance->isInitialized() && window->window) {
    if (!instance->init(window)) {
      delete instance;
      npp->pdata = nullptr;
      return NPERR_MODULE_LOAD_FAILED_ERROR;
    }
  }
  return instance->SetWindow(window);
}

NPError NPP_NewStream(NPP npp, NPMIMEType type, NPStream* stream, NPBool seekable,
                      uint16_t* streamType) {
  if (!npp) return NPERR_INVALID_INSTANCE_ERROR;
  NPKVTPlayerCtrl* instance = InstanceOf(npp);
  if (!instance) return NPERR_GENERIC_ERROR;
  return instance->NewStream(type, stream, seekable, streamType);
}

NPError NPP_DestroyStream(NPP npp, NPStream* stream, NPReason reason) {
  if (!npp) return NPERR_INVALID_INSTANCE_ERROR;
  NPKVTPlayerCtrl* instance = InstanceOf(npp);
  if (!instance) return NPERR_GENERIC_ERROR;
  return instance->DestroyStream(stream, reason);
}

void NPP_StreamAsFile(NPP npp, NPStream* stream, const char* fileName) {
  if (NPKVTPlayerCtrl* instance = InstanceOf(npp)) instance->StreamAsFile(stream, fileName);
}

int32_t NPP_WriteReady(NPP npp, NPStream* stream) {
  NPKVTPlayerCtrl* instance = InstanceOf(npp);
  return instance ? instance->WriteReady(stream) : 0x0FFFFFFF;
}

int32_t NPP_Write(NPP npp, NPStream* stream, int32_t offset, int32_t length, void* buffer) {
  NPKVTPlayerCtrl* instance = InstanceOf(npp);
  return instance ? instance->Write(stream, offset, length, buffer) : length;
}

void NPP_Print(NPP npp, NPPrint* print) {
  if (NPKVTPlayerCtrl* instance = InstanceOf(npp)) instance->Print(print);
}

int16_t NPP_HandleEvent(NPP npp, void* event) {
  NPKVTPlayerCtrl* instance = InstanceOf(npp);
  return instance ? static_cast<int16_t>(instance->HandleEvent(event)) : 0;
}

void NPP_URLNotify(NPP npp, const char* url, NPReason reason, void* notifyData) {
  if (NPKVTPlayerCtrl* instance = InstanceOf(npp)) instance->URLNotify(url, reason, notifyData);
}

NPError NPP_GetValue(NPP npp, NPPVariable variable, void* value) {
  if (!npp) return NPERR_INVALID_INSTANCE_ERROR;
  NPKVTPlayerCtrl* instance = InstanceOf(npp);
  if (!instance) return NPERR_GENERIC_ERROR;
  return instance->GetValue(variable, value);
}

NPError NPP_SetValue(NPP npp, NPNVariable variable, void* value) {
  if (!npp) return NPERR_INVALID_INSTANCE_ERROR;
  NPKVTPlayerCtrl* instance = InstanceOf(npp);
  if (!instance) return NPERR_GENERIC_ERROR;
  return instance->SetValue(variable, value);
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) SetPluginModuleHandle(instance);
  return TRUE;
}

NPError WINAPI NP_GetEntryPoints(NPPluginFuncs* funcs) {
  if (!funcs) return NPERR_INVALID_FUNCTABLE_ERROR;
  funcs->version = 27;
  funcs->newp = NPP_New;
  funcs->destroy = NPP_Destroy;
  funcs->setwindow = NPP_SetWindow;
  funcs->newstream = NPP_NewStream;
  funcs->destroystream = NPP_DestroyStream;
  funcs->asfile = NPP_StreamAsFile;
  funcs->writeready = NPP_WriteReady;
  funcs->write = NPP_Write;
  funcs->print = NPP_Print;
  funcs->event = NPP_HandleEvent;
  funcs->urlnotify = NPP_URLNotify;
  funcs->getvalue = NPP_GetValue;
  funcs->setvalue = NPP_SetValue;
  return NPERR_NO_ERROR;
}

NPError WINAPI NP_Initialize(NPNetscapeFuncs* funcs) {
  if (!funcs) return NPERR_INVALID_FUNCTABLE_ERROR;
  KeepBrowserFunctions(*funcs);
  return NPERR_NO_ERROR;
}

NPError WINAPI NP_Shutdown() { return NPERR_NO_ERROR; }

}  // extern "C"
