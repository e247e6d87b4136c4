#include "base/KillPoints.h"

namespace FileSystem {

KillPoints::Hook KillPoints::hook_ = nullptr;

void KillPoints::SetHook(Hook hook) { hook_ = hook; }

}  // namespace FileSystem
