// Times the launcher's update phase against the file system's own update of
// everything, on one published product from one download server:
//   launcher_update_bench <velmor.exe> <origin> <manifest> <work folder> [rounds]
// The manifest is the publisher's; its "group" and "single" statements name
// what there is to update. Both sides start from a data folder that holds
// only the launcher's own file (the first single file, standing in for
// velmor.exe, so that the launcher goes straight to the resources):
// (1) the library: FileSystem::Create, UpdateAll, IsAllReady polled every
//     millisecond, its log lines written to a file as a host writes them;
// (2) the library again, given the launcher's requests (UpdateFile and
//     UpdateResourceGroup for each name) instead of UpdateAll;
// (3) velmor.exe in its own process, told by its settings file to update
//     every single file and every group with the same workers and limits,
//     timed from its log's "Update phase started." to "Update finished."
//     (and from the process start, which adds Wine's process start-up).
// The rounds take (1), (2) and (3) in turn; medians, minimum, maximum and the ratio
// of the medians are printed.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "FakeUpdateServer.h"
#include "FileSystem.h"
#include "ProductReplyBuilder.h"

namespace {

constexpr uint32_t kWorkers = 4;
constexpr uint32_t kMaxPackageSize = 524288000;
constexpr uint32_t kMaxDeltaPackageSize = 16777216;
constexpr DWORD kRunBoundMs = 600000;

double Now() {
  LARGE_INTEGER frequency, counter;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

struct Product {
  std::string name;
  uint32_t version = 0;
  std::vector<std::string> groups;
  std::vector<std::string> singles;
};

bool ReadManifest(const char* path, Product* product) {
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string statement, value;
    fields >> statement;
    if (statement == "product") fields >> product->name;
    if (statement == "serverversion") fields >> product->version;
    if (statement == "group" && fields >> value) product->groups.push_back(value);
    if (statement == "single")
      while (fields >> value) product->singles.push_back(value);
  }
  return !product->name.empty() && product->version != 0 && !product->singles.empty();
}

// The host's side of the library's log: every line into a file, with a
// line end, as a host that keeps a log does.
class FileLog : public FileSystem::ILogSystem {
 public:
  explicit FileLog(const std::string& path) {
    file_ = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0,
                        nullptr);
    InitializeCriticalSection(&lock_);
  }
  ~FileLog() override {
    if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
    DeleteCriticalSection(&lock_);
  }
  void Log(int, const char* text) override {
    std::string line = std::string(text) + "\r\n";
    EnterCriticalSection(&lock_);
    DWORD written = 0;
    if (file_ != INVALID_HANDLE_VALUE)
      ::WriteFile(file_, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    LeaveCriticalSection(&lock_);
  }

 private:
  HANDLE file_ = INVALID_HANDLE_VALUE;
  CRITICAL_SECTION lock_;
};

FileSystem::IFileSystem* CreateFileSystem(const std::string& dataFolder, const Product& product,
                                          UpdateServerNode* server, FileSystem::ILogSystem* log) {
  static UpdateGroupNode group{"default", 1, nullptr};
  FileSystemParams params;
  std::memset(&params, 0, sizeof params);
  params.size = FileSystem::kParamsSize;
  params.version = FileSystem::kParamsVersion;
  params.productName = product.name.c_str();
  params.dataFolder = dataFolder.c_str();
  params.packageBaseName = "data";
  params.packageExtension = "pak";
  params.updateServers = server;
  params.updateGroups = &group;
  params.updateThreadCount = kWorkers;
  params.maxPackageSize = kMaxPackageSize;
  params.maxDeltaPackageSize = kMaxDeltaPackageSize;
  params.logSystem = log;
  params.updateMode = 1;
  params.skipHeadRequest = 1;
  return FileSystem::Create(&params);
}

// Waits, a millisecond apart, until done() holds; false at the bound.
template <typename Done>
bool PollUntil(Done done, DWORD boundMs) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > boundMs) return false;
    Sleep(1);
  }
  return true;
}

// One update from a fresh file system on the folder: made, ready for
// update, asked by `ask`, polled by `done` until it is over, released; timed
// from the start to the end of `done`.
template <typename Ask, typename Done>
bool UpdateRound(const std::string& folder, const char* logName, const Product& product,
                 UpdateServerNode* server, Ask ask, Done done, double* seconds) {
  FileLog log(folder + logName);
  const double start = Now();
  FileSystem::IFileSystem* fileSystem = CreateFileSystem(folder, product, server, &log);
  if (fileSystem == nullptr) return false;
  bool ok = PollUntil([&] { return fileSystem->IsReadyForUpdate(); }, kRunBoundMs) &&
            ask(fileSystem) && done(fileSystem);
  *seconds = Now() - start;
  fileSystem->Release();
  return ok;
}

