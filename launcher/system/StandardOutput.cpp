#include "StandardOutput.h"

#include <cstdio>

StandardOutputUse ClassifyStandardOutput(HANDLE output) {
  if (output == nullptr || output == INVALID_HANDLE_VALUE) return StandardOutputUse::Skip;
  switch (GetFileType(output)) {
    case FILE_TYPE_CHAR: {
      DWORD mode = 0;
      return GetConsoleMode(output, &mode) ? StandardOutputUse::Direct : StandardOutputUse::Skip;
    }
    case FILE_TYPE_DISK:
    case FILE_TYPE_PIPE:
      return StandardOutputUse::Buffered;
    default:
      return StandardOutputUse::Skip;
  }
}

StandardOutputUse PrepareStandardOutput() {
  static const StandardOutputUse use = [] {
    StandardOutputUse found = ClassifyStandardOutput(GetStdHandle(STD_OUTPUT_HANDLE));
    if (found == StandardOutputUse::Buffered) std::setvbuf(stdout, nullptr, _IOFBF, 1 << 16);
    return found;
  }();
  return use;
}
