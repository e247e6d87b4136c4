// Downloads one package with HttpDownloader and prints the wall time and the
// process CPU time of the transfer, in seconds:
//   download_bench <base URL> <file name>
// Output: "wall <s> cpu <s> bytes <n>", or a line starting with "failed".
#include <windows.h>

#include <cstdio>
#include <string>

#include "FileSystem.h"
#include "FileSystemFacade.h"
#include "net/HttpDownloader.h"
#include "PeerTimer.h"
#include "base/WakeEvent.h"

namespace {

class SilentLog : public FileSystem::ILogSystem {
 public:
  void Log(int level, const char* text) override {
    if (level == FileSystem::kLogError) std::fprintf(stderr, "%s\n", text);
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: download_bench <base URL> <file name>\n");
    return 2;
  }
  SilentLog log;
  FileSystem::FileSystem fileSystem;
  fileSystem.Logger().SetSink(&log);
  int result = 1;
  {
    // Told when the run ends rather than polling it, so that the host's side
    // costs the process nothing while the worker receives.
    FileSystem::WakeEvent finished;
    FileSystem::HttpDownloader worker(fileSystem.Logger(), 0x10000, false);
    worker.SetFinishedEvent(&finished);
    const char* urls[] = {argv[1]};
    const double wallStart = Peers::WallSeconds();
    const double cpuStart = Peers::ProcessCpuSeconds();
    if (worker.Begin(1, 2, 3, urls, 1, argv[2])) {
      while (worker.IsBusy()) finished.Wait(1000);
    }
    const double wall = Peers::WallSeconds() - wallStart;
    const double cpu = Peers::ProcessCpuSeconds() - cpuStart;
    uint8_t* image = nullptr;
    uint32_t size = 0;
    if (worker.IsSucceeded() && worker.TakeImage(&image, &size) && image != nullptr) {
      std::printf("wall %.3f cpu %.3f bytes %u\n", wall, cpu, size);
      result = 0;
    } else {
      std::printf("failed after %.3f s\n", wall);
    }
    delete[] image;
    worker.Finish();
  }
  fileSystem.Logger().SetSink(nullptr);
  return result;
}
