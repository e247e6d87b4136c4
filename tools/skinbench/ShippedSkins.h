// The skin containers embedded in the running program.
#pragma once

#include <cstddef>
#include <vector>

struct ShippedSkin {
  int id;
  const void* data;
  size_t size;
};

std::vector<ShippedSkin> LoadShippedSkins();
