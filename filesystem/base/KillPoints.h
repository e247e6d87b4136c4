// Named steps of the store and update code at which a crash test can stop a
// process and kill it there. Nothing happens at a step unless a test program
// installed a hook (hosts have no way to: this header is internal), and then
// the step costs one load of a pointer.
#pragma once

#include <cstdint>

namespace FileSystem {

class KillPoints {
 public:
  // Called on the thread that reaches the step, with the resource key the
  // step works on (0, 0 where it has none). The hook may block that thread.
  using Hook = void (*)(const char* step, uint32_t hash1, uint32_t hash2);

  // Set once, before the file system starts; null removes the hook.
  static void SetHook(Hook hook);
  static void Reach(const char* step, uint32_t hash1 = 0, uint32_t hash2 = 0) {
    const Hook hook = hook_;
    if (hook != nullptr) hook(step, hash1, hash2);
  }

 private:
  static Hook hook_;
};

}  // namespace FileSystem
