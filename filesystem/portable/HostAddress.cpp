#include "HostAddress.h"

#include <cstring>

namespace FileSystem {

bool HostAddress::FirstIPv4(int family, int length, const char* const* addresses,
                            uint8_t out[4]) {
  if (family != kFamilyIPv4 || length != 4 || addresses == nullptr || addresses[0] == nullptr)
    return false;
  std::memcpy(out, addresses[0], 4);
  return true;
}

}  // namespace FileSystem
