#include "ResourceGroup.h"

namespace FileSystem {

ResourceGroup::ResourceGroup(const std::string& name, int updateFileCount, bool wholeUpdate)
    : name_(name),
      configFileName_(name + ".pcfg"),
      configKey_(HashResourceName((name + ".pcfg").c_str())),
      packageKey_(HashResourceName((name + ".pak").c_str())),
      updateFileCount_(updateFileCount),
      wholeUpdate_(wholeUpdate) {}

}  // namespace FileSystem
