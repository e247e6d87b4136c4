// The configuration values the loader's phases read: the launcher's
// configuration reduced to plain values, so the phases can be driven with
// any configuration a test or a start-up source gives them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ConfigRecords.h"  // RunPlace

struct LoaderUpdateFile {
  std::string path;
  bool systemDll = false;
};

struct LoaderUpdateServer {
  std::string host;
  uint32_t port = 0;
};


struct LoaderSettings {
  std::string productName;
  int runPlace = kRunPlaceCurrentDirectory;
  std::string updaterFileName = "velmor.exe";
  uint32_t updateThreadCount = 5;
  uint32_t maxPackageSize = 0;
  uint32_t maxDeltaPackageSize = 0;
  std::vector<LoaderUpdateServer> updateServers;
  std::vector<LoaderUpdateFile> updateFiles;
  std::vector<std::string> resourceGroups;

  bool updateEnabled = true;
  bool loginEnabled = true;
  std::string loginUrl;  // UTF-8
  bool sendFirstRunParam = false;
  bool reloginEnabled = false;
  std::string reloginUrl;  // UTF-8
  bool statEnabled = false;

  bool browserVisibleWhenReady = true;
  bool browserShowWhenLoginSuccess = false;
  bool closeDisableWhenLoading = true;

  // The window draws without its skin (a plain face) even where the
  // configuration has one.
  bool plainFace = false;
};
