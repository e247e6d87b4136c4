// Runs the test browser on a script: the plug-in and the browser lie in the
// test binary's folder.
#pragma once

#include <string>

struct BrowserRun {
  int exitCode;
  std::string output;
};

// The folder of the running test binary, ending in '\\'.
std::string TestFolder();

// Plays script with npbrowser.exe against plugin (a file name in the test
// folder) with the extra command-line arguments; waits up to two minutes.
BrowserRun RunBrowser(const std::string& script, const std::string& extraArguments = "",
                      const std::string& plugin = "npkvtplayer_loopback.dll");
