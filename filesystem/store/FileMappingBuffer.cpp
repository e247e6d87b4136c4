#include "store/FileMappingBuffer.h"

#include <windows.h>

namespace FileSystem {

void ViewRegistry::AddReference() { InterlockedIncrement(&references); }

void ViewRegistry::ReleaseReference() {
  if (InterlockedDecrement(&references) == 0) delete this;
}

FileMappingBuffer::FileMappingBuffer(ViewRegistry* registry, FileMapping* owner, void* base,
                                     size_t viewSize, uint8_t* data, uint32_t size)
    : registry_(registry), owner_(owner), base_(base), viewSize_(viewSize), data_(data),
      size_(size) {
  registry_->AddReference();
}

FileMappingBuffer::~FileMappingBuffer() {
  // The view keeps the section alive on its own, so it stays readable even
  // after its mapping was closed; it is unmapped only here, by its one owner.
  if (base_ != nullptr) UnmapViewOfFile(base_);
  {
    ScopedLock guard(registry_->lock);
    if (owner_ != nullptr) Unlink();
  }
  registry_->ReleaseReference();
}

bool FileMappingBuffer::Flush() {
  return base_ != nullptr && FlushViewOfFile(base_, viewSize_) != 0;
}

void FileMappingBuffer::Unlink() {
  if (previous_ != nullptr) previous_->next_ = next_;
  else registry_->head = next_;
  if (next_ != nullptr) next_->previous_ = previous_;
  next_ = previous_ = nullptr;
  owner_ = nullptr;
}

}  // namespace FileSystem
