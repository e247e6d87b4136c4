// The part of the Netscape plug-in interface this plug-in speaks: the
// instance handle, the window, script values and objects, and the two
// function tables exchanged with the browser. Declared here from the
// binary contract the browsers implement (C layout, cdecl entries, the
// three module exports WINAPI).
#pragma once

#include <cstddef>
#include <cstdint>

typedef int16_t NPError;
typedef unsigned char NPBool;
typedef char NPUTF8;
typedef void* NPIdentifier;

enum : NPError {
  NPERR_NO_ERROR = 0,
  NPERR_GENERIC_ERROR = 1,
  NPERR_INVALID_INSTANCE_ERROR = 2,
  NPERR_INVALID_FUNCTABLE_ERROR = 3,
  NPERR_MODULE_LOAD_FAILED_ERROR = 4,
  NPERR_OUT_OF_MEMORY_ERROR = 5,
  NPERR_INVALID_PLUGIN_ERROR = 6,
  NPERR_INVALID_PLUGIN_DIR_ERROR = 7,
  NPERR_INCOMPATIBLE_VERSION_ERROR = 8,
  NPERR_INVALID_PARAM = 9,
  NPERR_INVALID_URL = 10,
  NPERR_FILE_NOT_FOUND = 11,
  NPERR_NO_DATA = 12,
  NPERR_STREAM_NOT_SEEKABLE = 13,
};

// The browser's instance record; pdata belongs to the plug-in.
struct NPP_t {
  void* pdata;
  void* ndata;
};
typedef NPP_t* NPP;

struct NPRect {
  uint16_t top;
  uint16_t left;
  uint16_t bottom;
  uint16_t right;
};

enum NPWindowType { NPWindowTypeWindow = 1, NPWindowTypeDrawable = 2 };

struct NPWindow {
  void* window;  // the HWND for a windowed plug-in
  int32_t x;
  int32_t y;
  uint32_t width;
  uint32_t height;
  NPRect clipRect;
  NPWindowType type;
};

struct NPStream {
  void* pdata;
  void* ndata;
  const char* url;
  uint32_t end;
  uint32_t lastmodified;
  void* notifyData;
  const char* headers;
};

struct NPSavedData {
  int32_t len;
  void* buf;
};

struct NPPrint;
typedef int16_t NPReason;
typedef char* NPMIMEType;

// Values the browser asks the plug-in for.
enum NPPVariable {
  NPPVpluginNameString = 1,
  NPPVpluginDescriptionString = 2,
  NPPVpluginWindowBool = 3,
  NPPVpluginTransparentBool = 4,
  NPPVpluginScriptableNPObject = 15,
};

// Values the plug-in could ask the browser for (none are used).
enum NPNVariable {
  NPNVWindowNPObject = 15,
  NPNVPluginElementNPObject = 16,
};

struct NPObject;
struct NPClass;

enum NPVariantType {
  NPVariantType_Void = 0,
  NPVariantType_Null = 1,
  NPVariantType_Bool = 2,
  NPVariantType_Int32 = 3,
  NPVariantType_Double = 4,
  NPVariantType_String = 5,
  NPVariantType_Object = 6,
};

// UTF-8 bytes with a length; not necessarily terminated.
struct NPString {
  const NPUTF8* UTF8Characters;
  uint32_t UTF8Length;
};

struct NPVariant {
  NPVariantType type;
  union {
    bool boolValue;
    int32_t intValue;
    double doubleValue;
    NPString stringValue;
    NPObject* objectValue;
  } value;
};

extern "C" {
typedef NPObject* (*NPAllocateFunctionPtr)(NPP npp, NPClass* aClass);
typedef void (*NPDeallocateFunctionPtr)(NPObject* npobj);
typedef void (*NPInvalidateFunctionPtr)(NPObject* npobj);
typedef bool (*NPHasMethodFunctionPtr)(NPObject* npobj, NPIdentifier name);
typedef bool (*NPInvokeFunctionPtr)(NPObject* npobj, NPIdentifier name, const NPVariant* args,
                                    uint32_t argCount, NPVariant* result);
typedef bool (*NPInvokeDefaultFunctionPtr)(NPObject* npobj, const NPVariant* args,
                                           uint32_t argCount, NPVariant* result);
typedef bool (*NPHasPropertyFunctionPtr)(NPObject* npobj, NPIdentifier name);
typedef bool (*NPGetPropertyFunctionPtr)(NPObject* npobj, NPIdentifier name, NPVariant* result);
typedef bool (*NPSetPropertyFunctionPtr)(NPObject* npobj, NPIdentifier name,
                                         const NPVariant* value);
typedef bool (*NPRemovePropertyFunctionPtr)(NPObject* npobj, NPIdentifier name);
typedef bool (*NPEnumerationFunctionPtr)(NPObject* npobj, NPIdentifier** value,
                                         uint32_t* count);
typedef bool (*NPConstructFunctionPtr)(NPObject* npobj, const NPVariant* args,
                                       uint32_t argCount, NPVariant* result);
}

