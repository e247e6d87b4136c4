// Helpers of the game host tests: an owner that records page events, product
// folders with a sample game in them, and the files the host and the game
// write.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "IGameHostOwner.h"

namespace GameHostTest {

// Records each event as "Name(arg,arg)"; numbers print as integers, floats
// with %g, texts as they are (wide texts as UTF-8).
class RecordingOwner : public IGameHostOwner {
 public:
  void FirePageEvent(int number, const char* name, const ScriptValue* args,
                     size_t count) override;

  std::vector<std::string> events;
  std::vector<int> numbers;
  // Runs inside each event, after it was recorded (a page listener).
  std::function<void(const std::string& name)> listener;
};

std::string FormatValue(const ScriptValue& value);

// The folder of the running test program, ending in '\'.
std::string ProgramFolder();
// The local application-data folder the host uses, ending in '\'.
std::string LocalAppData();
// The data folder GameLoader chooses for product name in the local mode.
std::string ProductFolder(const std::string& product);

// Removes a folder with everything in it (no error when it is missing).
void RemoveFolder(const std::string& folder);
// Copies sample_<variant>.dll into folder as "game.dll" (or target name),
// with ini as its "samplegame.ini" and an empty call log.
bool InstallSampleGame(const std::string& folder, const std::string& variant,
                       const std::string& ini, const std::string& target = "game.dll");
// The sample game's call log in folder, one entry a line.
std::vector<std::string> SampleLog(const std::string& folder);
bool SampleLogHas(const std::string& folder, const std::string& line);
// The value of "param.<field>=" in the call log, empty when missing.
std::string SampleParam(const std::string& folder, const std::string& field);

bool ReadFile(const std::string& path, std::string* bytes);
bool WriteFile(const std::string& path, const std::string& bytes);

// Points the plug-in log at a private folder of this test process.
void UsePrivateLogFolder();
// The text of the plug-in log.
std::string PluginLogText();

// A product name unique to the running test.
std::string UniqueProduct(const char* stem);

}  // namespace GameHostTest
