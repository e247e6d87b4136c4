// Times a cold update of everything from a download server and the adding
// of the downloaded images, and prints the figures:
//   update_bench <origin> <product> <server version> <work folder> <tree folder>
// (1) from FileSystem::Create to IsAllReady with 4 download workers into an
//     empty data folder below the work folder, the update-server fixture
//     naming <origin>/ as the only base URL;
// (3) the images that update added, read from the tree folder, added again
//     through PackageManager::AddDownloadPackage into a second empty data
//     folder, against writing the same bytes to one plain file.
// ((2), the peers fetching the same packages, is the script's part; it reads
// the last two lines, "adder share <fraction>" and "update seconds <s>". With
// VELMOR_BENCH_UPDATE_ONLY set only (1) runs.) The log lines of (1) tell where the time
// went: the workers' time downloading, starting a thread per task and
// between tasks, and the adder's busy time. With VELMOR_BENCH_LOG set,
// every line of (1) goes into that file with its time since Create.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "base/CriticalSection.h"
#include "FakeUpdateServer.h"
#include "FileSystem.h"
#include "FileSystemFacade.h"
#include "ProductReplyBuilder.h"
#include "update/UpdateManager.h"

namespace {

constexpr uint32_t kWorkers = 4;
// What the browser plug-ins pass unless a page says otherwise.
constexpr uint32_t kMaxPackageSize = 524288000;
constexpr double kMiB = 1024.0 * 1024.0;

double Now() {
  LARGE_INTEGER frequency, counter;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

bool StartsWith(const std::string& text, const char* prefix) {
  return text.compare(0, std::strlen(prefix), prefix) == 0;
}

// The text between a prefix and the next ", " (a URL or a package name).
std::string FieldAfter(const std::string& text, const char* prefix) {
  const size_t start = std::strlen(prefix);
  const size_t end = text.find(", ", start);
  return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

struct TimedLine {
  double time;
  int level;
  std::string text;
};

// Keeps every line with the time it was logged; errors also go to stderr
// unless they are expected.
class TimedLog : public FileSystem::ILogSystem {
 public:
  explicit TimedLog(bool echoErrors) : echoErrors_(echoErrors) {}
  void Log(int level, const char* text) override {
    const double time = Now();
    if (echoErrors_ && level == FileSystem::kLogError) std::fprintf(stderr, "%s\n", text);
    FileSystem::ScopedLock guard(lock_);
    lines_.push_back(TimedLine{time, level, text});
  }
  std::vector<TimedLine> Lines() {
    FileSystem::ScopedLock guard(lock_);
    return lines_;
  }

 private:
  bool echoErrors_;
  FileSystem::CriticalSection lock_;
  std::vector<TimedLine> lines_;
};

FileSystem::IFileSystem* CreateFileSystem(const std::string& dataFolder, const char* product,
                                          UpdateServerNode* servers, FileSystem::ILogSystem* log) {
  FileSystemParams params;
  std::memset(&params, 0, sizeof params);
  params.size = FileSystem::kParamsSize;
  params.version = FileSystem::kParamsVersion;
  params.productName = product;
  params.dataFolder = dataFolder.c_str();
  params.packageBaseName = "data";
  params.packageExtension = "pak";
  params.updateServers = servers;
  params.updateThreadCount = kWorkers;
  params.maxPackageSize = kMaxPackageSize;
  params.logSystem = log;
  params.updateMode = 1;
  return FileSystem::Create(&params);
}

// What the log says about one run of (1).
struct RunFigures {
  std::vector<std::string> added;  // package names in adding order
  double addedBytes = 0;
  double adderBusy = 0;            // sum of begin-to-success spans
  double firstAdd = 0, lastAdd = 0;
  double downloadBusy = 0;         // sum of "Task go" to "Finish task" spans
  double lastDownload = 0;
  double headTime = 0;             // sum of HEAD exchanges
  std::vector<double> threadStarts;  // "Begin download file" to "Task go"
  double readyForUpdate = 0;
  size_t downloads = 0;
  size_t failedAdds = 0;
};

RunFigures Analyse(const std::vector<TimedLine>& lines, double start) {
  static const char kBegin[] = "begin add file to package, ";
  static const char kAdded[] = "add file to package success, ";
  static const char kAddFailed[] = "add file to package failed, ";
  static const char kBeginDownload[] = "Begin download file \"";
  static const char kTaskGo[] = "Task go ";
  static const char kFinished[] = "Finish task session normally ";
  static const char kSendHead[] = "Send http head request ";
  static const char kHeadDone[] = "get http head of file ";
  static const char kHeadLength[] = " success, Length=";
  RunFigures figures;
  std::map<std::string, double> begins, downloadBegins, tasks, heads;
  for (const TimedLine& line : lines) {
    const std::string& text = line.text;
    if (StartsWith(text, kBegin)) {
      begins[FieldAfter(text, kBegin)] = line.time;
      if (figures.firstAdd == 0) figures.firstAdd = line.time - start;
    } else if (StartsWith(text, kAdded)) {
      const std::string name = FieldAfter(text, kAdded);
      figures.added.push_back(name);
      figures.adderBusy += line.time - begins[name];
      unsigned size = 0;
      const size_t at = text.find(", size ");
      if (at != std::string::npos) std::sscanf(text.c_str() + at, ", size %u", &size);
      figures.addedBytes += size;
      figures.lastAdd = line.time - start;
    } else if (StartsWith(text, kAddFailed)) {
      ++figures.failedAdds;
    } else if (StartsWith(text, kBeginDownload)) {
      const std::string name = text.substr(std::strlen(kBeginDownload));
      downloadBegins[name.substr(0, name.find('"'))] = line.time;
    } else if (StartsWith(text, kTaskGo)) {
      std::string url = text.substr(std::strlen(kTaskGo));
      if (!url.empty() && url.back() == '.') url.pop_back();
      if (tasks.count(url) == 0) {
        const auto begun = downloadBegins.find(url.substr(url.rfind('/') + 1));
        if (begun != downloadBegins.end())
          figures.threadStarts.push_back(line.time - begun->second);
        tasks[url] = line.time;
      }
    } else if (StartsWith(text, kFinished)) {
      const std::string url = FieldAfter(text, kFinished);
      figures.downloadBusy += line.time - tasks[url];
      figures.lastDownload = line.time - start;
      ++figures.downloads;
    } else if (StartsWith(text, kSendHead)) {
      heads[FieldAfter(text, kSendHead)] = line.time;
    } else if (StartsWith(text, kHeadDone) && text.find(kHeadLength) != std::string::npos) {
      const size_t urlStart = std::strlen(kHeadDone);
      const std::string url = text.substr(urlStart, text.find(kHeadLength) - urlStart);
      const auto sent = heads.find(url);
      if (sent != heads.end()) figures.headTime += line.time - sent->second;
    } else if (text == "Init Update Manager finished, now can open online files.") {
      figures.readyForUpdate = line.time - start;
    }
  }
  return figures;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

double Sum(const std::vector<double>& values) {
  double sum = 0;
  for (double value : values) sum += value;
  return sum;
}

bool UpdateEverything(const std::string& origin, const char* product, uint32_t version,
                      const std::string& dataFolder, RunFigures* figures, double* seconds) {
  TestFixtures::FakeUpdateServer updateServer;
  if (!updateServer.Ok()) return false;
  TestFixtures::ReplyPlan reply = TestFixtures::GoodReply(product, version);
  reply.entries.clear();
  reply.entries.push_back({origin + "/", false});
  updateServer.AddScript(TestFixtures::Answer(TestFixtures::BuildReply(reply)));
  UpdateServerNode server{"127.0.0.1", updateServer.Port(), nullptr};
  TimedLog log(true);
  CreateDirectoryA(dataFolder.c_str(), nullptr);

  const double start = Now();
  FileSystem::IFileSystem* fileSystem = CreateFileSystem(dataFolder, product, &server, &log);
  if (fileSystem == nullptr) return false;
  fileSystem->UpdateAll();
  // Polled as a host would from its frame loop; a broken run gives up.
  bool ready = false;
  while (!(ready = fileSystem->IsAllReady()) && Now() - start < 600) Sleep(1);
  *seconds = Now() - start;
  fileSystem->Release();
  const std::vector<TimedLine> lines = log.Lines();
  *figures = Analyse(lines, start);
  // Every line with its time since Create, for a closer look by hand.
  const char* dump = std::getenv("VELMOR_BENCH_LOG");
  if (dump != nullptr) {
    FILE* file = std::fopen(dump, "w");
    if (file != nullptr) {
      for (const TimedLine& line : lines)
        std::fprintf(file, "%.6f %d %s\n", line.time - start, line.level, line.text.c_str());
      std::fclose(file);
    }
  }
  return ready;
}

bool ReadImage(const std::string& path, std::vector<uint8_t>* bytes) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  std::fseek(file, 0, SEEK_END);
  const long size = std::ftell(file);
  std::fseek(file, 0, SEEK_SET);
  bytes->resize(size > 0 ? static_cast<size_t>(size) : 0);
  const bool read = size > 0 && std::fread(bytes->data(), bytes->size(), 1, file) == 1;
  std::fclose(file);
  return read;
}

// "%08x_%08x_%u.pak" back into its key and version.
bool ParsePackageName(const std::string& name, uint32_t* hash1, uint32_t* hash2,
                      uint32_t* version) {
  unsigned a = 0, b = 0, v = 0;
  if (std::sscanf(name.c_str(), "%8x_%8x_%u.pak", &a, &b, &v) != 3) return false;
  *hash1 = a;
  *hash2 = b;
  *version = v;
  return true;
}

struct AdderFigures {
  double bytes = 0;
  double addSeconds = 0;
  double writeSeconds = 0;
};

bool TimeAdder(const std::vector<std::string>& names, const std::string& treeFolder,
               const std::string& workFolder, AdderFigures* figures) {
  std::vector<std::vector<uint8_t>> images(names.size());
  for (size_t i = 0; i < names.size(); ++i) {
    if (!ReadImage(treeFolder + "/" + names[i], &images[i])) {
      std::fprintf(stderr, "cannot read %s\n", names[i].c_str());
      return false;
    }
    figures->bytes += static_cast<double>(images[i].size());
  }
  // No update server: the query gives up at once and nothing else runs
  // beside the adding.
  FileSystem::UpdateManager::QueryTiming timing;
  timing.retryCount = 0;
  FileSystem::UpdateManager::SetQueryTiming(timing);
  // Its query is bound to fail; the adding is checked by its results.
  TimedLog log(false);
  const std::string dataFolder = workFolder + "/adder";
  CreateDirectoryA(dataFolder.c_str(), nullptr);
  FileSystem::IFileSystem* store = CreateFileSystem(dataFolder, "adderbench", nullptr, &log);
  if (store == nullptr) return false;
  FileSystem::PackageManager& packages = static_cast<FileSystem::FileSystem*>(store)->Packages();
  bool added = true;
  double start = Now();
  for (size_t i = 0; i < names.size() && added; ++i) {
    uint32_t hash1 = 0, hash2 = 0, version = 0;
    added = ParsePackageName(names[i], &hash1, &hash2, &version) &&
            packages.AddDownloadPackage(images[i].data(), static_cast<uint32_t>(images[i].size()),
                                        hash1, hash2, version, nullptr, nullptr);
  }
  figures->addSeconds = Now() - start;
  store->Release();
  if (!added) return false;

  const std::string plainPath = workFolder + "/plain.bin";
  start = Now();
  HANDLE plain = CreateFileA(plainPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
  if (plain == INVALID_HANDLE_VALUE) return false;
  bool written = true;
  for (const std::vector<uint8_t>& image : images) {
    DWORD count = 0;
    written = written && WriteFile(plain, image.data(), static_cast<DWORD>(image.size()), &count,
                                   nullptr) && count == image.size();
  }
  CloseHandle(plain);
  figures->writeSeconds = Now() - start;
  return written;
}

void PrintRun(double seconds, const RunFigures& f) {
  std::printf("(1) update-all, %u workers, cold: %.3f s from Create to IsAllReady\n", kWorkers,
              seconds);
  std::printf("    ready for update after %.3f s; %zu downloads, the last done at %.3f s;"
              " %zu images added, %.1f MiB, from %.3f s to %.3f s%s\n",
              f.readyForUpdate, f.downloads, f.lastDownload, f.added.size(), f.addedBytes / kMiB,
              f.firstAdd, f.lastAdd, f.failedAdds != 0 ? ", SOME ADDS FAILED" : "");
  const double workerTime = seconds * kWorkers;
  const double threadStarts = Sum(f.threadStarts);
  std::printf("    worker time %.3f s: downloading %.3f s (%.2f ms a download, HEAD exchanges"
              " %.3f s), starting task threads %.3f s (median %.2f ms), between tasks %.3f s\n",
              workerTime, f.downloadBusy,
              f.downloads != 0 ? 1000 * f.downloadBusy / f.downloads : 0.0, f.headTime,
              threadStarts, 1000 * Median(f.threadStarts),
              workerTime - f.downloadBusy - threadStarts);
  std::printf("    adder busy %.3f s (%.1f MiB/s while busy), %.0f%% of the update\n",
              f.adderBusy, f.adderBusy > 0 ? f.addedBytes / kMiB / f.adderBusy : 0.0,
              seconds > 0 ? 100 * f.adderBusy / seconds : 0.0);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fprintf(stderr,
                 "usage: update_bench <origin> <product> <server version> <work folder>"
                 " <tree folder>\n");
    return 2;
  }
  const std::string origin = argv[1];
  const char* product = argv[2];
  const uint32_t version = static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 10));
  const std::string work = argv[4];
  const std::string tree = argv[5];
  CreateDirectoryA(work.c_str(), nullptr);

  RunFigures run;
  double seconds = 0;
  if (!UpdateEverything(origin, product, version, work + "/data", &run, &seconds)) {
    std::printf("update-all did not finish (%.3f s)\n", seconds);
    return 1;
  }
  PrintRun(seconds, run);
  // Repeated runs of a script want (1) alone.
  if (std::getenv("VELMOR_BENCH_UPDATE_ONLY") != nullptr) {
    std::printf("adder share %.3f\n", seconds > 0 ? run.adderBusy / seconds : 0.0);
    std::printf("update seconds %.3f\n", seconds);
    return 0;
  }

  AdderFigures adder;
  if (!TimeAdder(run.added, tree, work, &adder)) {
    std::printf("adding the images again failed\n");
    return 1;
  }
  std::printf("(3) adding %zu images, %.1f MiB: AddDownloadPackage %.3f s (%.1f MiB/s),"
              " one plain file %.3f s (%.1f MiB/s), ratio %.2f\n",
              run.added.size(), adder.bytes / kMiB, adder.addSeconds,
              adder.bytes / kMiB / adder.addSeconds, adder.writeSeconds,
              adder.bytes / kMiB / adder.writeSeconds, adder.addSeconds / adder.writeSeconds);
  std::printf("adder share %.3f\n", seconds > 0 ? run.adderBusy / seconds : 0.0);
  std::printf("update seconds %.3f\n", seconds);
  return 0;
}