// Structure version 3 is the one that carries enumerate and construct.
const uint32_t NP_CLASS_STRUCT_VERSION_CTOR = 3;

struct NPClass {
  uint32_t structVersion;
  NPAllocateFunctionPtr allocate;
  NPDeallocateFunctionPtr deallocate;
  NPInvalidateFunctionPtr invalidate;
  NPHasMethodFunctionPtr hasMethod;
  NPInvokeFunctionPtr invoke;
  NPInvokeDefaultFunctionPtr invokeDefault;
  NPHasPropertyFunctionPtr hasProperty;
  NPGetPropertyFunctionPtr getProperty;
  NPSetPropertyFunctionPtr setProperty;
  NPRemovePropertyFunctionPtr removeProperty;
  NPEnumerationFunctionPtr enumerate;
  NPConstructFunctionPtr construct;
};

struct NPObject {
  NPClass* _class;
  uint32_t referenceCount;
};

// Entries the plug-in hands to the browser (version 27 table).
extern "C" {
typedef NPError (*NPP_NewProcPtr)(NPMIMEType pluginType, NPP instance, uint16_t mode,
                                  int16_t argc, char* argn[], char* argv[], NPSavedData* saved);
typedef NPError (*NPP_DestroyProcPtr)(NPP instance, NPSavedData** save);
typedef NPError (*NPP_SetWindowProcPtr)(NPP instance, NPWindow* window);
typedef NPError (*NPP_NewStreamProcPtr)(NPP instance, NPMIMEType type, NPStream* stream,
                                        NPBool seekable, uint16_t* stype);
typedef NPError (*NPP_DestroyStreamProcPtr)(NPP instance, NPStream* stream, NPReason reason);
typedef void (*NPP_StreamAsFileProcPtr)(NPP instance, NPStream* stream, const char* fname);
typedef int32_t (*NPP_WriteReadyProcPtr)(NPP instance, NPStream* stream);
typedef int32_t (*NPP_WriteProcPtr)(NPP instance, NPStream* stream, int32_t offset, int32_t len,
                                    void* buffer);
typedef void (*NPP_PrintProcPtr)(NPP instance, NPPrint* platformPrint);
typedef int16_t (*NPP_HandleEventProcPtr)(NPP instance, void* event);
typedef void (*NPP_URLNotifyProcPtr)(NPP instance, const char* url, NPReason reason,
                                     void* notifyData);
typedef NPError (*NPP_GetValueProcPtr)(NPP instance, NPPVariable variable, void* value);
typedef NPError (*NPP_SetValueProcPtr)(NPP instance, NPNVariable variable, void* value);
}

struct NPPluginFuncs {
  uint16_t size;
  uint16_t version;
  NPP_NewProcPtr newp;
  NPP_DestroyProcPtr destroy;
  NPP_SetWindowProcPtr setwindow;
  NPP_NewStreamProcPtr newstream;
  NPP_DestroyStreamProcPtr destroystream;
  NPP_StreamAsFileProcPtr asfile;
  NPP_WriteReadyProcPtr writeready;
  NPP_WriteProcPtr write;
  NPP_PrintProcPtr print;
  NPP_HandleEventProcPtr event;
  NPP_URLNotifyProcPtr urlnotify;
  void* javaClass;  // left as the browser set it
  NPP_GetValueProcPtr getvalue;
  NPP_SetValueProcPtr setvalue;
};

