// Must not compile: a host that links the library reaches no internal header.
#include "FileSystem.h"
#include "store/PackageManager.h"
