// Whether a key's content is here at the version the product lists. In
// update mode that is the update engine's to say; the store asks it before
// it restores a loose file, and the engine's groups and queues ask it too.
#pragma once

#include "ResourceName.h"

namespace FileSystem {

class KeyReadiness {
 public:
  // Looked up through the key's link target when it has one.
  virtual bool IsKeyReady(const ResourceKey& key) = 0;

 protected:
  ~KeyReadiness() = default;
};

}  // namespace FileSystem
