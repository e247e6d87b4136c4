// "runstate.cfg": which one-time events already happened on this machine,
// one "[name]=true;" line each, in the product's local data folder.
#pragma once

#include <string>

class RunState {
 public:
  // folder: where "runstate.cfg" lies (ANSI code page; with or without a
  // trailing separator). It is created with its parents when first written.
  explicit RunState(const std::string& folder);

  // True when the event was recorded before; otherwise records it and
  // returns false. A file that cannot be read counts as empty; one that
  // cannot be written leaves the event new for the next call too.
  bool TestAndSet(const char* name);

  const std::string& Path() const { return path_; }

 private:
  std::string ReadContent() const;
  bool WriteContent(const std::string& content) const;

  std::string folder_;
  std::string path_;
};
