#include "base/Thread.h"

#include <process.h>

namespace FileSystem {

Thread::~Thread() { Join(); }

bool Thread::Start(Callback callback, void* argument) {
  if (handle_ != nullptr) return false;
  callback_ = callback;
  argument_ = argument;
  const uintptr_t handle = _beginthreadex(nullptr, 0, &Thread::Entry, this, 0, nullptr);
  handle_ = reinterpret_cast<HANDLE>(handle);
  return handle_ != nullptr;
}

void Thread::Join() {
  if (handle_ == nullptr) return;
  WaitForSingleObject(handle_, INFINITE);
  CloseHandle(handle_);
  handle_ = nullptr;
}

unsigned __stdcall Thread::Entry(void* self) {
  Thread* thread = static_cast<Thread*>(self);
  if (thread->callback_ != nullptr) thread->callback_(thread->argument_);
  return 0;
}

}  // namespace FileSystem

