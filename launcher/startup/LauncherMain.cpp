#include "LauncherMain.h"

#include "GameLoader.h"
#include "GameRunLoop.h"
#include "LauncherGameLibrary.h"
#include "LoaderLogFile.h"
#include "LoaderSystem.h"
#include "NoLoginBrowser.h"
#include "PlainLoaderView.h"
#include "RelocateSelf.h"
#include "RunStateReports.h"
#include "SettingsFile.h"
#include "SwitchScan.h"

namespace {

const wchar_t kClassName[] = L"VelMorClient";

// Everything one run of the program holds, made in the order of use and
// ended in reverse.
struct LauncherProgram {
  LoaderSettings settings;
  LauncherGameLibrary game{nullptr, nullptr};
  GameLoader loader;
  RunStateReports reports;
  LoaderLogFile log;
  LoaderSystem system;
  PlainLoaderView view;
  NoLoginBrowser noBrowser;
  ILoginBrowser* browser = nullptr;
};

LauncherProgram* g_program = nullptr;
HINSTANCE g_instance = nullptr;
HWND g_window = nullptr;

class RunTarget : public IGameRunTarget {
 public:
  explicit RunTarget(LauncherGameLibrary* game) : game_(game) {}
  void Activate() override { game_->Activate(); }
  void Unload() override { game_->Unload(); }

 private:
  LauncherGameLibrary* game_;
};

// The log ends only after the file system that writes into it is gone.
void CloseLog(LauncherProgram* program) {
  program->loader.ReleaseFileSystem();
  program->log.Close();
}

bool RunLoadingLoop(LauncherProgram* program, const wchar_t* commandLine, bool relogin,
                    bool firstRun) {
  GameLoader& loader = program->loader;
  if (!loader.Init(commandLine, relogin, firstRun)) return false;
  loader.ShowLoader();
  while (loader.loading()) {
    MSG message;
    if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        program->game.Unload();
        loader.DestroyUI();
        return false;
      }
      TranslateMessage(&message);
      DispatchMessageW(&message);
    } else {
      loader.Tick();
      Sleep(1);
    }
  }
  bool ready = loader.gameReady();
  loader.DestroyUI();
  return ready;
}

int RunLauncher(LauncherProgram* program, bool firstRun, HINSTANCE instance,
                const wchar_t* commandLine, bool relogin) {
  std::string dataFolder;
  LoaderSystem& system = program->system;
  system.SetProductName(program->settings.productName);
  bool haveFolder = program->settings.runPlace == kRunPlaceLocalAppData
                        ? system.GetLocalDataFolder(&dataFolder)
                    : program->settings.runPlace == kRunPlaceInternetCache
                        ? system.GetLowIntegrityDataFolder(&dataFolder)
                        : system.GetModuleFolder(&dataFolder);
  if (!haveFolder) return 0;
  program->reports.SetFile(dataFolder + "runstate-events.txt");
  if (program->reports.ReportStat("RunClient", 1)) firstRun = true;
  program->log.Open(dataFolder + "gameupdater.log");
  program->reports.SetLog(&program->log);

  std::wstring title = L"velmor";
  if (RegisterLoaderWindowClass(instance) == 0 || !CreateLoaderWindow(instance, title.c_str())) {
    program->log.Write(2, "Cannot create the launcher window.");
    CloseLog(program);
    return 0;
  }
  program->view.SetWindow(g_window);
  system.SetMainWindow(g_window);
  program->game.SetInstance(instance);
  program->game.SetWindow(g_window);
  LoaderPorts ports;
  ports.settings = &program->settings;
  ports.view = &program->view;
  ports.browser = program->browser;
  ports.reports = &program->reports;
  ports.game = &program->game;
  ports.system = &system;
  ports.log = &program->log;
  program->loader.Attach(ports);
  program->loader.SetBrowserArea(BrowserArea{20, 20, 615, 300});
  bool ready = RunLoadingLoop(program, commandLine, relogin, firstRun);
  CloseLog(program);
  if (!ready) return 0;
  program->game.Run();
  RunTarget target(&program->game);
  return RunGameLoop(&target);
}

}  // namespace

HWND LoaderWindowHandle() { return g_window; }

ATOM RegisterLoaderWindowClass(HINSTANCE instance) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
  windowClass.lpfnWndProc = MainWindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(107));
  windowClass.hIconSm = windowClass.hIcon;
  windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  windowClass.hbrBackground = CreateSolidBrush(0);
  windowClass.lpszClassName = kClassName;
  return RegisterClassExW(&windowClass);
}

bool CreateLoaderWindow(HINSTANCE instance, const wchar_t* title) {
  g_instance = instance;
  g_window = CreateWindowExW(0, kClassName, title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                             CW_USEDEFAULT, 655, 424, nullptr, nullptr, instance, nullptr);
  return g_window != nullptr;
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (g_program != nullptr) {
    if (g_program->game.IsRunning()) return g_program->game.WindowProc(window, message, wParam, lParam);
    if (g_program->loader.loading()) return g_program->view.WindowProc(window, message, wParam, lParam);
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

int LauncherMain(HINSTANCE instance, const wchar_t* commandLine, const LauncherOptions& options) {
  LauncherSwitches switches = ScanSwitches(commandLine);
  LauncherProgram program;
  program.browser = options.browser != nullptr ? options.browser : &program.noBrowser;
  std::string settingsPath = options.settingsPath;
  if (settingsPath.empty()) {
    std::string folder;
    if (!program.system.GetModuleFolder(&folder)) return 0;
    settingsPath = folder + "velmor.cfg";
  }
  std::string error;
  if (!LoadSettingsFile(settingsPath, &program.settings, &error)) return 0;
  g_program = &program;
  int result = 0;
  if (switches.uninstall) {
    // Uninstalling is not part of this program yet: nothing is removed.
    result = 0;
  } else if (switches.install) {
    program.reports.ReportStat("SilentInstall", 2);
    result = 0;
  } else {
    if (switches.checkInstall) program.reports.ReportStat("SilentInstall", 2);
    program.system.SetProductName(program.settings.productName);
    if (RelocateSelf(commandLine, program.settings, &program.system))
      result = RunLauncher(&program, switches.firstRun, instance, commandLine, switches.relogin);
  }
  if (g_window != nullptr && IsWindow(g_window)) DestroyWindow(g_window);
  g_window = nullptr;
  g_program = nullptr;
  return result;
}
