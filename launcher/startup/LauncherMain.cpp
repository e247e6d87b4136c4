#include "LauncherMain.h"

#include <memory>

#include "ConfigLoaderSettings.h"
#include "ConfigMgr.h"
#include "GameDll.h"
#include "GameDllLibrary.h"
#include "GameLoader.h"
#include "GameRunLoop.h"
#include "HttpClient.h"
#include "InstallCommands.h"
#include "Installer.h"
#include "LogMgr.h"
#include "LogMgrLoaderLog.h"
#include "LoaderSystem.h"
#include "PlainLoaderView.h"
#include "RelocateSelf.h"
#include "RunState.h"
#include "SettingsFile.h"
#include "ShellLinks.h"
#include "SkinnedLoaderView.h"
#include "StatLoaderReports.h"
#include "StatReporter.h"
#include "SwitchScan.h"
#include "Uninstaller.h"
#include "WebBrowser.h"
#include "WebBrowserLogin.h"

namespace {

const wchar_t kClassName[] = L"VelMorClient";

// What one run of the program holds besides the global objects, made in the
// order of use and ended in reverse.
struct LauncherProgram {
  LoaderSettings settings;
  GameLoader loader;
  GameDllLibrary game{&g_gameDll};
  LogMgrLoaderLog log{&g_logMgr};
  LoaderSystem system;
  PlainLoaderView view;
  SkinnedLoaderView skinnedView{&g_configMgr, &loader};
  bool skinned = false;
  WebBrowser webBrowser;
  WebBrowserLogin defaultBrowser{&webBrowser};
  ILoginBrowser* browser = nullptr;
  std::unique_ptr<RunState> runState;
  std::unique_ptr<StatReporter> stats;
  std::unique_ptr<StatLoaderReports> reports;
  // The configuration came from the program's own resources; a settings
  // file names no product to install or remove.
  bool embeddedConfiguration = false;
  // The embedded configuration and string table were read (texts, skin).
  bool configLoaded = false;
  bool checkInstall = false;
};

LauncherProgram* g_program = nullptr;
HWND g_window = nullptr;

// The file system writes into the log; it goes first.
void CloseLog(LauncherProgram* program) {
  program->loader.ReleaseFileSystem();
  g_logMgr.Close();
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
        g_gameDll.UnloadGameDll();
        loader.DestroyUI();
        return false;
      }
      if (!program->webBrowser.PreTranslateMessage(&message)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
      }
    } else {
      loader.Tick();
      Sleep(1);
    }
  }
  bool ready = loader.gameReady();
  loader.DestroyUI();
  return ready;
}

// The launcher's own links are made once, recorded in this run's state.
bool TestAndSetProgramRunState(const char* name) {
  return g_program != nullptr && g_program->runState->TestAndSet(name);
}

bool DataFolder(LauncherProgram* program, std::string* folder) {
  LoaderSystem& system = program->system;
  switch (program->settings.runPlace) {
    case kRunPlaceLocalAppData: return system.GetLocalDataFolder(folder);
    case kRunPlaceInternetCache: return system.GetLowIntegrityDataFolder(folder);
    default: return system.GetModuleFolder(folder);
  }
}

int RunLauncher(LauncherProgram* program, bool firstRun, HINSTANCE instance,
                const wchar_t* commandLine, bool noFileShortcuts, bool relogin) {
  std::string dataFolder;
  if (!DataFolder(program, &dataFolder)) return 0;
  if (program->reports->ReportStat("RunClient", 1)) firstRun = true;
  if (!noFileShortcuts) CreateUpdaterShortcuts(TestAndSetProgramRunState);
  g_logMgr.Init(dataFolder);
  g_logMgr.SetLevels(true, true, true);
  if (program->checkInstall) g_logMgr.LogText(0, "Started to check the installation.");

  std::wstring title;
  if (!g_configMgr.GetString("game_updater_title", &title) || title.empty()) title = L"velmor";
  if (RegisterLoaderWindowClass(instance) == 0 || !CreateLoaderWindow(instance, title.c_str())) {
    g_logMgr.Log(2, "%s", "Cannot create the launcher window.");
    CloseLog(program);
    return 0;
  }
  program->skinned = program->configLoaded && !program->settings.plainFace;
  program->skinnedView.Attach(instance, g_window, &program->webBrowser, relogin);
  program->view.SetWindow(g_window);
  program->view.SetTextSource([](const char* id, std::wstring* text) {
    return g_configMgr.GetString(id, text);
  });
  program->system.SetMainWindow(g_window);
  program->game.SetWindow(instance, g_window);
  program->defaultBrowser.SetOwner(instance, g_window);
  LoaderPorts ports;
  ports.settings = &program->settings;
  ports.view = program->skinned ? static_cast<ILoaderView*>(&program->skinnedView)
                                 : static_cast<ILoaderView*>(&program->view);
  ports.browser = program->browser;
  ports.reports = program->reports.get();
  ports.game = &program->game;
  ports.system = &program->system;
  ports.log = &program->log;
  program->loader.Attach(ports);
  program->loader.SetBrowserArea(BrowserArea{20, 20, 615, 300});
  bool ready = RunLoadingLoop(program, commandLine, relogin, firstRun);
  CloseLog(program);
  if (!ready) return 0;
  program->game.Run();
  return RunGameLoop(&program->game);
}