// A fresh data folder holding the launcher's own file, fetched untimed.
bool PrepareFolder(const std::string& folder, const Product& product, UpdateServerNode* server) {
  if (!CreateDirectoryA(folder.c_str(), nullptr)) return false;
  const char* updater = product.singles.front().c_str();
  double seconds = 0;
  return UpdateRound(
      folder, "prepare.log", product, server,
      [&](FileSystem::IFileSystem* fileSystem) { return fileSystem->UpdateFile(updater, "default"); },
      [&](FileSystem::IFileSystem* fileSystem) {
        return PollUntil([&] { return fileSystem->IsFileReady(updater); }, kRunBoundMs);
      },
      &seconds);
}

bool LibraryRound(const std::string& folder, const Product& product, UpdateServerNode* server,
                  double* seconds) {
  return UpdateRound(
      folder, "library.log", product, server,
      [](FileSystem::IFileSystem* fileSystem) { return fileSystem->UpdateAll(); },
      [](FileSystem::IFileSystem* fileSystem) {
        return PollUntil([&] { return fileSystem->IsAllReady(); }, kRunBoundMs);
      },
      seconds);
}

// The launcher's requests made straight to the library: every single file
// but the launcher's own and every group, then the task count polled down
// to 0, as the update phase does.
bool RequestsRound(const std::string& folder, const Product& product, UpdateServerNode* server,
                   double* seconds) {
  auto ask = [&](FileSystem::IFileSystem* fileSystem) {
    for (size_t i = 1; i < product.singles.size(); ++i)
      fileSystem->UpdateFile(product.singles[i].c_str(), "default");
    for (const std::string& group : product.groups)
      fileSystem->UpdateResourceGroup(group.c_str(), "default");
    return true;
  };
  auto done = [&](FileSystem::IFileSystem* fileSystem) {
    bool ok = PollUntil([&] { return fileSystem->GetUpdateTaskCount() == 0; }, kRunBoundMs);
    for (size_t i = 1; ok && i < product.singles.size(); ++i)
      ok = fileSystem->IsFileReady(product.singles[i].c_str());
    for (size_t i = 0; ok && i < product.groups.size(); ++i)
      ok = fileSystem->IsResourceGroupReady(product.groups[i].c_str());
    return ok;
  };
  return UpdateRound(folder, "requests.log", product, server, ask, done, seconds);
}

void WriteSettings(const std::string& folder, const Product& product, uint16_t serverPort) {
  std::ofstream out(folder + "velmor.cfg");
  out << "ProductName=" << product.name << "\nRunPlace=2\nUpdaterFileName="
      << product.singles.front() << "\nUpdateThreadCount=" << kWorkers
      << "\nMaxPackageSize=" << kMaxPackageSize << "\nMaxDeltaPackageSize=" << kMaxDeltaPackageSize
      << "\nUpdateServer=127.0.0.1:" << serverPort
      << "\nUpdateEnable=true\nLoginEnable=false\nStatEnable=false\n";
  for (size_t i = 1; i < product.singles.size(); ++i) out << "UpdateFile=" << product.singles[i] << "\n";
  for (const std::string& group : product.groups) out << "ResourceGroup=" << group << "\n";
  // More settings for a variant run, e.g. "PlainFace=true".
  if (const char* extra = std::getenv("VELMOR_BENCH_SETTINGS")) out << extra << "\n";
}

// What a growing log file gained since the last look.
class LogTail {
 public:
  explicit LogTail(const std::string& path) : path_(path) {}
  ~LogTail() {
    if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
  }
  // Whether text appeared in what was added; a line cut at the end of one
  // read is completed by the next.
  bool Saw(const char* text) const { return seen_.find(text) != std::string::npos; }
  void Poll() {
    if (file_ == INVALID_HANDLE_VALUE)
      file_ = CreateFileA(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE |
                          FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file_ == INVALID_HANDLE_VALUE) return;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file_, buffer, sizeof buffer, &got, nullptr) && got > 0) {
      pending_.append(buffer, got);
      const size_t end = pending_.rfind('\n');
      if (end == std::string::npos) continue;
      Keep(pending_.substr(0, end + 1));
      pending_.erase(0, end + 1);
    }
  }

 private:
  // Only the lines the benchmark waits for are kept.
  void Keep(const std::string& lines) {
    for (const char* text : {"Update phase started.", "Update finished.", "Update failed."})
      if (lines.find(text) != std::string::npos && !Saw(text)) seen_ += std::string(text) + "\n";
  }
  std::string path_;
  HANDLE file_ = INVALID_HANDLE_VALUE;
  std::string pending_;
  std::string seen_;
};

struct LauncherTimes {
  double phase = 0;  // "Update phase started." to "Update finished."
  double total = 0;  // process start to "Update finished."
};

