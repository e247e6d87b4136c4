// Text rules of the game host that need no Windows: which product names may
// become folder names, the walk over a taken-off list, the update state
// names and the info text of the update methods.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A product name becomes a folder name below the data root, so it must be one
// plain path component: not empty, no '\\', '/', ':', control characters or "..".
bool IsAcceptableProductName(const char* name);

// The pieces of a ';'-separated list, empty pieces skipped.
std::vector<std::string> SplitNameList(const std::string& list);

// "Disabled" ... "Error"; "Unknown" for any other value.
const char* UpdateStateName(int32_t state);

// "%s;%d;%d;%f" of name, total, done and speed.
std::string FormatUpdateInfo(const char* name, int total, int done, float speed);

// Product name and data folder reach the game in buffers of 1024 UTF-16
// units: a longer text is cut to 1023 units.
constexpr size_t kInitTextUnits = 1024;
std::wstring CutToInitText(const std::wstring& text);

// The page's thread count held to 1..64.
uint32_t ClampUpdateThreadCount(uint32_t count);

// Longest name that UpdateFile/UpdateResourceGroup accept: one that could
// never be taken off a 1024-byte list buffer (with its ';' and terminator)
// would stay on the list for ever.
constexpr size_t kMaxUpdateNameLength = 1022;