// The configuration: the program's embedded one, whose string table and
// skin layout always serve; a settings file beside the program (a demo or
// test set-up) replaces its phase settings.
bool LoadSettings(LauncherProgram* program, HINSTANCE instance, const LauncherOptions& options) {
  std::string path = options.settingsPath;
  if (path.empty()) {
    std::string folder;
    if (!program->system.GetModuleFolder(&folder)) return false;
    path = folder + "velmor.cfg";
  }
  bool embedded = g_configMgr.LoadConfig(instance) && g_configMgr.LoadStrings(instance);
  program->configLoaded = embedded;
  std::string error;
  if (program->system.FileExists(path)) return LoadSettingsFile(path, &program->settings, &error);
  if (!embedded) return false;
  program->settings = LoaderSettingsFromConfig(g_configMgr);
  program->embeddedConfiguration = true;
  return true;
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
  ATOM atom = RegisterClassExW(&windowClass);
  // A second run in one process (tests) finds the class already there.
  if (atom == 0 && GetLastError() == ERROR_CLASS_ALREADY_EXISTS) atom = 1;
  return atom;
}

bool CreateLoaderWindow(HINSTANCE instance, const wchar_t* title) {
  g_window = CreateWindowExW(0, kClassName, title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                             CW_USEDEFAULT, 655, 424, nullptr, nullptr, instance, nullptr);
  return g_window != nullptr;
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (g_program != nullptr) {
    if (g_gameDll.IsRunning()) return g_program->game.WindowProc(window, message, wParam, lParam);
    if (g_program->loader.loading()) {
      if (g_program->skinned) return g_program->skinnedView.WindowProc(window, message, wParam, lParam);
      return g_program->view.WindowProc(window, message, wParam, lParam);
    }
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

int LauncherMain(HINSTANCE instance, const wchar_t* commandLine, const LauncherOptions& options) {
  LauncherSwitches switches = ScanSwitches(commandLine);
  LauncherProgram program;
  program.browser = options.browser != nullptr ? options.browser : &program.defaultBrowser;
  if (!LoadSettings(&program, instance, options)) return 0;
  program.system.SetProductName(program.settings.productName);
  std::string dataFolder;
  if (!DataFolder(&program, &dataFolder)) return 0;
  program.runState.reset(new RunState(dataFolder));
  program.stats.reset(new StatReporter(program.runState.get(), &g_httpClient));
  program.stats->Configure(g_configMgr.statEnable, g_configMgr.statUrl);
  program.reports.reset(new StatLoaderReports(program.stats.get(), &g_httpClient));
  g_httpClient.Start();
  g_program = &program;
  program.checkInstall = switches.checkInstall;
  int result = 0;
  if (switches.uninstall) {
    if (program.embeddedConfiguration)
      result = RunUninstallCommand(g_uninstaller, instance, g_configMgr, switches.silent,
                                   switches.plugin);
  } else if (switches.install || switches.checkInstall) {
    if (program.embeddedConfiguration) {
      RunInstallCommand(g_installer, instance, g_configMgr, program.runState.get(),
                        program.stats.get(), switches.noFileShortcuts, switches.noInternetShortcuts);
    } else {
      program.reports->ReportStat("SilentInstall", 2);
    }
  }
  if (!switches.uninstall && !switches.install &&
      RelocateSelf(commandLine, program.settings, &program.system))
    result = RunLauncher(&program, switches.firstRun, instance, commandLine,
                         switches.noFileShortcuts, switches.relogin);
  g_httpClient.Stop();
  // The loader outlives the faces it drew on; it lets go of them first.
  program.loader.DestroyUI();
  program.loader.Attach(LoaderPorts());
  if (g_window != nullptr && IsWindow(g_window)) DestroyWindow(g_window);
  g_window = nullptr;
  g_program = nullptr;
  return result;
}
