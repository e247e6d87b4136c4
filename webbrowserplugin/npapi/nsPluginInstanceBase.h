// What the plug-in's exported functions ask of one plug-in instance, in the
// order of the instance's virtual table.
#pragma once

#include "NetscapePluginApi.h"

class nsPluginInstanceBase {
 public:
  virtual bool init(NPWindow* window) = 0;
  virtual void shut() = 0;
  virtual bool isInitialized() = 0;
  virtual NPError SetWindow(NPWindow* window) = 0;
  virtual NPError NewStream(NPMIMEType type, NPStream* stream, NPBool seekable,
                            uint16_t* streamType) = 0;
  virtual NPError DestroyStream(NPStream* stream, NPError reason) = 0;
  virtual void StreamAsFile(NPStream* stream, const char* fileName) = 0;
  virtual int32_t WriteReady(NPStream* stream) = 0;
  virtual int32_t Write(NPStream* stream, int32_t offset, int32_t length, void* buffer) = 0;
  virtual void Print(NPPrint* print) = 0;
  virtual uint16_t HandleEvent(void* event) = 0;
  virtual void URLNotify(const char* url, NPReason reason, void* notifyData) = 0;
  virtual NPError GetValue(NPPVariable variable, void* value) = 0;
  virtual NPError SetValue(NPNVariable variable, void* value) = 0;
  virtual bool HasMethod(NPIdentifier name) = 0;
  virtual bool Invoke(NPIdentifier name, const NPVariant* args, uint32_t count,
                      NPVariant* result) = 0;
  virtual ~nsPluginInstanceBase() {}
};