// Entries the browser hands to the plug-in. Only the ones the plug-in calls
// have exact prototypes; the others are kept as opaque pointers, copied
// but never called.
typedef void* NPN_Unused;
extern "C" {
typedef void* (*NPN_MemAllocProcPtr)(uint32_t size);
typedef void (*NPN_MemFreeProcPtr)(void* ptr);
typedef NPIdentifier (*NPN_GetStringIdentifierProcPtr)(const NPUTF8* name);
typedef NPObject* (*NPN_CreateObjectProcPtr)(NPP npp, NPClass* aClass);
typedef NPObject* (*NPN_RetainObjectProcPtr)(NPObject* obj);
typedef void (*NPN_ReleaseObjectProcPtr)(NPObject* obj);
typedef bool (*NPN_InvokeProcPtr)(NPP npp, NPObject* obj, NPIdentifier methodName,
                                  const NPVariant* args, uint32_t argCount, NPVariant* result);
typedef bool (*NPN_InvokeDefaultProcPtr)(NPP npp, NPObject* obj, const NPVariant* args,
                                         uint32_t argCount, NPVariant* result);
typedef bool (*NPN_HasMethodProcPtr)(NPP npp, NPObject* obj, NPIdentifier methodName);
typedef void (*NPN_ReleaseVariantValueProcPtr)(NPVariant* variant);
typedef void (*NPN_SetExceptionProcPtr)(NPObject* obj, const NPUTF8* message);
}

struct NPNetscapeFuncs {
  uint16_t size;
  uint16_t version;
  NPN_Unused geturl;
  NPN_Unused posturl;
  NPN_Unused requestread;
  NPN_Unused newstream;
  NPN_Unused write;
  NPN_Unused destroystream;
  NPN_Unused status;
  NPN_Unused uagent;
  NPN_MemAllocProcPtr memalloc;
  NPN_MemFreeProcPtr memfree;
  NPN_Unused memflush;
  NPN_Unused reloadplugins;
  NPN_Unused getJavaEnv;
  NPN_Unused getJavaPeer;
  NPN_Unused geturlnotify;
  NPN_Unused posturlnotify;
  NPN_Unused getvalue;
  NPN_Unused setvalue;
  NPN_Unused invalidaterect;
  NPN_Unused invalidateregion;
  NPN_Unused forceredraw;
  NPN_GetStringIdentifierProcPtr getstringidentifier;
  NPN_Unused getstringidentifiers;
  NPN_Unused getintidentifier;
  NPN_Unused identifierisstring;
  NPN_Unused utf8fromidentifier;
  NPN_Unused intfromidentifier;
  NPN_CreateObjectProcPtr createobject;
  NPN_RetainObjectProcPtr retainobject;
  NPN_ReleaseObjectProcPtr releaseobject;
  NPN_InvokeProcPtr invoke;
  NPN_InvokeDefaultProcPtr invokeDefault;
  NPN_Unused evaluate;
  NPN_Unused getproperty;
  NPN_Unused setproperty;
  NPN_Unused removeproperty;
  NPN_Unused hasproperty;
  NPN_HasMethodProcPtr hasmethod;
  NPN_ReleaseVariantValueProcPtr releasevariantvalue;
  NPN_SetExceptionProcPtr setexception;
  NPN_Unused pushpopupsenabledstate;
  NPN_Unused poppopupsenabledstate;
  NPN_Unused enumerate;
  NPN_Unused pluginthreadasynccall;
  NPN_Unused construct;
  NPN_Unused getvalueforurl;
  NPN_Unused setvalueforurl;
  NPN_Unused getauthenticationinfo;
  NPN_Unused scheduletimer;
  NPN_Unused unscheduletimer;
};

#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(NPVariant) == 16, "NPVariant: type, then an 8-byte aligned value");
static_assert(offsetof(NPVariant, value) == 8, "the value follows the type at +8");
static_assert(sizeof(NPWindow) == 32, "NPWindow keeps its 32-bit layout");
static_assert(sizeof(NPClass) == 52, "NPClass version 3 has twelve entries");
static_assert(offsetof(NPPluginFuncs, getvalue) == 52, "getvalue after the Java slot");
static_assert(sizeof(NPPluginFuncs) == 60, "the version 27 plug-in table");
static_assert(offsetof(NPNetscapeFuncs, memalloc) == 36, "memalloc is the ninth entry");
static_assert(offsetof(NPNetscapeFuncs, getstringidentifier) == 88, "identifier entries");
static_assert(offsetof(NPNetscapeFuncs, releasevariantvalue) == 156, "variant release");
static_assert(offsetof(NPNetscapeFuncs, construct) == 180, "construct");
static_assert(sizeof(NPNetscapeFuncs) == 204, "the table up to unscheduletimer");
#endif
