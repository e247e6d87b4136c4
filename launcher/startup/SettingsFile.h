// Loader settings from a text file of "Name=value" lines (blank lines and
// lines starting with '#' are skipped): the launcher's configuration for a
// program that is given one beside itself. Repeatable names: UpdateServer
// ("host:port"), UpdateFile ("path" or "path,SystemDll"), ResourceGroup.
#pragma once

#include <string>

#include "LoaderSettings.h"

// False with a reason when the text has a line that is not understood.
bool ParseSettingsText(const std::string& text, LoaderSettings* settings, std::string* error);
bool LoadSettingsFile(const std::string& path, LoaderSettings* settings, std::string* error);
