// Where the launcher's things live. Texts are in the ANSI code page; every
// folder ends with a separator. The product name is the configuration's
// ProductName unless given.
#pragma once

#include <windows.h>

#include <string>

// <local application data>\dorvgame\<product>\ ; empty when the shell has no
// such folder or the product name is empty (the bare "dorvgame" folder holds
// every product's data and must never be handed out as one product's).
std::string GetLocalDataFolder();
std::string GetLocalDataFolder(const std::string& productName);

// <Internet cache>\Low\dorvgame\<product>\ ; empty under the same rules.
std::string GetLowIntegrityDataFolder();
std::string GetLowIntegrityDataFolder(const std::string& productName);

// <local application data>\dorvgame\kvtplayer\ ; empty without the shell folder.
std::string GetPluginFolder();

// The folder of the launcher's executable, or the current folder when the
// module path has no '\'.
std::string GetModuleFolder();

// GetRegistryString, which reads the product's install folder, is the
// hosts' shared registry helper.
#include "Registry.h"

// The pure part of the folder rules: base, a separator unless base ends in
// one, then each of the parts followed by '\'. Empty when base or any part
// is empty.
std::string JoinFolder(const std::string& base, const char* const* parts, size_t count);

// Text up to and including the last separator of a module path (a '/' after
// the last '\' wins); empty when there is no '\'.
std::string FolderOfModulePath(const std::string& modulePath);

// The text with a '\' appended unless it already ends in '\' or '/'.
std::string WithTrailingSeparator(const std::string& path);
