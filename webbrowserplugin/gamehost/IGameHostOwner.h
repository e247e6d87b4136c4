// What the game host needs of the front-end object that embeds it: a way to
// raise a page event. The owner converts the neutral arguments to its own
// variant type and delivers the event synchronously on the browser thread.
#pragma once

#include <cstddef>

#include "ScriptValue.h"

class IGameHostOwner {
 public:
  // number and name are those of the event table (ScriptTable.h). Texts
  // taken from the file system arrive as ScriptType::Text (pass them on in
  // the front end's narrow encoding), the game's texts as ScriptType::WideText.
  // A listener may call back into the host from inside this call.
  virtual void FirePageEvent(int number, const char* name, const ScriptValue* args,
                             size_t count) = 0;

 protected:
  ~IGameHostOwner() {}
};
