// Reads the address a name resolver answered with. The update servers are
// reached over IPv4 sockets only, so an answer of any other family, or with
// an address of another size, is refused instead of being cut to four bytes.
#pragma once

#include <cstdint>

namespace FileSystem {

class HostAddress {
 public:
  static constexpr int kFamilyIPv4 = 2;   // AF_INET
  static constexpr int kFamilyIPv6 = 23;  // AF_INET6 on Windows

  // From a resolver's host entry: its address family, the length of each
  // address and its null-ended list of addresses. True with the first
  // address's four bytes, in the order they are sent.
  static bool FirstIPv4(int family, int length, const char* const* addresses, uint8_t out[4]);
};

}  // namespace FileSystem
