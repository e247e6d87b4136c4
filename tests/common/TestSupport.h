// Helpers shared by the target tests: a recording log sink and a private
// temporary folder per test.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FileSystem.h"
#include "base/CriticalSection.h"

namespace TestSupport {

struct LogLine {
  int level;
  std::string text;
};

// Keeps every line the library logs, from any thread.
class RecordingLog : public FileSystem::ILogSystem {
 public:
  void Log(int level, const char* text) override;
  std::vector<LogLine> Lines();
  std::vector<std::string> Texts();
  bool Contains(const std::string& text);
  void Clear();

 private:
  FileSystem::CriticalSection lock_;
  std::vector<LogLine> lines_;
};

// A fresh, empty folder below the system's temporary folder; removed with
// everything in it when the object ends.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& Path() const { return path_; }
  // Path of a file inside the folder ('/' separated name).
  std::string File(const std::string& name) const;

 private:
  std::string path_;
};

// Content for tests: text that compresses well, and bytes that do not
// (the same bytes for the same seed).
std::string Compressible(size_t n);
std::string Random(size_t n, uint32_t seed);

// A program in the folder of the running test binary, started with the
// arguments; its process handle (the caller closes it), or null. A failed
// start is tried again up to kStartAttempts times in all, each failure
// written to stderr with its system error; *failure (when given) then says
// what was run and every error.
constexpr int kStartAttempts = 4;
HANDLE StartProgram(const std::string& fileName, const std::string& arguments,
                    std::string* failure = nullptr);
// Runs such a program to its end: its exit code, or -1 when it cannot start.
int RunProgram(const std::string& fileName, const std::string& arguments);

// Writes bytes to a file, creating or truncating it; false on failure.
bool WriteWholeFile(const std::string& path, const std::string& bytes);
// Reads a whole file; false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string* bytes);

}  // namespace TestSupport
