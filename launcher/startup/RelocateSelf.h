// The move of the launcher into its run folder: a launcher started
// elsewhere copies itself there (unless a file of its name is there
// already), starts that copy with its own command line and ends.
#pragma once

#include <string>

#include "ILoaderSystem.h"
#include "LoaderSettings.h"

// Folder texts compared as the same folder: full, long names, '/' as '\',
// ASCII letters in either case, with or without the final separator.
bool SameFolder(const std::string& a, const std::string& b);

// True when the process may go on running where it is.
bool RelocateSelf(const wchar_t* commandLine, const LoaderSettings& settings,
                  ILoaderSystem* system);
