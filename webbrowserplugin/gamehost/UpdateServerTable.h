// The eleven built-in update servers: the product's main update server and
// ten numbered alternates, the first six on port 9009, the last five on port
// 80. A build with VELMOR_LOOPBACK_SERVERS points every host at 127.0.0.1
// with ports and order unchanged.
#pragma once

#include <cstddef>
#include <cstdint>

struct BuiltInUpdateServer {
  const char* host;
  const wchar_t* wideHost;
  uint32_t port;
};

constexpr size_t kBuiltInUpdateServerCount = 11;

extern const BuiltInUpdateServer kBuiltInUpdateServers[kBuiltInUpdateServerCount];