// velmor.exe in the data folder, watched through its log (what it added,
// every 2 ms), ended once its update has finished.
bool LauncherRound(const std::string& folder, const std::string& velmor, const Product& product,
                   uint16_t serverPort, LauncherTimes* times) {
  const std::string program = folder + "velmor.exe";
  if (!CopyFileA(velmor.c_str(), program.c_str(), FALSE)) return false;
  WriteSettings(folder, product, serverPort);
  std::string line = "\"" + program + "\"";
  // Started as a desktop shortcut starts it: no console behind its output.
  SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
  HANDLE nul = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           &inherit, OPEN_EXISTING, 0, nullptr);
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = startup.hStdOutput = startup.hStdError = nul;
  PROCESS_INFORMATION process{};
  const double start = Now();
  const bool started = CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, DETACHED_PROCESS,
                                      nullptr, folder.c_str(), &startup, &process) != 0;
  if (nul != INVALID_HANDLE_VALUE) CloseHandle(nul);
  if (!started) return false;
  LogTail log(folder + "gameupdater.log");
  double phaseStart = 0, finished = 0;
  bool failed = false;
  const DWORD bound = GetTickCount();
  while (finished == 0 && !failed && GetTickCount() - bound < kRunBoundMs) {
    log.Poll();
    if (phaseStart == 0 && log.Saw("Update phase started.")) phaseStart = Now();
    if (log.Saw("Update finished.")) finished = Now();
    if (log.Saw("Update failed.")) failed = true;
    if (WaitForSingleObject(process.hProcess, 2) == WAIT_OBJECT_0) failed = finished == 0;
  }
  TerminateProcess(process.hProcess, 0);
  WaitForSingleObject(process.hProcess, 10000);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  if (finished == 0 || phaseStart == 0) return false;
  times->phase = finished - phaseStart;
  times->total = finished - start;
  return true;
}

struct Spread {
  double median, minimum, maximum;
};

Spread Figures(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return Spread{values[values.size() / 2], values.front(), values.back()};
}

void PrintRow(const char* name, const std::vector<double>& values) {
  const Spread spread = Figures(values);
  std::printf("%-44s median %7.3f s  min %7.3f  max %7.3f\n", name, spread.median, spread.minimum,
              spread.maximum);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5 || argc > 6) {
    std::fprintf(stderr, "usage: %s <velmor.exe> <origin> <manifest> <work folder> [rounds]\n",
                 argv[0]);
    return 2;
  }
  const std::string velmor = argv[1], origin = argv[2], work = std::string(argv[4]) + "\\";
  const int rounds = argc == 6 ? std::atoi(argv[5]) : 3;
  Product product;
  if (!ReadManifest(argv[3], &product) || rounds < 1) {
    std::fprintf(stderr, "cannot read the product from %s\n", argv[3]);
    return 2;
  }
  TestFixtures::FakeUpdateServer updateServer;
  if (!updateServer.Ok()) return 1;
  TestFixtures::ReplyPlan plan = TestFixtures::GoodReply(product.name.c_str(), product.version);
  plan.entries.clear();
  plan.entries.push_back({origin + "/", false});
  updateServer.AddScript(TestFixtures::Answer(TestFixtures::BuildReply(plan)));
  UpdateServerNode server{"127.0.0.1", updateServer.Port(), nullptr};
  CreateDirectoryA(work.c_str(), nullptr);
  std::printf("product %s: %zu single files, %zu groups; %u workers; %d rounds each\n",
              product.name.c_str(), product.singles.size(), product.groups.size(), kWorkers, rounds);

  std::vector<double> library, requests, phase, total;
  for (int round = 0; round < rounds; ++round) {
    const std::string libraryFolder = work + "library" + std::to_string(round) + "\\";
    const std::string requestsFolder = work + "requests" + std::to_string(round) + "\\";
    const std::string launcherFolder = work + "launcher" + std::to_string(round) + "\\";
    double seconds = 0, requested = 0;
    LauncherTimes times;
    if (!PrepareFolder(libraryFolder, product, &server) ||
        !LibraryRound(libraryFolder, product, &server, &seconds)) {
      std::fprintf(stderr, "round %d: the library's update failed (%s)\n", round,
                   libraryFolder.c_str());
      return 1;
    }
    if (!PrepareFolder(requestsFolder, product, &server) ||
        !RequestsRound(requestsFolder, product, &server, &requested)) {
      std::fprintf(stderr, "round %d: the requested update failed (%s)\n", round,
                   requestsFolder.c_str());
      return 1;
    }
    if (!PrepareFolder(launcherFolder, product, &server) ||
        !LauncherRound(launcherFolder, velmor, product, updateServer.Port(), &times)) {
      std::fprintf(stderr, "round %d: the launcher's update failed (%s)\n", round,
                   launcherFolder.c_str());
      return 1;
    }
    std::printf("round %d: library %.3f s, its requests %.3f s, launcher phase %.3f s (%.3f s from"
                " its start)\n", round, seconds, requested, times.phase, times.total);
    std::fflush(stdout);
    library.push_back(seconds);
    requests.push_back(requested);
    phase.push_back(times.phase);
    total.push_back(times.total);
  }
  PrintRow("(1) the library: Create to IsAllReady", library);
  PrintRow("(2) the library, the launcher's requests", requests);
  PrintRow("(3) velmor: update phase started to finished", phase);
  PrintRow("    velmor: process start to update finished", total);
  const double ratio = Figures(phase).median / Figures(library).median;
  std::printf("launcher phase / library = %.3f (target <= 1.1); from its start %.3f\n", ratio,
              Figures(total).median / Figures(library).median);
  std::printf("launcher phase / its requests made straight = %.3f (the window's own cost)\n",
              Figures(phase).median / Figures(requests).median);
  return 0;
}
