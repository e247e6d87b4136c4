// The game's run loop: the game is activated on every signal of a 16 ms
// periodic timer and window input is handled as soon as it arrives, until
// the quit message. When the timer cannot be made or the wait fails, the
// loop waits for input with a 16 ms limit instead, so it neither spins nor
// stops handling messages.
#pragma once

#include <windows.h>

class IGameRunTarget {
 public:
  virtual ~IGameRunTarget() {}
  virtual void Activate() = 0;
  // The quit message arrived: the game ends.
  virtual void Unload() = 0;
};

// Returns the quit message's WPARAM. withoutTimer forces the fallback wait.
int RunGameLoop(IGameRunTarget* game, bool withoutTimer = false);
