#include "BrowserRun.h"

#include <windows.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace {

std::string TempFile(const char* prefix) {
  char folder[MAX_PATH] = {};
  char path[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, folder);
  GetTempFileNameA(folder, prefix, 0, path);
  return path;
}

class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  ~Handle() {
    if (handle_ && handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

}  // namespace

std::string TestFolder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path);
  return folder.substr(0, folder.find_last_of("\\/") + 1);
}

BrowserRun RunBrowser(const std::string& script, const std::string& extraArguments,
                      const std::string& plugin) {
  BrowserRun run = {-1, ""};
  const std::string scriptPath = TempFile("nps");
  const std::string outputPath = TempFile("npo");
  {
    std::ofstream file(scriptPath, std::ios::binary);
    file << script;
  }
  SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
  Handle output(CreateFileA(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                            CREATE_ALWAYS, 0, nullptr));
  const std::string folder = TestFolder();
  std::string command = "\"" + folder + "npbrowser.exe\" \"" + folder + plugin + "\" \"" +
                        scriptPath + "\" " + extraArguments;
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = output.get();
  startup.hStdError = output.get();
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION process = {};
  if (CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, folder.c_str(),
                     &startup, &process)) {
    Handle processHandle(process.hProcess);
    Handle threadHandle(process.hThread);
    if (WaitForSingleObject(process.hProcess, 120000) == WAIT_OBJECT_0) {
      DWORD code = 0;
      GetExitCodeProcess(process.hProcess, &code);
      run.exitCode = static_cast<int>(code);
    } else {
      TerminateProcess(process.hProcess, 99);
      run.output = "(the browser did not end within two minutes)\n";
    }
  } else {
    run.output = "(cannot start the browser)\n";
  }
  std::ifstream file(outputPath, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  run.output += text.str();
  DeleteFileA(scriptPath.c_str());
  file.close();
  DeleteFileA(outputPath.c_str());
  return run;
}
