// What the update-server tests share: a facade object that logs into a
// recording sink, short time-outs, and waits that cannot hang a run.
#pragma once

#include <windows.h>

#include <string>

#include "FileSystemFacade.h"
#include "TestSupport.h"
#include "net/UpdateServer.h"

namespace UpdateServerTests {

constexpr const char* kProduct = "velmor";

// Long enough for a loaded machine to pass every good exchange, short
// enough that a silent server ends its test quickly.
constexpr uint32_t kConnectMs = 5000;
constexpr uint32_t kSocketMs = 1000;
constexpr uint32_t kReceiveMs = 3000;
constexpr uint32_t kShortReceiveMs = 200;

// The log sink must outlive the facade object, which logs as it ends.
struct Logging {
  Logging() { fileSystem.Logger().SetSink(&log); }
  ~Logging() { fileSystem.Logger().SetSink(nullptr); }
  TestSupport::RecordingLog log;
  FileSystem::FileSystem fileSystem;
};

// Polls a condition; gives up after a minute so that a fault fails the test
// instead of hanging the run.
template <typename Condition>
bool WaitFor(Condition condition) {
  for (int i = 0; i < 60000; ++i) {
    if (condition()) return true;
    Sleep(1);
  }
  return condition();
}

inline bool WaitDone(FileSystem::UpdateServer& server) {
  return WaitFor([&] { return server.Done(); });
}

inline std::string ConnectLine(const std::string& host, unsigned port) {
  return "Connect to update server \"" + host + ", " + std::to_string(port) + "\"...";
}

inline std::string ConnectFailedLine(const std::string& host, unsigned port) {
  return "Connect to update server \"" + host + ", " + std::to_string(port) + "\" failed.";
}

}  // namespace UpdateServerTests
