// The page script interface shared by both front ends: the 45 methods and 15
// events with their numbers (the control's dispatch identifiers), names,
// parameter and result types, and one neutral handler per method. A front end
// converts its own variants to the parameter types given here, calls
// InvokeScriptMethod and converts the result back.
#pragma once

#include <cstddef>

#include "ScriptValue.h"

class GameLoader;
class KeyRouting;

constexpr int kScriptMethodCount = 45;
constexpr int kScriptEventCount = 15;
constexpr int kMaxScriptParameters = 4;

struct ScriptMethod {
  int number;  // 1..45
  const char* name;
  int parameterCount;
  ScriptType parameters[kMaxScriptParameters];
  const char* parameterNames[kMaxScriptParameters];
  ScriptType result;
};

struct ScriptEvent {
  int number;  // 1..15
  const char* name;
  int argumentCount;
  ScriptType arguments[2];
  const char* argumentNames[2];
};

// Event numbers, for the host and the front ends.
enum ScriptEventNumber {
  kEventOnInit = 1,
  kEventOnUpdateStateChanged = 2,
  kEventOnReadyForUpdate = 3,
  kEventOnUpdateTaskCountChanged = 4,
  kEventOnUpdateFileSuccess = 5,
  kEventOnUpdateFileFailed = 6,
  kEventOnUpdateResourceGroupSuccess = 7,
  kEventOnUpdateResourceGroupFailed = 8,
  kEventOnUpdateProgressChanged = 9,
  kEventOnUpdateSpeedChanged = 10,
  kEventOnRunGameSuccess = 11,
  kEventOnRunGameFailed = 12,
  kEventOnLoadingGameProgressChanged = 13,
  kEventOnGameEvent = 14,
  kEventOnGameExit = 15,
};

// The tables, in number order (entry i has number i + 1).
extern const ScriptMethod kScriptMethods[kScriptMethodCount];
extern const ScriptEvent kScriptEvents[kScriptEventCount];

// Lookups; null for an unknown number or name (names match exactly).
const ScriptMethod* FindScriptMethod(int number);
const ScriptMethod* FindScriptMethodByName(const char* name);
const ScriptEvent* FindScriptEvent(int number);
const ScriptEvent* FindScriptEventByName(const char* name);

// What a front end hands to the methods: its game host and its key sets and
// flags (both owned by the front-end object).
struct ScriptContext {
  GameLoader* loader;
  KeyRouting* keys;
};

enum class ScriptCallStatus {
  Ok,
  UnknownMethod,
  WrongArgumentCount,
  WrongArgumentType,
};

// Runs method number with args, which must match the table's parameter
// types exactly (the front end converts first). On Ok, *result holds a value
// of the method's result type. Any other status is a failed script call and
// leaves *result Void. Page events may fire from inside the call.
ScriptCallStatus InvokeScriptMethod(const ScriptContext& context, int number,
                                    const ScriptValue* args, size_t count, ScriptValue* result);
