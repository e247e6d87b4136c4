// The neutral value that crosses between a front end's own variant type and
// the game host: page arguments, method results and event arguments. Narrow
// text is handed over in the front end's own narrow encoding (the UTF-8 bytes
// a Netscape-API page sent, the ANSI code page of the control's strings) and
// passed through untouched; wide text is UTF-16 and goes to Windows or the game.
#pragma once

#include <cstdint>
#include <string>

enum class ScriptType { Void, Bool, Int32, UInt32, Float, Text, WideText };

// Name of a type for diagnostics ("bool", "uint32", ...).
const char* ScriptTypeName(ScriptType type);

struct ScriptValue {
  ScriptType type = ScriptType::Void;
  bool boolValue = false;
  int32_t int32Value = 0;
  uint32_t uint32Value = 0;
  float floatValue = 0.0f;
  std::string text;       // ScriptType::Text
  std::wstring wideText;  // ScriptType::WideText

  static ScriptValue Void();
  static ScriptValue Bool(bool value);
  static ScriptValue Int32(int32_t value);
  static ScriptValue UInt32(uint32_t value);
  static ScriptValue Float(float value);
  static ScriptValue Text(const std::string& value);
  static ScriptValue WideText(const std::wstring& value);
};
