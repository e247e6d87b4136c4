// Measures the game host's own cost per timer tick. A file system stands in
// with 64 queued file requests and 16 groups in flight: each of the 64 update
// threads reports a running download, and every tick the lists hand over a
// few finished names. The tick's time is set against a loop of the bare
// calls it makes (update state, readiness, task count, GetUpdateInfo per
// thread, the four take-offs) on the same object.
//
//   gamehostbench [ticks]     (default 20000)
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "FileSystem.h"
#include "StubFileSystem.h"
#include "GameLoader.h"
#include "IGameHostOwner.h"
#include "PluginLog.h"

namespace {

constexpr int kThreads = 64;
constexpr int kGroups = 16;

class BusyFileSystem : public TestFixtures::StubFileSystem {
 public:
  int tick = 0;
  bool names = true;  // whether the lists hand over finished names

  bool UpdateFile(const char*, const char*) override { return true; }
  bool HasResourceGroup(const char*) override { return true; }
  bool UpdateResourceGroup(const char*, const char*) override { return true; }
  bool UpdateAllResourceGroups() override { return true; }
  bool UpdateAll() override { return true; }
  int GetUpdateTaskCount() override { return 64 + kGroups - (tick % 3); }
  float GetUpdateSpeed() override { return 1.0f; }
  bool GetUpdateInfo(int worker, char* name, uint32_t size, int* total, int* done,
                     float* speed) override {
    std::snprintf(name, size, "data/file%02d.bin", worker);
    *total = 1 << 20;
    *done = (tick * 997 + worker * 131) % (1 << 20);
    *speed = 1000.0f + static_cast<float>(worker);
    return true;
  }
  bool StopUpdate() override { return true; }
  bool CancelAllUpdateRequests() override { return true; }
  bool CancelUpdateGroup(const char*) override { return true; }
  bool IsReadyForUpdate() override { return true; }
  int GetUpdateState() override { return FileSystem::kStateReadyForUpdate; }
  bool EnableIdleUpdate(bool) override { return true; }
  bool SetIdleUpdateInfo(int, int) override { return true; }
  bool TakeOffUpdatedFiles(char* buffer, uint32_t size) override {
    return Names(buffer, size, "data/done%d.bin;", 2);
  }
  bool TakeOffUpdateFailedFiles(char* buffer, uint32_t size) override {
    return Names(buffer, size, "", 0);
  }
  bool TakeOffUpdatedResourceGroups(char* buffer, uint32_t size) override {
    return Names(buffer, size, "group%d;", 1);
  }
  bool TakeOffUpdateFailedResourceGroups(char* buffer, uint32_t size) override {
    return Names(buffer, size, "", 0);
  }
  void Release() override {}

 private:
  bool Names(char* buffer, uint32_t size, const char* format, int count) {
    if (count == 0 || !names) return false;
    std::string text;
    char piece[64];
    for (int i = 0; i < count; ++i) {
      std::snprintf(piece, sizeof piece, format, tick * count + i);
      text += piece;
    }
    std::snprintf(buffer, size, "%s", text.c_str());
    return true;
  }
};

BusyFileSystem busy;

FileSystem::IFileSystem* CreateBusy(const FileSystemParams*) { return &busy; }

class SilentOwner : public IGameHostOwner {
 public:
  int events = 0;
  void FirePageEvent(int, const char*, const ScriptValue*, size_t) override { ++events; }
};

double Seconds(const LARGE_INTEGER& start, const LARGE_INTEGER& end,
               const LARGE_INTEGER& frequency) {
  return static_cast<double>(end.QuadPart - start.QuadPart) /
         static_cast<double>(frequency.QuadPart);
}

void BareCalls(FileSystem::IFileSystem* files) {
  volatile int sink = files->GetUpdateState();
  sink = files->IsReadyForUpdate();
  sink = files->GetUpdateTaskCount();
  char name[2048];
  int total = 0, done = 0;
  float speed = 0.0f;
  for (int i = 0; i < kThreads; ++i) files->GetUpdateInfo(i, name, sizeof name, &total, &done, &speed);
  char list[2048];
  files->TakeOffUpdatedFiles(list, sizeof list);
  files->TakeOffUpdateFailedFiles(list, sizeof list);
  files->TakeOffUpdatedResourceGroups(list, sizeof list);
  files->TakeOffUpdateFailedResourceGroups(list, sizeof list);
  (void)sink;
}

}  // namespace

void Measure(GameLoader& loader, SilentOwner& owner, int ticks, const LARGE_INTEGER& frequency,
             bool names);

int main(int argc, char** argv) {
  int ticks = argc > 1 ? std::atoi(argv[1]) : 20000;
  if (ticks <= 0) ticks = 20000;
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  PluginLog::SetBaseFolderForTesting(std::string(temp) + "gamehostbench");
  CreateDirectoryA((std::string(temp) + "gamehostbench").c_str(), nullptr);

  GameLoader::SetFileSystemFactoryForTesting(&CreateBusy);
  SilentOwner owner;
  GameLoader loader(HostFlavour::Netscape);
  loader.Init(&owner, GetModuleHandleW(nullptr), nullptr);
  if (!loader.SetProduct("gamehostbench", kThreads, 524288000, 104857600)) {
    std::printf("SetProduct failed\n");
    return 1;
  }
  loader.OnTimer();  // state and readiness

  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  std::printf("ticks: %d, update threads: %d, groups in flight: %d\n", ticks, kThreads, kGroups);
  for (bool names : {true, false}) {
    busy.names = names;
    Measure(loader, owner, ticks, frequency, names);
  }
  std::printf("note: every finished name and task count change is also a log line\n");
  loader.Exit();
  GameLoader::SetFileSystemFactoryForTesting(nullptr);
  return 0;
}

void Measure(GameLoader& loader, SilentOwner& owner, int ticks, const LARGE_INTEGER& frequency,
             bool names) {
  LARGE_INTEGER start, end;
  owner.events = 0;
  QueryPerformanceCounter(&start);
  for (int i = 0; i < ticks; ++i) {
    busy.tick = i;
    BareCalls(&busy);
  }
  QueryPerformanceCounter(&end);
  double bare = Seconds(start, end, frequency);

  QueryPerformanceCounter(&start);
  for (int i = 0; i < ticks; ++i) {
    busy.tick = i;
    loader.OnTimer();
  }
  QueryPerformanceCounter(&end);
  double host = Seconds(start, end, frequency);

  std::printf("%s\n", names ? "with 3 finished names a tick:" : "with empty lists:");
  std::printf("  bare file-system calls: %.3f us per tick\n", bare * 1e6 / ticks);
  std::printf("  game host tick:         %.3f us per tick (%d events fired)\n", host * 1e6 / ticks,
              owner.events);
  std::printf("  host tick / bare calls: %.2f\n", bare > 0 ? host / bare : 0.0);
}
